// Truevision TGA files: colour-mapped and true-colour, plain or run-length
// encoded, with 16-, 24- or 32-bit colours. The picture keeps the depth of the
// file's colours (mapped files are expanded through their map) with rows
// packed, top row first.
#include "image/image_decoders.h"

#include <string.h>

#include "image/decoder_input.h"
#include "runtime/memory.h"

namespace {

const int HeaderSize = 18;
const int FooterSize = 26;
const int MaxSide = 8192;
const int MapEntries = 256;

struct TgaHeader {
    uint8_t idLength, mapType, imageType;
    uint16_t mapFirst, mapLength;
    uint8_t mapEntryBits;
    uint16_t xOrigin, yOrigin, width, height;
    uint8_t pixelBits, descriptor;
};

void ParseHeader(const uint8_t* b, TgaHeader* h)
{
    h->idLength = b[0];
    h->mapType = b[1];
    h->imageType = b[2];
    h->mapFirst = ReadLe16(b + 3);
    h->mapLength = ReadLe16(b + 5);
    h->mapEntryBits = b[7];
    h->xOrigin = ReadLe16(b + 8);
    h->yOrigin = ReadLe16(b + 10);
    h->width = ReadLe16(b + 12);
    h->height = ReadLe16(b + 14);
    h->pixelBits = b[16];
    h->descriptor = b[17];
}

// The footer counts only with its signature and no extension area.
bool HasFooter(StreamDescriptor* stream, int64_t end)
{
    if (end < FooterSize)
        return false;
    uint8_t footer[FooterSize];
    if (stream->ops.seek(stream->handle, (long)(end - FooterSize), 0) != 0 ||
        !ReadStreamExact(stream, footer, FooterSize))
        return false;
    return memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(footer) == 0;
}

void SetTgaFormat(ColorFormat* format, int depth)
{
    if (depth == 16)
        MakeColorFormat(format, 16, 0x7C00, 0x3E0, 0x1F, 0);
    else if (depth == 24)
        MakeColorFormat(format, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    else
        MakeColorFormat(format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}

// Decodes run-length packets of `unit`-byte values into `count` values of
// `out`, each through `store`. Packets that run past the last value are cut;
// data that ends early leaves the rest as it was.
template <typename Store>
void DecodeRle(const uint8_t* data, size_t size, size_t unit, size_t count, Store store)
{
    size_t pos = 0, done = 0;
    while (done < count && pos < size) {
        uint8_t h = data[pos++];
        size_t run = (size_t)(h & 0x7F) + 1;
        if (run > count - done)
            run = count - done;
        if (h & 0x80) {
            if (size - pos < unit)
                return;
            for (size_t i = 0; i < run; i++)
                store(done++, data + pos);
            pos += unit;
        } else {
            for (size_t i = 0; i < run; i++) {
                if (size - pos < unit)
                    return;
                store(done++, data + pos);
                pos += unit;
            }
        }
    }
}

} // namespace

int LoadTgaImage(StreamDescriptor* stream, RasterImage* image)
{
    int64_t end = StreamEndPosition(stream);
    if (end < 0)
        return -1;
    bool footer = HasFooter(stream, end);
    uint8_t raw[HeaderSize];
    if (stream->ops.seek(stream->handle, 0, 0) != 0 || !ReadStreamExact(stream, raw, HeaderSize))
        return -1;
    TgaHeader h;
    ParseHeader(raw, &h);

    bool mapped = h.imageType == 1 || h.imageType == 9;
    bool rle = h.imageType == 9 || h.imageType == 10;
    if (!mapped && h.imageType != 2 && h.imageType != 10)
        return -1;
    if (h.xOrigin != 0 || h.yOrigin != 0 || h.width == 0 || h.height == 0 || h.width > MaxSide ||
        h.height > MaxSide)
        return -1;
    int depth = mapped ? h.mapEntryBits : h.pixelBits;
    if (depth != 16 && depth != 24 && depth != 32)
        return -1;
    // A map that reaches past its 256 entries has indices no byte can name.
    if (mapped && (int)h.mapFirst + h.mapLength > MapEntries)
        return -1;

    size_t bpp = (size_t)depth / 8;
    size_t pixelCount = (size_t)h.width * h.height;
    size_t pixelBytes = pixelCount * bpp;   // at most 8192 x 8192 x 4

    // What follows the ID field: the map, then the picture data up to the footer.
    int64_t dataEnd = footer ? end - FooterSize : end;
    int64_t mapBytes = h.mapType == 1 || mapped ? (int64_t)h.mapLength * h.mapEntryBits / 8 : 0;
    int64_t dataStart = HeaderSize + h.idLength + mapBytes;
    int64_t dataBytes = dataEnd - dataStart;
    size_t unit = mapped ? 1 : bpp;
    // A run packet of two bytes or more covers at most 128 values, so a file
    // holds at most 128 values for every such pair; a plain file holds all.
    int64_t valuesHeld = dataBytes <= 0 ? 0 : rle ? dataBytes / (int64_t)(1 + unit) * 128 + 128
                                                  : dataBytes / (int64_t)unit;
    if ((int64_t)pixelCount > valuesHeld)
        return -1;

    uint8_t map[MapEntries * 4];
    memset(map, 0, sizeof map);
    if (stream->ops.seek(stream->handle, (long)(HeaderSize + h.idLength), 0) != 0)
        return -1;
    if (mapped) {
        if (!ReadStreamExact(stream, map + (size_t)h.mapFirst * bpp, (size_t)h.mapLength * bpp))
            return -1;
    } else if (mapBytes > 0 && stream->ops.seek(stream->handle, (long)(HeaderSize + h.idLength + mapBytes), 0) != 0) {
        return -1;
    }

    uint8_t* pixels = (uint8_t*)AllocTrackedZero(pixelBytes, "LoadTgaImage", __LINE__);
    if (!pixels)
        return -1;
    bool ok = true;
    if (!rle) {
        if (mapped) {
            uint8_t* indices = (uint8_t*)AllocTracked(pixelCount, "LoadTgaImage", __LINE__);
            ok = indices && ReadStreamExact(stream, indices, pixelCount);
            if (ok)
                for (size_t i = 0; i < pixelCount; i++)
                    memcpy(pixels + i * bpp, map + (size_t)indices[i] * bpp, bpp);
            if (indices)
                FreeTracked(indices);
        } else {
            ok = ReadStreamExact(stream, pixels, pixelBytes);
        }
    } else {
        size_t size = (size_t)dataBytes;
        uint8_t* data = (uint8_t*)AllocTracked(size ? size : 1, "LoadTgaImage", __LINE__);
        ok = data && ReadStreamExact(stream, data, size);
        if (ok) {
            if (mapped)
                DecodeRle(data, size, 1, pixelCount,
                          [&](size_t i, const uint8_t* v) { memcpy(pixels + i * bpp, map + (size_t)*v * bpp, bpp); });
            else
                DecodeRle(data, size, bpp, pixelCount,
                          [&](size_t i, const uint8_t* v) { memcpy(pixels + i * bpp, v, bpp); });
        }
        if (data)
            FreeTracked(data);
    }
    if (!ok) {
        FreeTracked(pixels);
        return -1;
    }

    // Stored bottom to top unless bit 5 is set, right to left when bit 4 is.
    bool rightToLeft = (h.descriptor & 0x10) != 0;
    bool bottomUp = (h.descriptor & 0x20) == 0;
    size_t pitch = (size_t)h.width * bpp;
    if (rightToLeft || bottomUp) {
        uint8_t* turned = (uint8_t*)AllocTracked(pixelBytes, "LoadTgaImage", __LINE__);
        if (!turned) {
            FreeTracked(pixels);
            return -1;
        }
        for (int y = 0; y < h.height; y++) {
            const uint8_t* from = pixels + (size_t)y * pitch;
            uint8_t* to = turned + (size_t)(bottomUp ? h.height - 1 - y : y) * pitch;
            if (!rightToLeft) {
                memcpy(to, from, pitch);
                continue;
            }
            for (int x = 0; x < h.width; x++)
                memcpy(to + (size_t)(h.width - 1 - x) * bpp, from + (size_t)x * bpp, bpp);
        }
        FreeTracked(pixels);
        pixels = turned;
    }

    memset(&image->format, 0, sizeof image->format);
    SetTgaFormat(&image->format, depth);
    image->width = h.width;
    image->height = h.height;
    image->pitch = (int)pitch;
    image->pixels = pixels;
    image->mipCount = 0;
    return 0;
}
