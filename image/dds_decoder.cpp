// DirectDraw Surface files: DXT1 to DXT5 data stays compressed with its mip
// chain (laid out in whole 4 x 4 blocks, as the texture formats store it),
// mask-described and numbered Direct3D formats are taken as they are.
#include "image/image_decoders.h"

#include <string.h>

#include "image/decoder_input.h"
#include "runtime/memory.h"

namespace {

const uint32_t DDSD_PITCH = 0x8;
const uint32_t DDSD_MIPMAPCOUNT = 0x20000;
const uint32_t DDPF_ALPHAPIXELS = 0x1;
const uint32_t DDPF_FOURCC = 0x4;
const uint32_t DDPF_RGB = 0x40;
const uint32_t DDSCAPS_COMPLEX = 0x8;
const uint32_t DDSCAPS_MIPMAP = 0x400000;

const int HeaderSize = 124;

struct DdsMaskFormat {
    int32_t number;
    int bits;
    uint32_t red, green, blue, alpha;
};

// The Direct3D formats a file may name by number in its FourCC field.
const DdsMaskFormat DdsMaskFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {-1, 0, 0, 0, 0, 0},
};

const DdsMaskFormat* FindMaskFormat(uint32_t number)
{
    for (const DdsMaskFormat* f = DdsMaskFormatTable; f->number != -1; f++)
        if ((uint32_t)f->number == number)
            return f;
    return nullptr;
}

// The levels a chain can have before both sides reach 1.
int FullChainLength(uint32_t width, uint32_t height)
{
    uint32_t side = width > height ? width : height;
    int levels = 1;
    while (side > 1) {
        side >>= 1;
        levels++;
    }
    return levels;
}

// The bytes of `levels` levels that start at `first` and shrink to a quarter,
// never below `minimum`.
int64_t ChainBytes(int64_t first, int levels, int64_t minimum)
{
    int64_t total = 0, level = first;
    for (int i = 0; i < levels; i++) {
        total += level < minimum ? minimum : level;
        level /= 4;
    }
    return total;
}

} // namespace

int LoadDdsImage(StreamDescriptor* stream, RasterImage* image)
{
    uint8_t magic[4];
    if (!ReadStreamExact(stream, magic, 4) || memcmp(magic, "DDS", 3) != 0)
        return -1;
    uint8_t header[HeaderSize];   // file offsets 4 to 127
    if (!ReadStreamExact(stream, header, HeaderSize))
        return -1;
    auto field = [&](int fileOffset) { return ReadLe32(header + fileOffset - 4); };
    uint32_t flags = field(8), height = field(12), width = field(16), pitchField = field(20);
    uint32_t mipField = field(28), pfFlags = field(80), fourCC = field(84), bitCount = field(88);
    uint32_t caps = field(108);

    ColorFormat format;
    memset(&format, 0, sizeof format);
    uint32_t compression = 0;
    bool tableFormat = false;
    if (pfFlags == DDPF_FOURCC) {
        if (const DdsMaskFormat* f = FindMaskFormat(fourCC)) {
            MakeColorFormat(&format, f->bits, f->red, f->green, f->blue, f->alpha);
            tableFormat = true;
        }
    }
    if (pfFlags & DDPF_FOURCC) {
        if (memcmp(header + 80, "DXT", 3) == 0 && header[83] >= '1' && header[83] <= '5') {
            compression = (uint32_t)(header[83] - '0');
            memset(&format, 0, sizeof format);
            SetColorFormatARGB32(&format);
        } else if (!tableFormat) {
            return -1;
        }
    } else {
        if ((pfFlags & DDPF_RGB) && !(pfFlags & DDPF_ALPHAPIXELS))
            return -1;
        if (bitCount == 0 || bitCount % 8 != 0 || bitCount > 32)
            return -1;
        MakeColorFormat(&format, (int)bitCount, field(92), field(96), field(100), field(104));
    }

    // Sides that a 32-bit pitch and the decompressed A8R8G8B8 form can hold.
    // Each side is checked first so that the product cannot overflow.
    if (width == 0 || height == 0 || width > MaxDecodedBytes / 4 || height > MaxDecodedBytes / 4 ||
        !SizeFits((int64_t)width * height * 4, MaxDecodedBytes))
        return -1;
    int mipCount = 0;
    if ((flags & DDSD_MIPMAPCOUNT) && (caps & DDSCAPS_MIPMAP) && (caps & DDSCAPS_COMPLEX)) {
        int full = FullChainLength(width, height);
        mipCount = mipField > (uint32_t)full ? full : (int)mipField;
    }

    int64_t dataBytes;
    int32_t pitch;
    if (compression) {
        int64_t blockBytes = compression == 1 ? 8 : 16;
        // Whole blocks: a side that is no multiple of 4 ends in a part block.
        int64_t first = (int64_t)((width + 3) / 4) * ((height + 3) / 4) * blockBytes;
        dataBytes = mipCount > 1 ? ChainBytes(first, mipCount, blockBytes) : first;
        MakeColorFormat(&format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        format.compression = compression;
        format.bitDepth = compression == 1 ? 4 : 8;
        pitch = 0;
    } else {
        int64_t rowBytes = (int64_t)width * format.bytesPerPixel;
        int64_t p = (flags & DDSD_PITCH) ? (int64_t)pitchField : rowBytes;
        // A pitch shorter than a row would leave rows reading into each other.
        if (p < rowBytes || p > 0x7FFFFFFF)
            return -1;
        pitch = (int32_t)p;
        int64_t first = p * height;
        if (first > MaxDecodedBytes)
            return -1;
        dataBytes = mipCount > 1 ? ChainBytes(first, mipCount, 0) : first;
    }
    int64_t end = StreamEndPosition(stream);
    if (end < 0 || !SizeFits(dataBytes, StreamBytesLeft(stream, end)))
        return -1;

    uint8_t* data = (uint8_t*)AllocTracked((size_t)dataBytes, "LoadDdsImage", __LINE__);
    if (!data)
        return -1;
    if (!ReadStreamExact(stream, data, (size_t)dataBytes)) {
        FreeTracked(data);
        return -1;
    }
    memcpy(&image->format, &format, sizeof format);
    image->width = (int32_t)width;
    image->height = (int32_t)height;
    image->pitch = pitch;
    image->pixels = data;
    image->mipCount = mipCount;
    return 0;
}
