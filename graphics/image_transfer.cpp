#include "graphics/image_transfer.h"

#include <d3d9.h>
#include <string.h>

#include <algorithm>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/vertex_batch.h"
#include "image/color_format.h"
#include "image/convert.h"
#include "image/dxt.h"
#include "image/mem_image.h"
#include "image/pixel_access.h"
#include "image/raster_image.h"
#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

// Nothing in this program turns dithering on for uploads.
const int kUploadDither = CONVERT_DITHER_NONE;

const char* const kDxtRefusedText = "DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n";

// The picture being transferred and how it is written.
struct Source {
    RasterImage* image;
    RasterImage* alpha;
    int levels;          // mip levels the pixels really hold (1 when none)
    int useKey;
    uint32_t key;        // 0x00RRGGBB
    int alphaFromRed;
};

// One tile's share of the transfer: [left, right) x [top, bottom) within
// the tile, read from the picture at (srcX, srcY).
struct Piece {
    TextureTile* tile;
    int left, top, right, bottom;
    int srcX, srcY;
};

// 1 to 5 for DXT1 to DXT5, else 0.
int DxtKindOf(D3DFORMAT format)
{
    switch ((DWORD)format) {
    case D3DFMT_DXT1: return 1;
    case D3DFMT_DXT2: return 2;
    case D3DFMT_DXT3: return 3;
    case D3DFMT_DXT4: return 4;
    case D3DFMT_DXT5: return 5;
    }
    return 0;
}

int DxtBlockBytes(int kind) { return kind == 1 ? 8 : 16; }

int LevelSide(int side, int level) { return std::max(1, side >> level); }

// Converts a rectangle of the picture to (x, y) of the destination with the
// options of an upload: the key only where the target keeps alpha and no
// alpha image decides it.
int ConvertInto(void* destination, int pitch, const ColorFormat* format, int x, int y, const RasterImage* image,
                const RasterImage* alpha, const ConvertRect& rect, const Source& s)
{
    int keyToAlpha = s.useKey && format->alphaMask != 0 && !alpha ? 1 : 0;
    return ConvertImageBlt(destination, pitch, format, image->pixels, image->pitch, &image->format,
                           alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0, alpha ? &alpha->format : nullptr,
                           x, y, &rect, 0, keyToAlpha, s.key, kUploadDither, 0, s.alphaFromRed, 0, 0);
}

// Block data cannot be converted: both images become A8R8G8B8 first. Their
// further levels are gone afterwards.
int DecompressSource(Source& s)
{
    if (s.image->format.compression != COLOR_COMPRESSION_NONE) {
        if (DecompressDxtRasterImage(s.image) != 0)
            return WriteLog("標準イメージ用のメモリ確保に失敗しました\n");
        s.image->mipCount = 0;
        s.levels = 1;
    }
    if (s.alpha && s.alpha->format.compression != COLOR_COMPRESSION_NONE) {
        if (DecompressDxtRasterImage(s.alpha) != 0)
            return WriteLog("標準イメージ用のメモリ確保に失敗しました\n");
        s.alpha->mipCount = 0;
    }
    return 0;
}

// The picture's own blocks fit a tile only when the piece is the whole
// texture and the picture is exactly that texture, in the same DXT kind;
// anything else would copy rows of another width or past the tile.
bool BlocksFitTile(const Piece& p, const Source& s, int dxtKind)
{
    const TextureTile* t = p.tile;
    const RasterImage* image = s.image;
    return dxtKind != 0 && (int)image->format.compression == dxtKind && p.left == 0 && p.top == 0 &&
           p.right == t->textureWidth && p.bottom == t->textureHeight && p.srcX == 0 && p.srcY == 0 &&
           image->width == t->textureWidth && image->height == t->textureHeight && image->pixels;
}

// Copies one level of blocks row by row with the lock's pitch, no more than
// the level holds on either side.
void CopyBlockLevel(const D3DLOCKED_RECT& locked, const uint8_t* source, int64_t sourceBytes, int width, int height,
                    int dxtKind)
{
    int blockBytes = DxtBlockBytes(dxtKind);
    int64_t rowBytes = (int64_t)std::max(1, (width + 3) / 4) * blockBytes;
    int rows = std::max(1, (height + 3) / 4);
    for (int r = 0; r < rows && (r + 1) * rowBytes <= sourceBytes; r++)
        memcpy((uint8_t*)locked.pBits + (ptrdiff_t)r * locked.Pitch, source + r * rowBytes, (size_t)rowBytes);
}

// A level of an uncompressed picture that carries its own mip levels: the
// levels follow one another, each a quarter of the one before (truncating),
// the first with the picture's pitch and the others packed. False when the
// level would not lie within that memory.
bool SourceLevel(const RasterImage* image, int level, RasterImage* out)
{
    int bytes = image->format.bytesPerPixel;
    if (bytes < 1 || bytes > 4 || image->pitch <= 0 || !image->pixels)
        return false;
    int64_t offset = 0;
    int64_t size = (int64_t)image->pitch * image->height;
    for (int i = 0; i < level; i++) {
        offset += size;
        size /= 4;
    }
    *out = *image;
    out->width = LevelSide(image->width, level);
    out->height = LevelSide(image->height, level);
    out->pitch = level == 0 ? image->pitch : out->width * bytes;
    out->mipCount = 0;
    out->pixels = (uint8_t*)image->pixels + offset;
    return (int64_t)out->pitch * (out->height - 1) + (int64_t)out->width * bytes <= size;
}

bool SourceHoldsLevels(const RasterImage* image, int n)
{
    RasterImage level;
    for (int i = 0; i < n; i++)
        if (!SourceLevel(image, i, &level))
            return false;
    return true;
}

// The piece's rectangle on a mip level: every edge divided by 2^level, at
// least one texel, within the level.
RECT LevelRect(const Piece& p, int level)
{
    int w = LevelSide(p.tile->textureWidth, level), h = LevelSide(p.tile->textureHeight, level);
    RECT r;
    r.left = std::min(p.left >> level, w - 1);
    r.top = std::min(p.top >> level, h - 1);
    r.right = std::min(std::max<int>(p.right >> level, r.left + 1), w);
    r.bottom = std::min(std::max<int>(p.bottom >> level, r.top + 1), h);
    return r;
}

int LockLevel(IDirect3DTexture9* texture, int level, const RECT* rect, D3DLOCKED_RECT* locked)
{
    if (FAILED(texture->LockRect((UINT)level, locked, rect, 0)))
        return WriteLog("ミップマップテクスチャのロックに失敗しました\n");
    return 0;
}

// Repeats the piece's last column and row into the texel beyond them, so
// that filtering at the picture's edge reads the picture, not cleared texels.
void FillBorder(const D3DLOCKED_RECT& locked, int width, int height, int bytes, bool column, bool row)
{
    uint8_t* base = (uint8_t*)locked.pBits;
    if (row)
        memcpy(base + (ptrdiff_t)height * locked.Pitch, base + (ptrdiff_t)(height - 1) * locked.Pitch,
               (size_t)width * bytes);
    if (column && (bytes == 2 || bytes == 4)) {
        int rows = row ? height + 1 : height;
        for (int y = 0; y < rows; y++) {
            uint8_t* line = base + (ptrdiff_t)y * locked.Pitch;
            memcpy(line + (ptrdiff_t)width * bytes, line + (ptrdiff_t)(width - 1) * bytes, (size_t)bytes);
        }
    }
}

int TransferOneLevel(IDirect3DTexture9* texture, const Piece& p, Source& s, const ColorFormat* tf, int dxtKind)
{
    const TextureTile* t = p.tile;
    if (BlocksFitTile(p, s, dxtKind)) {
        D3DLOCKED_RECT locked;
        if (FAILED(texture->LockRect(0, &locked, nullptr, 0)))
            return WriteLog("テクスチャのロックに失敗しました\n");
        int64_t bytes = (int64_t)t->textureWidth * t->textureHeight * s.image->format.bitDepth / 8;
        CopyBlockLevel(locked, (const uint8_t*)s.image->pixels, bytes, t->textureWidth, t->textureHeight, dxtKind);
        texture->UnlockRect(0);
        return 0;
    }
    if (dxtKind) {
        WriteLog(kDxtRefusedText);
        return 0;
    }
    if (DecompressSource(s) != 0)
        return -1;

    bool column = t->usedWidth < t->textureWidth && p.right == t->usedWidth;
    bool row = t->usedHeight < t->textureHeight && p.bottom == t->usedHeight;
    RECT lockRect = {p.left, p.top, p.right + (column ? 1 : 0), p.bottom + (row ? 1 : 0)};
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, &lockRect, 0)))
        return WriteLog("テクスチャのロックに失敗しました\n");
    int width = p.right - p.left, height = p.bottom - p.top;
    ConvertRect rect = {p.srcX, p.srcY, p.srcX + width, p.srcY + height};
    ConvertInto(locked.pBits, locked.Pitch, tf, 0, 0, s.image, s.alpha, rect, s);
    FillBorder(locked, width, height, tf->bytesPerPixel, column, row);
    texture->UnlockRect(0);
    return 0;
}

// Levels made here: the piece converted once, then halved level by level
// between two work images.
int GenerateLevels(IDirect3DTexture9* texture, const Piece& p, const Source& s, const ColorFormat* tf, int n)
{
    int width = p.right - p.left, height = p.bottom - p.top;
    int pw = 1, ph = 1;
    while (pw < width)
        pw *= 2;
    while (ph < height)
        ph *= 2;
    int bytes = tf->bytesPerPixel;
    int pitch = pw * bytes;
    int64_t size = (int64_t)pitch * ph;
    uint8_t* buffers[2] = {};
    if (size <= 0x7FFFFFFF) {
        buffers[0] = (uint8_t*)AllocTracked((size_t)size, "TransferImageToGraph", __LINE__);
        buffers[1] = (uint8_t*)AllocTracked((size_t)size, "TransferImageToGraph", __LINE__);
    }
    if (!buffers[0] || !buffers[1]) {
        if (buffers[0])
            FreeTracked(buffers[0]);
        if (buffers[1])
            FreeTracked(buffers[1]);
        return WriteLog("テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n");
    }

    ConvertRect rect = {p.srcX, p.srcY, p.srcX + width, p.srcY + height};
    ConvertInto(buffers[0], pitch, tf, 0, 0, s.image, s.alpha, rect, s);
    int result = 0;
    for (int i = 0; i < n; i++) {
        uint8_t* level = buffers[i & 1];
        if (i > 0) {
            // An odd side loses its last texel rather than leaving the level
            // unwritten: the halving takes even sides only.
            int evenW = width > 1 ? width & ~1 : 1, evenH = height > 1 ? height & ~1 : 1;
            ShrinkImageHalf(tf, level, pitch, buffers[(i - 1) & 1], pitch, 0, 0, 0, 0, evenW, evenH);
            width = std::max(1, width / 2);
            height = std::max(1, height / 2);
        }
        RECT lockRect = LevelRect(p, i);
        D3DLOCKED_RECT locked;
        if (LockLevel(texture, i, &lockRect, &locked) != 0) {
            result = -1;
            break;
        }
        ConvertRect levelRect = {0, 0, std::min<int>(width, lockRect.right - lockRect.left),
                                 std::min<int>(height, lockRect.bottom - lockRect.top)};
        ConvertImageBlt(locked.pBits, locked.Pitch, tf, level, pitch, tf, nullptr, 0, nullptr, 0, 0, &levelRect, 0, 0,
                        0, 0, 0, 0, 0, 0);
        texture->UnlockRect((UINT)i);
    }
    FreeTracked(buffers[0]);
    FreeTracked(buffers[1]);
    return result;
}

// Levels the picture brings along, each converted into its level's share of
// the piece (the source's pixel layout need not be the texture's).
int ConvertSourceLevels(IDirect3DTexture9* texture, const Piece& p, const Source& s, const ColorFormat* tf, int n)
{
    for (int i = 0; i < n; i++) {
        RasterImage image, alpha;
        SourceLevel(s.image, i, &image);
        if (s.alpha)
            SourceLevel(s.alpha, i, &alpha);
        RECT lockRect = LevelRect(p, i);
        D3DLOCKED_RECT locked;
        if (LockLevel(texture, i, &lockRect, &locked) != 0)
            return -1;
        int x = p.srcX >> i, y = p.srcY >> i;
        int width = std::min<int>(lockRect.right - lockRect.left, image.width - x);
        int height = std::min<int>(lockRect.bottom - lockRect.top, image.height - y);
        if (width > 0 && height > 0) {
            ConvertRect rect = {x, y, x + width, y + height};
            ConvertInto(locked.pBits, locked.Pitch, tf, 0, 0, &image, s.alpha ? &alpha : nullptr, rect, s);
        }
        texture->UnlockRect((UINT)i);
    }
    return 0;
}

int TransferLevels(IDirect3DTexture9* texture, const Piece& p, Source& s, const ColorFormat* tf, int dxtKind, int n)
{
    const TextureTile* t = p.tile;
    if (BlocksFitTile(p, s, dxtKind) && s.levels >= n) {
        const uint8_t* source = (const uint8_t*)s.image->pixels;
        int64_t size = (int64_t)t->textureWidth * t->textureHeight * s.image->format.bitDepth / 8;
        int64_t smallest = DxtBlockBytes(dxtKind);
        for (int i = 0; i < n; i++) {
            D3DLOCKED_RECT locked;
            if (LockLevel(texture, i, nullptr, &locked) != 0)
                return -1;
            CopyBlockLevel(locked, source, size, LevelSide(t->textureWidth, i), LevelSide(t->textureHeight, i),
                           dxtKind);
            texture->UnlockRect((UINT)i);
            source += size;
            size = std::max<int64_t>(size / 4, smallest);
        }
        return 0;
    }
    if (dxtKind) {
        WriteLog(kDxtRefusedText);
        return 0;
    }
    if (DecompressSource(s) != 0)
        return -1;
    bool alphaLevels = !s.alpha || (s.alpha->mipCount >= n && SourceHoldsLevels(s.alpha, n));
    if (s.levels >= n && alphaLevels && SourceHoldsLevels(s.image, n))
        return ConvertSourceLevels(texture, p, s, tf, n);
    return GenerateLevels(texture, p, s, tf, n);
}

int TransferPiece(const Piece& p, Source& s, const ColorFormat* tf, int dxtKind, int mipLevels)
{
    TextureTile* t = p.tile;
    // The system twin, when there is one, takes the pixels and is uploaded.
    IDirect3DTexture9* texture = t->systemTexture ? t->systemTexture : t->texture;
    if (!texture)
        return -1;
    int n = std::min(std::max(mipLevels, 1), (int)texture->GetLevelCount());
    int result = n < 2 ? TransferOneLevel(texture, p, s, tf, dxtKind) : TransferLevels(texture, p, s, tf, dxtKind, n);
    if (t->systemTexture && t->texture)
        DeviceObjects.device->UpdateTexture(t->systemTexture, t->texture);
    return result;
}

// The piece of the destination rectangle (x, y, width, height) that falls in
// an area of a tile: the area starts at (areaX, areaY) in destination
// coordinates and at (tileX, tileY) in the tile. The piece stays within the
// tile's used area.
bool MakePiece(TextureTile* tile, int areaX, int areaY, int areaW, int areaH, int tileX, int tileY, int x, int y,
               int width, int height, int srcLeft, int srcTop, Piece* out)
{
    if (!tile)
        return false;
    int64_t left = std::max<int64_t>(areaX, x), right = std::min<int64_t>((int64_t)areaX + areaW, (int64_t)x + width);
    int64_t top = std::max<int64_t>(areaY, y), bottom = std::min<int64_t>((int64_t)areaY + areaH, (int64_t)y + height);
    int64_t srcX = srcLeft + (left - x), srcY = srcTop + (top - y);
    left += tileX - areaX;
    right += tileX - areaX;
    top += tileY - areaY;
    bottom += tileY - areaY;
    if (left < 0) {
        srcX -= left;
        left = 0;
    }
    if (top < 0) {
        srcY -= top;
        top = 0;
    }
    right = std::min<int64_t>(right, tile->usedWidth);
    bottom = std::min<int64_t>(bottom, tile->usedHeight);
    if (left >= right || top >= bottom)
        return false;
    out->tile = tile;
    out->left = (int)left;
    out->top = (int)top;
    out->right = (int)right;
    out->bottom = (int)bottom;
    out->srcX = (int)srcX;
    out->srcY = (int)srcY;
    return true;
}

// The tile pieces of the destination rectangle: every tile of the image
// record (image coordinates) or every tile entry of the graph.
int CollectPieces(const GraphRecord* record, GraphImageRecord* image, int imageCoordinates, int x, int y, int width,
                  int height, int srcLeft, int srcTop, Piece* pieces)
{
    int count = 0;
    if (imageCoordinates) {
        for (int i = 0; i < image->tileCount; i++) {
            TextureTile* t = &image->tiles[i];
            count += MakePiece(t, t->x, t->y, t->usedWidth, t->usedHeight, 0, 0, x, y, width, height, srcLeft, srcTop,
                               &pieces[count]);
        }
    } else {
        for (int i = 0; i < record->tileCount; i++) {
            const GraphTileEntry& e = record->tiles[i];
            count += MakePiece(e.tile, e.dstX, e.dstY, e.pieceWidth, e.pieceHeight, e.tileX, e.tileY, x, y, width,
                               height, srcLeft, srcTop, &pieces[count]);
        }
    }
    return count;
}

// Render-target textures cannot be locked: the picture is converted once into
// a system-memory surface and each piece goes up with UpdateSurface.
int TransferThroughStaging(const Piece* pieces, int count, Source& s, const RECT& source, D3DFORMAT format,
                           const ColorFormat* tf, int imageCoordinates)
{
    IDirect3DDevice9* device = DeviceObjects.device;
    int width = source.right - source.left, height = source.bottom - source.top;
    if (DecompressSource(s) != 0)
        return -1;
    IDirect3DSurface9* staging = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface((UINT)width, (UINT)height, format, D3DPOOL_SYSTEMMEM, &staging,
                                                   nullptr)))
        return WriteLog("画像転送用のシステムメモリテクスチャの作成に失敗しました\n");
    int result = 0;
    D3DLOCKED_RECT locked;
    if (FAILED(staging->LockRect(&locked, nullptr, D3DLOCK_DISCARD))) {
        result = WriteLog("テクスチャのロックに失敗しました\n");
    } else {
        ConvertRect rect = {source.left, source.top, source.right, source.bottom};
        ConvertInto(locked.pBits, locked.Pitch, tf, 0, 0, s.image, s.alpha, rect, s);
        staging->UnlockRect();
        for (int i = 0; i < count && result == 0; i++) {
            const Piece& p = pieces[i];
            RECT from = {p.srcX - source.left, p.srcY - source.top, p.srcX - source.left + (p.right - p.left),
                         p.srcY - source.top + (p.bottom - p.top)};
            POINT to = {p.left, p.top};
            bool failed = !p.tile->surface || FAILED(device->UpdateSurface(staging, &from, p.tile->surface, &to));
            if (failed && !imageCoordinates)
                result = WriteLog("描画可能テクスチャへの画像の転送に失敗しました\n");
        }
    }
    staging->Release();
    return result;
}

int TransferToTextures(const GraphRecord* record, GraphImageRecord* image, Source& s, const RECT& source, int x,
                       int y, int imageCoordinates)
{
    if (!DeviceObjects.device || image->formatKind < 0 || image->formatKind >= FORMAT_KIND_COUNT)
        return -1;
    D3DFORMAT format = DeviceFormatTable.formats[image->formatKind];
    int dxtKind = DxtKindOf(format);
    const ColorFormat* tf = dxtKind ? nullptr : GetD3DFormatColorFormat((int)format);
    if (!dxtKind && !tf)
        return -1;

    int tileCount = imageCoordinates ? image->tileCount : record->tileCount;
    if (tileCount < 1)
        return 0;
    Piece* pieces = (Piece*)AllocTracked((size_t)tileCount * sizeof(Piece), "TransferImageToGraph", __LINE__);
    if (!pieces)
        return -1;
    int width = source.right - source.left, height = source.bottom - source.top;
    int count = CollectPieces(record, image, imageCoordinates, x, y, width, height, source.left, source.top, pieces);

    int result = 0;
    if (image->desc.drawable) {
        if (dxtKind)
            result = -1;
        else if (count > 0)
            result = TransferThroughStaging(pieces, count, s, source, format, tf, imageCoordinates);
    } else {
        for (int i = 0; i < count && result == 0; i++)
            result = TransferPiece(pieces[i], s, tf, dxtKind, image->mipLevels);
    }
    FreeTracked(pieces);
    return result;
}

// Index of the first palette entry of the memory image equal to the current
// transparent colour, or 0.
uint32_t TransparentPaletteIndex(const MemImgBody* body)
{
    const ColorFormat* format = GetPresetColorFormat(body->pixelKind, 0, 0);
    if (!format || !body->paletteBlock)
        return 0;
    uint32_t c = Draw.create.transColor;
    uint32_t value = ColorToPixelValue(format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 0);
    const uint8_t* entries = (const uint8_t*)body->paletteBlock;
    for (uint32_t i = 0; i < 256; i++) {
        if (body->pixelKind == MEMIMG_KIND_R5G6B5) {
            uint16_t e;
            memcpy(&e, entries + 2 * i, 2);
            if (e == (value & 0xFFFF))
                return i;
        } else {
            uint32_t e;
            memcpy(&e, entries + 4 * i, 4);
            if ((e & 0xFFFFFF) == (value & 0xFFFFFF))
                return i;
        }
    }
    return 0;
}

int TransferToMemImage(const GraphRecord* record, GraphImageRecord* image, Source& s, const RECT& source, int x,
                       int y, int imageCoordinates)
{
    MEMIMG* memImage = GetImageRecordMemImage(image);
    if (!memImage || !IsMemImageValid(memImage))
        return -1;
    int64_t left = source.left, top = source.top;
    int64_t width = source.right - source.left, height = source.bottom - source.top;
    int64_t dx = x, dy = y;
    // A position before the area moves into it, taking the picture along.
    if (dx < 0) {
        left -= dx;
        width += dx;
        dx = 0;
    }
    if (dy < 0) {
        top -= dy;
        height += dy;
        dy = 0;
    }
    if (imageCoordinates) {
        width = std::min<int64_t>(width, image->width - dx);
        height = std::min<int64_t>(height, image->height - dy);
    } else {
        width = std::min<int64_t>(width, record->width - dx);
        height = std::min<int64_t>(height, record->height - dy);
        dx += record->srcX;
        dy += record->srcY;
    }
    if (width < 1 || height < 1)
        return -1;
    if (DecompressSource(s) != 0)
        return -1;
    TransferImageToMemImage(s.image, s.alpha, memImage, (int)left, (int)top, (int)width, (int)height, (int)dx,
                            (int)dy, s.useKey);
    if (image->desc.palette && memImage->body->paletteFlag)
        SetMemImageTransColor(memImage, TransparentPaletteIndex(memImage->body));
    return 0;
}

// A GDI bitmap as a raster image of the given format; false when the bitmap
// has no pixel memory of its own to read.
bool WrapBitmap(HBITMAP bitmap, const ColorFormat* format, RasterImage* out)
{
    BITMAP bm;
    if (!bitmap || !format || GetObjectA(bitmap, sizeof bm, &bm) != (int)sizeof bm || !bm.bmBits ||
        bm.bmWidth < 1 || bm.bmHeight < 1)
        return false;
    if (format->bytesPerPixel < 1 || format->bytesPerPixel > 4 || format->compression != COLOR_COMPRESSION_NONE ||
        (int64_t)bm.bmWidth * format->bytesPerPixel > bm.bmWidthBytes)
        return false;
    memset(out, 0, sizeof *out);
    out->format = *format;
    out->width = bm.bmWidth;
    out->height = bm.bmHeight;
    out->pitch = (bm.bmWidthBytes + 3) & ~3;
    out->pixels = bm.bmBits;
    return true;
}

} // namespace

int TransferImageToGraph(int graph, ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                         const RECT* source, int dstX, int dstY, int bitmapMode, RasterImage* image,
                         RasterImage* alpha, int alphaFromRed, int useKey, int imageCoordinates)
{
    if (!Screen.started)
        return -1;
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;
    GraphImageRecord* target = record->image;
    // Queued draws may still read these textures.
    FlushVertexBuffer();
    if (!source)
        return -1;
    if ((int64_t)source->right - source->left < 1 || (int64_t)source->bottom - source->top < 1)
        return 0;

    RasterImage bitmapImage, bitmapAlpha;
    if (bitmapMode) {
        if (!WrapBitmap(colourBitmap, bitmapFormat, &bitmapImage))
            return -1;
        image = &bitmapImage;
        alpha = nullptr;
        if (alphaBitmap) {
            if (!WrapBitmap(alphaBitmap, bitmapFormat, &bitmapAlpha))
                return -1;
            alpha = &bitmapAlpha;
        }
    }
    if (!image || !image->pixels || (alpha && !alpha->pixels))
        return -1;

    // Only what the picture (and its alpha image) holds is read: a file
    // replaced by a smaller one gives a smaller picture than the graph.
    int64_t right = std::min<int64_t>(source->right, image->width);
    int64_t bottom = std::min<int64_t>(source->bottom, image->height);
    if (alpha) {
        right = std::min<int64_t>(right, alpha->width);
        bottom = std::min<int64_t>(bottom, alpha->height);
    }
    int64_t left = std::max<int64_t>(source->left, 0), top = std::max<int64_t>(source->top, 0);
    int64_t x = (int64_t)dstX + (left - source->left), y = (int64_t)dstY + (top - source->top);
    if (right - left < 1 || bottom - top < 1 || x > INT32_MAX || y > INT32_MAX)
        return 0;
    RECT clipped = {(LONG)left, (LONG)top, (LONG)right, (LONG)bottom};

    Source s;
    s.image = image;
    s.alpha = alpha;
    s.levels = std::max(image->mipCount, 1);
    s.useKey = useKey;
    s.key = target->transColor & 0xFFFFFF;
    s.alphaFromRed = alphaFromRed;

    if (target->desc.texture)
        return TransferToTextures(record, target, s, clipped, (int)x, (int)y, imageCoordinates);
    return TransferToMemImage(record, target, s, clipped, (int)x, (int)y, imageCoordinates);
}
