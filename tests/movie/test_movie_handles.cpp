// Movie handles over stand-in players: the Theora decoder, the movie's sound,
// the microsecond clock and the DirectShow opener are replaced (--wrap), so
// the table, the frame clock, the end of a movie and pause and resume through
// the window's activation messages are checked against known inputs.
#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/handle_table.h"
#include "movie/dshow_frame_renderer.h"
#include "movie/movie_clock.h"
#include "movie/movie_services.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/window_state.h"
#include "tests/movie/avi_writer.h"
#include "tests/support/test_support.h"

extern HandleTable MovieHandles;

// ---------------------------------------------------------------------------
// Stand-ins

namespace {

TheoraDecoder* const kDecoder = reinterpret_cast<TheoraDecoder*>(0x5000);
const int kSound = 0x10000007;

struct FakeTheora {
    bool opens = false;
    double fps = 30;
    int count = 100;
    int current = 0;
    int advances = 0;
    int closes = 0;
    int fileClosesBeforeDecoder = -1;   // file closes seen when the decoder closed
    RasterImage image = {};
} theora;

struct FakeSound {
    int loaded = -1;       // what LoadSoundFile gives
    int playing = 1;
    int positionMs = 0;
    int plays = 0, stops = 0, deletes = 0;
    int lastPlayType = -1, lastFromStart = -1;
} sound;

uint64_t nowUs = 0;
std::vector<std::string> logged;

// DirectShow interfaces that count what the movie code asks of them.
struct FakeControl : IMediaControl {
    int runs = 0, pauses = 0, stops = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Run() override { runs++; return S_OK; }
    HRESULT STDMETHODCALLTYPE Pause() override { pauses++; return S_OK; }
    HRESULT STDMETHODCALLTYPE Stop() override { stops++; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StopWhenReady() override { return E_NOTIMPL; }
} control;

struct FakeSeeking : IMediaSeeking {
    LONGLONG current = 0;
    int rewinds = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* out) override
    {
        *out = current;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* start, DWORD startFlags, LONGLONG*, DWORD stopFlags) override
    {
        if (start && *start == 0 && startFlags == AM_SEEKING_AbsolutePositioning &&
            stopFlags == AM_SEEKING_NoPositioning) {
            rewinds++;
            current = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRate(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRate(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG*) override { return E_NOTIMPL; }
} seeking;

struct FakeGraphOpen {
    bool opens = true;
    bool withInterfaces = false;
    MovieFrameRenderer* renderer = nullptr;
} dshow;

} // namespace

#define WRAP(result, mangled, name, ...)                                       \
    extern "C" result name(__VA_ARGS__) asm(WRAPPED_SYMBOL(mangled));          \
    extern "C" result name(__VA_ARGS__)

WRAP(TheoraDecoder*, THEORA_OPEN_SYMBOL, WrappedOpenTheora, const StreamFunctionTable*, StreamHandle, int stock)
{
    EXPECT_EQ(10, stock);
    return theora.opens ? kDecoder : nullptr;
}
int fileCloses = 0;

extern "C" int RealFileStreamClose(StreamHandle) asm(REAL_SYMBOL(FILE_CLOSE_SYMBOL));
WRAP(int, FILE_CLOSE_SYMBOL, WrappedFileClose, StreamHandle handle)
{
    fileCloses++;
    return RealFileStreamClose(handle);
}
WRAP(int, "_Z16CloseTheoraMovieP13TheoraDecoder", WrappedCloseTheora, TheoraDecoder*)
{
    theora.closes++;
    theora.fileClosesBeforeDecoder = fileCloses;
    return 0;
}
WRAP(int, "_Z18GetTheoraMovieInfoP13TheoraDecoderP15TheoraMovieInfo", WrappedTheoraInfo, TheoraDecoder*,
     TheoraMovieInfo* info)
{
    info->framesPerSecond = theora.fps;
    info->frameCount = theora.count;
    info->width = 64;
    info->height = 48;
    return 0;
}
WRAP(int, "_Z21GetTheoraCurrentFrameP13TheoraDecoder", WrappedTheoraCurrent, TheoraDecoder*)
{
    return theora.current;
}
WRAP(int, "_Z18AdvanceTheoraMovieP13TheoraDecoderi", WrappedTheoraAdvance, TheoraDecoder*, int n)
{
    EXPECT_GT(n, 0);
    theora.advances++;
    theora.current += n;
    if (theora.current >= theora.count)
        theora.current -= theora.count;
    return 0;
}
WRAP(RasterImage*, "_Z19GetTheoraFrameImageP13TheoraDecoder", WrappedTheoraImage, TheoraDecoder*)
{
    return &theora.image;
}
WRAP(int, "_Z13LoadSoundFilePKcii", WrappedLoadSound, const char*, int buffers, int share)
{
    EXPECT_EQ(1, buffers);
    EXPECT_EQ(-1, share);
    return sound.loaded;
}
WRAP(int, "_Z17CheckSoundPlayingi", WrappedSoundPlaying, int)
{
    return sound.playing;
}
WRAP(int, "_Z22GetSoundPlayPositionMsi", WrappedSoundPosition, int)
{
    return sound.positionMs;
}
WRAP(int, "_Z15PlaySoundHandleiii", WrappedPlaySound, int handle, int playType, int fromStart)
{
    if (handle == -1)
        return -1;
    sound.plays++;
    sound.lastPlayType = playType;
    sound.lastFromStart = fromStart;
    return 0;
}
WRAP(int, "_Z15StopSoundHandlei", WrappedStopSound, int handle)
{
    if (handle != -1)
        sound.stops++;
    return handle == -1 ? -1 : 0;
}
WRAP(int, "_Z17DeleteSoundHandlei", WrappedDeleteSound, int handle)
{
    if (handle != -1)
        sound.deletes++;
    return handle == -1 ? -1 : 0;
}
WRAP(uint64_t, "_Z13GetMicroCounti", WrappedMicroCount, int)
{
    return nowUs;
}
WRAP(int, "_Z8WriteLogPKc", WrappedWriteLog, const char* text)
{
    logged.push_back(text);
    return -1;
}
WRAP(int, "_Z19OpenMovieDirectShowPvP9MovieDataPKcPiS4_i", WrappedOpenDirectShow, void*, MovieData* movie,
     const char*, int* width, int* height, int)
{
    if (!dshow.opens)
        return -1;
    if (dshow.withInterfaces) {
        movie->control = &control;
        movie->seeking = &seeking;
        movie->renderer = dshow.renderer;
        movie->stopPosition = 1000;
    }
    if (width)
        *width = 8;
    if (height)
        *height = 6;
    return 0;
}

namespace {

const char* const kOpenFailed = "ムービーファイルオープン処理時にエラーが発生しました";

int CheckOf(int handle)
{
    return (handle >> 16) & 0x7FF;
}

// A movie through the stand-in DirectShow opener (the path names no file,
// so no Theora open is tried).
int OpenFake()
{
    return OpenMovie("no such movie.avi", nullptr, nullptr, 0);
}

// A Theora movie over a real file (the decoder and sound are stand-ins).
int OpenTheora()
{
    EXPECT_TRUE(WriteBytesToFile("movie.ogv", std::vector<BYTE>{'O', 'g', 'g', 'S'}));
    theora.opens = true;
    int movie = OpenMovie("movie.ogv", nullptr, nullptr, 0);
    theora.opens = false;
    return movie;
}

// Lets a freshly opened movie play: nothing in the library starts one, so its
// resume mark is set here and ResumeAllMovies does the rest.
void Start(int movie, int playType = 1)
{
    MovieData* data = GetMovieRecord(movie);
    ASSERT_NE(nullptr, data);
    data->resume = 1;
    data->playType = playType;
    ASSERT_EQ(0, ResumeAllMovies());
    ASSERT_EQ(0, data->stopped);
}

int callbacks = 0;
void CountCallback(MovieData*, int user)
{
    EXPECT_EQ(77, user);
    callbacks++;
}

class MovieHandleTest : public testing::Test {
protected:
    void SetUp() override
    {
        theora = FakeTheora();
        sound = FakeSound();
        dshow = FakeGraphOpen();
        control.runs = control.pauses = control.stops = 0;
        seeking.current = 0;
        seeking.rewinds = 0;
        nowUs = 1000000000;
        logged.clear();
        callbacks = 0;
        allocs = GetAllocCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, MovieHandles.count);
        EXPECT_EQ(allocs, GetAllocCount());
    }
    int allocs = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// The clock

TEST(MovieClock, FrameForElapsedTime)
{
    struct Case {
        int64_t elapsedUs;
        double fps;
        int count, loop, frame;
    } cases[] = {
        {1500000, 30, 100, 0, 45},
        {1499999, 30, 100, 0, 44},
        {0, 30, 100, 0, 0},
        {-5000, 30, 100, 0, 0},
        {3333333, 30, 100, 0, 99},        // frame 99 is shown from 3.3 s
        {10000000, 30, 100, 0, 99},       // past the end: holds the last frame
        {10000000, 30, 100, 1, 0},        // looping: 300 mod 100
        {4000000, 30, 100, 1, 20},
        // 40 minutes: far beyond a 32-bit microsecond count
        {2400000000LL, 30, 100000, 0, 72000},
        {2400000000LL, 30, 1000, 1, 0},
        {2400000000LL + 1000000, 30, 1000, 1, 30},
        {INT64_MAX, 1000, 7, 0, 6},
        {1000000, 0, 100, 0, -1},         // no running clock
        {1000000, -30, 100, 0, -1},
        {1000000, 30, 0, 0, -1},          // no frames
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.frame, ChooseMovieFrame(c.elapsedUs, c.fps, c.count, c.loop))
            << c.elapsedUs << " us at " << c.fps << " fps";
}

TEST(MovieClock, SoundPositionsPastThirtyFiveMinutes)
{
    EXPECT_EQ(1500000, MovieSoundTimeUs(1500));
    // 36 minutes: the microsecond product passes 2^31.
    EXPECT_EQ(2160000000LL, MovieSoundTimeUs(2160000));
    EXPECT_EQ(2147483647000LL, MovieSoundTimeUs(INT32_MAX));
    EXPECT_EQ(0, MovieSoundTimeUs(-1));
}

TEST(MovieClock, TimeBaseContinuesAtTheGivenFrame)
{
    const uint64_t now = 5000000000ULL;
    for (double fps : {30.0, 29.97, 24.0, 60.0, 7.0})
        for (int frame : {0, 1, 45, 99, 12345}) {
            uint64_t base = MovieTimeBaseForFrame(now, fps, frame);
            EXPECT_EQ(frame, ChooseMovieFrame((int64_t)(now - base), fps, 100000, 0)) << fps << " fps";
        }
    // Near the clock's zero the base lies "before" it; the difference is
    // still right.
    uint64_t base = MovieTimeBaseForFrame(1000, 30, 45);
    EXPECT_EQ(45, ChooseMovieFrame((int64_t)(1000 - base), 30, 100, 0));
    EXPECT_EQ(now, MovieTimeBaseForFrame(now, 0, 45));
}

// ---------------------------------------------------------------------------
// The table

TEST_F(MovieHandleTest, HundredSlotsTakenFirstFreeWithRisingChecks)
{
    std::vector<int> handles;
    for (int i = 0; i < 100; i++) {
        int movie = OpenFake();
        ASSERT_NE(-1, movie) << i;
        EXPECT_EQ(0x18000000, movie & 0x78000000);
        EXPECT_EQ(i, movie & 0xFFFF);
        if (i > 0) {
            EXPECT_EQ((CheckOf(handles.back()) + 1) % 2048, CheckOf(movie));
        }
        handles.push_back(movie);
    }
    EXPECT_EQ(100, MovieHandles.count);
    // A full table refuses quietly.
    EXPECT_EQ(-1, OpenFake());
    EXPECT_TRUE(logged.empty());

    ASSERT_EQ(0, CloseMovie(handles[37]));
    ASSERT_EQ(0, CloseMovie(handles[5]));
    EXPECT_EQ(nullptr, GetMovieRecord(handles[5]));
    int again = OpenFake();
    EXPECT_EQ(5, again & 0xFFFF);
    EXPECT_NE(handles[5], again);
    EXPECT_EQ((CheckOf(handles[99]) + 1) % 2048, CheckOf(again));
    handles[5] = again;
    handles[37] = OpenFake();
    EXPECT_EQ(37, handles[37] & 0xFFFF);
    for (int movie : handles)
        EXPECT_EQ(0, CloseMovie(movie));
}

TEST_F(MovieHandleTest, CheckWrapsAfter2047AndFailedOpensTakeNone)
{
    int first = OpenFake();
    ASSERT_NE(-1, first);
    int previous = CheckOf(first);
    ASSERT_EQ(0, CloseMovie(first));

    dshow.opens = false;
    EXPECT_EQ(-1, OpenFake());
    ASSERT_EQ(1u, logged.size());
    EXPECT_EQ(kOpenFailed, logged[0]);
    EXPECT_EQ(0, MovieHandles.count);
    dshow.opens = true;

    bool wrapped = false;
    for (int i = 0; i < 2100; i++) {
        int movie = OpenFake();
        ASSERT_NE(-1, movie);
        int check = CheckOf(movie);
        ASSERT_EQ(previous == 2047 ? 0 : previous + 1, check) << i;
        wrapped = wrapped || (previous == 2047 && check == 0);
        previous = check;
        EXPECT_EQ(0, movie & 0xFFFF);
        ASSERT_EQ(0, CloseMovie(movie));
    }
    EXPECT_TRUE(wrapped);
}

TEST_F(MovieHandleTest, BadHandlesAreRefusedInTheCheckOrder)
{
    int movie = OpenFake();
    ASSERT_NE(-1, movie);
    ASSERT_EQ(0, SetMovieFrameCallback(movie, CountCallback, 77));
    int stale = OpenFake();
    ASSERT_EQ(0, CloseMovie(stale));
    const int checkBits = movie & 0x07FF0000;
    const int bad[] = {
        -1,
        movie | (int)0x80000000,               // negative, otherwise the movie's
        (movie & ~0x78000000) | 0x08000000,    // a graph handle
        0x18000000 | checkBits | 100,           // slot beyond the table
        0x18000000 | checkBits | 0xFFFF,
        stale,                                  // free slot
        (movie & ~0x07FF0000) | (((CheckOf(movie) + 1) & 0x7FF) << 16), // other check
    };
    for (int handle : bad) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(nullptr, GetMovieRecord(handle));
        EXPECT_EQ(-1, CloseMovie(handle));
        EXPECT_EQ(-1, SetMovieFrameCallback(handle, CountCallback, 77));
        EXPECT_EQ(-1, PauseMovie(handle, 0));
        EXPECT_EQ(-1, DrawMovieOverlay(0, 0, 1.0, handle, 1));
        EXPECT_EQ(0, UpdateMovieFrame(handle, 0));
    }
    EXPECT_EQ(0, callbacks);
    EXPECT_NE(nullptr, GetMovieRecord(movie));
    EXPECT_EQ(0, CloseMovie(movie));
}

// ---------------------------------------------------------------------------
// Theora movies on their clock

TEST_F(MovieHandleTest, TheoraOpensStoppedWithItsSizeAndSound)
{
    sound.loaded = kSound;
    ASSERT_TRUE(WriteBytesToFile("movie.ogv", std::vector<BYTE>{'O', 'g', 'g', 'S'}));
    int width = 0, height = 0;
    theora.opens = true;
    int movie = OpenMovie("movie.ogv", &width, &height, 0);
    theora.opens = false;
    ASSERT_NE(-1, movie);
    EXPECT_EQ(64, width);
    EXPECT_EQ(48, height);
    MovieData* data = GetMovieRecord(movie);
    EXPECT_EQ(1, data->kind);
    EXPECT_EQ(kSound, data->sound);
    EXPECT_EQ(&theora.image, data->frame);
    EXPECT_EQ(1, data->stopped);
    EXPECT_EQ(0, data->resume);
    EXPECT_EQ(1, data->playType);

    // Stopped: no advance, but the callback still shows the frame.
    ASSERT_EQ(0, SetMovieFrameCallback(movie, CountCallback, 77));
    sound.positionMs = 1500;
    EXPECT_EQ(0, UpdateMovieFrame(movie, 0));
    EXPECT_EQ(0, theora.current);
    EXPECT_EQ(1, callbacks);
    EXPECT_EQ(1, data->frameShown);
    // Pausing a stopped movie does nothing.
    EXPECT_EQ(0, PauseMovie(movie, 0));
    EXPECT_EQ(0, sound.stops);

    // The decoder's thread reads the file: the decoder goes first.
    const int filesClosed = fileCloses;
    EXPECT_EQ(0, CloseMovie(movie));
    EXPECT_EQ(1, theora.closes);
    EXPECT_EQ(filesClosed, theora.fileClosesBeforeDecoder) << "the file was closed under the decoder";
    EXPECT_EQ(filesClosed + 1, fileCloses);
    EXPECT_EQ(1, sound.deletes);
}

TEST_F(MovieHandleTest, TheoraWithoutSoundFollowsTheMicrosecondClock)
{
    int movie = OpenTheora();
    ASSERT_NE(-1, movie);
    MovieData* data = GetMovieRecord(movie);
    EXPECT_EQ(-1, data->sound);
    Start(movie);
    nowUs += 1500000;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(45, theora.current);
    // Past the end: the last frame, then the movie stops there.
    nowUs += 10000000;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(99, theora.current);
    EXPECT_EQ(0, data->stopped);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(1, data->stopped);
    EXPECT_EQ(0, data->resume);
    EXPECT_EQ(0, CloseMovie(movie));
}

TEST_F(MovieHandleTest, LoopingTheoraWrapsForward)
{
    int movie = OpenTheora();
    ASSERT_NE(-1, movie);
    Start(movie, 3);
    nowUs += 3000000; // frame 90
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(90, theora.current);
    nowUs += 1000000; // frame 120: 20 after the wrap
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(20, theora.current);
    EXPECT_EQ(0, GetMovieRecord(movie)->stopped);
    EXPECT_EQ(0, CloseMovie(movie));
}

TEST_F(MovieHandleTest, TheoraWithSoundFollowsTheTrackAndHoldsItsLastFrame)
{
    sound.loaded = kSound;
    theora.count = 1000000;
    int movie = OpenTheora();
    ASSERT_NE(-1, movie);
    MovieData* data = GetMovieRecord(movie);
    Start(movie);
    EXPECT_EQ(1, sound.plays);
    EXPECT_EQ(1, sound.lastPlayType);
    EXPECT_EQ(0, sound.lastFromStart);

    sound.positionMs = 1500;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(45, theora.current);
    // 36 minutes in: 2,160,000,000 us does not fit 32 bits.
    sound.positionMs = 2160000;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(64800, theora.current);
    EXPECT_EQ(0, data->stopped);

    // The track has ended and reads from its start again: the picture stays
    // on the last frame and the movie stops.
    sound.playing = 0;
    sound.positionMs = 0;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(999999, theora.current);
    EXPECT_EQ(1, data->stopped);
    EXPECT_EQ(0, data->resume);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(999999, theora.current);
    EXPECT_EQ(0, CloseMovie(movie));
}

TEST_F(MovieHandleTest, ResumeContinuesAtTheShownFrame)
{
    for (double fps : {30.0, 29.97, 24.0}) {
        SCOPED_TRACE(fps);
        theora = FakeTheora();
        theora.fps = fps;
        theora.count = 1000;
        int movie = OpenTheora();
        ASSERT_NE(-1, movie);
        MovieData* data = GetMovieRecord(movie);
        Start(movie);
        nowUs += 1500000;
        UpdateMovieFrame(movie, 0);
        const int shown = theora.current;
        EXPECT_EQ((int)(1.5 * fps), shown);
        ASSERT_EQ(0, PauseAllMovies());
        EXPECT_EQ(1, data->stopped);
        EXPECT_EQ(1, data->resume);
        nowUs += 10000000;
        UpdateMovieFrame(movie, 0);
        EXPECT_EQ(shown, theora.current);
        ASSERT_EQ(0, ResumeAllMovies());
        UpdateMovieFrame(movie, 0);
        EXPECT_EQ(shown, theora.current);
        // ... and only one advance was made: no trip round the movie.
        EXPECT_EQ(1, theora.advances);
        nowUs += 1000000;
        UpdateMovieFrame(movie, 0);
        // One second later, counted from the start of the shown frame.
        EXPECT_NEAR(shown + fps, theora.current, 1.0);
        EXPECT_EQ(0, CloseMovie(movie));
    }
}

// ---------------------------------------------------------------------------
// DirectShow movies

TEST_F(MovieHandleTest, DirectShowCallbackRunsOnlyForNewFrames)
{
    HRESULT created = E_FAIL;
    dshow.renderer = CreateMovieFrameRenderer(nullptr, &created);
    ASSERT_NE(nullptr, dshow.renderer);
    dshow.renderer->BaseFilterInterface()->AddRef();
    dshow.withInterfaces = true;
    int width = 0, height = 0;
    int movie = OpenMovie("no such movie.avi", &width, &height, 0);
    ASSERT_NE(-1, movie);
    EXPECT_EQ(8, width);
    EXPECT_EQ(6, height);
    MovieData* data = GetMovieRecord(movie);
    EXPECT_EQ(0, data->kind);
    EXPECT_EQ(&data->frameImage, data->frame);
    ASSERT_EQ(0, SetMovieFrameCallback(movie, CountCallback, 77));

    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(0, callbacks);

    MovieFrameRenderer* renderer = dshow.renderer;
    renderer->width = 2;
    renderer->height = 3;
    renderer->stride = 8;
    renderer->frameBuffer = static_cast<BYTE*>(AllocTracked(24, "", 0));
    renderer->newFrame = 1;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(1, callbacks);
    EXPECT_EQ(0, renderer->newFrame);
    EXPECT_EQ(renderer->frameBuffer, data->frameImage.pixels);
    EXPECT_EQ(2, data->frameImage.width);
    EXPECT_EQ(3, data->frameImage.height);
    EXPECT_EQ(8, data->frameImage.pitch);
    EXPECT_EQ(3, data->frameImage.format.bytesPerPixel);
    EXPECT_EQ(0xFF0000u, data->frameImage.format.redMask);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(1, callbacks);

    // The renderer keeps its buffer: closing the movie does not free it.
    EXPECT_EQ(0, CloseMovie(movie));
    EXPECT_EQ(1, control.stops);
    renderer->BaseFilterInterface()->Release();
}

TEST_F(MovieHandleTest, DirectShowEndStopsOrRewinds)
{
    dshow.withInterfaces = true;
    int movie = OpenFake();
    ASSERT_NE(-1, movie);
    MovieData* data = GetMovieRecord(movie);
    Start(movie);
    EXPECT_EQ(1, control.runs);
    seeking.current = 999;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(0, data->stopped);
    seeking.current = 1000;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(1, data->stopped);
    EXPECT_EQ(0, data->resume);
    EXPECT_EQ(1, control.runs);
    EXPECT_EQ(0, seeking.rewinds);
    EXPECT_EQ(0, CloseMovie(movie));

    movie = OpenFake();
    data = GetMovieRecord(movie);
    Start(movie, 3);
    seeking.current = 1500;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(1, seeking.rewinds);
    EXPECT_EQ(3, control.runs);
    EXPECT_EQ(0, data->stopped);
    EXPECT_EQ(0, CloseMovie(movie));
}

// ---------------------------------------------------------------------------
// Pause and resume through the window's activation messages

class MovieWindow : public MovieHandleTest {
protected:
    static void SetUpTestSuite()
    {
        AllowDirect3D(0);
        ChangeWindowMode(1);
        SetLogFileOutput(0);
        SetKeepRunningInBackground(0);
        ASSERT_EQ(0, SetScreenMode(320, 240, 32, 0));
        ASSERT_EQ(0, InitLibraryLocked());
    }
    static void TearDownTestSuite() { EXPECT_EQ(0, EndLibraryLocked()); }
};

TEST_F(MovieWindow, DeactivationPausesAndActivationResumesPlayingMovies)
{
    HWND window = GetMainWindowHwnd();
    ASSERT_NE(nullptr, window);
    sound.loaded = kSound;
    dshow.withInterfaces = true;
    int graphMovie = OpenFake();
    int theoraMovie = OpenTheora();
    int idle = OpenFake(); // never started: stays as it is
    ASSERT_TRUE(graphMovie != -1 && theoraMovie != -1 && idle != -1);
    Start(graphMovie);
    Start(theoraMovie);
    EXPECT_EQ(1, control.runs);
    EXPECT_EQ(1, sound.plays);

    struct Step {
        UINT message;
        WPARAM wParam;
    } deactivations[] = {{WM_ACTIVATEAPP, FALSE}, {WM_ACTIVATE, WA_INACTIVE}};
    for (const Step& off : deactivations) {
        SCOPED_TRACE(off.message);
        const int runs = control.runs, plays = sound.plays;
        SendMessageA(window, off.message, off.wParam, 0);
        for (int movie : {graphMovie, theoraMovie}) {
            EXPECT_EQ(1, GetMovieRecord(movie)->stopped);
            EXPECT_EQ(1, GetMovieRecord(movie)->resume);
        }
        EXPECT_EQ(1, control.pauses);
        EXPECT_EQ(1, sound.stops);

        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
        for (int movie : {graphMovie, theoraMovie}) {
            EXPECT_EQ(0, GetMovieRecord(movie)->stopped);
            EXPECT_EQ(1, GetMovieRecord(movie)->resume);
        }
        EXPECT_EQ(runs + 1, control.runs);
        EXPECT_EQ(plays + 1, sound.plays);
        EXPECT_EQ(0, sound.lastFromStart);
        EXPECT_EQ(1, GetMovieRecord(idle)->stopped);
        EXPECT_EQ(0, GetMovieRecord(idle)->resume);
        control.pauses = 0;
        sound.stops = 0;
    }
    for (int movie : {graphMovie, theoraMovie, idle})
        EXPECT_EQ(0, CloseMovie(movie));
}
