// The renderer base and its video layer fed by a test source pin, with a fake
// reference clock and a graph stand-in that records events: the pause that
// completes with the first sample, refused samples, end-of-stream timing,
// late-frame decisions, quality messages, statistics and teardown.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <uuids.h>

#include <functional>
#include <thread>

#include "dshow/dshow_video_renderer.h"
#include "tests/dshow/dshow_test_filter.h"
#include "tests/support/test_support.h"

namespace {

// {5E1A0010-0000-4000-8000-00AA00BB00CC}
const CLSID kCountingRendererClass = {0x5e1a0010, 0, 0x4000, {0x80, 0, 0, 0xaa, 0, 0xbb, 0, 0xcc}};

// Takes PCM; counts what it draws.
class CountingRenderer : public VideoRendererFilter {
public:
    CountingRenderer() : VideoRendererFilter(kCountingRendererClass, "Counting renderer", nullptr, nullptr) {}
    HRESULT DrawSampleData(IMediaSample*) override
    {
        InterlockedIncrement(&draws);
        return S_OK;
    }
    HRESULT CheckRendererMediaType(const AM_MEDIA_TYPE* type) override
    {
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_PCM) ? S_OK : S_FALSE;
    }
    volatile LONG draws = 0;
};

// Keeps every quality message; answers with a chosen result.
class RecordingQualitySink : public IQualityControl {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter*, Quality quality) override
    {
        messages.push_back(quality);
        return answer;
    }
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl*) override { return S_OK; }
    std::vector<Quality> messages;
    HRESULT answer = E_NOTIMPL;
    LONG count = 1;
};

struct RendererFixture {
    RendererFixture()
    {
        CoInitialize(nullptr);
        source = new TestFilter();
        renderer = new CountingRenderer();
        source->BaseFilterInterface()->AddRef();
        renderer->BaseFilterInterface()->AddRef();
        out = new TestOutputPin(source, L"Out");
        out->rules.accepted = {MEDIASUBTYPE_PCM};
        out->rules.proposed = {MEDIASUBTYPE_PCM};
        source->AddPin(out);
        MakeTestType(&pcm, MEDIASUBTYPE_PCM, 4, 0);
        renderer->JoinFilterGraph(&graph, L"Renderer");
    }
    ~RendererFixture()
    {
        if (renderer) {
            renderer->Stop();
            source->Stop();
            out->PinInterface()->Disconnect();
            InputPin()->Disconnect();
            renderer->JoinFilterGraph(nullptr, nullptr);
            renderer->BaseFilterInterface()->Release();
        }
        source->BaseFilterInterface()->Release();
        CoUninitialize();
    }
    IPin* InputPin() { return renderer->PinAtIndex(0)->PinInterface(); }
    IMemInputPin* Input() { return renderer->inputPin->MemInputInterface(); }
    HRESULT Connect() { return out->PinInterface()->Connect(InputPin(), &pcm); }
    IMediaSample* Sample(REFERENCE_TIME start, REFERENCE_TIME stop)
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
        if (sample) {
            sample->SetTime(&start, &stop);
            sample->SetActualDataLength(4);
        }
        return sample;
    }
    int CountEvents(LONG code)
    {
        int n = 0;
        for (const auto& e : graph.events)
            n += e.code == code;
        return n;
    }
    FILTER_STATE StateAfter(DWORD timeout, HRESULT* result)
    {
        FILTER_STATE state = State_Stopped;
        *result = renderer->GetState(timeout, &state);
        return state;
    }

    TestFilter* source;
    CountingRenderer* renderer;
    TestOutputPin* out;
    MediaTypeObject pcm;
    FakeGraph graph;
    FakeClock clock;
};

TEST(DShowRenderer, PinIsFoundOnlyAsIn)
{
    RendererFixture f;
    IPin* pin = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(E_POINTER, f.renderer->FindPin(L"In", nullptr));
    EXPECT_EQ(VFW_E_NOT_FOUND, f.renderer->FindPin(L"Out", &pin));
    EXPECT_EQ(nullptr, pin);
    ASSERT_EQ(S_OK, f.renderer->FindPin(L"In", &pin));
    EXPECT_EQ(f.InputPin(), pin);
    WCHAR* id = nullptr;
    ASSERT_EQ(S_OK, pin->QueryId(&id));
    EXPECT_STREQ(L"In", id);
    CoTaskMemFree(id);
    pin->Release();
    EXPECT_EQ(nullptr, f.renderer->PinAtIndex(1));
}

TEST(DShowRenderer, PauseIsIncompleteUntilTheFirstSampleArrives)
{
    TestWatchdog dog(2 * PlatformWaitMs, "incomplete pause");
    RendererFixture f;
    HRESULT result;
    // Unconnected: complete at once.
    EXPECT_EQ(S_OK, f.renderer->Pause());
    EXPECT_EQ(State_Paused, f.StateAfter(0, &result));
    EXPECT_EQ(S_OK, result);
    ASSERT_EQ(S_OK, f.renderer->Stop());

    ASSERT_EQ(S_OK, f.Connect());
    ASSERT_EQ(S_OK, f.source->Pause());
    EXPECT_EQ(S_FALSE, f.renderer->Pause());
    EXPECT_EQ(State_Paused, f.StateAfter(0, &result));
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, result);
    // A bounded wait gives up with the same answer.
    EXPECT_EQ(State_Paused, f.StateAfter(30, &result));
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, result);

    IMediaSample* sample = f.Sample(0, 400000);
    HRESULT received = E_FAIL;
    std::thread streaming([&] { received = f.Input()->Receive(sample); });
    EXPECT_TRUE(PollUntil([&] { return f.StateAfter(0, &result) == State_Paused && result == S_OK; }));
    EXPECT_EQ(1, f.renderer->HasQueuedSample());
    // Paused again with the sample held: complete.
    EXPECT_EQ(S_OK, f.renderer->Pause());
    EXPECT_EQ(0, f.renderer->draws);

    // Stop ends the wait without drawing and lets the sample go.
    EXPECT_EQ(S_OK, f.renderer->Stop());
    streaming.join();
    EXPECT_EQ(S_OK, received);
    EXPECT_EQ(0, f.renderer->draws);
    EXPECT_EQ(0, f.renderer->HasQueuedSample());
    sample->Release();
}

TEST(DShowRenderer, RunUnconnectedReportsTheEndAtOnce)
{
    RendererFixture f;
    ASSERT_EQ(S_OK, f.renderer->Run(0));
    ASSERT_EQ(1u, f.graph.events.size());
    EXPECT_EQ(EC_COMPLETE, f.graph.events[0].code);
    EXPECT_EQ(S_OK, f.graph.events[0].parameter1);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(f.renderer->BaseFilterInterface()), f.graph.events[0].parameter2);
}

TEST(DShowRenderer, SecondSampleIsRefusedAndTheQueuedOneDrawsOnRun)
{
    TestWatchdog dog(2 * PlatformWaitMs, "queued sample");
    RendererFixture f;
    ASSERT_EQ(S_OK, f.Connect());
    ASSERT_EQ(S_OK, f.source->Pause());
    f.renderer->Pause();
    IMediaSample* first = f.Sample(0, 400000);
    IMediaSample* second = f.Sample(400000, 800000);
    HRESULT received = E_FAIL;
    std::thread streaming([&] { received = f.Input()->Receive(first); });
    ASSERT_TRUE(PollUntil([&] { return f.renderer->HasQueuedSample() == 1; }));

    EXPECT_EQ(E_UNEXPECTED, f.Input()->Receive(second));
    ASSERT_EQ(1, f.CountEvents(EC_ERRORABORT));
    EXPECT_EQ(E_UNEXPECTED, f.graph.events[0].parameter1);

    // Without a clock the held sample is drawn as soon as streaming starts.
    ASSERT_EQ(S_OK, f.renderer->Run(0));
    streaming.join();
    EXPECT_EQ(S_OK, received);
    EXPECT_EQ(1, f.renderer->draws);
    first->Release();
    second->Release();
}

TEST(DShowRenderer, BackwardSampleIsDroppedWhileStreamingAndDrawnFromPause)
{
    TestWatchdog dog(2 * PlatformWaitMs, "backward sample");
    RendererFixture f;
    ASSERT_EQ(S_OK, f.Connect());
    ASSERT_EQ(S_OK, f.source->Pause());
    ASSERT_EQ(S_OK, f.renderer->Run(0));
    IMediaSample* sample = f.Sample(400000, 0);
    EXPECT_EQ(S_OK, f.Input()->Receive(sample));
    EXPECT_EQ(0, f.renderer->draws);
    EXPECT_EQ(1, f.renderer->framesDropped);
    EXPECT_EQ(0, f.renderer->HasQueuedSample());
    EXPECT_EQ(0, f.CountEvents(EC_ERRORABORT));

    // Paused from Running without a sample: incomplete.
    EXPECT_EQ(S_FALSE, f.renderer->Pause());
    HRESULT received = E_FAIL;
    std::thread streaming([&] { received = f.Input()->Receive(sample); });
    ASSERT_TRUE(PollUntil([&] { return f.renderer->HasQueuedSample() == 1; }));
    EXPECT_EQ(0, f.renderer->draws);
    ASSERT_EQ(S_OK, f.renderer->Run(0));
    streaming.join();
    EXPECT_EQ(S_OK, received);
    EXPECT_EQ(1, f.renderer->draws);
    sample->Release();
}

// Streams with the fake clock at `now` and the last stop time `leftMs`
// ahead of it, then passes an end of stream through the pin.
void EndStreamWithTimeLeft(RendererFixture& f, REFERENCE_TIME now, LONG leftMs)
{
    ASSERT_EQ(S_OK, f.Connect());
    f.clock.SetTime(now);
    ASSERT_EQ(S_OK, f.renderer->SetSyncSource(&f.clock));
    ASSERT_EQ(S_OK, f.renderer->Run(1000000));
    f.renderer->lastStopTime = now - 1000000 + leftMs * 10000LL;
    ASSERT_EQ(S_OK, f.InputPin()->EndOfStream());
}

TEST(DShowRenderer, EndOfStreamWaitsForTheLastStopTime)
{
    TestWatchdog dog(2 * PlatformWaitMs, "end of stream");
    {
        RendererFixture f;
        EndStreamWithTimeLeft(f, 50000000, 49);
        EXPECT_EQ(1, f.CountEvents(EC_COMPLETE));
        EXPECT_EQ(0u, f.renderer->endOfStreamTimer);
        // Delivered once: a further end of stream sends nothing.
        f.InputPin()->EndOfStream();
        EXPECT_EQ(1, f.CountEvents(EC_COMPLETE));
    }
    {
        // Read before the timer is set, so that a thread held meanwhile only
        // lengthens the wait measured.
        DWORD armed = timeGetTime();
        RendererFixture f;
        EndStreamWithTimeLeft(f, 50000000, 50);
        EXPECT_EQ(0, f.CountEvents(EC_COMPLETE));
        EXPECT_NE(0u, f.renderer->endOfStreamTimer);
        f.clock.advancing = true;
        f.clock.SetTime(50000000);
        ASSERT_TRUE(PollUntil([&] { return f.CountEvents(EC_COMPLETE) == 1; }));
        EXPECT_GE(timeGetTime() - armed, 40u);
        EXPECT_EQ(0u, f.renderer->endOfStreamTimer);
    }
    {
        // Stop clears a pending end: nothing arrives afterwards.
        RendererFixture f;
        EndStreamWithTimeLeft(f, 50000000, 60);
        f.clock.advancing = true;
        f.clock.SetTime(50000000);
        ASSERT_EQ(S_OK, f.renderer->Stop());
        EXPECT_EQ(0u, f.renderer->endOfStreamTimer);
        Sleep(150);
        EXPECT_EQ(0, f.CountEvents(EC_COMPLETE));
    }
}

TEST(DShowRenderer, EndOfStreamBehindAQueuedSampleWaitsForItsDraw)
{
    TestWatchdog dog(2 * PlatformWaitMs, "end behind a queued sample");
    RendererFixture f;
    ASSERT_EQ(S_OK, f.Connect());
    ASSERT_EQ(S_OK, f.source->Pause());
    f.clock.SetTime(50000000);
    ASSERT_EQ(S_OK, f.renderer->SetSyncSource(&f.clock));
    ASSERT_EQ(S_OK, f.renderer->Run(50000000));
    // Due at 40 ms, ending at 45 ms: the clock stands at 0, so it waits.
    IMediaSample* sample = f.Sample(400000, 450000);
    HRESULT received = E_FAIL;
    std::thread streaming([&] { received = f.Input()->Receive(sample); });
    ASSERT_TRUE(PollUntil([&] { return f.renderer->HasQueuedSample() == 1 && f.clock.advises.size() == 1; }));

    // The end, though its stop time is near, waits for the sample's draw.
    ASSERT_EQ(S_OK, f.InputPin()->EndOfStream());
    EXPECT_EQ(0, f.CountEvents(EC_COMPLETE)) << "the end was reported before the last sample was drawn";
    EXPECT_EQ(0u, f.renderer->endOfStreamTimer);

    f.clock.SetTime(50000000 + 400000);
    f.clock.FireAdvise();
    streaming.join();
    EXPECT_EQ(S_OK, received);
    EXPECT_EQ(1, f.renderer->draws);
    EXPECT_EQ(1, f.CountEvents(EC_COMPLETE));
    sample->Release();
}

TEST(DShowRenderer, DestroyingTheRendererKillsItsEndOfStreamTimer)
{
    TestWatchdog dog(2 * PlatformWaitMs, "teardown with a pending end of stream");
    RendererFixture f;
    EndStreamWithTimeLeft(f, 50000000, 60);
    ASSERT_NE(0u, f.renderer->endOfStreamTimer);
    f.clock.advancing = true;
    f.clock.SetTime(50000000);
    // The source lets go of the renderer's pin; the renderer goes while its
    // timer is pending and still knows the graph.
    f.source->Stop();
    ASSERT_EQ(S_OK, f.out->PinInterface()->Disconnect());
    EXPECT_EQ(0u, f.renderer->BaseFilterInterface()->Release());
    f.renderer = nullptr;
    Sleep(200);
    EXPECT_EQ(0, f.CountEvents(EC_COMPLETE));
}

// The video layer's decisions on samples from the test source, with the
// fake clock and a quality sink that refuses messages.
struct DecisionFixture : RendererFixture {
    DecisionFixture()
    {
        EXPECT_EQ(S_OK, Connect());
        EXPECT_EQ(S_OK, source->Pause());
        renderer->SetSyncSource(&clock);
        renderer->SetSink(&sink);
        renderer->startTime = 0;
        renderer->ResetFrameStatistics();
    }
    RecordingQualitySink sink;
};

TEST(DShowVideoRenderer, SamplesAreHandledEightMillisecondsEarly)
{
    DecisionFixture f;
    const struct {
        REFERENCE_TIME start, expected;
    } cases[] = {{50000, 50000}, {79999, 79999}, {80000, 0}, {1000000, 920000}};
    for (const auto& c : cases) {
        IMediaSample* sample = f.Sample(c.start, c.start + 400000);
        REFERENCE_TIME start = c.start, stop = c.start + 400000;
        f.clock.SetTime(0);
        f.renderer->DecideDrawTime(sample, &start, &stop);
        EXPECT_EQ(c.expected, f.renderer->lastSampleStart) << c.start;
        EXPECT_EQ(c.expected + 400000, stop) << c.start;
        sample->Release();
    }
}

TEST(DShowVideoRenderer, LateFrameIsDroppedAndTheNextDrawnAtOnce)
{
    DecisionFixture f;
    CountingRenderer* r = f.renderer;
    // Drawing takes more than a third of a 40 ms frame, the last frame went
    // out 20 ms ago, samples were early by 8 ms on average.
    r->averageDrawTime = 150000;
    r->averageEarliness = 80000;
    r->frameBaseline = 400000;
    r->averageFrameInterval = 400000;
    r->lastDrawTime = 1300000 - 200000;
    f.clock.SetTime(1300000);
    IMediaSample* late = f.Sample(1080000, 1480000); // handled as 100 ms .. 140 ms: 30 ms late
    EXPECT_FALSE(r->ScheduleRenderSample(late));
    EXPECT_EQ(-1, r->dropState);
    EXPECT_EQ(1, r->framesDropped);
    EXPECT_TRUE(f.clock.advises.empty());
    ASSERT_EQ(1u, f.sink.messages.size());
    EXPECT_EQ(1000 - 30, f.sink.messages[0].Proportion);

    f.clock.SetTime(1400000);
    IMediaSample* next = f.Sample(1480000, 1880000);
    EXPECT_TRUE(r->ScheduleRenderSample(next));
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(r->renderEvent.handle, 0));
    EXPECT_EQ(0, r->dropState);
    EXPECT_EQ(1, r->framesDropped);
    EXPECT_TRUE(f.clock.advises.empty());
    late->Release();
    next->Release();
}

TEST(DShowVideoRenderer, EarlyFrameWaitsForTheClock)
{
    DecisionFixture f;
    f.renderer->startTime = 5000000;
    f.clock.SetTime(5000000 + 1800000);
    IMediaSample* sample = f.Sample(2080000, 2480000); // 20 ms early after the shift
    EXPECT_TRUE(f.renderer->ScheduleRenderSample(sample));
    ASSERT_EQ(1u, f.clock.advises.size());
    EXPECT_EQ(5000000, f.clock.advises[0].base);
    EXPECT_EQ(2000000, f.clock.advises[0].stream);
    EXPECT_EQ(reinterpret_cast<HEVENT>(f.renderer->renderEvent.handle), f.clock.advises[0].event);
    EXPECT_EQ(1, f.renderer->dropState);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(f.renderer->renderEvent.handle, 0));
    // Cancelling reports that an advise was pending and gives its cookie back.
    EXPECT_EQ(0, f.renderer->CancelRenderAdvise());
    ASSERT_EQ(1u, f.clock.unadvised.size());
    EXPECT_EQ(f.clock.advises[0].cookie, f.clock.unadvised[0]);
    EXPECT_EQ(1, f.renderer->CancelRenderAdvise());
    sample->Release();
}

TEST(DShowVideoRenderer, QualityMessagesDescribeHowTheRendererKeepsUp)
{
    DecisionFixture f;
    CountingRenderer* r = f.renderer;
    const struct {
        LONG interval, drawTime, earliness;
        LONGLONG late;
        long proportion;
        QualityMessageType type;
    } cases[] = {
        {-1, 0, 0, 300000, 1000, Famine},          // interval unknown
        {400000, 100000, 0, 300000, 970, Famine},  // 30 ms late
        {400000, 100000, 0, 9000000, 500, Famine}, // very late: at least 500
        {150000, 100000, 0, 0, 1000, Flood},       // drawing takes most of a frame
        {400000, 0, 100000, -300000, 1000, Famine},
        {400000, 0, 400000, -300000, 2000, Famine},
        {400000, 0, 390000, -300000, 2000, Famine}, // 1000 * (400000 / 30000), capped
    };
    for (const auto& c : cases) {
        r->averageFrameInterval = c.interval;
        r->averageDrawTime = c.drawTime;
        r->averageEarliness = c.earliness;
        f.sink.messages.clear();
        EXPECT_EQ(E_NOTIMPL, r->SendQualityMessage(c.late, 777));
        ASSERT_EQ(1u, f.sink.messages.size());
        const Quality& q = f.sink.messages[0];
        EXPECT_EQ(c.proportion, q.Proportion) << c.interval << " " << c.late;
        EXPECT_EQ(c.type, q.Type) << c.interval << " " << c.late;
        EXPECT_EQ(c.late + c.drawTime / 2, q.Late);
        EXPECT_EQ(777, q.TimeStamp);
    }
    // Without a sink the upstream pin is asked; the test pin declines.
    r->SetSink(nullptr);
    EXPECT_EQ(E_NOTIMPL, r->SendQualityMessage(0, 0));
    f.source->Stop();
    r->Stop();
    f.out->PinInterface()->Disconnect();
    f.InputPin()->Disconnect();
    EXPECT_EQ(S_FALSE, r->SendQualityMessage(0, 0));
}

TEST(DShowVideoRenderer, QualityMessagesThrottleDrawing)
{
    RendererFixture f;
    IQualityControl* control = nullptr;
    ASSERT_EQ(S_OK, f.renderer->BaseFilterInterface()->QueryInterface(IID_IQualityControl,
                                                                      reinterpret_cast<void**>(&control)));
    const struct {
        long proportion;
        LONG throttle;
    } cases[] = {{999, 3516}, {500, 253028}, {0, 1998622}, {1000, 0}, {5000, 0},
                 // Proportions that would divide by zero or by a negative
                 // number take the slowest real throttle.
                 {-166, 1998622}, {-167, 1998622}, {-100000, 1998622}};
    for (const auto& c : cases) {
        Quality quality = {Famine, c.proportion, 0, 0};
        EXPECT_EQ(S_OK, control->Notify(nullptr, quality));
        EXPECT_EQ(c.throttle, f.renderer->throttle) << c.proportion;
    }
    control->Release();
}

TEST(DShowVideoRenderer, StatisticsFollowTheFramesDrawn)
{
    RendererFixture f;
    CountingRenderer* r = f.renderer;
    IQualProp* prop = nullptr;
    ASSERT_EQ(S_OK, r->BaseFilterInterface()->QueryInterface(IID_IQualProp, reinterpret_cast<void**>(&prop)));
    int value = -1;
    EXPECT_EQ(E_POINTER, prop->get_Jitter(nullptr));

    r->framesDrawn = 120;
    r->streamingTime = 2000;
    ASSERT_EQ(S_OK, prop->get_AvgFrameRate(&value));
    EXPECT_EQ(6000, value);

    r->SetSyncSource(&f.clock);
    r->ResetFrameStatistics();
    // Sync offsets 0, 0, 10, 20, 30 ms and intervals 30, 50 ms for the frames
    // that count: average 60 / 4 = 15, deviation sqrt((1400 - 900) / 3) = 12;
    // jitter sqrt((3400 - 6400 / 3) / 2) = 25.
    const LONG lateness[] = {0, 0, 100000, 200000, 300000};
    const LONG interval[] = {0, 0, 0, 300000, 500000};
    for (int i = 0; i < 5; i++) {
        if (i == 2) {
            ASSERT_EQ(S_OK, prop->get_DevSyncOffset(&value));
            EXPECT_EQ(0, value) << "fewer than 3 frames";
        }
        if (i == 3) {
            ASSERT_EQ(S_OK, prop->get_Jitter(&value));
            EXPECT_EQ(0, value) << "fewer than 4 frames";
        }
        r->RecordFrameStatistics(lateness[i], interval[i]);
    }
    prop->get_FramesDrawn(&value);
    EXPECT_EQ(5, value);
    prop->get_AvgSyncOffset(&value);
    EXPECT_EQ(15, value);
    prop->get_DevSyncOffset(&value);
    EXPECT_EQ(12, value);
    prop->get_Jitter(&value);
    EXPECT_EQ(25, value);
    prop->Release();
}

TEST(DShowVideoRenderer, IntegerHelpers)
{
    const struct {
        LONG x, root;
    } roots[] = {{0, 0}, {1, 1}, {2, 1}, {16, 4}, {166, 12}, {633, 25}, {1 << 30, 32768}, {(1 << 30) + 1, 32768}};
    for (const auto& c : roots)
        EXPECT_EQ(c.root, IntegerSquareRoot(c.x)) << c.x;

    const LONGLONG kMax = 0x7FFFFFFFFFFFFFFFll;
    const LONGLONG kMin = -kMax - 1;
    const struct {
        LONGLONG a, b, d, c, result;
    } divisions[] = {
        {6, 7, 4, 0, 10},
        {-6, 7, 4, 0, -10},
        {6, -7, -4, 0, 10},
        {6, 7, 4, 2, 11},
        {6, 7, 4, -44, 0},
        {6, 7, 4, -46, -1},
        {6, 7, 4, -50, -2},
        // Products beyond 64 bits divide back exactly.
        {kMax, kMax, kMax, 0, kMax},
        {3000000000000ll, 4000000000000ll, 2000000000000ll, 0, 6000000000000ll},
        {kMax, 4, 2, 0, kMax},
        {kMax, -4, 2, 0, kMin},
        {5, 5, 0, 0, kMax},
        {-5, 5, 0, 0, kMin},
    };
    for (const auto& c : divisions)
        EXPECT_EQ(c.result, MulDiv64(c.a, c.b, c.d, c.c)) << c.a << " " << c.b << " " << c.d << " " << c.c;
}

} // namespace
