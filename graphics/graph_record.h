// Graph records: a graph names a rectangle of a shared, reference-counted
// image record, which holds the picture as texture tiles (Direct3D) or as one
// memory image (software renderer).
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

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
    int mipLevels;            // texture pictures
    int tileCount;
    TextureTile tiles[1];     // tileCount entries
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
    void* keptData[2];
    int keptSize[2];
    int tileCount;            // texture graphs; a software graph's view lives here instead
    GraphTileEntry tiles[GRAPH_BASE_TILE_ENTRIES];
};

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
struct MEMIMG;
struct RasterImage;

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
