// Graph records: a graph names a rectangle of a shared, reference-counted
// image record, which holds the picture as texture tiles (Direct3D) or as one
// memory image (software renderer).
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stddef.h>
#include <stdint.h>

#include "image/mem_image.h"

// Byte descriptor of a graph's picture format.
struct GraphFormatDesc {
    uint8_t texture;          // picture in Direct3D textures
    uint8_t alpha;            // alpha channel
    uint8_t drawable;         // can be a draw target
    uint8_t software;         // software MEMIMG picture
    uint8_t keepSystemCopy;   // system-memory twin per texture
    uint8_t compression;      // 0 plain, 1-5 DXT1-DXT5
    uint8_t mipLevels;
    uint8_t alphaTest;        // one-bit alpha
    uint8_t colorDepth;       // 16 or 32
    uint8_t blendImage;       // 8-bit blend image
    uint8_t palette;          // 8-bit palette picture (software only)
};
static_assert(sizeof(GraphFormatDesc) == 11, "the format descriptor is 11 bytes");

struct TextureTile {
    IDirect3DTexture9* texture;
    IDirect3DTexture9* systemTexture;
    IDirect3DSurface9* surface;
    IUnknown* targetExtra;
    int x, y;
    int usedWidth, usedHeight;
    int textureWidth, textureHeight;
};

struct GraphTileEntry {
    int dstX, dstY;
    int tileX, tileY;
    int pieceWidth, pieceHeight;
    float corners[4][4];      // x, y, u, v: top-left, top-right, bottom-left, bottom-right
    uint8_t diagonalSide[4];
    TextureTile* tile;
};

struct GraphImageRecord {
    int refCount;
    int formatKind;
    GraphFormatDesc desc;
    uint32_t transColor;      // 0x00RRGGBB
    int width, height;
    union {
        // Texture pictures; the record is allocated with room for tileCount tiles.
        struct {
            int mipLevels;
            int tileCount;
            TextureTile tiles[1];
        };
        // Software pictures.
        struct {
            MEMIMG memImage;          // the whole picture
            MEMIMG* drawableExtra;    // released with drawable records; nothing makes one
        };
    };
};

enum { GRAPH_BASE_TILE_ENTRIES = 4 };

struct GraphRecord {
    uint32_t check;
    int handle;
    int* deleteFlag;
    GraphImageRecord* image;
    int movie;                // -1 none
    int* fileName;            // reference count, then the path text
    int fileX, fileY;
    int fileMirror;
    int srcX, srcY;
    int width, height;
    struct {
        void* block;
        int word;
    } kept[2];                // kept copies of source data; nothing sets them, deletion frees them
    union {
        // Texture graphs; the record is reallocated to tileCount entries.
        struct {
            int tileCount;
            GraphTileEntry tiles[GRAPH_BASE_TILE_ENTRIES];
        };
        // Software graphs: the view of (srcX, srcY, width, height) of the image
        // record's memory image; the record is shrunk to end after it.
        MEMIMG view;
    };
};

// Sizes of the records as allocated.
inline size_t TextureImageRecordSize(int64_t tiles)
{
    return offsetof(GraphImageRecord, tiles) + (size_t)tiles * sizeof(TextureTile);
}
enum : size_t {
    SOFT_IMAGE_RECORD_SIZE = offsetof(GraphImageRecord, drawableExtra) + sizeof(MEMIMG*),
    GRAPH_TILE_ENTRIES_OFFSET = offsetof(GraphRecord, tiles),
    SOFT_GRAPH_RECORD_SIZE = offsetof(GraphRecord, view) + sizeof(MEMIMG),
};

// Most tiles along one side of a picture; a side that needs more is refused.
enum { GRAPH_SIDE_TILE_MAX = 64 };

// Settings that shape every graph made from then on.
struct GraphCreateSettings {
    int colorDepth;           // 0 = the screen's depth
    int drawable;
    int drawableAlpha;
    int alphaTest;
    int keepSystemCopy;
    int blendImage;
    int emptyAlpha;
    int mipSetting;
    int singleTexture;
    int textureSizeLimit;
    uint32_t transColor;      // 0x00RRGGBB
    int useTransColor;
};

struct ColorFormat;
struct RasterImage;

// Fills a freshly allocated graph record with a new image record of the size,
// its textures (cleared) or memory image, and its tile entries. mipLevels -1
// takes the level count from the settings. Any failure deletes the graph
// handle before -1 is returned (an invalid handle is only refused).
int CreateGraphRecord(int mipLevels, int graph, int width, int height, int alpha, int palette, int compression);
// Splits one side into power-of-two tile sizes (sizes holds
// GRAPH_SIDE_TILE_MAX entries); the number of tiles, or -1 when the side
// needs more tiles than that.
int ChooseTextureTileSize(int length, int* sizes, int singleFlag);
// Builds the graph record's tile entries (texture graphs) or memory-image
// view (software graphs) from its rectangle; the record may move. 0 or -1.
int SetupGraphTiles(int graph);
// Creates every missing texture of an image record, cleared; 0 or -1.
int CreateGraphTextures(GraphImageRecord* image);
// Releases surface, texture and system twin of every tile; 0.
int ReleaseGraphTextures(GraphImageRecord* image);
// Releases the per-tile extras (texture) or the extra memory image
// (software) of a drawable record; 0.
int ReleaseDrawableExtras(GraphImageRecord* image);
// Around a device reset: every graph's textures and the user shader objects
// go before, and come back (cleared) after; 0.
int ReleaseAllGraphTextures();
int RecreateAllGraphTextures();
// The colour format of the format kind a descriptor selects.
const ColorFormat* GetGraphColorFormat(const GraphFormatDesc* desc);
const ColorFormat* GetGraphColorFormatFor(int alpha, int alphaTest, int is32, int drawable);

// 1 when graph is a valid graph handle whose picture was made as a draw
// target, else 0.
int IsDrawableGraph(int graph);
// The graph's size: 0, or -1 (nothing written) for an invalid handle.
int QueryGraphSize(int graph, int* width, int* height);
// A drawable graph's render-target surface and its format kind; null / -1
// for any other graph.
IDirect3DSurface9* GetGraphTargetSurface(int graph);
int GetGraphFormatKind(int graph);
// A software graph's memory image (the view of its rectangle); null for a
// graph with textures or an invalid handle.
MEMIMG* GetGraphMemImage(int graph);
// A software image record's memory image of the whole picture (it follows
// the picture's size); null for a texture record.
MEMIMG* GetImageRecordMemImage(GraphImageRecord* image);
// Writes an image of the graph's size into its texture tiles; 0 or -1.
int CopyImageToGraphTiles(int graph, const RasterImage* image);
// The colour format of a Direct3D format number, or null.
const ColorFormat* GetD3DFormatColorFormat(int format);
