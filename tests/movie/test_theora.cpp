// The Theora player and its frame output: playback of small movies whose
// frame k has the flat luma 16 + 6k (so a picture names its frame), seeking,
// wrapping and jumping, closing while the thread decodes, the YUV-to-RGB
// conversion against the colour formulas, and files that must be refused.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <atomic>

#include <string>
#include <vector>

#include <d3d9.h>

#include "movie/theora_player.h"
#include "tests/graphics/library_start.h"
#include "runtime/file/stream.h"
#include "runtime/memory.h"
#include "tests/support/test_support.h"

namespace {

std::string FixturePath(const char* name)
{
    return std::string(TestArg(1)) + "\\" + name;
}

std::vector<uint8_t> Fixture(const char* name)
{
    std::vector<uint8_t> data;
    EXPECT_TRUE(ReadWholeFile(FixturePath(name), &data)) << name;
    return data;
}

// Reads of the memory-stream table, counted, and noted when they come after
// the test has closed the file.
std::atomic<int> readsAfterClose;
std::atomic<bool> fileClosed;
size_t CountingRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle)
{
    if (fileClosed.load())
        readsAfterClose++;
    return MemStreamRead(buffer, itemSize, itemCount, handle);
}

StreamFunctionTable MemoryTable()
{
    StreamFunctionTable t = {};
    t.close = CloseMemoryStream;
    t.tell = MemStreamTell;
    t.seek = MemStreamSeek;
    t.read = CountingRead;
    t.eof = MemStreamEof;
    t.idle = MemStreamIdle;
    return t;
}

// A movie opened over a copy of its bytes in memory.
struct Movie {
    explicit Movie(const std::vector<uint8_t>& bytes, int stock = 10) : data(bytes)
    {
        table = MemoryTable();
        file = OpenMemoryStream(data.empty() ? (const void*)"" : data.data(), (int)data.size());
        decoder = OpenTheoraMovie(&table, file, stock);
    }
    ~Movie() { Close(); }
    void Close()
    {
        if (decoder)
            CloseTheoraMovie(decoder);
        decoder = nullptr;
        if (file)
            CloseMemoryStream(file);
        file = 0;
    }
    std::vector<uint8_t> data;
    StreamFunctionTable table;
    StreamHandle file;
    TheoraDecoder* decoder;
};

// B, G, R, A of a pixel of the frame image.
const uint8_t* Pixel(TheoraDecoder* d, int x, int y)
{
    RasterImage* image = GetTheoraFrameImage(d);
    return (const uint8_t*)image->pixels + (size_t)y * image->pitch + (size_t)x * 4;
}

// The grey of luma y by the fixed-point formula: 1.164 (y - 16), truncated.
int GreyOf(int y)
{
    int v = (19070 * (y - 16)) / 16384;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// The frame whose flat luma 16 + 6k the picture shows, or -1.
int FrameShown(TheoraDecoder* d)
{
    const uint8_t* p = Pixel(d, 20, 20);
    for (int k = 0; k < 40; k++)
        if (abs(p[2] - GreyOf(16 + 6 * k)) <= 2 && abs(p[1] - p[2]) <= 2 && abs(p[0] - p[2]) <= 2)
            return k;
    return -1;
}

struct TheoraTest : testing::Test {
    void SetUp() override
    {
        InitYuvTables();
        allocations = GetAllocCount();
        fileClosed = false;
        readsAfterClose = 0;
    }
    void TearDown() override { EXPECT_EQ(allocations, GetAllocCount()) << "tracked blocks left behind"; }
    int allocations;
};

// --- Opening and the index ---

TEST_F(TheoraTest, OpenShowsFrameZeroAndIndexesEveryFrame)
{
    Movie m(Fixture("flat420.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    TheoraMovieInfo info;
    EXPECT_EQ(0, GetTheoraMovieInfo(m.decoder, &info));
    EXPECT_DOUBLE_EQ(24.0, info.framesPerSecond);
    EXPECT_EQ(32, info.frameCount);
    EXPECT_EQ(64, info.width);
    EXPECT_EQ(48, info.height);
    EXPECT_EQ(0, GetTheoraCurrentFrame(m.decoder));
    EXPECT_EQ(0, FrameShown(m.decoder));
    EXPECT_EQ(255, Pixel(m.decoder, 63, 47)[3]);
    // The open fetched frame 0: it is done for the image until the frame changes.
    EXPECT_EQ(0, FetchTheoraFrame(m.decoder, 1, 0));
    // Key frames every 4 frames, as the fixture was encoded.
    for (int k = 0; k < 32; k++)
        EXPECT_EQ(k % 4 == 0 ? 1 : 0, m.decoder->keyFrames[k]) << k;
    EXPECT_EQ(0u, m.decoder->pages[0].offset);
    int frames = 0;
    for (int i = 0; i < m.decoder->pageCount; i++)
        frames += m.decoder->pages[i].frameCount;
    EXPECT_EQ(32, frames);
}

TEST_F(TheoraTest, PictureIsUprightWithChromaInPlace)
{
    Movie m(Fixture("halves.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    // Top half luma 40, bottom 200; left U 170 / V 90, right U 90 / V 170.
    const uint8_t* topLeft = Pixel(m.decoder, 4, 4);
    const uint8_t* bottomRight = Pixel(m.decoder, 60, 44);
    EXPECT_LT(topLeft[2] + topLeft[1] + topLeft[0], bottomRight[2] + bottomRight[1] + bottomRight[0]);
    EXPECT_GT(topLeft[0], topLeft[2]) << "blue-ish on the left";
    EXPECT_GT(bottomRight[2], bottomRight[0]) << "red-ish on the right";
}

TEST_F(TheoraTest, OtherChromaLayoutsConvertThroughTheFloatingPath)
{
    for (const char* name : {"flat422.ogv", "flat444.ogv"}) {
        Movie m(Fixture(name));
        ASSERT_NE(nullptr, m.decoder) << name;
        EXPECT_EQ(0, SeekTheoraMovie(m.decoder, 5));
        EXPECT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0));
        // 1.164 (Y - 16) with Y = 16 + 30 and neutral chroma.
        int grey = (int)(1.164f * 30.0f);
        const uint8_t* p = Pixel(m.decoder, 10, 10);
        EXPECT_NEAR(grey, p[2], 2) << name;
        EXPECT_NEAR(grey, p[1], 2) << name;
        EXPECT_NEAR(grey, p[0], 2) << name;
    }
}

TEST_F(TheoraTest, MovieWithSoundTrackIndexesOnlyItsPictures)
{
    Movie m(Fixture("tone.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(m.decoder, &info);
    EXPECT_DOUBLE_EQ(10.0, info.framesPerSecond);
    EXPECT_EQ(20, info.frameCount);
    SeekTheoraMovie(m.decoder, 19);
    EXPECT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0));
    EXPECT_NEAR(GreyOf(16 + 8 * 19), Pixel(m.decoder, 8, 8)[2], 2);
}

// --- Moving through the movie ---

TEST_F(TheoraTest, SeeksClampToTheMovie)
{
    Movie m(Fixture("flat420.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    struct Case {
        int target, expected;
    } cases[] = {{17, 17}, {-5, 0}, {32, 31}, {1000, 31}, {5, 5}, {4, 4}, {3, 3}, {30, 30}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, SeekTheoraMovie(m.decoder, c.target));
        EXPECT_EQ(c.expected, GetTheoraCurrentFrame(m.decoder)) << c.target;
        EXPECT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0)) << c.target;
        EXPECT_EQ(c.expected, FrameShown(m.decoder)) << c.target;
    }
}

TEST_F(TheoraTest, PlaysThroughTheWrapWithEachFramesOwnPicture)
{
    Movie m(Fixture("flat420.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    SeekTheoraMovie(m.decoder, 26);
    ASSERT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0));
    for (int step = 1; step <= 40; step++) {
        EXPECT_EQ(0, AdvanceTheoraMovie(m.decoder, 1));
        int expected = (26 + step) % 32;
        ASSERT_EQ(expected, GetTheoraCurrentFrame(m.decoder));
        ASSERT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0)) << expected;
        EXPECT_EQ(expected, FrameShown(m.decoder)) << "after " << step << " steps";
    }
}

TEST_F(TheoraTest, JumpsLandOnTheirFrame)
{
    Movie m(Fixture("flat420.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    // Forward over key frames, across the end to a frame behind the decoder,
    // back by one (a step of all but one frame), and over twice the movie.
    struct Case {
        int advance, expected;
    } cases[] = {{2, 2}, {20, 22}, {30, 20}, {31, 19}, {1, 20}, {70, 26}, {0, 26}, {-3, 26}, {9, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, AdvanceTheoraMovie(m.decoder, c.advance));
        ASSERT_EQ(c.expected, GetTheoraCurrentFrame(m.decoder)) << c.advance;
        if (c.advance > 0) {
            ASSERT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0)) << c.advance;
        }
        EXPECT_EQ(c.expected, FrameShown(m.decoder)) << c.advance;
    }
}

TEST_F(TheoraTest, StockSmallerAndLargerThanTheMovie)
{
    for (int stock : {1, 2, 40}) {
        Movie m(Fixture("flat420.ogv"), stock);
        ASSERT_NE(nullptr, m.decoder) << stock;
        for (int step = 1; step <= 35; step += 3) {
            AdvanceTheoraMovie(m.decoder, 3);
            ASSERT_EQ(1, FetchTheoraFrame(m.decoder, 1, 0)) << stock;
            EXPECT_EQ(GetTheoraCurrentFrame(m.decoder), FrameShown(m.decoder)) << stock;
        }
    }
}

TEST_F(TheoraTest, CloseWhileDecodingJoinsTheThreadBeforeTheFileCloses)
{
    for (int round = 0; round < 5; round++) {
        Movie m(Fixture("flat420.ogv"));
        ASSERT_NE(nullptr, m.decoder);
        AdvanceTheoraMovie(m.decoder, 7 + round);  // the thread now decodes ahead
        Sleep((DWORD)round);
        CloseTheoraMovie(m.decoder);
        m.decoder = nullptr;
        fileClosed = true;
        m.Close();
        Sleep(20);
        EXPECT_EQ(0, readsAfterClose.load()) << round;
        fileClosed = false;
    }
}

// --- Frame output against the formulas ---

// A decoder without a thread whose stock holds one hand-made picture.
struct HandMadeFrame {
    HandMadeFrame(int width, int height, int uvWidth, int uvHeight)
    {
        d = new TheoraDecoder();
        d->fetchEntry.store(-1);
        EXPECT_EQ(0, CreateImageXRGB32(width, height, &d->frameImage));
        d->info.width = (uint32_t)width;
        d->info.height = (uint32_t)height;
        d->stock = new TheoraStockEntry[1]();
        d->stockSize = 1;
        TheoraStockEntry* e = &d->stock[0];
        e->yWidth = width;
        e->yHeight = height;
        e->yStride = width + 3;
        e->uvWidth = uvWidth;
        e->uvHeight = uvHeight;
        e->uvStride = uvWidth + 1;
        y.assign((size_t)e->yStride * height, 0);
        u.assign((size_t)e->uvStride * uvHeight, 128);
        v.assign((size_t)e->uvStride * uvHeight, 128);
        e->y = y.data();
        e->u = u.data();
        e->v = v.data();
        e->frame = 0;
        e->filled = 1;
        d->currentFrame = 0;
        d->frameCount = 1;
    }
    ~HandMadeFrame()
    {
        FreeRasterImage(&d->frameImage);
        delete[] d->stock;
        delete d;
    }
    uint8_t& Y(int x, int yy) { return y[(size_t)yy * d->stock[0].yStride + x]; }
    uint8_t& U(int x, int yy) { return u[(size_t)yy * d->stock[0].uvStride + x]; }
    uint8_t& V(int x, int yy) { return v[(size_t)yy * d->stock[0].uvStride + x]; }
    TheoraDecoder* d;
    std::vector<uint8_t> y, u, v;
};

int ClampByte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

TEST_F(TheoraTest, Planar420ConvertsByTheFixedPointFormula)
{
    // Each 2 x 2 block one chroma pair; the cases include the corners of the
    // ranges and the values the tables must clamp.
    struct Block {
        uint8_t y[4], u, v;
    } blocks[] = {
        {{16, 16, 16, 16}, 128, 128},     // black
        {{235, 235, 235, 235}, 128, 128}, // 254 in every channel
        {{255, 0, 128, 17}, 255, 255},    // red clamps at 255
        {{0, 255, 90, 200}, 0, 0},
        {{81, 145, 41, 210}, 90, 240},
        {{16, 235, 100, 60}, 16, 240},
    };
    const int count = sizeof blocks / sizeof blocks[0];
    HandMadeFrame f(2 * count, 2, count, 1);
    for (int b = 0; b < count; b++) {
        f.Y(2 * b, 0) = blocks[b].y[0];
        f.Y(2 * b + 1, 0) = blocks[b].y[1];
        f.Y(2 * b, 1) = blocks[b].y[2];
        f.Y(2 * b + 1, 1) = blocks[b].y[3];
        f.U(b, 0) = blocks[b].u;
        f.V(b, 0) = blocks[b].v;
    }
    ASSERT_EQ(1, FetchTheoraFrame(f.d, 1, 0));
    EXPECT_EQ(1, f.d->imageDone);
    for (int b = 0; b < count; b++) {
        for (int i = 0; i < 4; i++) {
            int x = 2 * b + (i & 1), yy = i >> 1;
            int luma = 19070 * (blocks[b].y[i] - 16);
            int cu = blocks[b].u - 128, cv = blocks[b].v - 128;
            int red = ClampByte((luma + 26148 * cv) / 16384);
            int green = ClampByte((luma - 6406 * cu - 13320 * cv) / 16384);
            int blue = ClampByte((luma + 33062 * cu) / 16384);
            const uint8_t* p = Pixel(f.d, x, yy);
            EXPECT_EQ(blue, p[0]) << "block " << b << " pixel " << i;
            EXPECT_EQ(green, p[1]) << "block " << b << " pixel " << i;
            EXPECT_EQ(red, p[2]) << "block " << b << " pixel " << i;
            EXPECT_EQ(255, p[3]);
        }
    }
    const uint8_t* black = Pixel(f.d, 0, 0);
    EXPECT_EQ(0, black[0] + black[1] + black[2]);
    const uint8_t* white = Pixel(f.d, 2, 1);
    EXPECT_EQ(254, white[0]);
    EXPECT_EQ(254, white[1]);
    EXPECT_EQ(254, white[2]);
    EXPECT_EQ(255, Pixel(f.d, 4, 0)[2]);
}

TEST_F(TheoraTest, FullChromaTakesEachPixelsOwnSample)
{
    // 4:4:4 and 4:2:2: every chroma sample differs, so a sample taken from
    // the wrong place shows.
    struct Layout {
        int uvWidth, uvHeight;
    } layouts[] = {{4, 4}, {2, 4}};
    for (const Layout& l : layouts) {
        HandMadeFrame f(4, 4, l.uvWidth, l.uvHeight);
        for (int yy = 0; yy < 4; yy++)
            for (int x = 0; x < 4; x++)
                f.Y(x, yy) = (uint8_t)(40 + 37 * x + 11 * yy);
        for (int yy = 0; yy < l.uvHeight; yy++)
            for (int x = 0; x < l.uvWidth; x++) {
                f.U(x, yy) = (uint8_t)(20 + 50 * x + 13 * yy);
                f.V(x, yy) = (uint8_t)(230 - 45 * x - 17 * yy);
            }
        ASSERT_EQ(1, FetchTheoraFrame(f.d, 1, 0));
        for (int yy = 0; yy < 4; yy++)
            for (int x = 0; x < 4; x++) {
                int cx = x * l.uvWidth / 4, cy = yy * l.uvHeight / 4;
                float luma = 1.164f * (float)(f.Y(x, yy) - 16);
                float cu = (float)(f.U(cx, cy) - 128), cv = (float)(f.V(cx, cy) - 128);
                const uint8_t* p = Pixel(f.d, x, yy);
                EXPECT_EQ(ClampByte((int)(luma + 1.596f * cv)), p[2]) << x << "," << yy;
                EXPECT_EQ(ClampByte((int)(luma - 0.391f * cu - 0.813f * cv)), p[1]) << x << "," << yy;
                EXPECT_EQ(ClampByte((int)(luma + 2.018f * cu)), p[0]) << x << "," << yy;
            }
    }
}

TEST_F(TheoraTest, EachTargetIsWrittenOncePerFrame)
{
    HandMadeFrame f(2, 2, 1, 1);
    ASSERT_EQ(1, FetchTheoraFrame(f.d, 1, 0));
    memset(f.d->frameImage.pixels, 0x5A, (size_t)f.d->frameImage.pitch * 2);
    EXPECT_EQ(0, FetchTheoraFrame(f.d, 1, 0));
    EXPECT_EQ(0x5A, Pixel(f.d, 1, 1)[0]) << "the second fetch wrote the image";
    // No Direct3D: no surface, so a fetch only to the surface has nothing to do.
    EXPECT_EQ(nullptr, GetTheoraYuvSurface(f.d));
    EXPECT_EQ(0, FetchTheoraFrame(f.d, 0, 1));
    // A fetch gives up when the frame cannot come.
    f.d->imageDone = 0;
    f.d->stock[0].frame = 5;
    f.d->endOfData = 1;
    EXPECT_EQ(0, FetchTheoraFrame(f.d, 1, 0));
    f.d->endOfData = 0;
    f.d->state = THEORA_STATE_ENDED;
    EXPECT_EQ(0, FetchTheoraFrame(f.d, 1, 0));
    EXPECT_EQ(0x5A, Pixel(f.d, 1, 1)[0]);
}

TEST_F(TheoraTest, PicturesAreCopiedTopDownWhateverTheirStrides)
{
    // A 6 x 4 picture with 3 x 2 chroma; each sample names its plane, row
    // and column. Bottom-up buffers have negative strides and point at their
    // top row, the last in memory.
    const int w = 6, h = 4, cw = 3, ch = 2;
    for (int pad : {0, 5}) {
        for (int sign : {1, -1}) {
            int ys = w + pad, cs = cw + pad;
            std::vector<uint8_t> yb((size_t)ys * h), ub((size_t)cs * ch), vb((size_t)cs * ch);
            auto rowAt = [sign](std::vector<uint8_t>& b, int stride, int rows, int r) {
                return &b[(size_t)(sign > 0 ? r : rows - 1 - r) * stride];
            };
            for (int r = 0; r < h; r++)
                for (int x = 0; x < w; x++)
                    rowAt(yb, ys, h, r)[x] = (uint8_t)(16 * r + x);
            for (int r = 0; r < ch; r++)
                for (int x = 0; x < cw; x++) {
                    rowAt(ub, cs, ch, r)[x] = (uint8_t)(100 + 16 * r + x);
                    rowAt(vb, cs, ch, r)[x] = (uint8_t)(200 + 16 * r + x);
                }
            yuv_buffer yuv;
            yuv.y_width = w;
            yuv.y_height = h;
            yuv.y_stride = sign * ys;
            yuv.uv_width = cw;
            yuv.uv_height = ch;
            yuv.uv_stride = sign * cs;
            yuv.y = rowAt(yb, ys, h, 0);
            yuv.u = rowAt(ub, cs, ch, 0);
            yuv.v = rowAt(vb, cs, ch, 0);
            TheoraStockEntry e{};
            ASSERT_EQ(0, CopyTheoraPicture(&e, &yuv, 7));
            EXPECT_EQ(7, e.frame.load());
            EXPECT_EQ(1, e.filled.load());
            for (int r = 0; r < h; r++)
                for (int x = 0; x < w; x++)
                    EXPECT_EQ(16 * r + x, e.y[(size_t)r * e.yStride + x]) << pad << sign;
            for (int r = 0; r < ch; r++)
                for (int x = 0; x < cw; x++) {
                    EXPECT_EQ(100 + 16 * r + x, e.u[(size_t)r * e.uvStride + x]) << pad << sign;
                    EXPECT_EQ(200 + 16 * r + x, e.v[(size_t)r * e.uvStride + x]) << pad << sign;
                }
            FreeTracked(e.y);
            FreeTracked(e.u);
            FreeTracked(e.v);
        }
    }
}

// --- The YUV surface on a Direct3D device ---

class TheoraSurface : public testing::Test {
protected:
    static void SetUpTestSuite() { started = StartLibraryOnDirect3D(640, 480); }
    static void TearDownTestSuite() { EXPECT_EQ(0, EndLibraryLocked()); }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        allocations = GetAllocCount();
    }
    void TearDown() override { EXPECT_EQ(allocations, GetAllocCount()); }
    static bool started;
    int allocations = 0;
};
bool TheoraSurface::started = false;

TEST_F(TheoraSurface, FrameIsWrittenInTheSurfacesLayout)
{
    Movie m(Fixture("halves.ogv"));
    ASSERT_NE(nullptr, m.decoder);
    IDirect3DSurface9* surface = GetTheoraYuvSurface(m.decoder);
    if (!surface)
        GTEST_SKIP() << "the device makes none of the YUV surfaces";
    uint32_t fourcc = m.decoder->yuvFourcc;
    EXPECT_TRUE(fourcc == MAKEFOURCC('Y', 'V', '1', '2') || fourcc == MAKEFOURCC('Y', 'U', 'Y', '2') ||
                fourcc == MAKEFOURCC('U', 'Y', 'V', 'Y'));
    // The open wrote frame 0 to both targets: nothing more to do for it.
    EXPECT_EQ(1, m.decoder->surfaceDone);
    EXPECT_EQ(0, FetchTheoraFrame(m.decoder, 0, 1));

    const TheoraStockEntry* e = nullptr;
    for (int i = 0; i < m.decoder->stockSize; i++)
        if (m.decoder->stock[i].filled && m.decoder->stock[i].frame == 0)
            e = &m.decoder->stock[i];
    ASSERT_NE(nullptr, e);
    auto Y = [e](int x, int y) { return e->y[(size_t)y * e->yStride + x]; };
    auto U = [e](int x, int y) { return e->u[(size_t)(y / 2) * e->uvStride + x / 2]; };
    auto V = [e](int x, int y) { return e->v[(size_t)(y / 2) * e->uvStride + x / 2]; };
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    const uint8_t* bits = (const uint8_t*)locked.pBits;
    int wrong = 0;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++) {
            if (fourcc == MAKEFOURCC('Y', 'V', '1', '2')) {
                const uint8_t* vPlane = bits + 48 * locked.Pitch;
                const uint8_t* uPlane = vPlane + 24 * (locked.Pitch / 2);
                wrong += bits[y * locked.Pitch + x] != Y(x, y);
                wrong += vPlane[(y / 2) * (locked.Pitch / 2) + x / 2] != V(x, y);
                wrong += uPlane[(y / 2) * (locked.Pitch / 2) + x / 2] != U(x, y);
            } else {
                const uint8_t* pair = bits + y * locked.Pitch + (x / 2) * 4;
                bool yuy2 = fourcc == MAKEFOURCC('Y', 'U', 'Y', '2');
                wrong += pair[yuy2 ? (x & 1) * 2 : 1 + (x & 1) * 2] != Y(x, y);
                wrong += pair[yuy2 ? 1 : 0] != U(x, y);
                wrong += pair[yuy2 ? 3 : 2] != V(x, y);
            }
        }
    surface->UnlockRect();
    EXPECT_EQ(0, wrong);
    // The picture's top is dark and its bottom bright in the surface too.
    EXPECT_LT(Y(10, 2), 60);
    EXPECT_GT(Y(10, 45), 180);
}

// --- Files that must be refused ---

uint32_t OggCrc(const uint8_t* data, size_t size)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < size; i++) {
        crc ^= (uint32_t)data[i] << 24;
        for (int b = 0; b < 8; b++)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

struct Page {
    size_t offset, size;
    int packetsEnded;
};

std::vector<Page> Pages(const std::vector<uint8_t>& data)
{
    std::vector<Page> pages;
    size_t at = 0;
    while (at + 27 <= data.size() && memcmp(&data[at], "OggS", 4) == 0) {
        int segments = data[at + 26];
        size_t body = 0;
        int ended = 0;
        for (int s = 0; s < segments; s++) {
            body += data[at + 27 + s];
            ended += data[at + 27 + s] < 255;
        }
        pages.push_back({at, 27 + segments + body, ended});
        at += 27 + segments + body;
    }
    return pages;
}

// The bytes with the identification header's fields changed and the first
// page's checksum made right again.
std::vector<uint8_t> PatchedHeader(std::vector<uint8_t> data, size_t field, std::vector<uint8_t> bytes)
{
    size_t packet = 27 + data[26];
    EXPECT_EQ(0x80, data[packet]);
    EXPECT_EQ(0, memcmp(&data[packet + 1], "theora", 6));
    memcpy(&data[packet + field], bytes.data(), bytes.size());
    size_t pageSize = Pages(data)[0].size;
    memset(&data[22], 0, 4);
    uint32_t crc = OggCrc(data.data(), pageSize);
    for (int i = 0; i < 4; i++)
        data[22 + i] = (uint8_t)(crc >> (8 * i));
    return data;
}

TEST_F(TheoraTest, HostileHeadersAreRefused)
{
    std::vector<uint8_t> good = Fixture("flat420.ogv");
    // Field offsets in the identification packet: 10 macroblock columns and
    // rows (16 bits each), 14 picture width, 17 picture height (24 bits), 22
    // frame-rate numerator, 26 denominator (32 bits).
    struct Case {
        const char* what;
        size_t field;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"zero frame-rate numerator", 22, {0, 0, 0, 0}},
        {"zero frame-rate denominator", 26, {0, 0, 0, 0}},
        {"absurd size", 10, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xF0, 0x0F, 0xFF, 0xF0, 0, 0}},
        {"wide size", 10, {0x10, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10}},
    };
    for (const Case& c : cases) {
        Movie m(PatchedHeader(good, c.field, c.bytes));
        EXPECT_EQ(nullptr, m.decoder) << c.what;
    }
    // The patching itself keeps a good file good.
    Movie same(PatchedHeader(good, 22, {good[27 + good[26] + 22]}));
    EXPECT_NE(nullptr, same.decoder);
}

TEST_F(TheoraTest, TruncatedAndForeignFilesAreRefusedOrPlayWhatTheyHold)
{
    std::vector<uint8_t> good = Fixture("flat420.ogv");
    std::vector<Page> pages = Pages(good);
    ASSERT_GT(pages.size(), 3u);
    // The page after which the three headers are complete.
    size_t headerEnd = 0;
    int packets = 0;
    for (const Page& p : pages) {
        packets += p.packetsEnded;
        if (packets >= 3) {
            headerEnd = p.offset + p.size;
            break;
        }
    }
    ASSERT_GT(headerEnd, 0u);
    // Cut inside the headers, exactly after them (a movie with no frames),
    // and mid-page: none of these may play.
    for (size_t cut : {(size_t)0, (size_t)3, (size_t)27, (size_t)60, pages[1].offset, headerEnd - 5, headerEnd}) {
        std::vector<uint8_t> part(good.begin(), good.begin() + (ptrdiff_t)cut);
        Movie m(part);
        EXPECT_EQ(nullptr, m.decoder) << "cut at " << cut;
    }
    // Cut within the pictures: what is left plays, to its last whole frame.
    for (size_t cut : {headerEnd + 40, good.size() / 2, good.size() - 7}) {
        std::vector<uint8_t> part(good.begin(), good.begin() + (ptrdiff_t)cut);
        Movie m(part);
        if (!m.decoder)
            continue;
        TheoraMovieInfo info;
        GetTheoraMovieInfo(m.decoder, &info);
        EXPECT_LE(info.frameCount, 32);
        SeekTheoraMovie(m.decoder, info.frameCount - 1);
        FetchTheoraFrame(m.decoder, 1, 0);
        AdvanceTheoraMovie(m.decoder, 1);
        FetchTheoraFrame(m.decoder, 1, 0);
    }
    // Not Ogg at all, and Ogg without a Theora stream.
    std::vector<uint8_t> text(100, 'x');
    EXPECT_EQ(nullptr, Movie(text).decoder);
    std::vector<uint8_t> vorbis;
    ASSERT_TRUE(ReadWholeFile(std::string(TestArg(2)) + "\\stereo.ogg", &vorbis));
    EXPECT_EQ(nullptr, Movie(vorbis).decoder);
}

}  // namespace
