// The loading front: the decoder list, files and memory blocks, mirroring,
// the "_a" alpha image and the DIB hand-back.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/dxt.h"
#include "image/image_loader.h"
#include "runtime/file/archive_files.h"
#include "runtime/helpers.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/image/image_fixtures.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

namespace {

// A disk set of file operations over the C runtime, counting opens and closes.
int opened, closed;
StreamHandle DiskOpen(const char* path, int, int, int)
{
    FILE* f = fopen(path, "rb");
    if (f)
        opened++;
    return (StreamHandle)f;
}
int DiskClose(StreamHandle h)
{
    closed++;
    return fclose((FILE*)h);
}
long DiskTell(StreamHandle h) { return ftell((FILE*)h); }
int DiskSeek(StreamHandle h, long offset, int origin) { return fseek((FILE*)h, offset, origin); }
size_t DiskRead(void* buffer, size_t size, size_t count, StreamHandle h) { return fread(buffer, size, count, (FILE*)h); }
int DiskEof(StreamHandle h) { return feof((FILE*)h) ? -1 : 0; }
int DiskIdle(StreamHandle) { return 1; }

class ImageFiles : public testing::Test {
protected:
    void SetUp() override
    {
        StreamFunctionTable table = {};
        table.open = DiskOpen;
        table.close = DiskClose;
        table.tell = DiskTell;
        table.seek = DiskSeek;
        table.read = DiskRead;
        table.eof = DiskEof;
        table.idle = DiskIdle;
        SetStreamFunctions(&table);
        opened = closed = 0;
        dir = MakeTempDir("image");
        CreateDirectoryA((dir + "\\img").c_str(), nullptr);
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(opened, closed) << "every file is closed";
        EXPECT_EQ(allocations, GetAllocCount());
        SetStreamFunctions(nullptr);
        RemoveTree(dir);
    }
    std::string Put(const char* name, const char* fixture)
    {
        std::vector<uint8_t> data = ReadFixture(fixture);
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(WriteWholeFile(path, data.data(), data.size()));
        return path;
    }
    std::string dir;
    int allocations = 0;
};

void ExpectPicture(RasterImage* image, bool mirrored = false)
{
    ASSERT_EQ(PictureWidth, image->width);
    ASSERT_EQ(PictureHeight, image->height);
    for (int y = 0; y < PictureHeight; y++)
        for (int x = 0; x < PictureWidth; x++) {
            int sx = mirrored ? PictureWidth - 1 - x : x;
            ASSERT_EQ(PictureColours[Picture[y][sx]], PixelColour(image, x, y)) << x << "," << y;
        }
}

// Decoders placed ahead of the fixed list.
long seenPosition;
bool sawClearedImage;
int Scribbler(StreamDescriptor* stream, RasterImage* image)
{
    char buffer[20];
    stream->ops.read(buffer, 1, sizeof buffer, stream->handle);
    image->width = 99;
    image->format.compression = 3;
    return -1;
}
int Inspector(StreamDescriptor* stream, RasterImage* image)
{
    seenPosition = stream->ops.tell(stream->handle);
    RasterImage cleared;
    memset(&cleared, 0, sizeof cleared);
    sawClearedImage = memcmp(image, &cleared, sizeof cleared) == 0;
    return 1;
}
// An 8 x 4 DXT1 image: a red block, then a blue one.
int DxtMaker(StreamDescriptor*, RasterImage* image)
{
    const uint8_t blocks[16] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0, 0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
    MakeColorFormat(&image->format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    image->format.compression = COLOR_COMPRESSION_DXT1;
    image->format.bitDepth = 4;
    image->width = 8;
    image->height = 4;
    image->pixels = AllocTracked(sizeof blocks, "test", 0);
    memcpy(image->pixels, blocks, sizeof blocks);
    return 0;
}

struct AddedDecoders {
    explicit AddedDecoders(std::initializer_list<ImageDecoder> list)
    {
        AddedImageDecoderCount = 0;
        for (ImageDecoder d : list)
            AddedImageDecoders[AddedImageDecoderCount++] = d;
    }
    ~AddedDecoders() { AddedImageDecoderCount = 0; }
};

} // namespace

TEST(ImageLoader, TheFixedListKeepsItsOrder)
{
    const ImageDecoder expected[] = {LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage,
                                     LoadDdsImage, nullptr};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(expected[i], ImageLoaderList[i]) << i;
}

TEST(ImageLoader, EveryDecoderSeesOffsetZeroAndAClearedImage)
{
    AddedDecoders added({Scribbler, Inspector});
    seenPosition = -1;
    sawClearedImage = false;
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(ReadFixture("p24.bmp"), &image, LoadImageFromStream));
    EXPECT_EQ(0, seenPosition);
    EXPECT_TRUE(sawClearedImage);
    ExpectPicture(&image);
    FreeRasterImage(&image);
}

TEST(ImageLoader, ABlockNoDecoderTakesLeavesNothingAllocated)
{
    int before = GetAllocCount();
    std::vector<uint8_t> junk(300, 0x42);
    RasterImage image;
    EXPECT_EQ(-1, DecodeBlock(junk, &image, LoadImageFromStream));
    EXPECT_EQ(-1, LoadImageData(nullptr, junk.data(), (int)junk.size(), 1, 0, 0, &image, nullptr, nullptr));
    EXPECT_EQ(-1, LoadImageData(nullptr, junk.data(), 0, 1, 0, 0, &image, nullptr, nullptr));
    EXPECT_EQ(-1, LoadImageData(nullptr, nullptr, 100, 1, 0, 0, &image, nullptr, nullptr));
    EXPECT_EQ(-1, LoadImageData(nullptr, nullptr, 0, 0, 0, 0, &image, nullptr, nullptr));
    EXPECT_EQ(before, GetAllocCount());
}

TEST(ImageLoader, MemoryBlocksMirrored)
{
    int before = GetAllocCount();
    for (const char* name : {"p8.bmp", "p24.bmp", "p32.bmp", "rle4.bmp"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> data = ReadFixture(name);
        RasterImage image;
        ASSERT_EQ(0, LoadImageToRasterImage(nullptr, data.data(), (int)data.size(), 1, &image, 0));
        ExpectPicture(&image);
        FreeRasterImage(&image);
        ASSERT_EQ(0, LoadImageToRasterImage(nullptr, data.data(), (int)data.size(), 1, &image, 1));
        ExpectPicture(&image, true);
        FreeRasterImage(&image);
    }
    EXPECT_EQ(before, GetAllocCount());
}

TEST(ImageLoader, MirroringACompressedImageDecompressesItFirst)
{
    AddedDecoders added({DxtMaker});
    int before = GetAllocCount();
    uint8_t any = 0;
    RasterImage image;
    ASSERT_EQ(0, LoadImageToRasterImage(nullptr, &any, 1, 1, &image, 1));
    EXPECT_EQ(0u, image.format.compression);
    EXPECT_EQ(32, image.pitch);
    uint32_t* p = (uint32_t*)image.pixels;
    EXPECT_EQ(0xFF0000FFu, p[0]);   // the blue block now on the left
    EXPECT_EQ(0xFFFF0000u, p[7]);
    EXPECT_EQ(0xFFFF0000u, p[3 * 8 + 4]);
    FreeRasterImage(&image);

    // Without mirroring the image stays compressed.
    ASSERT_EQ(0, LoadImageToRasterImage(nullptr, &any, 1, 1, &image, 0));
    EXPECT_EQ(COLOR_COMPRESSION_DXT1, image.format.compression);
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST_F(ImageFiles, FilesWithAndWithoutTheirAlphaImage)
{
    std::string a = Put("img\\a.bmp", "p24.bmp");
    Put("img\\a_a.bmp", "p8.bmp");
    RasterImage image, alpha;
    ASSERT_EQ(0, LoadImageWithAlpha(a.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0));
    ExpectPicture(&image);
    ExpectPicture(&alpha);
    EXPECT_EQ(1, alpha.format.bytesPerPixel);
    FreeRasterImage(&image);
    FreeRasterImage(&alpha);

    // Mirroring applies to both.
    ASSERT_EQ(0, LoadImageWithAlpha(a.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 1));
    ExpectPicture(&image, true);
    ExpectPicture(&alpha, true);
    FreeRasterImage(&image);
    FreeRasterImage(&alpha);

    // A missing alpha file is not an error.
    DeleteFileA((dir + "\\img\\a_a.bmp").c_str());
    ASSERT_EQ(1, LoadImageWithAlpha(a.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0));
    ExpectPicture(&image);
    FreeRasterImage(&image);

    // Nor is an alpha file no decoder takes.
    Put("img\\a_a.bmp", "p8.bmp");
    WriteWholeFile(dir + "\\img\\a_a.bmp", "not an image", 12);
    ASSERT_EQ(1, LoadImageWithAlpha(a.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0));
    FreeRasterImage(&image);

    // A missing colour image loads nothing.
    std::string missing = dir + "\\img\\missing.bmp";
    EXPECT_EQ(-1, LoadImageWithAlpha(missing.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0));
}

TEST_F(ImageFiles, TheContentDecidesNotTheName)
{
    std::string path = Put("img\\b.png", "rle8.bmp");
    RasterImage image;
    ASSERT_EQ(0, LoadImageToRasterImage(path.c_str(), nullptr, 0, 0, &image, 0));
    ExpectPicture(&image);
    FreeRasterImage(&image);
}

TEST(ImageLoader, AlphaFromMemory)
{
    int before = GetAllocCount();
    std::vector<uint8_t> colour = ReadFixture("p24.bmp"), alphaData = ReadFixture("p4.bmp");
    RasterImage image, alpha;
    ASSERT_EQ(0, LoadImageWithAlpha(nullptr, colour.data(), (int)colour.size(), 1, alphaData.data(),
                                    (int)alphaData.size(), 1, &image, &alpha, 0));
    ExpectPicture(&alpha);
    FreeRasterImage(&image);
    FreeRasterImage(&alpha);
    // A bad alpha block, or an alpha mode other than 0 and 1: only the colour image.
    ASSERT_EQ(1, LoadImageWithAlpha(nullptr, colour.data(), (int)colour.size(), 1, "junk", 4, 1, &image, &alpha, 0));
    FreeRasterImage(&image);
    ASSERT_EQ(1, LoadImageWithAlpha(nullptr, colour.data(), (int)colour.size(), 1, alphaData.data(),
                                    (int)alphaData.size(), 2, &image, &alpha, 0));
    FreeRasterImage(&image);
    // Mode 0 with a memory colour image has no name to derive.
    ASSERT_EQ(1, LoadImageWithAlpha(nullptr, colour.data(), (int)colour.size(), 1, nullptr, 0, 0, &image, &alpha, 0));
    FreeRasterImage(&image);
    EXPECT_EQ(before, GetAllocCount());
}

TEST(ImageLoader, AlphaFileNames)
{
    int savedCharSet = SystemState.settings.charSet;
    struct Case {
        int charSet;
        std::string path, name;
    } cases[] = {
        {1, "img/a.png", "img/a_a.png"},
        {1, "./img/a.png", "_a./img/a.png"},   // the first '.' counts
        {1, "img/noext", "img/noext_a"},
        {1, "a.b.c", "a_a.b.c"},
        {1, "", "_a"},
        {1, "img/画像.bmp", "img/画像_a.bmp"},
        {2, "\xB0.x.bmp", "\xB0.x_a.bmp"},     // a trail byte is never the '.'
        {1, "ab\x81", "ab\x81_a"},              // a lead byte before the end is one byte
        {1, "ab\x81.x", "ab\x81.x_a"},          // ...and takes the next byte with it
    };
    for (const Case& c : cases) {
        SystemState.settings.charSet = c.charSet;
        char out[FULL_PATH_SIZE];
        memset(out, 'z', sizeof out);
        EXPECT_EQ(0, MakeAlphaFileName(c.path.c_str(), out)) << c.path;
        EXPECT_EQ(c.name, std::string(out)) << c.path;
    }
    SystemState.settings.charSet = 1;

    // The name is built within its 260 bytes, or not at all.
    std::string fits(FULL_PATH_SIZE - 3, 'x');
    std::vector<char> out(FULL_PATH_SIZE + 16, 'z');
    EXPECT_EQ(0, MakeAlphaFileName(fits.c_str(), out.data()));
    EXPECT_EQ(fits + "_a", std::string(out.data()));
    std::string tooLong(FULL_PATH_SIZE - 2, 'x');
    out.assign(out.size(), 'z');
    EXPECT_EQ(-1, MakeAlphaFileName(tooLong.c_str(), out.data()));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ('z', out[FULL_PATH_SIZE]);
    std::string longExtension = "a" + std::string(FULL_PATH_SIZE, '.');
    out.assign(out.size(), 'z');
    EXPECT_EQ(-1, MakeAlphaFileName(longExtension.c_str(), out.data()));
    EXPECT_EQ('z', out[FULL_PATH_SIZE]);
    SystemState.settings.charSet = savedCharSet;
}

TEST(ImageLoader, HandedBackAsADib)
{
    int before = GetAllocCount();
    struct Case {
        const char* file;
        int bits;
    } cases[] = {{"p8.bmp", 8}, {"p24.bmp", 24}, {"p32.bmp", 24}, {"p16_565.bmp", 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> data = ReadFixture(c.file);
        BITMAPINFO* header = nullptr;
        void* pixels = nullptr;
        ASSERT_EQ(0, LoadImageData(nullptr, data.data(), (int)data.size(), 1, 1, 0, nullptr, &header, &pixels));
        EXPECT_EQ(before + 2, GetAllocCount());
        EXPECT_EQ(40u, header->bmiHeader.biSize);
        EXPECT_EQ(PictureWidth, header->bmiHeader.biWidth);
        EXPECT_EQ(-PictureHeight, header->bmiHeader.biHeight);   // top-down
        EXPECT_EQ(c.bits, header->bmiHeader.biBitCount);
        int rowSize = ((PictureWidth * c.bits / 8) + 3) & ~3;
        for (int y = 0; y < PictureHeight; y++)
            for (int x = 0; x < PictureWidth; x++) {
                const uint8_t* p = (const uint8_t*)pixels + y * rowSize + x * c.bits / 8;
                uint32_t colour;
                if (c.bits == 8) {
                    const RGBQUAD& q = header->bmiColors[*p];
                    colour = (uint32_t)q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue;
                } else {
                    colour = (uint32_t)p[2] << 16 | p[1] << 8 | p[0];
                }
                uint32_t mask = strcmp(c.file, "p16_565.bmp") ? 0xFFFFFF : 0xF8FCF8;
                ASSERT_EQ(PictureColours[Picture[y][x]] & mask, colour & mask) << x << "," << y;
            }
        FreeTracked(header);
        FreeTracked(pixels);
        EXPECT_EQ(before, GetAllocCount());
    }
}

TEST(ImageLoader, DibSharesOrCopiesPixels)
{
    std::vector<uint8_t> data = ReadFixture("p8.bmp");
    RasterImage image;
    ASSERT_EQ(0, DecodeBlock(data, &image, LoadImageFromStream));
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFO* header = (BITMAPINFO*)block.data();
    void* pixels = nullptr;
    EXPECT_EQ(0, MakeDibFromRasterImage(&image, header, &pixels, 0, 0));
    EXPECT_EQ(image.pixels, pixels);
    EXPECT_EQ(1, MakeDibFromRasterImage(&image, header, &pixels, 1, 0));   // copy asked for
    EXPECT_NE(image.pixels, pixels);
    EXPECT_EQ(0, memcmp(image.pixels, pixels, (size_t)image.pitch * image.height));
    FreeTracked(pixels);
    // 24-bit flag: the palette image is converted.
    EXPECT_EQ(1, MakeDibFromRasterImage(&image, header, &pixels, 0, 1));
    EXPECT_EQ(24, header->bmiHeader.biBitCount);
    const uint8_t* p = (const uint8_t*)pixels + 24 * 2 + 3 * 6;   // pixel (6, 2): index 11
    EXPECT_EQ(PictureColours[11], (uint32_t)p[2] << 16 | p[1] << 8 | p[0]);
    FreeTracked(pixels);
    FreeRasterImage(&image);

    // A pitch other than the DIB row size is copied.
    ASSERT_EQ(0, DecodeBlock(ReadFixture("p24.bmp"), &image, LoadImageFromStream));
    image.pitch = 28;   // rows wider than the DIB's 24 bytes (4 of them fit the buffer)
    image.height = 4;
    EXPECT_EQ(1, MakeDibFromRasterImage(&image, header, &pixels, 0, 0));
    FreeTracked(pixels);
    FreeRasterImage(&image);
}

// Through the library's own file layer, as the game loads: loose files, and
// files packed into an archive named after their directory.
class LibraryFileLayer : public testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("imagefiles");
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(dir.c_str());
        SetArchiveExtension("ukx");
        SetArchiveKeyString("KOWR");
        SetStreamFunctions(nullptr);
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        TerminateArchives();
        EXPECT_EQ(allocations, GetAllocCount());
        SetCurrentDirectoryA(previous);
        RemoveTree(dir);
    }
    std::string dir;
    char previous[MAX_PATH];
    int allocations = 0;
};

TEST_F(LibraryFileLayer, LooseFiles)
{
    CreateDirectoryA("img", nullptr);
    std::vector<uint8_t> colour = ReadFixture("p24.bmp"), alpha = ReadFixture("rle8.bmp");
    ASSERT_TRUE(WriteWholeFile("img/a.bmp", colour.data(), colour.size()));
    ASSERT_TRUE(WriteWholeFile("img/a_a.bmp", alpha.data(), alpha.size()));
    RasterImage image, alphaImage;
    ASSERT_EQ(0, LoadImageWithAlpha("img/a.bmp", nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0));
    ExpectPicture(&image);
    ExpectPicture(&alphaImage);
    FreeRasterImage(&image);
    FreeRasterImage(&alphaImage);
    EXPECT_EQ(-1, LoadImageWithAlpha("img/none.bmp", nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0));
}

TEST_F(LibraryFileLayer, PackedFiles)
{
    std::vector<PackFile> files(2);
    files[0].path = "a.bmp";
    files[0].data = ReadFixture("p8.bmp");
    files[1].path = "a_a.bmp";
    files[1].data = ReadFixture("p4.bmp");
    PackOptions options;
    options.keyString = "KOWR";
    std::vector<uint8_t> archive;
    ASSERT_TRUE(BuildArchive(files, options, archive));
    ASSERT_TRUE(WriteWholeFile("img.ukx", archive.data(), archive.size()));
    RasterImage image, alphaImage;
    ASSERT_EQ(0, LoadImageWithAlpha("img/a.bmp", nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 1));
    ExpectPicture(&image, true);
    ExpectPicture(&alphaImage, true);
    FreeRasterImage(&image);
    FreeRasterImage(&alphaImage);
}
