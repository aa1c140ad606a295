// Writes the fuzz targets' seed corpora: LZ blocks from the packer's encoder,
// converter and DXT inputs whose pixels come from the library's colour
// formats, and settings files. Run by `scripts/fuzz.sh --seeds`; the output is committed under
// tests/native/fuzz/corpus, one directory per target.
//   fuzz_seeds CORPUS-DIR
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "image/color_format.h"
#include "image/pixel_access.h"
#include "tests/support/test_bytes.h"
#include "tools/packer/lz_encoder.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string root;
int failures;

void Write(const std::string& target, const std::string& name, const Bytes& data)
{
    std::string dir = root + "/" + target;
    mkdir(dir.c_str(), 0777);
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || (!data.empty() && fwrite(data.data(), 1, data.size(), f) != data.size()))
        failures++;
    if (f)
        fclose(f);
}

void Append(Bytes& out, const Bytes& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

void Put32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back((uint8_t)(v >> (8 * i)));
}

// ---------------------------------------------------------------------------
// LZ blocks: each token form of the encoder, on data of several kinds.

void LzSeeds()
{
    const char* text = "The heroine crosses the field at dusk; the field answers with its own echo. ";
    Bytes prose;
    while (prose.size() < 3000)
        prose.insert(prose.end(), text, text + strlen(text));
    Bytes zeros(4096, 0);
    Bytes ramp;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            ramp.push_back((uint8_t)(x * 4 + y));
    // A run between two copies of the same noise: a match three distance
    // bytes away.
    Bytes far = TestBytes(200, 7, 8);
    Bytes between(70000, 0x55);
    Bytes farData = far;
    Append(farData, between);
    Append(farData, far);

    struct Seed {
        const char* name;
        Bytes data;
        int escape;  // -1: the encoder's choice
    } seeds[] = {
        {"empty", {}, -1},
        {"one-byte", {0x42}, -1},
        {"prose", prose, -1},
        {"zeros", zeros, -1},
        {"ramp", ramp, -1},
        {"noise", TestBytes(700, 3, 8), -1},
        {"patterned", TestBytes(3000, 1, 2), -1},
        {"escape-in-data", TestBytes(1500, 5, 3), 'p'},
        {"escape-zero", zeros, 0},
        {"far-match", farData, -1},
    };
    for (const Seed& s : seeds) {
        const uint8_t* data = s.data.empty() ? (const uint8_t*)"" : s.data.data();
        Bytes block = s.escape < 0 ? EncodeArchiveLz(data, (uint32_t)s.data.size())
                                   : EncodeArchiveLzWithEscape(data, (uint32_t)s.data.size(), (uint8_t)s.escape);
        Write("archive_lz", s.name, block);
    }
}

// ---------------------------------------------------------------------------
// Converter inputs, in the field order of fuzz/convert.cpp.

enum FormatKind {
    PAL8, GREY8, XRGB32, ARGB32, RGB24, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, R3G3B2, A8, MASKS, DXT,
};

struct FormatChoice {
    int kind;
    uint8_t paletteSeed;
    int depth;                    // MASKS only
    uint32_t masks[4];            // MASKS only
};

// The library's own description of each kind, for making pixel values.
void MakeFormat(const FormatChoice& c, ColorFormat* f)
{
    memset(f, 0, sizeof *f);
    switch (c.kind) {
    case PAL8: SetColorFormatPal8(f); break;
    case GREY8: SetColorFormatGrey8(f); break;
    case XRGB32: SetColorFormatXRGB32(f); break;
    case ARGB32: SetColorFormatARGB32(f); break;
    case RGB24: SetColorFormatRGB24(f); break;
    case R5G6B5: MakeColorFormat(f, 16, 0xF800, 0x07E0, 0x001F, 0); break;
    case X1R5G5B5: MakeColorFormat(f, 16, 0x7C00, 0x03E0, 0x001F, 0); break;
    case A1R5G5B5: MakeColorFormat(f, 16, 0x7C00, 0x03E0, 0x001F, 0x8000); break;
    case A4R4G4B4: MakeColorFormat(f, 16, 0x0F00, 0x00F0, 0x000F, 0xF000); break;
    case R3G3B2: MakeColorFormat(f, 8, 0xE0, 0x1C, 0x03, 0); break;
    case A8: MakeColorFormat(f, 8, 0, 0, 0, 0xFF); break;
    case MASKS: MakeColorFormat(f, c.depth, c.masks[0], c.masks[1], c.masks[2], c.masks[3]); break;
    default: SetColorFormatARGB32(f); break;
    }
    uint32_t x = c.paletteSeed;
    if (x && f->bytesPerPixel == 1)
        for (uint32_t& entry : f->palette)
            entry = (x = x * 1664525u + 1013904223u);
}

void PutFormat(Bytes& out, const FormatChoice& c)
{
    out.push_back((uint8_t)c.kind);
    if (c.kind == MASKS) {
        out.push_back((uint8_t)(c.depth / 8 - 1));   // 8, 16, 24 or 32
        for (uint32_t m : c.masks)
            Put32(out, m);
    } else if (c.kind == DXT) {
        out.push_back(0);
    }
    out.push_back(c.paletteSeed);
}

struct ConvertSeed {
    const char* name;
    FormatChoice source, destination, alpha;
    int mirror, keyToAlpha;
    uint32_t key;
    int dither, colorOff, alphaFromRed, skipKey, remap, alphaImage, mmx;
};

// Pixels of a colour ramp in the format, written as the library writes them.
Bytes RampPixels(const ColorFormat& f, int w, int h, int pitch)
{
    Bytes out((size_t)pitch * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t v = ColorToPixelValue(&f, x * 32, y * 32, (x + y) * 16, 255 - x * 16);
            WritePixelValue(out.data() + (size_t)y * pitch + (size_t)x * f.bytesPerPixel, f.bytesPerPixel, v);
        }
    return out;
}

void ConvertSeeds()
{
    const int Side = 8;
    const FormatChoice pal8 = {PAL8, 9, 0, {}}, pal8b = {PAL8, 77, 0, {}}, grey = {GREY8, 0, 0, {}};
    const FormatChoice x888 = {XRGB32, 0, 0, {}}, a888 = {ARGB32, 0, 0, {}}, rgb24 = {RGB24, 0, 0, {}};
    const FormatChoice r565 = {R5G6B5, 0, 0, {}}, x555 = {X1R5G5B5, 0, 0, {}}, a555 = {A1R5G5B5, 0, 0, {}};
    const FormatChoice a4444 = {A4R4G4B4, 0, 0, {}}, r332 = {R3G3B2, 0, 0, {}}, a8 = {A8, 0, 0, {}};
    const FormatChoice masks = {MASKS, 0, 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}};
    const FormatChoice dxt = {DXT, 0, 0, {}};
    const uint32_t green = 0x00FF00;
    ConvertSeed seeds[] = {
        {"pal8-to-565", pal8, r565, grey},
        {"pal8-to-x555", pal8, x555, grey},
        {"pal8-to-x888", pal8, x888, grey},
        {"rgb24-to-565", rgb24, r565, grey},
        {"rgb24-to-x555", rgb24, x555, grey},
        {"rgb24-to-32", rgb24, a888, grey},
        {"x888-to-565", x888, r565, grey},
        {"565-to-rgb24", r565, rgb24, grey},
        {"565-to-x888", r565, x888, grey},
        {"565-to-x555-mmx", r565, x555, grey, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
        {"x555-to-565", x555, r565, grey},
        {"pal8-key-to-a555", pal8, a555, grey, 0, 1, green},
        {"rgb24-key-to-a888", rgb24, a888, grey, 0, 1, green},
        {"565-key-to-a888", r565, a888, grey, 0, 1, green},
        {"a888-to-a4444-ordered", a888, a4444, grey, 0, 0, 0, 1},
        {"x888-to-565-error", x888, r565, grey, 0, 0, 0, 2},
        {"x888-to-pal8", x888, pal8, grey},
        {"pal8-remap", pal8, pal8b, grey, 0, 0, 0, 0, 0, 0, 0, 1},
        {"pal8-copy-mirror", pal8, pal8, grey, 1},
        {"a888-copy-skip-key", a888, a888, grey, 0, 0, green, 0, 0, 0, 1},
        {"x888-key-to-alpha-same", x888, a888, grey, 0, 1, green},
        {"x888-alpha-image", x888, a888, grey, 0, 0, 0, 0, 0, 0, 0, 0, 1},
        {"rgb24-colour-off", rgb24, a4444, grey, 0, 0, 0, 0, 1},
        {"a888-alpha-from-red", a888, a555, grey, 0, 0, 0, 0, 0, 1},
        {"x888-to-r332", x888, r332, a8, 0, 0, 0, 1},
        {"masks-to-565", masks, r565, grey},
        {"dxt-refused", dxt, a888, grey},
    };
    for (const ConvertSeed& s : seeds) {
        ColorFormat sf, af;
        MakeFormat(s.source, &sf);
        MakeFormat(s.alpha, &af);
        Bytes in;
        PutFormat(in, s.source);
        PutFormat(in, s.destination);
        PutFormat(in, s.alpha);
        // Sizes: source and destination Side x Side.
        for (int i = 0; i < 4; i++)
            in.push_back(Side - 1);
        // Source, destination and alpha rows: no padding, top-down.
        for (int i = 0; i < 3; i++) {
            in.push_back(0);
            in.push_back(0);
        }
        // Rectangle (1, 1)-(7, 7) to (0, 2): 6 x 6.
        in.insert(in.end(), {1, 1, 0, 2, 6, 6, 0});
        in.push_back((uint8_t)s.mirror);
        in.push_back((uint8_t)s.keyToAlpha);
        Put32(in, s.key);
        in.insert(in.end(), {(uint8_t)s.dither, (uint8_t)s.colorOff, (uint8_t)s.alphaFromRed, (uint8_t)s.skipKey,
                             (uint8_t)s.remap, (uint8_t)s.alphaImage, (uint8_t)s.alphaImage, (uint8_t)s.mmx});
        Append(in, RampPixels(sf, Side, Side, Side * sf.bytesPerPixel));
        Append(in, RampPixels(af, Side, Side, Side * af.bytesPerPixel));
        Write("convert", s.name, in);
    }
}

// ---------------------------------------------------------------------------
// DXT inputs, in the field order of fuzz/dxt.cpp.

Bytes ColourBlock(const ColorFormat& r565, int r0, int g0, int b0, int r1, int g1, int b1, uint32_t indices)
{
    uint32_t c0 = ColorToPixelValue(&r565, r0, g0, b0, 0), c1 = ColorToPixelValue(&r565, r1, g1, b1, 0);
    Bytes out = {(uint8_t)c0, (uint8_t)(c0 >> 8), (uint8_t)c1, (uint8_t)(c1 >> 8)};
    Put32(out, indices);
    return out;
}

void DxtSeeds()
{
    ColorFormat r565;
    MakeColorFormat(&r565, 16, 0xF800, 0x07E0, 0x001F, 0);
    // Four colours (first endpoint greater) and three colours plus transparent.
    Bytes four = ColourBlock(r565, 255, 200, 40, 10, 60, 220, 0xE4E4E4E4);
    Bytes three = ColourBlock(r565, 10, 60, 220, 255, 200, 40, 0x1B1B1B1B);
    Bytes explicitAlpha = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    Bytes eightAlphas = {240, 16, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};   // a0 > a1
    Bytes sixAlphas = {16, 240, 0xD1, 0x5B, 0x3F, 0xD1, 0x5B, 0x3F};     // a0 <= a1: 0 and 255 too

    struct DxtSeed {
        const char* name;
        int compression, width, height;
        Bytes blocks;
    };
    Bytes dxt3 = explicitAlpha, dxt5 = eightAlphas, dxt5b = sixAlphas;
    Append(dxt3, four);
    Append(dxt5, four);
    Append(dxt5b, three);
    DxtSeed seeds[] = {
        {"dxt1-8x8", 1, 8, 8, four},
        {"dxt1-three-colour-5x7", 1, 5, 7, three},
        {"dxt2-8x4", 2, 8, 4, dxt3},
        {"dxt3-12x8", 3, 12, 8, dxt3},
        {"dxt4-4x4", 4, 4, 4, dxt5},
        {"dxt5-16x12", 5, 16, 12, dxt5},
        {"dxt5-six-alphas-9x9", 5, 9, 9, dxt5b},
        {"dxt1-no-whole-block-3x3", 1, 3, 3, four},
        {"unknown-compression", 6, 8, 8, four},
    };
    for (const DxtSeed& s : seeds) {
        Bytes in = {(uint8_t)s.compression, (uint8_t)s.width, (uint8_t)s.height};
        // A 10 x 6 second image, the copy moved by (-2, 1) from (1, -3); the
        // pixel checked in each block varies.
        in.insert(in.end(), {9, 5, 64 + 1, 64 - 3, 64 - 2, 64 + 1, 1});
        in.insert(in.end(), {(uint8_t)(s.width % 4), (uint8_t)(s.height % 3)});
        Append(in, s.blocks);
        Write("dxt", s.name, in);
    }
}

// ---------------------------------------------------------------------------
// Settings files: a whole one of the defaults, a customised one, one cut off
// mid-field, and one with every field out of range.

void SettingsSeeds()
{
    struct Seed {
        const char* name;
        int32_t fields[21];
        size_t size;
    };
    static const Seed seeds[] = {
        {"defaults", {1, 30, 30, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0}, 84},
        {"customised", {0, 100, 0, 3, 1, 2, 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 4, 2}, 84},
        {"cut", {1, 55, 70, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 1}, 30},
        {"wild", {-7, 101, -1, 17, -1, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7fffffff, 7, 3}, 84},
    };
    for (const Seed& seed : seeds) {
        Bytes file;
        for (int32_t v : seed.fields)
            Put32(file, (uint32_t)v);
        file.resize(seed.size);
        Write("settings", seed.name, file);
    }
}

// ---------------------------------------------------------------------------
// WAVE files: plain PCM, a broadcast header before the format, a list chunk
// of odd size before the data, a compressed format with extra bytes, a short
// format chunk and a data chunk that claims more than the file holds.

void Chunk(Bytes& out, const char* id, const Bytes& payload)
{
    out.insert(out.end(), id, id + 4);
    Put32(out, (uint32_t)payload.size());
    Append(out, payload);
    if (payload.size() & 1)
        out.push_back(0);
}

Bytes RiffWave(const Bytes& chunks)
{
    Bytes file = {'R', 'I', 'F', 'F'};
    Put32(file, (uint32_t)(4 + chunks.size()));
    file.insert(file.end(), {'W', 'A', 'V', 'E'});
    Append(file, chunks);
    return file;
}

// The chunk walk, the format handling after it and sound loading from
// memory read the same files.
void WriteWave(const std::string& name, const Bytes& data)
{
    Write("wave_chunks", name, data);
    Write("wave_format", name, data);
    Write("sound_memory", name, data);
}

void WaveSeeds()
{
    WriteWave("pcm-22050-mono-8", PcmWaveFile(22050, 1, 8, 64));
    Bytes plain = PcmWaveFile(44100, 2, 16, 96);
    Bytes fmt(plain.begin() + 20, plain.begin() + 36), samples(plain.begin() + 44, plain.end());

    Bytes bext;
    Chunk(bext, "bext", Bytes(32, 'b'));
    Chunk(bext, "fmt ", fmt);
    Chunk(bext, "data", samples);
    WriteWave("bext-first", RiffWave(bext));

    Bytes list;
    Chunk(list, "fmt ", fmt);
    Chunk(list, "LIST", Bytes(13, 'l'));
    Chunk(list, "data", samples);
    WriteWave("odd-list-before-data", RiffWave(list));

    // An ADPCM-like format: 20 bytes of record and two extra bytes.
    Bytes adpcm = {0x02, 0x00, 0x01, 0x00, 0x22, 0x56, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
                   0x00, 0x02, 0x04, 0x00, 0x02, 0x00, 0xf4, 0x03};
    Bytes compressed;
    Chunk(compressed, "fmt ", adpcm);
    Chunk(compressed, "data", Bytes(512, 0x5a));
    WriteWave("compressed-extra-bytes", RiffWave(compressed));

    Bytes shortFmt;
    Chunk(shortFmt, "fmt ", Bytes(fmt.begin(), fmt.begin() + 14));
    Chunk(shortFmt, "data", samples);
    WriteWave("short-format", RiffWave(shortFmt));

    Bytes overlong = plain;
    overlong[40] = 0xff;
    overlong[41] = 0xff;
    WriteWave("data-claims-more", overlong);
}

// ---------------------------------------------------------------------------
// Theora pictures: the field bytes of fuzz/theora_picture.cpp for each chroma
// layout, stride signs and a frame image smaller or larger than the picture,
// then ramps for the planes.

void TheoraPictureSeeds()
{
    struct Picture {
        const char* name;
        uint8_t fields[14];   // per picture: luma width - 1, height - 1, layout, paddings, image width, height, 0
    } pictures[] = {
        {"420-top-down", {15, 11, 0, 0x00, 16, 12, 0, 15, 11, 0, 0x09, 16, 12, 0}},
        {"420-bottom-up-cropped", {31, 23, 0, 0xC3, 20, 30, 0, 31, 23, 0, 0xC3, 40, 10, 0}},
        {"422-then-444", {9, 7, 1, 0x41, 10, 8, 0, 9, 7, 2, 0x80, 12, 3, 0}},
        {"odd-sizes", {6, 4, 0, 0x12, 7, 5, 0, 4, 6, 3, 0x00, 5, 7, 0}},
    };
    for (const Picture& p : pictures) {
        Bytes out;
        for (int half = 0; half < 2; half++) {
            // The target reads the layout as a byte below 4 and, for layout 3,
            // two chroma sizes before the paddings.
            const uint8_t* f = p.fields + 7 * half;
            out.insert(out.end(), {f[0], f[1], f[2]});
            if (f[2] == 3)
                out.insert(out.end(), {3, 5});
            out.insert(out.end(), {f[3], f[4], f[5]});
            const int w = f[0] % 48 + 1, h = f[1] % 48 + 1;
            const int uvw = f[2] == 3 ? 3 : f[2] == 2 ? w : (w + 1) / 2;
            const int uvh = f[2] == 3 ? 5 : f[2] == 0 ? (h + 1) / 2 : h;
            const int bytes = (w + (f[3] & 7)) * h + 2 * (uvw + ((f[3] >> 3) & 7)) * uvh;
            for (int i = 0; i < bytes; i++)
                out.push_back((uint8_t)(16 + (i * 7 + half * 50) % 220));
        }
        Write("theora_picture", p.name, out);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: fuzz_seeds CORPUS-DIR\n");
        return 2;
    }
    root = argv[1];
    mkdir(root.c_str(), 0777);
    LzSeeds();
    ConvertSeeds();
    DxtSeeds();
    SettingsSeeds();
    WaveSeeds();
    TheoraPictureSeeds();
    if (failures)
        fprintf(stderr, "fuzz_seeds: %d files not written\n", failures);
    return failures ? 1 : 0;
}
