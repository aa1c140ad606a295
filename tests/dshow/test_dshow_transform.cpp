// The transform filter and the in-place transform filter between a test
// source pin and a test sink pin: connection order and type checks, allocator
// agreement, sample delivery, stream control passed downstream and state.
#include <gtest/gtest.h>

#include <windows.h>
#include <control.h>
#include <uuids.h>

#include <string.h>
#include <string>
#include <vector>

#include "dshow/dshow_inplace_transform.h"
#include "dshow/dshow_mem_reader.h"
#include "dshow/dshow_transform.h"
#include "tests/dshow/dshow_test_filter.h"
#include "tests/support/test_bytes.h"
#include "tests/dshow/platform_filters.h"

namespace {

// {5E1A0002-0000-4000-8000-00AA00BB00CC}
const CLSID kInvertClass = {0x5e1a0002, 0, 0x4000, {0x80, 0, 0, 0xaa, 0, 0xbb, 0, 0xcc}};

void Invert(BYTE* data, LONG length)
{
    for (LONG index = 0; index < length; index++)
        data[index] = static_cast<BYTE>(~data[index]);
}

// Takes PCM only; the output type must equal the input's.
class InvertFilter : public TransformFilter {
public:
    InvertFilter() : TransformFilter("Invert", nullptr, kInvertClass) {}

    HRESULT TransformSample(IMediaSample* in, IMediaSample* out) override
    {
        transformCalls++;
        HRESULT result = S_OK;
        if (!results.empty()) {
            result = results.front();
            results.erase(results.begin());
        }
        BYTE* source = nullptr;
        BYTE* target = nullptr;
        in->GetPointer(&source);
        out->GetPointer(&target);
        LONG length = in->GetActualDataLength();
        if (length > out->GetSize())
            return E_FAIL;
        bytesIn += length;
        for (LONG index = 0; index < length; index++)
            checksum += source[index];
        memcpy(target, source, length);
        Invert(target, length);
        out->SetActualDataLength(length);
        return result;
    }
    HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* type) override
    {
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_PCM) ? S_OK : S_FALSE;
    }
    HRESULT CheckTypePair(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override
    {
        return IsEqualGUID(in->subtype, out->subtype) ? S_OK : S_FALSE;
    }
    HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override
    {
        // As large as the input buffers; 64 bytes when those are smaller.
        ALLOCATOR_PROPERTIES input = {1, 64, 1, 0};
        if (inputPin->allocator)
            inputPin->allocator->GetProperties(&input);
        properties->cBuffers = 1;
        properties->cbBuffer = input.cbBuffer > 64 ? input.cbBuffer : 64;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(properties, &actual);
    }
    HRESULT ProposeOutputType(int position, MediaTypeObject* type) override
    {
        if (position > 0)
            return VFW_S_NO_MORE_ITEMS;
        return SetMediaTypeObject(type, &inputPin->connectionType);
    }
    HRESULT OnTransformStart() override
    {
        log.push_back("start");
        return startResult;
    }
    HRESULT OnTransformStop() override
    {
        log.push_back("stop");
        return S_OK;
    }
    HRESULT AdjustQuality(Quality) override { return adjustResult; }
    HRESULT OnPinTypeSet(int direction, const AM_MEDIA_TYPE*) override { return Log("type", direction); }
    HRESULT OnPinCheckPeer(int direction, IPin*) override { return Log("peer", direction); }
    HRESULT OnPinConnected(int direction, IPin*) override { return Log("connected", direction); }
    HRESULT OnPinDisconnect(int direction) override { return Log("disconnect", direction); }

    HRESULT Log(const char* what, int direction)
    {
        log.push_back(std::string(what) + char('0' + direction));
        return S_OK;
    }

    std::vector<HRESULT> results; // TransformSample answers these in turn, then S_OK
    std::vector<std::string> log;
    HRESULT startResult = S_OK;
    HRESULT adjustResult = S_FALSE;
    int transformCalls = 0;
    LONGLONG bytesIn = 0;
    uint32_t checksum = 0;
};

// A sink pin that keeps what each delivered sample carried.
class RecordingPin : public TestInputPin {
public:
    RecordingPin(TestFilter* filter) : TestInputPin(filter, L"Sink") { rules.accepted = {MEDIASUBTYPE_PCM}; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override
    {
        HRESULT result = TestInputPin::Receive(sample);
        if (result == S_OK) {
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            Delivered d;
            d.sample = sample;
            d.bytes.assign(data, data + sample->GetActualDataLength());
            d.properties = sampleProperties;
            delivered.push_back(d);
        }
        return result;
    }
    struct Delivered {
        IMediaSample* sample;
        std::vector<BYTE> bytes;
        AM_SAMPLE2_PROPERTIES properties;
    };
    std::vector<Delivered> delivered;
};

// source (test output pin) -> filter -> sink (recording input pin)
template <class Filter>
struct ChainFixture {
    ChainFixture()
    {
        CoInitialize(nullptr);
        source = new TestFilter();
        sink = new TestFilter();
        filter = new Filter();
        source->BaseFilterInterface()->AddRef();
        sink->BaseFilterInterface()->AddRef();
        filter->BaseFilterInterface()->AddRef();
        out = new TestOutputPin(source, L"Out");
        out->rules.accepted = {MEDIASUBTYPE_PCM};
        out->rules.proposed = {MEDIASUBTYPE_PCM};
        in = new RecordingPin(sink);
        source->AddPin(out);
        sink->AddPin(in);
        filterIn = filter->PinAtIndex(0);
        filterOut = filter->PinAtIndex(1);
        MakeTestType(&pcm, MEDIASUBTYPE_PCM, 4, 0);
        MakeTestType(&floating, MEDIASUBTYPE_IEEE_FLOAT, 4, 0);
    }
    ~ChainFixture()
    {
        StopAll();
        out->PinInterface()->Disconnect();
        filterIn->PinInterface()->Disconnect();
        filterOut->PinInterface()->Disconnect();
        in->PinInterface()->Disconnect();
        filter->JoinFilterGraph(nullptr, nullptr);
        source->BaseFilterInterface()->Release();
        sink->BaseFilterInterface()->Release();
        filter->BaseFilterInterface()->Release();
        CoUninitialize();
    }
    HRESULT ConnectUpstream(const AM_MEDIA_TYPE* type)
    {
        return out->PinInterface()->Connect(filterIn->PinInterface(), type);
    }
    HRESULT ConnectDownstream(const AM_MEDIA_TYPE* type)
    {
        return filterOut->PinInterface()->Connect(in->PinInterface(), type);
    }
    void RunAll()
    {
        ASSERT_EQ(S_OK, sink->Run(0));
        ASSERT_EQ(S_OK, filter->Run(0));
        ASSERT_EQ(S_OK, source->Run(0));
    }
    void StopAll()
    {
        source->Stop();
        filter->Stop();
        sink->Stop();
    }
    // A source buffer holding length bytes 0, 1, 2, ...
    IMediaSample* SourceSample(LONG length)
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
        if (!sample)
            return nullptr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG index = 0; index < length; index++)
            data[index] = static_cast<BYTE>(index);
        sample->SetActualDataLength(length);
        return sample;
    }

    TestFilter* source;
    TestFilter* sink;
    Filter* filter;
    TestOutputPin* out;
    RecordingPin* in;
    PinObject* filterIn;
    PinObject* filterOut;
    MediaTypeObject pcm, floating;
    FakeGraph graph;
};

using TransformFixture = ChainFixture<InvertFilter>;

std::wstring TaskString(WCHAR* text)
{
    std::wstring copy = text ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

TEST(DShowTransform, PinsAreFoundByIdAndNamedForDisplay)
{
    TransformFixture f;
    IPin* pin = nullptr;
    EXPECT_EQ(E_POINTER, f.filter->FindPin(L"In", nullptr));
    EXPECT_EQ(VFW_E_NOT_FOUND, f.filter->FindPin(L"XForm In", &pin));
    EXPECT_EQ(nullptr, pin);
    const struct {
        const WCHAR* id;
        int index;
        const WCHAR* name;
    } cases[] = {{L"In", 0, L"XForm In"}, {L"Out", 1, L"XForm Out"}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, f.filter->FindPin(c.id, &pin));
        EXPECT_EQ(f.filter->PinAtIndex(c.index)->PinInterface(), pin);
        PIN_INFO info;
        ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
        EXPECT_STREQ(c.name, info.achName);
        info.pFilter->Release();
        WCHAR* id = nullptr;
        ASSERT_EQ(S_OK, pin->QueryId(&id));
        EXPECT_EQ(std::wstring(c.id), TaskString(id));
        pin->Release();
    }
    EXPECT_EQ(nullptr, f.filter->PinAtIndex(2));
}

TEST(DShowTransform, InputConnectsFirstAndTypesAreChecked)
{
    TransformFixture f;
    // The output pin has nothing to offer or accept before the input is connected.
    MediaTypeObject proposed;
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, f.filterOut->ProposeMediaType(0, &proposed));
    EXPECT_EQ(E_INVALIDARG, f.filterOut->AcceptMediaType(&f.pcm));
    EXPECT_TRUE(FAILED(f.ConnectDownstream(&f.pcm)));
    EXPECT_FALSE(f.filterOut->IsConnected());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.filterIn->PinInterface()->BeginFlush());

    EXPECT_TRUE(FAILED(f.ConnectUpstream(&f.floating))) << "refused by CheckInputMediaType";
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    f.filter->log.clear(); // the refused attempts undid their steps
    // A partial type: the output proposes the input's type.
    ASSERT_EQ(S_OK, f.ConnectDownstream(nullptr));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, f.filterOut->connectionType.subtype));
    const std::vector<std::string> order = {"peer1", "type1", "connected1"};
    EXPECT_EQ(order, f.filter->log);

    // With both sides connected, types are checked as a pair.
    EXPECT_EQ(S_FALSE, f.filterOut->PinInterface()->QueryAccept(&f.floating));
    EXPECT_EQ(S_OK, f.filterIn->PinInterface()->QueryAccept(&f.pcm));

    // The output allocator is the downstream pin's, sized by the filter.
    ASSERT_NE(nullptr, static_cast<OutputPinObject*>(f.filterOut)->allocator);
    EXPECT_EQ(static_cast<OutputPinObject*>(f.filterOut)->allocator, f.in->allocator);
    ALLOCATOR_PROPERTIES properties;
    ASSERT_EQ(S_OK, f.in->allocator->GetProperties(&properties));
    EXPECT_EQ(1, properties.cBuffers);
    EXPECT_EQ(4096, properties.cbBuffer) << "the upstream pin's buffer size";

    f.filter->log.clear();
    EXPECT_EQ(S_OK, f.filterOut->PinInterface()->Disconnect());
    EXPECT_EQ(std::vector<std::string>{"disconnect1"}, f.filter->log);
}

TEST(DShowTransform, SamplesAreTransformedWithTheirProperties)
{
    TransformFixture f;
    ASSERT_EQ(S_OK, f.filter->JoinFilterGraph(&f.graph, L"Invert"));
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    IMemInputPin* input = static_cast<InputPinObject*>(f.filterIn)->MemInputInterface();
    f.filter->log.clear();
    f.RunAll();
    EXPECT_EQ(std::vector<std::string>{"start"}, f.filter->log);
    IMediaSample* sample = f.SourceSample(10);
    ASSERT_NE(nullptr, sample);

    REFERENCE_TIME start = 10, stop = 20;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(TRUE);
    ASSERT_EQ(S_OK, input->Receive(sample));
    ASSERT_EQ(1u, f.in->delivered.size());
    const RecordingPin::Delivered& got = f.in->delivered[0];
    EXPECT_NE(sample, got.sample);
    std::vector<BYTE> expected;
    for (int index = 0; index < 10; index++)
        expected.push_back(static_cast<BYTE>(0xFF - index));
    EXPECT_EQ(expected, got.bytes);
    EXPECT_EQ(10, got.properties.tStart);
    EXPECT_EQ(20, got.properties.tStop);
    const DWORD flags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_DATADISCONTINUITY | AM_SAMPLE_TIMEVALID;
    EXPECT_EQ(flags, got.properties.dwSampleFlags & flags);

    // Two skipped samples in one run: one quality-change event.
    f.filter->results = {S_FALSE, S_FALSE};
    EXPECT_EQ(S_OK, input->Receive(sample));
    EXPECT_EQ(S_OK, input->Receive(sample));
    EXPECT_EQ(1u, f.in->delivered.size());
    EXPECT_TRUE(f.filter->skipped);
    int qualityEvents = 0;
    for (const auto& event : f.graph.events)
        qualityEvents += event.code == EC_QUALITY_CHANGE;
    EXPECT_EQ(1, qualityEvents);
    // A discontinuity starts afresh; a failure of the subclass is returned.
    f.filter->results = {E_UNEXPECTED};
    EXPECT_EQ(E_UNEXPECTED, input->Receive(sample));
    EXPECT_FALSE(f.filter->skipped);

    // Another stream's sample goes downstream as it is, untransformed.
    int calls = f.filter->transformCalls;
    static_cast<InputPinObject*>(f.filterIn)->sampleProperties.dwStreamId = 1;
    EXPECT_EQ(S_OK, f.filter->ProcessTransformSample(sample));
    static_cast<InputPinObject*>(f.filterIn)->sampleProperties.dwStreamId = 0;
    EXPECT_EQ(calls, f.filter->transformCalls);
    ASSERT_EQ(2u, f.in->delivered.size());
    EXPECT_EQ(sample, f.in->delivered[1].sample);

    f.filter->log.clear();
    EXPECT_EQ(S_OK, f.filter->Stop());
    EXPECT_EQ(std::vector<std::string>{"stop"}, f.filter->log);
    EXPECT_EQ(State_Stopped, f.filter->state);
    EXPECT_EQ(VFW_E_WRONG_STATE, input->Receive(sample));
    sample->Release();
}

TEST(DShowTransform, StreamControlPassesDownstream)
{
    TransformFixture f;
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    IPin* input = f.filterIn->PinInterface();
    EXPECT_EQ(VFW_E_WRONG_STATE, input->EndOfStream()) << "stopped";
    f.RunAll();
    EXPECT_EQ(S_OK, input->EndOfStream());
    EXPECT_EQ(1, f.in->endOfStreamCalls);

    IMediaSample* sample = f.SourceSample(4);
    ASSERT_NE(nullptr, sample);
    EXPECT_EQ(S_OK, input->BeginFlush());
    EXPECT_TRUE(f.in->flushing);
    EXPECT_EQ(S_FALSE, static_cast<InputPinObject*>(f.filterIn)->MemInputInterface()->Receive(sample));
    EXPECT_EQ(S_OK, input->EndFlush());
    EXPECT_FALSE(f.in->flushing);
    EXPECT_EQ(S_OK, static_cast<InputPinObject*>(f.filterIn)->MemInputInterface()->Receive(sample));
    sample->Release();

    EXPECT_EQ(S_OK, input->NewSegment(100, 200, 2.0));
    EXPECT_EQ(100, f.filterIn->segmentStart);
    EXPECT_EQ(200, f.in->segmentStop);
    EXPECT_EQ(2.0, f.in->segmentRate);
}

TEST(DShowTransform, PauseEndsTheStreamOfAnUnconnectedInputOncePerStop)
{
    TransformFixture f;
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    ASSERT_EQ(S_OK, f.filterIn->PinInterface()->Disconnect());
    ASSERT_EQ(S_OK, f.sink->Pause());

    EXPECT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(1, f.in->endOfStreamCalls);
    EXPECT_EQ(S_OK, f.filter->Run(0));
    EXPECT_EQ(1, f.in->endOfStreamCalls);
    EXPECT_EQ(S_OK, f.filter->Stop());
    EXPECT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(2, f.in->endOfStreamCalls);
    EXPECT_TRUE(f.filter->log.empty() || f.filter->log.back() != "start") << "no streaming without input";
}

TEST(DShowTransform, FailedStreamingStartKeepsTheFilterStopped)
{
    TransformFixture f;
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    f.filter->startResult = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, f.filter->Run(0));
    EXPECT_EQ(State_Stopped, f.filter->state);
    f.filter->startResult = S_OK;
    EXPECT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(State_Paused, f.filter->state);
}

TEST(DShowTransform, OutputPinAggregatesThePlatformSeekingPassThrough)
{
    TransformFixture f;
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    IMediaSeeking* seeking = nullptr;
    ASSERT_EQ(S_OK, f.filterOut->PinInterface()->QueryInterface(IID_IMediaSeeking,
                                                                  reinterpret_cast<void**>(&seeking)));
    ASSERT_NE(nullptr, seeking);
    // The aggregated interface answers for the pin.
    IPin* pin = nullptr;
    EXPECT_EQ(S_OK, seeking->QueryInterface(IID_IPin, reinterpret_cast<void**>(&pin)));
    EXPECT_EQ(f.filterOut->PinInterface(), pin);
    if (pin)
        pin->Release();
    seeking->Release();
    IMediaPosition* position = nullptr;
    EXPECT_EQ(S_OK, f.filterOut->PinInterface()->QueryInterface(IID_IMediaPosition,
                                                                  reinterpret_cast<void**>(&position)));
    if (position)
        position->Release();
}

// Records the quality messages it is told of.
class QualityRecorder : public IQualityControl {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override
    {
        senders.push_back(sender);
        proportions.push_back(quality.Proportion);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl*) override { return S_OK; }
    std::vector<IBaseFilter*> senders;
    std::vector<long> proportions;
};

TEST(DShowTransform, QualityMessagesGoUpstreamUnlessTheFilterTakesThem)
{
    TransformFixture f;
    QualityRecorder upstream;
    f.filterIn->SetSink(&upstream);
    Quality quality = {Famine, 800, 0, 0};
    IQualityControl* control = static_cast<IQualityControl*>(f.filterOut);
    EXPECT_EQ(S_OK, control->Notify(nullptr, quality));
    ASSERT_EQ(1u, upstream.proportions.size());
    EXPECT_EQ(800, upstream.proportions[0]);
    EXPECT_EQ(f.filter->BaseFilterInterface(), upstream.senders[0]);
    f.filter->adjustResult = E_ABORT;
    EXPECT_EQ(E_ABORT, control->Notify(nullptr, quality));
    EXPECT_EQ(1u, upstream.proportions.size());
}

// Streams a 0.1 s wave from the memory reader through the platform parser,
// middle and the Null Renderer until the end reaches the renderer; the
// middle's input pin is pin 0 and its output pin 1. Gives the noise's byte sum.
uint32_t StreamWaveThrough(FilterObject* middle, bool* skipped)
{
    *skipped = false;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IGraphBuilder* graph = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&graph)));
    std::vector<uint8_t> wave = PcmWaveFile(44100, 2, 16, 17640);
    std::vector<uint8_t> noise = TestBytes(17640, 5);
    memcpy(wave.data() + 44, noise.data(), noise.size());
    uint32_t expectedSum = 0;
    for (uint8_t byte : noise)
        expectedSum += byte;

    D_CMemStream* stream = CreateMemStream(wave.data(), (LONGLONG)wave.size(), 0xFFFFFFFF);
    AM_MEDIA_TYPE streamType;
    ResetMediaTypeRecord(&streamType);
    streamType.majortype = MEDIATYPE_Stream;
    streamType.subtype = MEDIASUBTYPE_WAVE;
    D_CMemReader* reader = CreateMemReader(stream, &streamType, nullptr);
    IBaseFilter* parser = nullptr;
    IBaseFilter* renderer = nullptr;
    if (!graph || !reader || FAILED(CoCreateInstance(kWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                      reinterpret_cast<void**>(&parser)))) {
        *skipped = true;
    } else {
        EXPECT_EQ(S_OK, graph->AddFilter(reader->BaseFilterInterface(), L"MemFile"));
        EXPECT_EQ(S_OK, CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&renderer)));
        EXPECT_EQ(S_OK, graph->AddFilter(parser, L"Parser"));
        EXPECT_EQ(S_OK, graph->AddFilter(middle->BaseFilterInterface(), L"Middle"));
        EXPECT_EQ(S_OK, graph->AddFilter(renderer, L"Null"));

        IPin* parserIn = FirstPin(parser, PINDIR_INPUT);
        EXPECT_EQ(S_OK, graph->ConnectDirect(reader->outputPin.PinInterface(), parserIn, nullptr));
        IPin* parserOut = FirstPin(parser, PINDIR_OUTPUT);
        IPin* rendererIn = FirstPin(renderer, PINDIR_INPUT);
        EXPECT_EQ(S_OK, graph->ConnectDirect(parserOut, middle->PinAtIndex(0)->PinInterface(), nullptr));
        MediaTypeObject type;
        EXPECT_EQ(S_OK, parserOut->ConnectionMediaType(&type));
        EXPECT_EQ(S_OK, graph->ConnectDirect(middle->PinAtIndex(1)->PinInterface(), rendererIn, &type));

        IMediaFilter* asFilter = nullptr;
        graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&asFilter));
        asFilter->SetSyncSource(nullptr);
        asFilter->Release();
        IMediaControl* control = nullptr;
        IMediaEvent* events = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
        EXPECT_TRUE(SUCCEEDED(control->Run()));
        LONG code = 0;
        EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
        EXPECT_EQ(EC_COMPLETE, code) << "the end of stream passed through";
        control->Stop();
        events->Release();
        control->Release();
        parserIn->Release();
        parserOut->Release();
        rendererIn->Release();
        parser->Release();
        renderer->Release();
    }
    if (graph)
        graph->Release();
    ReleaseMemStream(stream);
    CoUninitialize();
    return expectedSum;
}

TEST(DShowTransformGraph, AWaveFromTheMemoryReaderStreamsThroughTheTransform)
{
    InvertFilter* invert = new InvertFilter();
    invert->BaseFilterInterface()->AddRef();
    bool skipped = false;
    uint32_t expectedSum = StreamWaveThrough(invert, &skipped);
    if (skipped) {
        invert->BaseFilterInterface()->Release();
        GTEST_SKIP() << "no WAVE parser in this platform";
    }
    EXPECT_EQ(17640, invert->bytesIn);
    EXPECT_EQ(expectedSum, invert->checksum);
    invert->BaseFilterInterface()->Release();
}

// ---------------------------------------------------------------------------
// In-place

// Inverts each sample where it lies, copying first when the sides' allocators
// differ, as a subclass does.
class InvertInPlaceFilter : public InPlaceTransformFilter {
public:
    InvertInPlaceFilter() : InPlaceTransformFilter("Invert in place", nullptr, kInvertClass, nullptr, TRUE) {}
    HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* type) override
    {
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_PCM) ? S_OK : S_FALSE;
    }
    HRESULT ProcessInputSample(IMediaSample* sample) override
    {
        IMediaSample* work = sample;
        if (inputPin->allocator != outputPin->allocator) {
            work = CopyInPlaceSample(sample);
            if (!work)
                return E_UNEXPECTED;
            copies++;
        } else {
            work->AddRef();
        }
        BYTE* data = nullptr;
        work->GetPointer(&data);
        LONG length = work->GetActualDataLength();
        bytesIn += length;
        for (LONG index = 0; index < length; index++)
            checksum += data[index];
        Invert(data, length);
        HRESULT result = outputPin->SendSample(work);
        work->Release();
        return result;
    }
    int copies = 0;
    LONGLONG bytesIn = 0;
    uint32_t checksum = 0;
};

using InPlaceFixture = ChainFixture<InvertInPlaceFilter>;

TEST(DShowInPlace, ConnectionNeedsAGraphAndPinsPassThroughTheirPeers)
{
    InPlaceFixture f;
    PIN_INFO info;
    ASSERT_EQ(S_OK, f.filterIn->PinInterface()->QueryPinInfo(&info));
    EXPECT_STREQ(L"Input", info.achName);
    info.pFilter->Release();
    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, f.ConnectUpstream(&f.pcm));
    EXPECT_FALSE(f.filterIn->IsConnected());

    ASSERT_EQ(S_OK, f.filter->JoinFilterGraph(&f.graph, L"Invert"));
    IEnumMediaTypes* types = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.filterIn->PinInterface()->EnumMediaTypes(&types));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, f.filterOut->PinInterface()->EnumMediaTypes(&types));
    ALLOCATOR_PROPERTIES requirements;
    EXPECT_EQ(E_NOTIMPL, static_cast<InputPinObject*>(f.filterIn)->GetAllocatorRequirements(&requirements));

    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    // Downstream sees the upstream pin's types.
    int before = f.out->enumerateCalls;
    ASSERT_EQ(S_OK, f.filterOut->PinInterface()->EnumMediaTypes(&types));
    types->Release();
    EXPECT_EQ(before + 1, f.out->enumerateCalls) << "asked of the upstream pin";
    EXPECT_EQ(S_FALSE, f.filterOut->PinInterface()->QueryAccept(&f.floating));
}

TEST(DShowInPlace, UpstreamFirstCopiesUntilReconnectedThenSharesTheAllocator)
{
    InPlaceFixture f;
    ASSERT_EQ(S_OK, f.filter->JoinFilterGraph(&f.graph, L"Invert"));
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    IMemAllocator* upstreamAllocator = f.filter->inputPin->allocator;
    ASSERT_NE(nullptr, upstreamAllocator) << "the input pin's own allocator";
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    EXPECT_EQ(f.filterIn->PinInterface(), f.graph.reconnected) << "upstream asked to reconnect";
    IMemAllocator* downstreamAllocator = f.filter->outputPin->allocator;
    ASSERT_NE(upstreamAllocator, downstreamAllocator);
    // The output buffers were sized from the upstream allocator (2 x 4096).
    ALLOCATOR_PROPERTIES properties;
    ASSERT_EQ(S_OK, downstreamAllocator->GetProperties(&properties));
    EXPECT_EQ(2, properties.cBuffers);
    EXPECT_EQ(4096, properties.cbBuffer);

    // Different allocators: every sample is copied with its times and flags.
    f.RunAll();
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, f.filterOut->AcceptMediaType(&f.floating)) << "type fixed while copying";
    EXPECT_EQ(S_OK, f.filterOut->AcceptMediaType(&f.pcm));
    IMediaSample* sample = f.SourceSample(6);
    ASSERT_NE(nullptr, sample);
    REFERENCE_TIME start = 7, stop = 8;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(TRUE);
    IMemInputPin* input = static_cast<InputPinObject*>(f.filterIn)->MemInputInterface();
    ASSERT_EQ(S_OK, input->Receive(sample));
    ASSERT_EQ(1u, f.in->delivered.size());
    EXPECT_NE(sample, f.in->delivered[0].sample);
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA}), f.in->delivered[0].bytes);
    EXPECT_EQ(7, f.in->delivered[0].properties.tStart);
    EXPECT_EQ(8, f.in->delivered[0].properties.tStop);
    const DWORD flags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_PREROLL | AM_SAMPLE_TIMEVALID;
    EXPECT_EQ(flags, f.in->delivered[0].properties.dwSampleFlags & flags);
    BYTE* original = nullptr;
    sample->GetPointer(&original);
    EXPECT_EQ(0, original[0]) << "the upstream buffer is left alone";
    sample->Release();
    f.StopAll();

    // Reconnecting upstream, as the graph was asked, shares the downstream allocator.
    ASSERT_EQ(S_OK, f.out->PinInterface()->Disconnect());
    ASSERT_EQ(S_OK, f.filterIn->PinInterface()->Disconnect());
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    EXPECT_EQ(downstreamAllocator, f.filter->inputPin->allocator);
    EXPECT_EQ(downstreamAllocator, f.out->allocator);
    f.RunAll();
    sample = f.SourceSample(3);
    ASSERT_NE(nullptr, sample);
    ASSERT_EQ(S_OK, input->Receive(sample));
    ASSERT_EQ(2u, f.in->delivered.size());
    EXPECT_EQ(sample, f.in->delivered[1].sample) << "no copy";
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0xFE, 0xFD}), f.in->delivered[1].bytes);
    EXPECT_EQ(1, f.filter->copies);
    sample->Release();
}

TEST(DShowInPlace, ReadOnlyUpstreamBuffersGetASeparateOutputAllocator)
{
    InPlaceFixture f;
    ASSERT_EQ(S_OK, f.filter->JoinFilterGraph(&f.graph, L"Invert"));
    ASSERT_EQ(S_OK, f.ConnectUpstream(&f.pcm));
    ASSERT_EQ(S_OK, f.ConnectDownstream(&f.pcm));
    IMemInputPin* input = static_cast<InputPinObject*>(f.filterIn)->MemInputInterface();
    IMemAllocator* downstreamAllocator = f.filter->outputPin->allocator;

    // The downstream allocator itself, read-only, cannot serve a filter that writes.
    EXPECT_EQ(E_FAIL, input->NotifyAllocator(downstreamAllocator, TRUE));

    IMemAllocator* other = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     reinterpret_cast<void**>(&other)));
    ALLOCATOR_PROPERTIES wanted = {3, 8192, 1, 0}, actual;
    ASSERT_EQ(S_OK, other->SetProperties(&wanted, &actual));
    EXPECT_EQ(S_OK, input->NotifyAllocator(other, TRUE));
    EXPECT_EQ(other, f.filter->inputPin->allocator);
    EXPECT_EQ(downstreamAllocator, f.filter->outputPin->allocator);
    ALLOCATOR_PROPERTIES properties;
    ASSERT_EQ(S_OK, downstreamAllocator->GetProperties(&properties));
    EXPECT_EQ(3, properties.cBuffers) << "output buffers follow the upstream ones";
    EXPECT_EQ(8192, properties.cbBuffer);

    // Writable: the same allocator passes through to both sides.
    EXPECT_EQ(S_OK, input->NotifyAllocator(other, FALSE));
    EXPECT_EQ(other, f.filter->outputPin->allocator);
    EXPECT_EQ(other, f.in->allocator);
    other->Release();
}

} // namespace

namespace {

TEST(DShowInPlaceGraph, AWaveFromTheMemoryReaderStreamsThroughTheInPlaceFilter)
{
    InvertInPlaceFilter* invert = new InvertInPlaceFilter();
    invert->BaseFilterInterface()->AddRef();
    bool skipped = false;
    uint32_t expectedSum = StreamWaveThrough(invert, &skipped);
    if (skipped) {
        invert->BaseFilterInterface()->Release();
        GTEST_SKIP() << "no WAVE parser in this platform";
    }
    EXPECT_EQ(17640, invert->bytesIn);
    EXPECT_EQ(expectedSum, invert->checksum);
    invert->BaseFilterInterface()->Release();
}

} // namespace
