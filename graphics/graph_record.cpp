#include "graphics/graph_record.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/image_transfer.h"
#include "graphics/shaders.h"
#include "image/color_format.h"
#include "runtime/log.h"
#include "runtime/memory.h"

// ---------------------------------------------------------------------------
// Queries used across the graphics layer.

static GraphImageRecord* ImageOf(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    return record ? record->image : nullptr;
}

int IsDrawableGraph(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image && image->desc.drawable ? 1 : 0;
}

int QueryGraphSize(int graph, int* width, int* height)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    if (width)
        *width = record->width;
    if (height)
        *height = record->height;
    return 0;
}

IDirect3DSurface9* GetGraphTargetSurface(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image && image->desc.drawable && image->desc.texture && image->tileCount > 0 ? image->tiles[0].surface
                                                                                        : nullptr;
}

int GetGraphFormatKind(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image ? image->formatKind : -1;
}

MEMIMG* GetGraphMemImage(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image || record->image->desc.texture || !IsMemImageValid(&record->view))
        return nullptr;
    return &record->view;
}

MEMIMG* GetImageRecordMemImage(GraphImageRecord* image)
{
    return image && !image->desc.texture ? &image->memImage : nullptr;
}

int CopyImageToGraphTiles(int graph, const RasterImage* image)
{
    int width, height;
    if (QueryGraphSize(graph, &width, &height) != 0 || !image)
        return -1;
    RECT source = {0, 0, width, height};
    return TransferImageToGraph(graph, nullptr, nullptr, nullptr, &source, 0, 0, 0, (RasterImage*)image, nullptr, 0,
                                0, 0);
}

// ---------------------------------------------------------------------------
// Colour formats.

const ColorFormat* GetD3DFormatColorFormat(int format)
{
    struct Entry {
        int format, depth;
        unsigned int r, g, b, a;
    };
    static const Entry entries[] = {
        {D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {D3DFMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_R5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
        {D3DFMT_X1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},
        {D3DFMT_A1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
        {D3DFMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
        {D3DFMT_R3G3B2, 8, 0xE0, 0x1C, 0x3, 0},
        {D3DFMT_A8R3G3B2, 16, 0xE0, 0x1C, 0x3, 0xFF00},
        {D3DFMT_X4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0},
        {D3DFMT_A2B10G10R10, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
        {D3DFMT_A8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
        {D3DFMT_X8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0},
        {D3DFMT_A2R10G10B10, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    };
    enum { COUNT = sizeof entries / sizeof entries[0] };
    static ColorFormat formats[COUNT];
    static bool built[COUNT];
    for (int i = 0; i < COUNT; i++) {
        if (entries[i].format != format)
            continue;
        if (!built[i]) {
            const Entry& e = entries[i];
            MakeColorFormat(&formats[i], e.depth, e.r, e.g, e.b, e.a);
            built[i] = true;
        }
        return &formats[i];
    }
    return nullptr;
}

// The colour format of each texture format kind 0 to 13.
static const ColorFormat* FormatOfKind(int kind)
{
    enum { KINDS = 14 };
    static ColorFormat formats[KINDS];
    static bool built;
    if (kind < 0 || kind >= KINDS)
        return nullptr;
    if (!built) {
        MakeColorFormat(&formats[0], 16, 0xF800, 0x07E0, 0x001F, 0);
        MakeColorFormat(&formats[1], 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        MakeColorFormat(&formats[2], 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
        MakeColorFormat(&formats[3], 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        MakeColorFormat(&formats[4], 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
        formats[5] = formats[3];
        // DXT kinds: the masks of kind 3 (their decompressed form), 4 or 8 bits a pixel.
        for (int k = 1; k <= 5; k++) {
            formats[5 + k] = formats[3];
            formats[5 + k].bitDepth = (uint16_t)(k == 1 ? 4 : 8);
            formats[5 + k].compression = (uint32_t)k;
        }
        formats[11] = formats[0];
        formats[12] = formats[1];
        formats[13] = formats[3];
        built = true;
    }
    return &formats[kind];
}

const ColorFormat* GetGraphColorFormat(const GraphFormatDesc* desc)
{
    return desc ? FormatOfKind(GraphFormatIndex(desc)) : nullptr;
}

const ColorFormat* GetGraphColorFormatFor(int alpha, int alphaTest, int is32, int drawable)
{
    GraphFormatDesc desc = {};
    desc.alpha = (uint8_t)(alpha ? 1 : 0);
    desc.alphaTest = (uint8_t)(alphaTest ? 1 : 0);
    desc.drawable = (uint8_t)(drawable ? 1 : 0);
    desc.colorDepth = (uint8_t)(is32 ? 32 : 16);
    return GetGraphColorFormat(&desc);
}

// ---------------------------------------------------------------------------
// Tile sizes.

int ChooseTextureTileSize(int n, int* sizes, int singleFlag)
{
    const GraphCreateSettings& settings = Draw.create;
    int limit = settings.textureSizeLimit ? settings.textureSizeLimit : DeviceObjects.maxTextureSide;
    // Without a usable limit the halving below would never reach a tile.
    if (limit < 8)
        limit = 8;
    if (n <= 8) {
        sizes[0] = 8;
        return 1;
    }
    int t = limit;
    while (t > 8 && t > n)
        t >>= 1;

    int screenWidth;
    QueryScreenSize(&screenWidth, nullptr);
    if ((settings.singleTexture == 1 || singleFlag == 1 || (settings.textureSizeLimit == 0 && n < screenWidth)) &&
        (int64_t)t * 2 <= limit) {
        sizes[0] = t < n ? t * 2 : t;
        return 1;
    }

    int count = 0;
    for (;;) {
        if (count == GRAPH_SIDE_TILE_MAX)
            return -1;
        sizes[count++] = t;
        n -= t;
        if (n <= 0)
            break;
        if (n > (3 * (int64_t)t) / 4 && t < limit) {
            sizes[count - 1] = t * 2;
            break;
        }
        while (n < t && t > 8)
            t >>= 1;
    }
    if (count >= 2 && sizes[count - 1] == sizes[count - 2] && (int64_t)sizes[count - 1] * 2 <= limit) {
        sizes[count - 2] *= 2;
        count--;
    }
    return count;
}

// ---------------------------------------------------------------------------
// Textures.

static bool IsDxtKind(int kind) { return kind >= FORMAT_DXT1 && kind <= FORMAT_DXT5; }

// Zero-fills every level of a lockable texture; a level that cannot be locked
// is skipped.
static void ClearTextureLevels(IDirect3DTexture9* texture)
{
    DWORD levels = texture->GetLevelCount();
    for (DWORD i = 0; i < levels; i++) {
        D3DSURFACE_DESC levelDesc;
        D3DLOCKED_RECT locked;
        if (FAILED(texture->GetLevelDesc(i, &levelDesc)) || FAILED(texture->LockRect(i, &locked, nullptr, 0)))
            continue;
        memset(locked.pBits, 0, (size_t)locked.Pitch * levelDesc.Height);
        texture->UnlockRect(i);
    }
}

int CreateGraphTextures(GraphImageRecord* image)
{
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return -1;
    if (!image || !image->desc.texture)
        return 0;
    D3DFORMAT format = image->formatKind >= 0 && image->formatKind < FORMAT_KIND_COUNT
                           ? DeviceFormatTable.formats[image->formatKind]
                           : D3DFMT_UNKNOWN;
    if (format == D3DFMT_UNKNOWN) {
        WriteLog("指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
        return -1;
    }
    // The Ex device has no managed pool: pictures go through system twins.
    if (DeviceObjects.deviceEx)
        image->desc.keepSystemCopy = 1;
    const bool drawable = image->desc.drawable != 0;
    const bool keep = image->desc.keepSystemCopy != 0;
    const UINT levels = (UINT)(image->mipLevels > 0 ? image->mipLevels : 0);

    for (int i = 0; i < image->tileCount; i++) {
        TextureTile* tile = &image->tiles[i];
        if (tile->texture)
            continue;
        D3DPOOL pool = keep || drawable ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
        if (FAILED(device->CreateTexture((UINT)tile->textureWidth, (UINT)tile->textureHeight, levels,
                                         drawable ? D3DUSAGE_RENDERTARGET : 0, format, pool, &tile->texture,
                                         nullptr))) {
            tile->texture = nullptr;
            WriteLog("書き込み専用テクスチャの作成に失敗しました\n");
            return -1;
        }
        if (!drawable && keep &&
            FAILED(device->CreateTexture((UINT)tile->textureWidth, (UINT)tile->textureHeight, levels,
                                         D3DUSAGE_DYNAMIC, format, D3DPOOL_SYSTEMMEM, &tile->systemTexture,
                                         nullptr))) {
            tile->systemTexture = nullptr;
            ReleaseObject(tile->texture);
            WriteLog("メモリテクスチャの作成に失敗しました\n");
            return -1;
        }
        if (FAILED(tile->texture->GetSurfaceLevel(0, &tile->surface))) {
            tile->surface = nullptr;
            WriteLog("テクスチャのサーフェスアドレスの取得に失敗しました\n");
            return -1;
        }
        if (drawable) {
            device->ColorFill(tile->surface, nullptr, 0);
        } else if (!IsDxtKind(image->formatKind)) {
            ClearTextureLevels(keep ? tile->systemTexture : tile->texture);
            if (keep)
                device->UpdateTexture(tile->systemTexture, tile->texture);
        }
    }
    return 0;
}

int ReleaseGraphTextures(GraphImageRecord* image)
{
    if (!image || !image->desc.texture)
        return 0;
    for (int i = 0; i < image->tileCount; i++) {
        TextureTile* tile = &image->tiles[i];
        ReleaseObject(tile->surface);
        ReleaseObject(tile->texture);
        ReleaseObject(tile->systemTexture);
    }
    return 0;
}

int ReleaseDrawableExtras(GraphImageRecord* image)
{
    if (!image || !image->desc.drawable)
        return 0;
    if (image->desc.texture) {
        for (int i = 0; i < image->tileCount; i++)
            ReleaseObject(image->tiles[i].targetExtra);
    } else if (image->drawableExtra) {
        ReleaseMemImage(image->drawableExtra);
        FreeTracked(image->drawableExtra);
        image->drawableExtra = nullptr;
    }
    return 0;
}

int ReleaseAllGraphTextures()
{
    for (int slot = 0; slot < GraphHandles.endSlot; slot++) {
        GraphRecord* record = (GraphRecord*)GraphHandles.records[slot];
        if (record && record->image)
            ReleaseGraphTextures(record->image);
    }
    ReleaseShaderHandleObjects();
    return 0;
}

int RecreateAllGraphTextures()
{
    for (int slot = 0; slot < GraphHandles.endSlot; slot++) {
        GraphRecord* record = (GraphRecord*)GraphHandles.records[slot];
        if (record && record->image)
            CreateGraphTextures(record->image);
    }
    RecreateShaderHandleObjects();
    return 0;
}

// ---------------------------------------------------------------------------
// Tile entries.

int SetupGraphTiles(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;
    GraphImageRecord* image = record->image;

    if (!image->desc.texture) {
        // A failed shrink would lose track of the record: refuse like a
        // failed tile-entry allocation.
        record = (GraphRecord*)ResizeHandleRecord(&GraphHandles, graph, SOFT_GRAPH_RECORD_SIZE, 0, 0,
                                                  "SetupGraphTiles", __LINE__);
        if (!record) {
            WriteLog("画像描画情報格納用メモリの確保に失敗しました\n");
            return -1;
        }
        ReleaseMemImage(&record->view);
        return DeriveMemImage(&record->view, &image->memImage, record->srcX, record->srcY, record->width,
                              record->height) == 0
                   ? 0
                   : -1;
    }

    const int64_t left = record->srcX, top = record->srcY;
    const int64_t right = left + record->width, bottom = top + record->height;
    auto touches = [&](const TextureTile& tile) {
        return tile.usedWidth > 0 && tile.usedHeight > 0 && tile.x < right && tile.x + (int64_t)tile.usedWidth > left &&
               tile.y < bottom && tile.y + (int64_t)tile.usedHeight > top;
    };
    int selected = 0;
    for (int i = 0; i < image->tileCount; i++)
        selected += touches(image->tiles[i]) ? 1 : 0;
    if (selected == 0) {
        WriteLog("テクスチャ描画情報の作成に失敗しました\n");
        return -1;
    }
    record = (GraphRecord*)ResizeHandleRecord(&GraphHandles, graph, GRAPH_TILE_ENTRIES_OFFSET, selected,
                                              sizeof(GraphTileEntry), "SetupGraphTiles", __LINE__);
    if (!record) {
        WriteLog("画像描画情報格納用メモリの確保に失敗しました\n");
        return -1;
    }
    record->tileCount = selected;

    const int srcX = record->srcX, srcY = record->srcY, width = record->width, height = record->height;
    const double ratio = (double)height / (double)width;
    GraphTileEntry* entry = record->tiles;
    for (int i = 0; i < image->tileCount; i++) {
        TextureTile* tile = &image->tiles[i];
        if (!touches(*tile))
            continue;
        if (tile->x > srcX) {
            entry->dstX = tile->x - srcX;
            entry->tileX = 0;
            entry->pieceWidth = tile->x + tile->usedWidth > srcX + width ? srcX + width - tile->x : tile->usedWidth;
        } else {
            entry->dstX = 0;
            entry->tileX = srcX - tile->x;
            entry->pieceWidth = tile->x + tile->usedWidth > srcX + width ? width : tile->usedWidth - entry->tileX;
        }
        if (tile->y > srcY) {
            entry->dstY = tile->y - srcY;
            entry->tileY = 0;
            entry->pieceHeight =
                tile->y + tile->usedHeight > srcY + height ? srcY + height - tile->y : tile->usedHeight;
        } else {
            entry->dstY = 0;
            entry->tileY = srcY - tile->y;
            entry->pieceHeight =
                tile->y + tile->usedHeight > srcY + height ? height : tile->usedHeight - entry->tileY;
        }
        const float x0 = (float)entry->dstX, x1 = (float)(entry->dstX + entry->pieceWidth);
        const float y0 = (float)entry->dstY, y1 = (float)(entry->dstY + entry->pieceHeight);
        const float tw = (float)tile->textureWidth, th = (float)tile->textureHeight;
        const float u0 = (float)entry->tileX / tw, u1 = (float)(entry->tileX + entry->pieceWidth) / tw;
        const float v0 = (float)entry->tileY / th, v1 = (float)(entry->tileY + entry->pieceHeight) / th;
        const float corners[4][4] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x0, y1, u0, v1}, {x1, y1, u1, v1}};
        memcpy(entry->corners, corners, sizeof corners);
        for (int c = 0; c < 4; c++)
            entry->diagonalSide[c] = (double)corners[c][1] <= height - (double)corners[c][0] * ratio ? 1 : 0;
        entry->tile = tile;
        entry++;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Record creation.

// One tile of the grid before the square-only split.
struct TileShape {
    int x, y, width, height;
};

// Fills the tile table from the grid, splitting non-square tiles on
// square-only devices; the number of tiles, or -1 when it cannot be held.
static int64_t CountTiles(const int* cols, int colCount, const int* rows, int rowCount, bool squareOnly)
{
    int64_t count = (int64_t)colCount * rowCount;
    if (!squareOnly)
        return count;
    for (int i = 0; i < rowCount; i++)
        for (int j = 0; j < colCount; j++) {
            int longSide = cols[j] > rows[i] ? cols[j] : rows[i];
            int shortSide = cols[j] > rows[i] ? rows[i] : cols[j];
            count += longSide / shortSide - 1;
        }
    return count;
}

static void SetTile(TextureTile* tile, const GraphImageRecord* image, int x, int y, int tw, int th)
{
    tile->x = x;
    tile->y = y;
    tile->textureWidth = tw;
    tile->textureHeight = th;
    // A square stacked past the picture's edge holds nothing of it.
    int usedWidth = image->width - x < tw ? image->width - x : tw;
    int usedHeight = image->height - y < th ? image->height - y : th;
    tile->usedWidth = usedWidth > 0 ? usedWidth : 0;
    tile->usedHeight = usedHeight > 0 ? usedHeight : 0;
}

static void FillTiles(GraphImageRecord* image, const int* cols, int colCount, const int* rows, int rowCount,
                      bool squareOnly)
{
    int next = colCount * rowCount;
    int y = 0;
    for (int i = 0; i < rowCount; i++) {
        int x = 0;
        for (int j = 0; j < colCount; j++) {
            TextureTile* tile = &image->tiles[i * colCount + j];
            int tw = cols[j], th = rows[i];
            if (squareOnly && tw != th) {
                int side = tw < th ? tw : th;
                int pieces = (tw < th ? th : tw) / side;
                SetTile(tile, image, x, y, side, side);
                for (int k = 1; k < pieces; k++) {
                    if (tw < th)
                        SetTile(&image->tiles[next++], image, x, y + k * side, side, side);
                    else
                        SetTile(&image->tiles[next++], image, x + k * side, y, side, side);
                }
            } else {
                SetTile(tile, image, x, y, tw, th);
            }
            x += cols[j];
        }
        y += rows[i];
    }
}

static int FullMipChain(int width, int height)
{
    int count = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        count++;
    }
    return count;
}

// Deletes the half-made graph and reports the failure.
static int FailCreation(int graph)
{
    FreeGraph(graph);
    return -1;
}

int CreateGraphRecord(int mipLevels, int graph, int width, int height, int alpha, int palette, int compression)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    if (width < 1 || height < 1)
        return FailCreation(graph);

    const GraphCreateSettings& settings = Draw.create;
    GraphFormatDesc desc = {};
    desc.texture = (uint8_t)(Screen.hardware ? 1 : 0);
    desc.alpha = (uint8_t)(alpha ? 1 : 0);
    desc.keepSystemCopy = (uint8_t)(settings.keepSystemCopy ? 1 : 0);
    desc.compression = (uint8_t)(compression >= 0 && compression <= 5 ? compression : 0);
    desc.alphaTest = (uint8_t)(settings.alphaTest ? 1 : 0);
    desc.blendImage = (uint8_t)(settings.blendImage ? 1 : 0);
    if (mipLevels == -1) {
        mipLevels = 1;
        if (settings.mipSetting == -1)
            mipLevels = FullMipChain(width, height);
        else if (settings.mipSetting != 0)
            mipLevels = settings.mipSetting;
    }
    if (mipLevels < 0)
        mipLevels = 0;
    if (settings.drawable == 1) {
        desc.alpha = (uint8_t)(settings.drawableAlpha ? 1 : 0);
        desc.drawable = 1;
        desc.keepSystemCopy = 1;
        desc.compression = 0;
        mipLevels = 0;
        desc.alphaTest = 0;
        desc.blendImage = 0;
    }
    if (desc.texture) {
        int depth = settings.colorDepth ? settings.colorDepth : alpha == 1 ? 32 : QueryColorDepth();
        desc.colorDepth = (uint8_t)depth;
        desc.software = 0;
        if (desc.alpha)
            desc.alphaTest = 0;
        if (desc.blendImage) {
            desc.colorDepth = 32;
            desc.alpha = 1;
            desc.drawable = 0;
        }
    } else {
        desc.compression = 0;
        desc.colorDepth = (uint8_t)(settings.colorDepth ? settings.colorDepth : QueryColorDepth());
        desc.palette = (uint8_t)(palette ? 1 : 0);
        desc.software = 1;
        desc.keepSystemCopy = 0;
        mipLevels = 0;
        desc.alphaTest = 0;
        desc.drawable = (uint8_t)(desc.blendImage ? 0 : 1);
    }
    desc.mipLevels = (uint8_t)(mipLevels < 255 ? mipLevels : 255);

    int cols[GRAPH_SIDE_TILE_MAX], rows[GRAPH_SIDE_TILE_MAX];
    int colCount = 0, rowCount = 0;
    int64_t tileCount = 0;
    bool squareOnly = false;
    int64_t recordSize = SOFT_IMAGE_RECORD_SIZE;
    if (desc.texture) {
        int single = desc.blendImage || desc.drawable ? 1 : 0;
        colCount = ChooseTextureTileSize(width, cols, single);
        rowCount = ChooseTextureTileSize(height, rows, single);
        if (colCount < 1 || rowCount < 1) {
            WriteLog("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
            return FailCreation(graph);
        }
        squareOnly = (DeviceObjects.caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
        tileCount = CountTiles(cols, colCount, rows, rowCount, squareOnly);
        recordSize = (int64_t)offsetof(GraphImageRecord, tiles) + tileCount * (int64_t)sizeof(TextureTile);
    }
    GraphImageRecord* image = nullptr;
    if (tileCount <= INT32_MAX && (uint64_t)recordSize <= (uint64_t)SIZE_MAX / 2)
        image = (GraphImageRecord*)AllocTrackedZero((size_t)recordSize, "CreateGraphRecord", __LINE__);
    if (!image) {
        WriteLog("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
        return FailCreation(graph);
    }
    image->desc = desc;
    image->transColor = settings.transColor;
    image->width = width;
    image->height = height;
    image->refCount = 1;
    record->image = image;
    record->srcX = record->srcY = 0;
    record->width = width;
    record->height = height;

    if (desc.texture) {
        image->formatKind = GraphFormatIndex(&desc);
        image->mipLevels = mipLevels;
        image->tileCount = (int)tileCount;
        FillTiles(image, cols, colCount, rows, rowCount, squareOnly);
        // Block data goes into a texture only as that whole texture: a picture
        // of another size than its one tile would reach no tile at all and
        // draw black, so such a graph is made uncompressed instead.
        if (image->desc.compression != 0 &&
            (image->tileCount != 1 || image->tiles[0].textureWidth != width || image->tiles[0].textureHeight != height)) {
            image->desc.compression = 0;
            image->formatKind = GraphFormatIndex(&image->desc);
        }
        if (CreateGraphTextures(image) != 0)
            return FailCreation(graph);
    } else if (desc.blendImage) {
        if (CreateMemImage(&image->memImage, width, height, -1, 0, MEMIMG_KIND_SINGLE8, 0, 0, 1, nullptr) != 0) {
            WriteLog("ブレンド画像用メモリイメージの作成に失敗しました\n");
            return FailCreation(graph);
        }
        FillMemImageRect(&image->memImage, nullptr, 0);
    } else {
        const int wide = desc.colorDepth == 32 ? 1 : 0;
        image->formatKind = 15 + 2 * wide + desc.alpha;
        const int kind = desc.colorDepth != 16 ? MEMIMG_KIND_X8R8G8B8 : MEMIMG_KIND_R5G6B5;
        uint32_t trans = 0xFFFF;
        if (!desc.palette) {
            const uint32_t c = settings.transColor;
            trans = ColorToPixelValue(GetPresetColorFormat(kind, 0, 0), (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF,
                                      0);
        }
        if (CreateMemImage(&image->memImage, width, height, -1, trans, kind, desc.palette, desc.alpha, 1, nullptr) !=
            0) {
            WriteLog("メモリイメージの作成に失敗しました\n");
            return FailCreation(graph);
        }
        FillMemImageRect(&image->memImage, nullptr, 0);
    }
    if (SetupGraphTiles(graph) != 0)
        return FailCreation(graph);
    return 0;
}
