// Pin connection between the test output and input pins: type negotiation,
// allocator agreement and refusals; then sample transport through the input
// and output pins, and a connection to a platform filter in a filter graph.
#include <gtest/gtest.h>

#include <windows.h>
#include <control.h>
#include <uuids.h>

#include <string.h>
#include <vector>

#include "dshow/dshow_allocator.h"
#include "tests/dshow/dshow_test_filter.h"
#include "tests/dshow/platform_filters.h"

namespace {

// Two filters: `source` with one output pin, `sink` with one input pin.
struct PairFixture {
    PairFixture()
    {
        CoInitialize(nullptr);
        source = new TestFilter();
        sink = new TestFilter();
        source->BaseFilterInterface()->AddRef();
        sink->BaseFilterInterface()->AddRef();
        out = new TestOutputPin(source, L"Out");
        in = new TestInputPin(sink, L"In");
        source->AddPin(out);
        sink->AddPin(in);
    }
    ~PairFixture()
    {
        source->Stop();
        sink->Stop();
        out->PinInterface()->Disconnect();
        in->PinInterface()->Disconnect();
        source->BaseFilterInterface()->Release();
        sink->BaseFilterInterface()->Release();
        CoUninitialize();
    }
    HRESULT Connect(const AM_MEDIA_TYPE* type) { return out->PinInterface()->Connect(in->PinInterface(), type); }

    TestFilter* source;
    TestFilter* sink;
    TestOutputPin* out;
    TestInputPin* in;
};

std::vector<GUID> Subtypes(std::initializer_list<GUID> list)
{
    return std::vector<GUID>(list);
}

// A sample that offers only IMediaSample, with chosen answers.
class PlainSample : public IMediaSample {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMediaSample)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** out) override
    {
        *out = data;
        return S_OK;
    }
    LONG STDMETHODCALLTYPE GetSize() override { return sizeof(data); }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPreroll(WINBOOL) override { return S_OK; }
    LONG STDMETHODCALLTYPE GetActualDataLength() override { return 10; }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** out) override
    {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }
    BYTE data[16] = {};
};

const HRESULT kPeerFailure = (HRESULT)0x80041077;

// An object that only counts its references.
class CountedUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)++count; }
    ULONG STDMETHODCALLTYPE Release() override { return (ULONG)--count; }
    LONG count = 0;
};

// A plain sample that carries a type change: each GetMediaType hands out a
// fresh copy, which holds a reference on the type's pUnk.
class TypedPlainSample : public PlainSample {
public:
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** out) override
    {
        *out = DuplicateMediaTypeRecord(type);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    const AM_MEDIA_TYPE* type = nullptr;
};


} // namespace

TEST(DShowConnection, CompleteTypeIsTheOnlyOneTried)
{
    PairFixture f;
    f.out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.in->rules.proposed = Subtypes({MEDIASUBTYPE_MPEG1AudioPayload});
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM, 18, 3);

    ASSERT_EQ(S_OK, f.Connect(&type));
    EXPECT_EQ(0, f.out->enumerateCalls + f.in->enumerateCalls);
    EXPECT_EQ(f.in->PinInterface(), f.out->connectedPin);
    EXPECT_EQ(f.out->PinInterface(), f.in->connectedPin);

    // Both sides hold the same allocator, sized by the output pin.
    ASSERT_NE(nullptr, f.out->allocator);
    EXPECT_EQ(f.out->allocator, f.in->allocator);
    ALLOCATOR_PROPERTIES properties;
    ASSERT_EQ(S_OK, f.out->allocator->GetProperties(&properties));
    EXPECT_EQ(2, properties.cBuffers);
    EXPECT_GE(properties.cbBuffer, 4096);

    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(S_OK, f.in->PinInterface()->ConnectionMediaType(&agreed));
    EXPECT_TRUE(MediaTypeRecordsEqual(&type, &agreed));
    ReleaseMediaTypeFormat(&agreed);
    IPin* peer = nullptr;
    ASSERT_EQ(S_OK, f.in->PinInterface()->ConnectedTo(&peer));
    EXPECT_EQ(f.out->PinInterface(), peer);
    peer->Release();

    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, f.Connect(&type));
    EXPECT_EQ(S_OK, f.out->PinInterface()->Disconnect());
    EXPECT_EQ(S_OK, f.in->PinInterface()->Disconnect());
    EXPECT_EQ(nullptr, f.out->allocator);
    EXPECT_EQ(nullptr, f.in->allocator);
    EXPECT_EQ(S_FALSE, f.in->PinInterface()->Disconnect());
}

TEST(DShowConnection, PartialTypeSearchesReceivePinFirstThenOwnTypes)
{
    PairFixture f;
    // The input pin proposes MPEG then PCM; the output pin takes only PCM.
    f.in->rules.proposed = Subtypes({MEDIASUBTYPE_MPEG1AudioPayload, MEDIASUBTYPE_PCM});
    f.out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    MediaTypeObject partial;
    MakeTestType(&partial, GUID_NULL);
    partial.formattype = GUID_NULL;
    ASSERT_EQ(S_OK, f.Connect(&partial));
    EXPECT_EQ(Subtypes({MEDIASUBTYPE_MPEG1AudioPayload, MEDIASUBTYPE_PCM}), f.out->tried)
        << "a refusal with S_FALSE moves on to the next type";
    EXPECT_EQ(Subtypes({MEDIASUBTYPE_PCM}), f.in->tried);
    EXPECT_EQ(1, f.in->enumerateCalls);
    EXPECT_EQ(0, f.out->enumerateCalls);
}

TEST(DShowConnection, OwnTypesAreTriedWhenTheReceivePinsFail)
{
    PairFixture f;
    f.in->rules.proposed = Subtypes({MEDIASUBTYPE_MPEG1AudioPayload});
    f.out->rules.proposed = Subtypes({MEDIASUBTYPE_PCM});
    f.out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    // A partial type of another major type rules out every proposal.
    MediaTypeObject video;
    ResetMediaTypeRecord(&video);
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, f.Connect(&video));
    EXPECT_TRUE(f.out->tried.empty());
    EXPECT_EQ(nullptr, f.out->connectedPin);

    f.out->enumerateCalls = f.in->enumerateCalls = 0;
    ASSERT_EQ(S_OK, f.Connect(nullptr));
    EXPECT_EQ(1, f.in->enumerateCalls);
    EXPECT_EQ(1, f.out->enumerateCalls);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, f.in->connectionType.subtype));
}

TEST(DShowConnection, RefusedConnections)
{
    {
        PairFixture f; // no types on either side
        EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, f.Connect(nullptr));
        EXPECT_EQ(E_POINTER, f.out->PinInterface()->Connect(nullptr, nullptr));
    }
    {
        // The peer's ReceiveConnection fails: both stay unconnected and the
        // connecting pin undoes its part.
        PairFixture f;
        f.out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
        f.in->receiveConnectionFailure = kPeerFailure;
        MediaTypeObject type;
        MakeTestType(&type, MEDIASUBTYPE_PCM);
        int before = f.out->releaseConnectionCalls;
        EXPECT_EQ(kPeerFailure, f.Connect(&type));
        EXPECT_EQ(nullptr, f.out->connectedPin);
        EXPECT_EQ(nullptr, f.in->connectedPin);
        EXPECT_EQ(nullptr, f.out->downstreamInput);
        EXPECT_GT(f.out->releaseConnectionCalls, before);
        EXPECT_EQ(1, f.source->referenceCount) << "no reference is left behind";
        EXPECT_EQ(1, f.sink->referenceCount);
    }
    {
        // A refusal by failure code becomes "type not accepted"; QueryAccept
        // answers S_FALSE for it.
        PairFixture f;
        f.out->rules.refusal = E_FAIL;
        MediaTypeObject type;
        MakeTestType(&type, MEDIASUBTYPE_PCM);
        EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, f.Connect(&type));
        EXPECT_EQ(S_FALSE, f.out->PinInterface()->QueryAccept(&type));
        EXPECT_EQ(E_POINTER, f.out->PinInterface()->QueryAccept(nullptr));
        // Two output pins cannot be connected.
        TestOutputPin* other = new TestOutputPin(f.sink, L"Other");
        f.sink->AddPin(other);
        f.out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
        EXPECT_EQ(VFW_E_INVALID_DIRECTION, f.out->PinInterface()->Connect(other->PinInterface(), &type));
    }
    {
        // Connect and Disconnect wait for Stopped.
        PairFixture f;
        f.out->rules.accepted = f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
        MediaTypeObject type;
        MakeTestType(&type, MEDIASUBTYPE_PCM);
        f.source->Pause();
        EXPECT_EQ(VFW_E_NOT_STOPPED, f.Connect(&type));
        f.source->Stop();
        ASSERT_EQ(S_OK, f.Connect(&type));
        f.source->Run(0);
        EXPECT_EQ(VFW_E_NOT_STOPPED, f.out->PinInterface()->Disconnect());
        EXPECT_NE(nullptr, f.out->connectedPin);
    }
}

TEST(DShowConnection, UnconnectedPinAnswers)
{
    PairFixture f;
    AM_MEDIA_TYPE type;
    memset(&type, 0xCC, sizeof(type));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.in->PinInterface()->ConnectionMediaType(&type));
    EXPECT_TRUE(type.bFixedSizeSamples);
    EXPECT_EQ(1u, type.lSampleSize);
    EXPECT_EQ(nullptr, type.pbFormat);
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.in->PinInterface()->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);

    PIN_INFO info;
    ASSERT_EQ(S_OK, f.out->PinInterface()->QueryPinInfo(&info));
    EXPECT_EQ(f.source->BaseFilterInterface(), info.pFilter);
    EXPECT_EQ(PINDIR_OUTPUT, info.dir);
    EXPECT_STREQ(L"Out", info.achName);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, f.in->PinInterface()->QueryId(&id));
    EXPECT_STREQ(L"In", id);
    CoTaskMemFree(id);

    // References on a pin are references on its filter.
    LONG before = f.source->referenceCount;
    f.out->PinInterface()->AddRef();
    EXPECT_EQ(before + 1, f.source->referenceCount);
    f.out->PinInterface()->Release();
    EXPECT_EQ(before, f.source->referenceCount);

    EXPECT_EQ(S_OK, f.in->PinInterface()->NewSegment(10, 20, 2.0));
    EXPECT_EQ(10, f.in->segmentStart);
    EXPECT_EQ(20, f.in->segmentStop);
    EXPECT_EQ(2.0, f.in->segmentRate);

    // What an unconnected output pin cannot pass on.
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.out->SendEndOfStream());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.out->SendBeginFlush());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.out->SendEndFlush());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.out->SendNewSegment(0, 1, 1.0));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.out->SendSample(nullptr));
    IMediaSample* sample = nullptr;
    EXPECT_EQ(E_NOINTERFACE, f.out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(E_UNEXPECTED, f.out->PinInterface()->EndOfStream());
    EXPECT_EQ(E_NOTIMPL, f.out->Notify(f.source->BaseFilterInterface(), Quality()));
    EXPECT_EQ(E_POINTER, f.in->Notify(nullptr, Quality()));
    EXPECT_EQ(VFW_E_NOT_FOUND, f.in->ForwardQualityNotify(Quality()));
}

TEST(DShowConnection, AllocatorFallsBackToTheOutputPinsOwn)
{
    PairFixture f;
    f.out->rules.accepted = f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.in->getAllocatorFailure = E_NOTIMPL;
    f.out->useOwnAllocator = 1;
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    ASSERT_EQ(S_OK, f.Connect(&type));
    ASSERT_NE(nullptr, f.out->allocator);
    EXPECT_EQ(f.out->allocator, f.in->allocator);
    EXPECT_EQ(0, f.in->readOnly);
    IMemAllocatorCallbackTemp* own = nullptr;
    EXPECT_EQ(S_OK, f.in->allocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&own)))
        << "the library's allocator was announced";
    if (own)
        own->Release();
}

TEST(DShowTransport, SamplesFlowFromOutputToInput)
{
    PairFixture f;
    f.out->rules.accepted = f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.out->useOwnAllocator = 1;
    f.in->getAllocatorFailure = E_NOTIMPL;
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    ASSERT_EQ(S_OK, f.Connect(&type));

    IMediaSample* sample = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, f.out->TakeOutputBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT));
    ASSERT_EQ(S_OK, f.sink->Run(0));
    ASSERT_EQ(S_OK, f.source->Run(0)); // commits the allocator
    ASSERT_EQ(S_OK, f.out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
    sample->SetActualDataLength(100);
    REFERENCE_TIME start = 5, stop = 9;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    EXPECT_EQ(S_OK, f.out->SendSample(sample));
    const AM_SAMPLE2_PROPERTIES& got = f.in->sampleProperties;
    EXPECT_EQ(100, got.lActual);
    EXPECT_EQ(5, got.tStart);
    EXPECT_EQ(9, got.tStop);
    EXPECT_EQ((DWORD)(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID), got.dwSampleFlags);
    EXPECT_EQ(4096, got.cbBuffer);

    // End of stream, flushes and segments reach the input pin.
    EXPECT_EQ(S_OK, f.out->SendEndOfStream());
    EXPECT_EQ(1, f.in->endOfStreamCalls);
    EXPECT_EQ(S_OK, f.out->SendBeginFlush());
    EXPECT_EQ(S_FALSE, f.in->MemInputInterface()->Receive(sample)) << "flushing";
    EXPECT_EQ(S_OK, f.out->SendEndFlush());
    EXPECT_EQ(S_OK, f.in->MemInputInterface()->Receive(sample));
    EXPECT_EQ(S_OK, f.out->SendNewSegment(1, 2, 0.5));
    EXPECT_EQ(0.5, f.in->segmentRate);
    sample->Release();

    f.source->Stop();
    f.sink->Stop();
    IMediaSample* none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, f.out->TakeOutputBuffer(&none, nullptr, nullptr, 0));
    EXPECT_EQ(VFW_E_WRONG_STATE, f.in->MemInputInterface()->Receive(sample));
}

TEST(DShowTransport, RefusedTypeChangeStopsTheStreamUntilEndFlush)
{
    PairFixture f;
    f.out->rules.accepted = f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    f.out->useOwnAllocator = 1;
    f.in->getAllocatorFailure = E_NOTIMPL;
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    ASSERT_EQ(S_OK, f.Connect(&type));
    FakeGraph graph;
    f.sink->JoinFilterGraph(&graph, L"Sink");
    f.sink->Pause();
    f.source->Pause();

    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, f.out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
    MediaTypeObject accepted;
    MakeTestType(&accepted, MEDIASUBTYPE_PCM);
    sample->SetMediaType(&accepted);
    EXPECT_EQ(S_OK, f.out->SendSample(sample)) << "an accepted change passes";

    MediaTypeObject refused;
    MakeTestType(&refused, MEDIASUBTYPE_MPEG1AudioPayload);
    sample->SetMediaType(&refused);
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, f.out->SendSample(sample));
    EXPECT_EQ(1, f.in->endOfStreamCalls);
    ASSERT_EQ(1u, graph.events.size());
    EXPECT_EQ(EC_ERRORABORT, graph.events[0].code);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, (HRESULT)graph.events[0].parameter1);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, f.in->connectionType.subtype));

    sample->SetMediaType(nullptr);
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, f.out->SendSample(sample));
    f.in->PinInterface()->BeginFlush();
    f.in->PinInterface()->EndFlush();
    EXPECT_EQ(S_OK, f.out->SendSample(sample));
    sample->Release();
    f.sink->JoinFilterGraph(nullptr, nullptr);
}

TEST(DShowTransport, PlainSamplesMultipleReceivesAndBlocking)
{
    PairFixture f;
    f.sink->Pause();
    // A sample with only IMediaSample: flags come from its answers.
    PlainSample plain;
    ASSERT_EQ(S_OK, f.in->MemInputInterface()->Receive(&plain));
    const AM_SAMPLE2_PROPERTIES& got = f.in->sampleProperties;
    EXPECT_EQ((DWORD)(AM_SAMPLE_DATADISCONTINUITY | AM_SAMPLE_SPLICEPOINT), got.dwSampleFlags);
    EXPECT_EQ(10, got.lActual);
    EXPECT_EQ(16, got.cbBuffer);
    EXPECT_EQ(plain.data, got.pbBuffer);

    IMediaSample* samples[3] = {&plain, &plain, &plain};
    f.in->receiveResults = {S_OK, S_FALSE, S_OK};
    f.in->receiveCalls = 0;
    LONG processed = -1;
    EXPECT_EQ(S_FALSE, f.in->MemInputInterface()->ReceiveMultiple(samples, 3, &processed));
    EXPECT_EQ(1, processed);
    EXPECT_EQ(2, f.in->receiveCalls);
    EXPECT_EQ(S_OK, f.in->MemInputInterface()->ReceiveMultiple(samples, 0, &processed));
    EXPECT_EQ(0, processed);
    EXPECT_EQ(E_POINTER, f.in->MemInputInterface()->ReceiveMultiple(nullptr, 1, &processed));

    // The sink has no outputs: it may block. The source's answer follows
    // its connected input pin's.
    EXPECT_EQ(S_OK, f.in->MemInputInterface()->ReceiveCanBlock());
    TestInputPin* sourceInput = new TestInputPin(f.source, L"SourceIn");
    f.source->AddPin(sourceInput);
    EXPECT_EQ(S_OK, sourceInput->MemInputInterface()->ReceiveCanBlock()) << "no connected output";
    f.out->rules.accepted = f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    f.sink->Stop();
    ASSERT_EQ(S_OK, f.Connect(&type));
    EXPECT_EQ(S_OK, sourceInput->MemInputInterface()->ReceiveCanBlock());
    f.in->answerCanBlock = true;
    f.in->canBlock = S_FALSE;
    EXPECT_EQ(S_FALSE, sourceInput->MemInputInterface()->ReceiveCanBlock()) << "every connected output says no";

    // GetAllocator creates one allocator and keeps handing it out.
    IMemAllocator* first = nullptr;
    IMemAllocator* second = nullptr;
    ASSERT_EQ(S_OK, sourceInput->MemInputInterface()->GetAllocator(&first));
    ASSERT_EQ(S_OK, sourceInput->MemInputInterface()->GetAllocator(&second));
    EXPECT_EQ(first, second);
    first->Release();
    second->Release();
    EXPECT_EQ(E_NOTIMPL, sourceInput->MemInputInterface()->GetAllocatorRequirements(nullptr));
    EXPECT_EQ(E_POINTER, sourceInput->MemInputInterface()->NotifyAllocator(nullptr, FALSE));
}

TEST(DShowTransport, APlainSamplesTypeCopyIsFreed)
{
    CountedUnknown owner;
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    type.pUnk = &owner;
    owner.count = 1;   // the record's own
    {
        PairFixture f;
        f.in->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
        f.sink->Pause();
        TypedPlainSample typed;
        typed.type = &type;
        ASSERT_EQ(S_OK, f.in->MemInputInterface()->Receive(&typed));
        EXPECT_TRUE(f.in->sampleProperties.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
        ASSERT_NE(nullptr, f.in->sampleProperties.pMediaType) << "the filter reads the new type after Receive";
        EXPECT_TRUE(MediaTypeRecordsEqual(&type, f.in->sampleProperties.pMediaType));
        // The next sample, and the pin's end, give the copy back.
        PlainSample plain;
        ASSERT_EQ(S_OK, f.in->MemInputInterface()->Receive(&plain));
        EXPECT_EQ(1, owner.count) << "the first copy was leaked";
        ASSERT_EQ(S_OK, f.in->MemInputInterface()->Receive(&typed));
        EXPECT_EQ(2, owner.count);
        f.sink->Stop();
    }
    EXPECT_EQ(1, owner.count) << "the last copy outlived its pin";
    type.pUnk = nullptr;
}

// The output pin connects to the platform's null renderer in a filter graph
// and delivers a sample through the agreed allocator while the graph runs.
TEST(DShowGraph, OutputPinFeedsThePlatformNullRenderer)
{
    CoInitialize(nullptr);
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&graph)));
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&renderer)));
    TestFilter* source = new TestFilter();
    TestOutputPin* out = new TestOutputPin(source, L"Out");
    source->AddPin(out);
    out->rules.accepted = Subtypes({MEDIASUBTYPE_PCM});
    out->rules.proposed = Subtypes({MEDIASUBTYPE_PCM});

    ASSERT_EQ(S_OK, graph->AddFilter(source->BaseFilterInterface(), L"Source"));
    ASSERT_EQ(S_OK, graph->AddFilter(renderer, L"Null"));
    EXPECT_NE(nullptr, source->graph);
    EXPECT_NE(nullptr, source->eventSink);
    FILTER_INFO info;
    ASSERT_EQ(S_OK, source->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Source", info.achName);
    info.pGraph->Release();

    IEnumPins* pins = nullptr;
    IPin* input = nullptr;
    ASSERT_EQ(S_OK, renderer->EnumPins(&pins));
    ASSERT_EQ(S_OK, pins->Next(1, &input, nullptr));
    pins->Release();

    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    MediaTypeObject type;
    MakeTestType(&type, MEDIASUBTYPE_PCM);
    type.cbFormat = sizeof(format);
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(format)));
    memcpy(type.pbFormat, &format, sizeof(format));
    ASSERT_EQ(S_OK, graph->ConnectDirect(out->PinInterface(), input, &type));
    ASSERT_NE(nullptr, out->allocator);
    EXPECT_NE(nullptr, out->downstreamInput);

    IMediaControl* control = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
    // The graph pauses every filter (committing the allocator) and runs them
    // once the renderer has its first sample.
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    EXPECT_NE(State_Stopped, source->state);
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, out->TakeOutputBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT));
    sample->SetActualDataLength(400);
    EXPECT_EQ(S_OK, out->SendSample(sample));
    sample->Release();
    OAFilterState state = State_Stopped;
    EXPECT_EQ(S_OK, control->GetState(INFINITE, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(State_Running, source->state);
    EXPECT_TRUE(SUCCEEDED(control->Stop()));
    EXPECT_EQ(State_Stopped, source->state);
    control->Release();

    input->Release();
    renderer->Release();
    EXPECT_EQ(S_OK, graph->RemoveFilter(source->BaseFilterInterface())) << "the graph lets go of the filter";
    graph->Release();
    CoUninitialize();
}
