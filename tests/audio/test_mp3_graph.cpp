// Whole-stream decoding through the DirectShow graph: the PCM it gives for
// the MP3 fixtures, the growth of the decoded block, refusals, the bounded
// wait, and the converter chain's fall-back to it.
#include <math.h>
#include <string.h>

#include <dshow.h>

#include <functional>
#include <string>

#include "audio/mp3_directshow.h"
#include "dshow/dshow_allocator.h"
#include "dshow/dshow_object.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/audio/sound_fixtures.h"
#include "tests/runtime/log_capture.h"
#include "tests/support/test_bytes.h"
#include "tests/support/test_support.h"

extern "C" void* importedAcmFormatSuggest asm(IMPORT_SYMBOL(acmFormatSuggest, 20));

namespace {

const int32_t kMiB = 1048576;

// Runs the call on a thread of its own (with COM) and gives it a bounded
// time: a conversion that hangs ends the test program instead of the run.
DWORD WINAPI RunCall(void* call)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (*(const std::function<void()>*)call)();
    CoUninitialize();
    return 0;
}

void RunWithin(DWORD ms, const std::function<void()>& call)
{
    HANDLE thread = CreateThread(nullptr, 0, RunCall, (void*)&call, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    if (WaitForSingleObject(thread, ms) != WAIT_OBJECT_0) {
        fprintf(stderr, "conversion still running after %lu ms\n", (unsigned long)ms);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(thread);
}

// A converter over the bytes, its stream set but no method chosen, as the
// converter set-up leaves it when every other method refused.
struct GraphConversion {
    explicit GraphConversion(const std::vector<uint8_t>& data) : bytes(data)
    {
        memset(&c, 0, sizeof c);
        c.source.ops = *GetMemoryStreamFunctions();
        c.source.handle = OpenMemoryStream(bytes.empty() ? "" : (const void*)bytes.data(), (int)bytes.size());
    }
    ~GraphConversion()
    {
        if (result == 0)
            FreeTracked(c.memory.pcm);
        c.source.ops.close(c.source.handle);
    }
    int Run(DWORD ms = 60000)
    {
        RunWithin(ms, [this] { result = ConvertMp3ToPcm(&c); });
        return result;
    }
    // Samples of one channel as signed 16-bit values.
    std::vector<int16_t> Channel(int channel) const
    {
        std::vector<int16_t> out;
        const int16_t* p = (const int16_t*)c.memory.pcm;
        for (int32_t i = channel; i < c.memory.size / 2; i += c.format.nChannels)
            out.push_back(p[i]);
        return out;
    }

    std::vector<uint8_t> bytes;
    SoundConverter c;
    int result = -2;
};

// The tone's frequency from its upward zero crossings in the middle half of
// the signal, away from the decoder's ramp-in and the end.
double ToneFrequency(const std::vector<int16_t>& samples, int rate)
{
    size_t from = samples.size() / 4, to = samples.size() * 3 / 4;
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = from + 1; i < to; i++) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings == 0)
                first = i;
            last = i;
            crossings++;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * (double)rate / (double)(last - first);
}

class Mp3Graph : public ConverterTest {
protected:
    void SetUp() override
    {
        ConverterTest::SetUp();
        liveObjects = LiveObjectCount;
        log.Start();
    }
    void TearDown() override
    {
        log.Stop();
        EXPECT_EQ(liveObjects, LiveObjectCount) << "framework objects left behind";
        ConverterTest::TearDown();
    }
    // Whether the log holds the text after its first `from` bytes.
    bool Logged(const char* text, size_t from = 0) const { return log.Raw().find(text, from) != std::string::npos; }

    LONG liveObjects = 0;
    LogCapture log;
};

TEST_F(Mp3Graph, DecodesTheFixturesToTheirTones)
{
    struct Case {
        const char* file;
        int rate, channels, frames, samplesPerFrame;
        double tones[2];
    } cases[] = {
        {"mpeg1.mp3", 44100, 2, 21, 1152, {440, 660}},
        {"mpeg2.mp3", 22050, 1, 12, 576, {523, 0}},
        {"tagged.mp3", 44100, 2, 21, 1152, {440, 660}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        GraphConversion g(ReadFixture(k.file));
        ASSERT_EQ(0, g.Run());
        const WAVEFORMATEX& f = g.c.format;
        EXPECT_EQ(kConverterMemory, g.c.method);
        EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
        EXPECT_EQ((DWORD)k.rate, f.nSamplesPerSec);
        EXPECT_EQ(k.channels, f.nChannels);
        EXPECT_EQ(16, f.wBitsPerSample);
        EXPECT_EQ(2 * k.channels, f.nBlockAlign);
        EXPECT_EQ((DWORD)(k.rate * 2 * k.channels), f.nAvgBytesPerSec);
        EXPECT_EQ(0, f.cbSize);
        EXPECT_EQ((int32_t)f.nAvgBytesPerSec, g.c.bufferSize);
        EXPECT_EQ(0, g.c.memory.readPosition);

        // About the length the frames hold, give or take the decoder's delay.
        int32_t samples = g.c.memory.size / f.nBlockAlign;
        EXPECT_EQ(0, g.c.memory.size % f.nBlockAlign);
        EXPECT_NEAR(k.frames * k.samplesPerFrame, samples, 2 * k.samplesPerFrame);
        for (int ch = 0; ch < k.channels; ch++)
            EXPECT_NEAR(k.tones[ch], ToneFrequency(g.Channel(ch), k.rate), k.tones[ch] * 0.02) << "channel " << ch;
    }
}

TEST_F(Mp3Graph, GrowsTheBlockInWholeStepsPastTenTimesTheInput)
{
    // 96 kbit/s stereo decodes to about 14.7 times its size: one step.
    std::vector<uint8_t> mp3 = ReadFixture("mpeg1.mp3");
    GraphConversion g(mp3);
    ASSERT_EQ(0, g.Run());
    int32_t initial = (int32_t)mp3.size() * 10;
    EXPECT_GT(g.c.memory.size, initial);
    EXPECT_EQ(initial + kMiB, g.c.memory.capacity);
}

// A sample the callback can be handed directly.
struct LooseSample {
    explicit LooseSample(size_t n) : bytes(n), sample("test", nullptr, nullptr, bytes.data(), (LONG)n) {}
    std::vector<BYTE> bytes;
    MediaSampleObject sample;
};

TEST_F(Mp3Graph, SampleCallbackAppendsAndGrowsUntilTheSampleFits)
{
    SoundConverter c;
    memset(&c, 0, sizeof c);
    MemoryConverterState& m = c.memory;
    m.pcm = (unsigned char*)AllocTracked(16, "", 0);
    memcpy(m.pcm, "0123456789", 10);
    m.capacity = 16;
    m.size = 10;
    DWORD ticket = RegisterMp3Sink(&c);
    ASSERT_NE(0u, ticket);

    // Fits as it is.
    LooseSample small(4);
    memcpy(small.bytes.data(), "abcd", 4);
    EXPECT_EQ(0, OnMp3Sample(&small.sample, nullptr, nullptr, FALSE, ticket));
    EXPECT_EQ(16, m.capacity);
    EXPECT_EQ(14, m.size);

    // Far more than the free space plus one step: three steps are needed.
    LooseSample big((size_t)3 * kMiB);
    for (size_t i = 0; i < big.bytes.size(); i++)
        big.bytes[i] = (BYTE)(i * 7);
    EXPECT_EQ(0, OnMp3Sample(&big.sample, nullptr, nullptr, FALSE, ticket));
    EXPECT_EQ(16 + 3 * kMiB, m.capacity);
    EXPECT_EQ(14 + 3 * kMiB, m.size);
    EXPECT_EQ(0, memcmp(m.pcm, "0123456789abcd", 14));
    EXPECT_EQ(0, memcmp(m.pcm + 14, big.bytes.data(), big.bytes.size()));

    // A sample for no registered converter, and one after the converter
    // went away, change nothing.
    EXPECT_EQ(0, OnMp3Sample(&small.sample, nullptr, nullptr, FALSE, ticket + 1));
    UnregisterMp3Sink(ticket);
    EXPECT_EQ(0, OnMp3Sample(&small.sample, nullptr, nullptr, FALSE, ticket));
    EXPECT_EQ(14 + 3 * kMiB, m.size);
    FreeTracked(m.pcm);
}

TEST_F(Mp3Graph, SampleCallbackDropsTheDataRatherThanOverflowTheSize)
{
    SoundConverter c;
    memset(&c, 0, sizeof c);
    MemoryConverterState& m = c.memory;
    m.pcm = (unsigned char*)AllocTracked(16, "", 0);
    m.capacity = INT32_MAX - 2;
    m.size = INT32_MAX - 2;
    DWORD ticket = RegisterMp3Sink(&c);
    LooseSample sample(4);
    EXPECT_EQ(0, OnMp3Sample(&sample.sample, nullptr, nullptr, FALSE, ticket));
    EXPECT_EQ(nullptr, m.pcm); // freed: the completion reports the failed growth
    // Later samples are dropped.
    EXPECT_EQ(0, OnMp3Sample(&sample.sample, nullptr, nullptr, FALSE, ticket));
    EXPECT_EQ(nullptr, m.pcm);
    UnregisterMp3Sink(ticket);
}

TEST_F(Mp3Graph, RefusesDataWithoutMpegAudio)
{
    std::vector<uint8_t> mp3 = ReadFixture("mpeg1.mp3");
    // Random bytes without the 0xFF of a frame sync: nothing to lock onto.
    std::vector<uint8_t> noise = TestBytes(8192, 5);
    for (uint8_t& b : noise)
        b &= 0x7F;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"noise", noise},
        {"zeros", std::vector<uint8_t>(8192, 0)},
        {"one header only", std::vector<uint8_t>(mp3.begin(), mp3.begin() + 4)},
        {"empty", {}}, // refused before any graph is made
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        size_t logged = log.Raw().size();
        GraphConversion g(k.bytes);
        EXPECT_EQ(-1, g.Run());
        EXPECT_EQ(nullptr, g.c.memory.pcm);
        if (!k.bytes.empty()) {
            EXPECT_TRUE(Logged("グラフの構築に失敗しました", logged));
        }
    }
}

TEST_F(Mp3Graph, ATruncatedFileGivesNoMoreThanItsWholeFrames)
{
    // Two and a half frames of the 313/314-byte MPEG-1 frames.
    std::vector<uint8_t> mp3 = ReadFixture("mpeg1.mp3");
    std::vector<uint8_t> cut(mp3.begin(), mp3.begin() + 785);
    GraphConversion g(cut);
    int result = g.Run();
    if (result == 0) {
        EXPECT_LE(g.c.memory.size, 3 * 1152 * 4);
    } else {
        EXPECT_EQ(nullptr, g.c.memory.pcm);
    }
}

TEST_F(Mp3Graph, ClosingTheWindowEndsTheConversion)
{
    SystemState.live.quit = 1;
    GraphConversion g(ReadFixture("mpeg1.mp3"));
    EXPECT_EQ(-1, g.Run());
    SystemState.live.quit = 0;
    EXPECT_EQ(nullptr, g.c.memory.pcm);
    EXPECT_TRUE(Logged("MP3変換の途中でソフトが終了しました"));
}

// Stands in for the graph's completion wait: it never reports completion.
HRESULT STDMETHODCALLTYPE NeverCompletes(IMediaEvent*, LONG timeout, LONG* code)
{
    Sleep(timeout < 100 ? (DWORD)timeout : 100);
    *code = 0;
    return E_ABORT;
}

TEST_F(Mp3Graph, AGraphThatNeverCompletesIsGivenUp)
{
    // Every filter graph shares its event interface's table of operations.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     (void**)&graph));
    IMediaEvent* events = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaEvent, (void**)&events));
    void** slot = &(*(void***)events)[9]; // IUnknown 3, IDispatch 4, GetEventHandle, GetEvent, WaitForCompletion
    void* real = ReplaceImport(slot, (void*)NeverCompletes);
    events->Release();
    graph->Release();

    DWORD saved = Mp3GraphStallLimitMs;
    Mp3GraphStallLimitMs = 300;
    GraphConversion g(ReadFixture("mpeg1.mp3"));
    DWORD start = GetTickCount();
    EXPECT_EQ(-1, g.Run(30000));
    DWORD took = GetTickCount() - start;
    Mp3GraphStallLimitMs = saved;
    ReplaceImport(slot, real);
    CoUninitialize();

    EXPECT_LT(took, 15000u);
    EXPECT_EQ(nullptr, g.c.memory.pcm);
    EXPECT_TRUE(Logged("MP3変換の途中でエラーが発生しました"));
}

MMRESULT WINAPI RefuseSuggestion(HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, DWORD, DWORD)
{
    return ACMERR_NOTPOSSIBLE;
}

TEST_F(Mp3Graph, TheConverterSetUpFallsBackToTheGraphWhenAcmRefuses)
{
    void* real = ReplaceImport(&importedAcmFormatSuggest, (void*)RefuseSuggestion);
    std::vector<uint8_t> pcm;
    int setup = -2;
    WAVEFORMATEX format = {};
    RunWithin(60000, [&] {
        ConverterOver o(ReadFixture("mpeg1.mp3"));
        setup = o.setup;
        format = o.c.format;
        if (setup == 0 && o.c.method == kConverterMemory)
            pcm = o.ReadRest();
    });
    ReplaceImport(&importedAcmFormatSuggest, real);
    ASSERT_EQ(0, setup);
    EXPECT_EQ(44100u, format.nSamplesPerSec);
    EXPECT_EQ(2, format.nChannels);
    ASSERT_FALSE(pcm.empty()) << "the graph's method was not chosen";
    EXPECT_NEAR(21 * 1152 * 4, (double)pcm.size(), 2 * 1152 * 4);

    // Data the graph cannot take either fails the set-up.
    ReplaceImport(&importedAcmFormatSuggest, (void*)RefuseSuggestion);
    RunWithin(60000, [&] {
        ConverterOver o(TestBytes(4096, 11));
        setup = o.setup;
    });
    ReplaceImport(&importedAcmFormatSuggest, real);
    EXPECT_EQ(-1, setup);
}

TEST_F(Mp3Graph, AGraphOutputTheSoundBuffersCannotTakeIsRefused)
{
    // 24-bit PCM: the PCM and ACM openers refuse it, the platform's parser
    // would hand it on as it is.
    std::vector<uint8_t> wave = PcmWaveFile(22050, 2, 24, 6 * 2205);
    for (size_t i = 44; i < wave.size(); i++)
        wave[i] = (uint8_t)(i * 7);
    int setup = -2;
    WAVEFORMATEX format = {};
    RunWithin(60000, [&] {
        ConverterOver o(wave);
        setup = o.setup;
        format = o.c.format;
    });
    EXPECT_EQ(-1, setup) << format.wBitsPerSample << "-bit output accepted";
    GraphConversion g(wave);
    EXPECT_EQ(-1, g.Run());
    EXPECT_EQ(nullptr, g.c.memory.pcm);
    EXPECT_TRUE(Logged("サポート外のオーディオフォーマットです。"));
}

TEST(DISABLED_Mp3GraphBuild, AWaveCutInsideItsFactChunkEndsWithinTheBuildLimit)
{
    // Every converter refuses the u-law file cut inside its "fact" chunk, so
    // the graph is tried, and the platform's parser waits for ever inside
    // Render on it. The build is given up at its limit.
    VorbisSampleWidth = 2;
    DWORD saved = Mp3GraphBuildLimitMs;
    Mp3GraphBuildLimitMs = 1500;
    std::vector<uint8_t> wave = ReadFixture("mulaw.wav");
    for (size_t cut : {44u, 45u}) {
        SCOPED_TRACE(cut);
        int setup = -2;
        DWORD took = 0;
        RunWithin(60000, [&] {
            DWORD start = GetTickCount();
            ConverterOver o(std::vector<uint8_t>(wave.begin(), wave.begin() + cut));
            took = GetTickCount() - start;
            setup = o.setup;
        });
        EXPECT_EQ(-1, setup);
        EXPECT_LT(took, 30000u);
    }
    Mp3GraphBuildLimitMs = saved;
    // A process of its own (entry audio_mp3_graph.Mp3GraphBuild): the builds
    // stay inside the platform's parser, which the process's normal end would
    // unload under them, so the test ends the process itself.
    if (!::testing::Test::HasFailure())
        printf("build left behind: test passed\n");
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), ::testing::Test::HasFailure() ? 1 : 0);
}

} // namespace
