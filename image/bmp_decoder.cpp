// Windows bitmaps: 4- and 8-bit palette images (plain, RLE4 and RLE8) become
// 8-bit palette images, 8-, 24- and 32-bit images are taken over directly,
// and the other kinds (1 bit, 16 bits, bit-field masks) are drawn by GDI into
// a 24-bit DIB section. Files with the 12-byte core header are read as the
// same kinds. Every size and offset read from the file is checked against
// what the file holds before it is used.
#include "image/image_decoders.h"

#include <string.h>

#ifdef _WIN32 // GDI draws the 1- and 16-bit and mask kinds; the native build leaves that path out
#include <windows.h>
#endif

#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

// The largest picture decoded. An RLE file states its size without holding
// the pixels, so a few bytes could otherwise ask for gigabytes; the limits
// are checked before anything is allocated for the picture.
const int32_t MaxSide = 16384;
const int64_t MaxPixelBytes = (int64_t)256 << 20;

const uint32_t CoreHeaderSize = 12;
const size_t InfoHeaderSize = 40;

// The compression field's values.
const uint32_t CompressionRgb = 0;
const uint32_t CompressionRle8 = 1;
const uint32_t CompressionRle4 = 2;
const uint32_t CompressionBitFields = 3;

struct BmpHeader {
    uint32_t headerSize;
    int32_t width, height;
    uint16_t bitCount;
    uint32_t compression;
};

// Reads up to n bytes; the count actually read.
size_t ReadSome(StreamDescriptor* stream, void* buffer, size_t n)
{
    if (n == 0)
        return 0;
    size_t got = stream->ops.read(buffer, 1, n, stream->handle);
    return got > n ? n : got;
}

bool ReadExact(StreamDescriptor* stream, void* buffer, size_t n)
{
    return ReadSome(stream, buffer, n) == n;
}

uint32_t Le32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

// The header block handed to GDI: the info header followed by room for 256
// colour entries (which also holds the three masks).
const size_t HeaderBlockSize = InfoHeaderSize + 256 * 4;

// Palette entries of the header block with their reserved bytes cleared.
void CopyPalette(RasterImage* image, const uint8_t* block, int entries)
{
    SetColorFormatPal8(&image->format);
    const uint8_t* table = block + InfoHeaderSize;
    for (int i = 0; i < entries; i++)
        image->format.palette[i] = Le32(table + 4 * i) & 0x00FFFFFF;
}

// Decodes RLE8 (four = false) or RLE4 into one index byte per pixel. Runs,
// literals and deltas that leave the image are cut at its edges; a stream that
// ends early leaves the rest of the image as it was (zero).
void DecodeRle(const uint8_t* data, size_t size, uint8_t* out, int stride, int width, int height,
               bool bottomUp, bool four)
{
    size_t pos = 0;
    int64_t x = 0, line = 0;
    uint8_t* row = nullptr;
    auto selectRow = [&]() {
        row = line < height ? out + (ptrdiff_t)(bottomUp ? height - 1 - line : line) * stride : nullptr;
    };
    auto put = [&](uint8_t v) {
        if (row && x < width)
            row[x] = v;
        x++;
    };
    selectRow();
    while (pos + 2 <= size && line < height) {
        uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int k = 0; k < count; k++)
                put(four ? (uint8_t)(k & 1 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {            // end of line
            x = 0;
            line++;
            selectRow();
        } else if (value == 1) {     // end of bitmap
            return;
        } else if (value == 2) {     // delta
            if (pos + 2 > size)
                return;
            x += data[pos];
            line += data[pos + 1];
            pos += 2;
            selectRow();
        } else {                     // literal run, padded to an even byte count
            size_t bytes = four ? (value + 1u) / 2 : value;
            size_t available = size - pos < bytes ? size - pos : bytes;
            for (int k = 0; k < value; k++) {
                size_t at = four ? (size_t)k / 2 : (size_t)k;
                if (at >= available)
                    return;
                uint8_t b = data[pos + at];
                put(four ? (uint8_t)(k & 1 ? b & 0x0F : b >> 4) : b);
            }
            pos += (bytes + 1) & ~(size_t)1;
        }
    }
}

#ifdef _WIN32 // GDI is Win32; the native build leaves this path out
// The 24-bit image GDI draws from the file's pixels; -1 when GDI fails.
int DecodeThroughGdi(const BmpHeader& h, int absHeight, const uint8_t* raw, BITMAPINFO* info, RasterImage* image)
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return -1;
    BITMAPINFO target;
    memset(&target, 0, sizeof target);
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = h.width;
    target.bmiHeader.biHeight = -absHeight;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 24;
    target.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        WriteLog("ＤＩＢの作成に失敗しました3\n");
        if (section)
            DeleteObject(section);
        DeleteDC(dc);
        return -1;
    }
    BITMAP bm;
    memset(&bm, 0, sizeof bm);
    GetObjectA(section, sizeof bm, &bm);
    int rows = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    int pitch = (bm.bmWidthBytes + 3) & ~3;

    HGDIOBJ previous = SelectObject(dc, section);
    int lines = SetDIBitsToDevice(dc, 0, 0, (DWORD)h.width, (DWORD)absHeight, 0, 0, 0, (UINT)absHeight, raw,
                                  info, DIB_RGB_COLORS);
    GdiFlush();
    SelectObject(dc, previous);
    DeleteDC(dc);

    // A conversion GDI could not do is a refusal, not a black picture.
    if (lines <= 0 || rows != absHeight || bm.bmWidth != h.width || bm.bmWidthBytes < (int64_t)h.width * 3) {
        DeleteObject(section);
        return -1;
    }
    uint8_t* pixels = (uint8_t*)AllocTracked((size_t)pitch * rows, "LoadBmpImage", __LINE__);
    if (!pixels) {
        WriteLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        DeleteObject(section);
        return -1;
    }
    for (int y = 0; y < rows; y++) {
        memcpy(pixels + (ptrdiff_t)y * pitch, (const uint8_t*)bits + (ptrdiff_t)y * bm.bmWidthBytes,
               (size_t)bm.bmWidthBytes);
        memset(pixels + (ptrdiff_t)y * pitch + bm.bmWidthBytes, 0, (size_t)(pitch - bm.bmWidthBytes));
    }
    DeleteObject(section);

    image->pixels = pixels;
    image->width = h.width;
    image->height = absHeight;
    image->pitch = pitch;
    SetColorFormatRGB24(&image->format);
    return 0;
}

#endif

} // namespace

int LoadBmpImage(StreamDescriptor* stream, RasterImage* image)
{
    StreamHandle handle = stream->handle;
    stream->ops.seek(handle, 0, 2);
    long fileSize = stream->ops.tell(handle);
    stream->ops.seek(handle, 0, 0);
    if (fileSize < 14 + (long)CoreHeaderSize)
        return -1;

    uint8_t fileHeader[14];
    if (!ReadExact(stream, fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return -1;
    uint32_t pixelOffset = Le32(fileHeader + 10);

    uint8_t* block = (uint8_t*)AllocTrackedZero(HeaderBlockSize, "LoadBmpImage", __LINE__);
    if (!block)
        return -1;
    uint8_t* raw = nullptr;
    auto refuse = [&]() {
        if (raw)
            FreeTracked(raw);
        FreeTracked(block);
        return -1;
    };

    // A core header holds 16-bit width, height, planes and bit count; it is
    // widened into the info header that the rest of the reader and GDI use.
    if (!ReadExact(stream, block, 4))
        return refuse();
    bool core = Le32(block) == CoreHeaderSize;
    if (core) {
        // Width, height, planes and bit count, then the compression.
        if (!ReadExact(stream, block + 4, 4) || !ReadExact(stream, block + 12, 4))
            return refuse();
        uint16_t width = Le16(block + 4), height = Le16(block + 6);
        PutLe32(block + 4, width);
        PutLe32(block + 8, height);
        PutLe32(block + 16, CompressionRgb);
    } else if (!ReadExact(stream, block + 4, 36)) {
        return refuse();
    }
    BmpHeader h;
    h.headerSize = Le32(block);
    h.width = (int32_t)Le32(block + 4);
    h.height = (int32_t)Le32(block + 8);
    h.bitCount = Le16(block + 14);
    h.compression = Le32(block + 16);
    uint32_t colorsUsed = Le32(block + 32);

    // Other sizes below 40, and headers that run past the file, are no
    // bitmap headers.
    if (!core && (h.headerSize < 40 || h.headerSize > (uint32_t)fileSize - 14))
        return refuse();
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
        return refuse();
    int absHeight = h.height < 0 ? -h.height : h.height;
    bool bottomUp = h.height > 0;
    if (h.width > MaxSide || absHeight > MaxSide)
        return refuse();
    switch (h.bitCount) {
    case 1: case 4: case 8: case 24:
        break;
    case 16: case 32:
        if (core)
            return refuse();
        break;
    default:
        return refuse();
    }
    bool valid = (h.compression == CompressionRgb) || (h.compression == CompressionRle8 && h.bitCount == 8) ||
                 (h.compression == CompressionRle4 && h.bitCount == 4) ||
                 (h.compression == CompressionBitFields && (h.bitCount == 16 || h.bitCount == 32));
    if (!valid)
        return refuse();

    int64_t fileStride = (((int64_t)h.bitCount * h.width + 31) / 32) * 4;
    int64_t fileBytes = fileStride * absHeight;
    int64_t indexStride = ((int64_t)h.width + 3) & ~(int64_t)3;
    int64_t indexBytes = indexStride * absHeight;
    bool toIndices = h.compression == CompressionRle8 || h.compression == CompressionRle4 ||
                     (h.compression == CompressionRgb && h.bitCount == 4);
    bool direct = h.compression == CompressionRgb && (h.bitCount == 8 || h.bitCount == 24 || h.bitCount == 32);
    int64_t decodedBytes = toIndices ? indexBytes
                           : direct  ? fileBytes
                                     : (((int64_t)h.width * 3 + 3) & ~(int64_t)3) * absHeight;
    if (decodedBytes > MaxPixelBytes)
        return refuse();

    // Colour table (after the header, whatever its size) or masks (at 54,
    // inside a larger header or right after a 40-byte one). A table that the
    // file cuts short keeps zeros for its missing entries. Core tables hold
    // three bytes an entry (blue, green, red).
    uint8_t* table = block + InfoHeaderSize;
    if (core && h.bitCount <= 8) {
        uint8_t triples[3 * 256];
        int entries = 1 << h.bitCount;
        stream->ops.seek(handle, 14 + (long)CoreHeaderSize, 0);
        size_t got = ReadSome(stream, triples, (size_t)3 * entries) / 3;
        for (size_t i = 0; i < got; i++)
            memcpy(table + 4 * i, triples + 3 * i, 3);
    } else if (h.bitCount <= 8) {
        stream->ops.seek(handle, 14 + (long)h.headerSize, 0);
        ReadSome(stream, table, (size_t)4 << h.bitCount);
    } else if (h.compression == CompressionBitFields) {
        stream->ops.seek(handle, 54, 0);
        if (!ReadExact(stream, table, 12))
            return refuse();
    }

    if (pixelOffset >= (uint32_t)fileSize)
        return refuse();
    size_t rawSize = (size_t)((uint32_t)fileSize - pixelOffset);
    raw = (uint8_t*)AllocTracked(rawSize, "LoadBmpImage", __LINE__);
    if (!raw)
        return refuse();
    stream->ops.seek(handle, (long)pixelOffset, 0);
    if (!ReadExact(stream, raw, rawSize))
        return refuse();

    if (toIndices) {
        bool plain = h.compression == CompressionRgb;
        if (plain && (int64_t)rawSize < fileBytes)
            return refuse();
        uint8_t* out = (uint8_t*)AllocTrackedZero((size_t)indexBytes, "LoadBmpImage", __LINE__);
        if (!out)
            return refuse();
        int stride = (int)indexStride;
        if (plain) {
            for (int y = 0; y < absHeight; y++) {
                const uint8_t* s = raw + (ptrdiff_t)(bottomUp ? absHeight - 1 - y : y) * fileStride;
                uint8_t* d = out + (ptrdiff_t)y * stride;
                for (int x = 0; x < h.width; x++)
                    d[x] = x & 1 ? s[x / 2] & 0x0F : s[x / 2] >> 4;
            }
        } else {
            DecodeRle(raw, rawSize, out, stride, h.width, absHeight, bottomUp, h.compression == CompressionRle4);
        }
        CopyPalette(image, block, h.bitCount == 8 ? 256 : 16);
        image->pixels = out;
        image->width = h.width;
        image->height = absHeight;
        image->pitch = stride;
        FreeTracked(raw);
        FreeTracked(block);
        return 0;
    }

    if ((int64_t)rawSize < fileBytes)
        return refuse();

    if (direct) {
        uint8_t* pixels;
        if (bottomUp) {
            pixels = (uint8_t*)AllocTracked((size_t)fileBytes, "LoadBmpImage", __LINE__);
            if (!pixels)
                return refuse();
            for (int y = 0; y < absHeight; y++)
                memcpy(pixels + (ptrdiff_t)y * fileStride, raw + (ptrdiff_t)(absHeight - 1 - y) * fileStride,
                       (size_t)fileStride);
            FreeTracked(raw);
        } else {
            pixels = raw;
            if ((int64_t)rawSize > fileBytes) {
                uint8_t* shrunk = (uint8_t*)ReallocTracked(raw, (size_t)fileBytes, "LoadBmpImage", __LINE__);
                if (shrunk)
                    pixels = shrunk;
            }
        }
        raw = nullptr;
        if (h.bitCount == 8)
            CopyPalette(image, block, 256);
        else if (h.bitCount == 24)
            SetColorFormatRGB24(&image->format);
        else
            SetColorFormatARGB32(&image->format);
        image->pixels = pixels;
        image->width = h.width;
        image->height = absHeight;
        image->pitch = (int)fileStride;
        FreeTracked(block);
        return 0;
    }

#ifdef _WIN32 // GDI is Win32; the native build refuses these kinds
    // GDI reads the header block as the BITMAPINFO: keep every size and count
    // it looks at within the block and the pixel buffer.
    BITMAPINFOHEADER* info = (BITMAPINFOHEADER*)block;
    info->biSize = sizeof(BITMAPINFOHEADER);
    info->biSizeImage = 0;
    uint32_t entries = h.bitCount <= 8 ? 1u << h.bitCount : 0;
    info->biClrUsed = colorsUsed <= entries ? colorsUsed : entries;
    if (info->biClrImportant > info->biClrUsed)
        info->biClrImportant = info->biClrUsed;
    int result = DecodeThroughGdi(h, absHeight, raw, (BITMAPINFO*)block, image);
    FreeTracked(raw);
    FreeTracked(block);
    return result;
#else
    (void)colorsUsed;
    return refuse();
#endif
}
