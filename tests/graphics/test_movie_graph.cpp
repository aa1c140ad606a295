// A movie file loaded with the graph loader plays in its graph: every draw
// brings the movie's frame into the graph, and the frame drawn to the back
// screen is read back pixel by pixel, on Direct3D and on the software
// renderer. The movies are an uncompressed AVI written here and the Ogg
// Theora fixture with its Vorbis track.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "image/raster_image.h"
#include "movie/movie_services.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/movie/avi_writer.h"
#include "tests/support/test_support.h"
#include "tests/graphics/library_start.h"

namespace {

const int kWidth = 16, kHeight = 12, kFrames = 5, kFps = 10;

DWORD Pixel(int frame, int x, int y)
{
    return DWORD(frame * 50 + 3) << 16 | DWORD(y * 20 + 9) << 8 | DWORD(x * 15 + 2);
}

// The back screen's pixels of the rectangle, as 0xRRGGBB.
std::vector<DWORD> ReadScreen(int width, int height)
{
    std::vector<DWORD> pixels;
    RECT area = {0, 0, width, height};
    RasterImage image;
    if (LockScreenImage(&area, &image) != 0)
        return pixels;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            uint32_t v = 0;
            memcpy(&v, static_cast<const BYTE*>(image.pixels) + y * image.pitch + x * image.format.bytesPerPixel,
                   image.format.bytesPerPixel);
            pixels.push_back(v & 0xFFFFFF);
        }
    UnlockScreenImage();
    return pixels;
}

int MatchAviFrame(const std::vector<DWORD>& pixels)
{
    if (pixels.size() != size_t(kWidth * kHeight))
        return -1;
    for (int frame = 0; frame < kFrames; frame++) {
        bool same = true;
        for (int y = 0; y < kHeight && same; y++)
            for (int x = 0; x < kWidth && same; x++)
                same = pixels[y * kWidth + x] == Pixel(frame, x, y);
        if (same)
            return frame;
    }
    return -1;
}

// Lets the graph's movie play: nothing in the library starts one.
MovieData* StartGraphMovie(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return nullptr;
    MovieData* movie = GetMovieRecord(record->movie);
    if (!movie)
        return nullptr;
    movie->resume = 1;
    ResumeAllMovies();
    return movie;
}

std::vector<DWORD> DrawAndRead(int graph, int width, int height)
{
    ClearDrawTarget(nullptr);
    EXPECT_EQ(0, DrawGraphAt(0, 0, graph, 0));
    return ReadScreen(width, height);
}

class MovieGraph : public testing::Test {
protected:
    static void Start(int direct3D)
    {
        dir = MakeTempDir("moviegraph");
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(dir.c_str());
        WriteBytesToFile("clip.avi", MakeUncompressedAvi(kWidth, kHeight, kFrames, kFps, Pixel));
        started = StartLibraryInWindow(320, 240, direct3D);
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, EndLibraryLocked());
        EXPECT_EQ(0, GetAllocCount());
        SetCurrentDirectoryA(previous);
        RemoveTree(dir);
    }
    void SetUp() override
    {
        ASSERT_TRUE(started);
        ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
        SelectBlendMode(0, 255);
        allocations = GetAllocCount();
    }
    void TearDown() override { EXPECT_EQ(allocations, GetAllocCount()); }

    void AviPlaysInItsGraph()
    {
        int graph = LoadGraphFile("clip.avi", 0, 0);
        ASSERT_NE(-1, graph);
        int width = 0, height = 0;
        ASSERT_EQ(0, GetGraphSizeOf(graph, &width, &height));
        EXPECT_EQ(kWidth, width);
        EXPECT_EQ(kHeight, height);
        MovieData* movie = StartGraphMovie(graph);
        ASSERT_NE(nullptr, movie);

        // Until the end is seen and the last frame shown (frames still due
        // come after the end is seen, as the graph runs on).
        std::vector<int> shown;
        EXPECT_TRUE(PollUntil([&] {
            int frame = MatchAviFrame(DrawAndRead(graph, kWidth, kHeight));
            if (shown.empty() || shown.back() != frame)
                shown.push_back(frame);
            return movie->stopped && shown.back() == kFrames - 1;
        })) << "the movie never ended on its last frame";
        EXPECT_EQ(1, movie->stopped);
        // The screen shows whole frames in order (before the first frame the
        // graph is still empty), and holds the last one at the end.
        int last = -1, distinct = 0;
        for (int f : shown) {
            if (f < 0)
                continue;
            EXPECT_GT(f, last);
            last = f;
            distinct++;
        }
        EXPECT_GE(distinct, 2);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(kFrames - 1, shown.back());

        int handle = GetGraphRecord(graph)->movie;
        EXPECT_EQ(0, FreeGraph(graph));
        EXPECT_EQ(nullptr, GetMovieRecord(handle));
    }

    // tone.ogv: 64 x 48, 10 frames a second, 20 frames of flat grey (luma
    // 16 + 8k in frame k) over a 2-second tone that is the movie's clock. The
    // screen must show frame 0 (black) at once and, once the tone is over,
    // hold the last frame's grey instead of going back to frame 0.
    void TheoraPlaysInItsGraph()
    {
        ASSERT_GT(TestArgCount(), 1);
        std::string path = std::string(TestArg(1)) + "/tone.ogv";
        int graph = LoadGraphFile(path.c_str(), 0, 0);
        ASSERT_NE(-1, graph);
        int width = 0, height = 0;
        ASSERT_EQ(0, GetGraphSizeOf(graph, &width, &height));
        EXPECT_EQ(64, width);
        EXPECT_EQ(48, height);
        MovieData* movie = GetMovieRecord(GetGraphRecord(graph)->movie);
        ASSERT_NE(nullptr, movie);
        EXPECT_EQ(1, movie->kind);

        // Frame k's grey is 1.164 * 8k; the coded frames are near it.
        auto greyOf = [&](const std::vector<DWORD>& pixels) {
            if (pixels.size() != size_t(width * height))
                return -1;
            DWORD first = pixels[0];
            int r = int(first >> 16 & 0xFF), g = int(first >> 8 & 0xFF), b = int(first & 0xFF);
            for (DWORD p : pixels)
                if (abs(int(p >> 16 & 0xFF) - r) > 6 || abs(int(p >> 8 & 0xFF) - g) > 6 || abs(int(p & 0xFF) - b) > 6)
                    return -1;
            return (r + g + b) / 3;
        };
        int grey = greyOf(DrawAndRead(graph, width, height));
        EXPECT_GE(grey, 0);
        EXPECT_LE(grey, 6);

        StartGraphMovie(graph);
        std::vector<int> greys;
        DWORD begin = GetTickCount();
        int afterStop = 0;
        while (GetTickCount() - begin < PlatformWaitMs && afterStop < 20) {
            int g = greyOf(DrawAndRead(graph, width, height));
            if (g >= 0 && (greys.empty() || greys.back() != g))
                greys.push_back(g);
            if (movie->stopped)
                afterStop++;
            Sleep(15);
        }
        EXPECT_EQ(1, movie->stopped);
        EXPECT_EQ(0, movie->resume);
        ASSERT_FALSE(greys.empty());
        // Brighter frame after frame, holding the last one (grey 177).
        for (size_t i = 1; i < greys.size(); i++)
            EXPECT_GT(greys[i], greys[i - 1]);
        EXPECT_GE(greys.size(), 4u);
        if (Screen.hardware && GetTheoraYuvSurface(movie->theora)) {
            // The device converts the YUV surface; some devices take the luma
            // as full range (168) instead of video range (177).
            EXPECT_TRUE(abs(greys.back() - 177) <= 6 || abs(greys.back() - 168) <= 4) << greys.back();
        } else {
            EXPECT_NEAR(177, greys.back(), 6);
        }
        EXPECT_EQ(0, FreeGraph(graph));
    }

    static std::string dir;
    static char previous[MAX_PATH];
    static bool started;
    int allocations = 0;
};

std::string MovieGraph::dir;
char MovieGraph::previous[MAX_PATH];
bool MovieGraph::started = false;

class MovieGraphDirect3D : public MovieGraph {
protected:
    static void SetUpTestSuite() { Start(1); }
};

class MovieGraphSoftware : public MovieGraph {
protected:
    static void SetUpTestSuite() { Start(0); }
};

} // namespace

TEST_F(MovieGraphDirect3D, AviFramesReachTheScreen)
{
    AviPlaysInItsGraph();
}

TEST_F(MovieGraphSoftware, AviFramesReachTheScreen)
{
    AviPlaysInItsGraph();
}

TEST_F(MovieGraphDirect3D, TheoraFramesReachTheScreen)
{
    TheoraPlaysInItsGraph();
}

TEST_F(MovieGraphSoftware, TheoraFramesReachTheScreen)
{
    TheoraPlaysInItsGraph();
}
