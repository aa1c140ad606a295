// The sample grabber: its accepted-type rule, the callback on each sample
// between a test source and a test sink, and the allocator that places the one
// sample in the caller's delivery buffer.
#include <gtest/gtest.h>

#include <windows.h>
#include <control.h>
#include <uuids.h>

#include <string.h>

#include <vector>

#include "dshow/dshow_media_type.h"
#include "dshow/dshow_mem_reader.h"
#include "dshow/dshow_sample_grabber.h"
#include "tests/dshow/dshow_test_filter.h"
#include "tests/dshow/platform_filters.h"

namespace {

void SetType(AM_MEDIA_TYPE* type, const GUID& major, const GUID& sub, const GUID& format)
{
    ResetMediaTypeRecord(type);
    type->majortype = major;
    type->subtype = sub;
    type->formattype = format;
}

// What the callback saw of each sample.
struct Grabbed {
    std::vector<BYTE> bytes;
    REFERENCE_TIME start, stop;
    BOOL typeChanged;
    DWORD userValue;
};

struct CallbackLog {
    std::vector<Grabbed> grabbed;
    std::vector<HRESULT> answers; // given in turn; S_OK once they run out
};

CallbackLog* activeLog;

HRESULT __cdecl RecordSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL typeChanged,
                             DWORD userValue)
{
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    Grabbed g;
    g.bytes.assign(data, data + sample->GetActualDataLength());
    g.start = *start;
    g.stop = *stop;
    g.typeChanged = typeChanged;
    g.userValue = userValue;
    activeLog->grabbed.push_back(g);
    if (activeLog->answers.empty())
        return S_OK;
    HRESULT answer = activeLog->answers.front();
    activeLog->answers.erase(activeLog->answers.begin());
    return answer;
}

// A sink pin that keeps the bytes of each delivered sample.
class KeepingPin : public TestInputPin {
public:
    explicit KeepingPin(TestFilter* filter) : TestInputPin(filter, L"Sink") { rules.accepted = {MEDIASUBTYPE_PCM}; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override
    {
        HRESULT result = TestInputPin::Receive(sample);
        if (result == S_OK) {
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            delivered.push_back(std::vector<BYTE>(data, data + sample->GetActualDataLength()));
            deliveredBuffers.push_back(data);
        }
        return result;
    }
    std::vector<std::vector<BYTE>> delivered;
    std::vector<BYTE*> deliveredBuffers;   // where each delivered sample's bytes lay
};

// source (test output pin) -> grabber -> sink (keeping input pin)
struct GrabberChain {
    GrabberChain()
    {
        CoInitialize(nullptr);
        activeLog = &log;
        source = new TestFilter();
        sink = new TestFilter();
        HRESULT result = S_OK;
        grabber = CreateSampleGrabber(nullptr, &result);
        EXPECT_EQ(S_OK, result);
        source->BaseFilterInterface()->AddRef();
        sink->BaseFilterInterface()->AddRef();
        grabber->BaseFilterInterface()->AddRef();
        EXPECT_EQ(S_OK, grabber->BaseFilterInterface()->QueryInterface(IID_SampleGrabberControl,
                                                                       reinterpret_cast<void**>(&control)));
        out = new TestOutputPin(source, L"Out");
        out->rules.accepted = {MEDIASUBTYPE_PCM};
        out->rules.proposed = {MEDIASUBTYPE_PCM};
        in = new KeepingPin(sink);
        source->AddPin(out);
        sink->AddPin(in);
        grabberIn = grabber->PinAtIndex(0);
        grabberOut = grabber->PinAtIndex(1);
        MakeTestType(&pcm, MEDIASUBTYPE_PCM, 18, 0);
        grabber->JoinFilterGraph(&graph, L"Grabber");
    }
    ~GrabberChain()
    {
        source->Stop();
        grabber->Stop();
        sink->Stop();
        out->PinInterface()->Disconnect();
        grabberIn->PinInterface()->Disconnect();
        grabberOut->PinInterface()->Disconnect();
        in->PinInterface()->Disconnect();
        grabber->JoinFilterGraph(nullptr, nullptr);
        control->Release();
        source->BaseFilterInterface()->Release();
        sink->BaseFilterInterface()->Release();
        EXPECT_EQ(0u, grabber->BaseFilterInterface()->Release());
        activeLog = nullptr;
        CoUninitialize();
    }
    // Upstream, downstream, then upstream again as the grabber asks the graph,
    // so that both sides share the sink's allocator.
    HRESULT Connect()
    {
        HRESULT result = out->PinInterface()->Connect(grabberIn->PinInterface(), &pcm);
        if (SUCCEEDED(result))
            result = grabberOut->PinInterface()->Connect(in->PinInterface(), &pcm);
        if (FAILED(result))
            return result;
        EXPECT_EQ(grabberIn->PinInterface(), graph.reconnected);
        out->PinInterface()->Disconnect();
        grabberIn->PinInterface()->Disconnect();
        return out->PinInterface()->Connect(grabberIn->PinInterface(), &pcm);
    }
    void Run()
    {
        ASSERT_EQ(S_OK, sink->Run(0));
        ASSERT_EQ(S_OK, grabber->Run(0));
        ASSERT_EQ(S_OK, source->Run(0));
    }
    // Delivers length bytes seed, seed + 1, ... with the given times.
    HRESULT Send(LONG length, BYTE seed, REFERENCE_TIME start, REFERENCE_TIME stop, IMediaSample** kept = nullptr)
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
        if (!sample)
            return E_FAIL;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG index = 0; index < length; index++)
            data[index] = static_cast<BYTE>(seed + index);
        sample->SetActualDataLength(length);
        sample->SetTime(&start, &stop);
        HRESULT result = static_cast<InputPinObject*>(grabberIn)->MemInputInterface()->Receive(sample);
        if (kept)
            *kept = sample;
        else
            sample->Release();
        return result;
    }

    CallbackLog log;
    TestFilter* source;
    TestFilter* sink;
    D_CSampleGrabber* grabber;
    SampleGrabberControl* control = nullptr;
    TestOutputPin* out;
    KeepingPin* in;
    PinObject* grabberIn;
    PinObject* grabberOut;
    MediaTypeObject pcm;
    FakeGraph graph;
};

std::vector<BYTE> Bytes(BYTE seed, int length)
{
    std::vector<BYTE> bytes;
    for (int index = 0; index < length; index++)
        bytes.push_back(static_cast<BYTE>(seed + index));
    return bytes;
}

} // namespace

TEST(SampleGrabber, AcceptedTypeMatching)
{
    struct Case {
        GUID acceptedMajor, acceptedSub, acceptedFormat;
        GUID major, sub, format;
        HRESULT expected;
    } cases[] = {
        // Nothing set: anything goes.
        {GUID_NULL, GUID_NULL, GUID_NULL, MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, S_OK},
        // Only the major type: any audio, no video.
        {MEDIATYPE_Audio, GUID_NULL, GUID_NULL, MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload, GUID_NULL, S_OK},
        {MEDIATYPE_Audio, GUID_NULL, GUID_NULL, MEDIATYPE_Video, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx,
         VFW_E_INVALID_MEDIA_TYPE},
        // Major and subtype: the format type is free.
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, S_OK},
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, S_OK},
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload,
         FORMAT_WaveFormatEx, VFW_E_INVALID_MEDIA_TYPE},
        // All three.
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, MEDIATYPE_Audio, MEDIASUBTYPE_PCM,
         FORMAT_WaveFormatEx, S_OK},
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_None,
         VFW_E_INVALID_MEDIA_TYPE},
        // A subtype set below an unset major type is not looked at.
        {GUID_NULL, MEDIASUBTYPE_PCM, GUID_NULL, MEDIATYPE_Video, MEDIASUBTYPE_RGB24, GUID_NULL, S_OK},
    };
    for (const Case& c : cases) {
        MediaTypeObject accepted, type;
        SetType(&accepted, c.acceptedMajor, c.acceptedSub, c.acceptedFormat);
        SetType(&type, c.major, c.sub, c.format);
        // The format block never counts.
        BYTE block[4] = {1, 2, 3, 4};
        type.cbFormat = sizeof(block);
        type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(block)));
        memcpy(type.pbFormat, block, sizeof(block));
        EXPECT_EQ(c.expected, CheckGrabberMediaType(&accepted, &type)) << &c - cases;
    }
    MediaTypeObject any;
    EXPECT_EQ(E_POINTER, CheckGrabberMediaType(&any, nullptr));
}

TEST(SampleGrabber, AllocatorHandsOutTheDeliveryBuffer)
{
    BYTE block[64];
    GrabberDelivery delivery = {{1, 40, 1, 8}, block};
    HRESULT result = S_OK;
    SampleGrabberAllocator* object = new SampleGrabberAllocator(&delivery, &result);
    ASSERT_EQ(S_OK, result);
    IMemAllocator* allocator = object->AllocatorInterface();
    allocator->AddRef();

    struct Case {
        ALLOCATOR_PROPERTIES request;
        HRESULT expected;
    } cases[] = {
        {{1, 40, 2, 8}, VFW_E_BADALIGN}, // alignment must be the delivery one
        {{1, 40, 1, 0}, E_FAIL},         // so must the prefix
        {{1, 41, 1, 8}, E_FAIL},         // size above the delivery size
        {{2, 40, 1, 8}, E_FAIL},         // count above the delivery count
        {{1, 40, 0, 8}, VFW_E_BADALIGN}, // refused by the base checks first
        {{1, 16, 1, 8}, S_OK},           // smaller requests get the delivery properties
    };
    for (const Case& c : cases) {
        ALLOCATOR_PROPERTIES request = c.request, actual;
        EXPECT_EQ(c.expected, allocator->SetProperties(&request, &actual)) << &c - cases;
        if (c.expected == S_OK) {
            EXPECT_EQ(1, actual.cBuffers);
            EXPECT_EQ(40, actual.cbBuffer);
            EXPECT_EQ(8, actual.cbPrefix);
        }
    }
    ALLOCATOR_PROPERTIES own;
    ASSERT_EQ(S_OK, allocator->GetProperties(&own));
    EXPECT_EQ(40, own.cbBuffer);
    EXPECT_EQ(8, own.cbPrefix);

    ASSERT_EQ(S_OK, allocator->Commit());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    BYTE* data = nullptr;
    ASSERT_EQ(S_OK, sample->GetPointer(&data));
    EXPECT_EQ(block + 8, data);
    EXPECT_EQ(40, sample->GetSize());
    sample->Release();
    ASSERT_EQ(S_OK, allocator->Decommit());
    // Committing again reuses the block; the caller's buffer outlives the
    // allocator and is never freed by it.
    ASSERT_EQ(S_OK, allocator->Commit());
    ASSERT_EQ(S_OK, allocator->Decommit());
    EXPECT_EQ(0u, allocator->Release());
    memset(block, 0x5A, sizeof(block));
}

TEST(SampleGrabber, AllocatorWithoutABufferCannotCommit)
{
    GrabberDelivery delivery = {{1, 40, 1, 0}, nullptr};
    HRESULT result = S_OK;
    IMemAllocator* allocator = (new SampleGrabberAllocator(&delivery, &result))->AllocatorInterface();
    allocator->AddRef();
    ALLOCATOR_PROPERTIES request = {1, 40, 1, 0}, actual;
    ASSERT_EQ(S_OK, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(E_OUTOFMEMORY, allocator->Commit());
    allocator->Release();
}

TEST(SampleGrabber, ConnectionFollowsTheAcceptedType)
{
    {
        GrabberChain chain;
        MediaTypeObject audio;
        audio.majortype = MEDIATYPE_Audio;
        ASSERT_EQ(S_OK, chain.control->SetGrabberAcceptedMediaType(&audio));
        AM_MEDIA_TYPE connected;
        EXPECT_EQ(VFW_E_NOT_CONNECTED, chain.control->GetConnectedMediaType(&connected));
        ASSERT_EQ(S_OK, chain.Connect());
        ASSERT_EQ(S_OK, chain.control->GetConnectedMediaType(&connected));
        EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, connected.subtype));
        EXPECT_EQ(18u, connected.cbFormat);
        ReleaseMediaTypeFormat(&connected);
    }
    {
        GrabberChain chain;
        MediaTypeObject video;
        video.majortype = MEDIATYPE_Video;
        ASSERT_EQ(S_OK, chain.control->SetGrabberAcceptedMediaType(&video));
        EXPECT_EQ(VFW_E_INVALID_MEDIA_TYPE, chain.grabberIn->AcceptMediaType(&chain.pcm));
        EXPECT_TRUE(FAILED(chain.out->PinInterface()->Connect(chain.grabberIn->PinInterface(), &chain.pcm)));
        EXPECT_FALSE(chain.grabberIn->IsConnected());
        // Back to accepting anything.
        ASSERT_EQ(S_OK, chain.control->SetGrabberAcceptedMediaType(nullptr));
        EXPECT_EQ(S_OK, chain.grabberIn->AcceptMediaType(&chain.pcm));
    }
}

TEST(SampleGrabber, InputPinProposesTheAcceptedMajorType)
{
    GrabberChain chain;
    MediaTypeObject audio;
    audio.majortype = MEDIATYPE_Audio;
    audio.subtype = MEDIASUBTYPE_PCM;
    chain.control->SetGrabberAcceptedMediaType(&audio);
    MediaTypeObject proposed;
    ASSERT_EQ(S_OK, chain.grabberIn->ProposeMediaType(0, &proposed));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, proposed.majortype));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, proposed.subtype));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, chain.grabberIn->ProposeMediaType(1, &proposed));
    EXPECT_EQ(E_INVALIDARG, chain.grabberIn->ProposeMediaType(-1, &proposed));
    EXPECT_EQ(E_POINTER, chain.grabberIn->ProposeMediaType(0, nullptr));
}

TEST(SampleGrabber, CallbackSeesEachSampleBeforeItGoesOn)
{
    GrabberChain chain;
    ASSERT_EQ(S_OK, chain.control->SetGrabberCallback(RecordSample, 0xC0FFEE));
    ASSERT_EQ(S_OK, chain.Connect());
    chain.Run();
    ASSERT_EQ(S_OK, chain.grabberIn->PinInterface()->NewSegment(1000, 9000, 1.0));

    IMediaSample* first = nullptr;
    ASSERT_EQ(S_OK, chain.Send(5, 10, 20, 30, &first));
    ASSERT_EQ(S_OK, chain.Send(3, 50, 30, 40));
    // S_FALSE holds the sample back and reaches the upstream pin.
    chain.log.answers = {S_FALSE, E_ABORT};
    EXPECT_EQ(S_FALSE, chain.Send(2, 90, 40, 50));
    EXPECT_EQ(E_ABORT, chain.Send(2, 95, 50, 60));

    ASSERT_EQ(4u, chain.log.grabbed.size());
    EXPECT_EQ(Bytes(10, 5), chain.log.grabbed[0].bytes);
    EXPECT_EQ(Bytes(50, 3), chain.log.grabbed[1].bytes);
    EXPECT_EQ(1020, chain.log.grabbed[0].start) << "moved by the segment start";
    EXPECT_EQ(1030, chain.log.grabbed[0].stop);
    EXPECT_EQ(TRUE, chain.log.grabbed[0].typeChanged) << "first after the connection";
    for (size_t index = 1; index < 4; index++)
        EXPECT_EQ(FALSE, chain.log.grabbed[index].typeChanged) << index;
    EXPECT_EQ(0xC0FFEEu, chain.log.grabbed[3].userValue);

    ASSERT_EQ(2u, chain.in->delivered.size());
    EXPECT_EQ(Bytes(10, 5), chain.in->delivered[0]);
    EXPECT_EQ(Bytes(50, 3), chain.in->delivered[1]);
    // One allocator on both sides: the sample itself was delivered.
    EXPECT_EQ(chain.grabber->inputPin->allocator, chain.grabber->outputPin->allocator);
    BYTE* firstBytes = nullptr;
    first->GetPointer(&firstBytes);
    EXPECT_EQ(firstBytes, chain.in->deliveredBuffers[0]);
    first->Release();

    // Without a callback the grabber is a plain pass-through.
    ASSERT_EQ(S_OK, chain.control->SetGrabberCallback(nullptr, 0));
    ASSERT_EQ(S_OK, chain.Send(4, 7, 0, 1));
    EXPECT_EQ(4u, chain.log.grabbed.size());
    ASSERT_EQ(3u, chain.in->delivered.size());
    EXPECT_EQ(Bytes(7, 4), chain.in->delivered[2]);
}

TEST(SampleGrabber, SeparateAllocatorsGrabAndDeliverACopy)
{
    GrabberChain chain;
    ASSERT_EQ(S_OK, chain.control->SetGrabberCallback(RecordSample, 1));
    // Not reconnected upstream: each side keeps its own allocator.
    ASSERT_EQ(S_OK, chain.out->PinInterface()->Connect(chain.grabberIn->PinInterface(), &chain.pcm));
    ASSERT_EQ(S_OK, chain.grabberOut->PinInterface()->Connect(chain.in->PinInterface(), &chain.pcm));
    ASSERT_NE(chain.grabber->inputPin->allocator, chain.grabber->outputPin->allocator);
    chain.Run();
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, chain.Send(6, 30, 100, 200, &sample));
    ASSERT_EQ(1u, chain.log.grabbed.size());
    EXPECT_EQ(Bytes(30, 6), chain.log.grabbed[0].bytes);
    EXPECT_EQ(100, chain.log.grabbed[0].start);
    ASSERT_EQ(1u, chain.in->delivered.size());
    EXPECT_EQ(Bytes(30, 6), chain.in->delivered[0]);
    // The copy, in a buffer of the output side's allocator, went on.
    BYTE* original = nullptr;
    sample->GetPointer(&original);
    EXPECT_NE(original, chain.in->deliveredBuffers[0]) << "the upstream sample itself was delivered";
    sample->Release();
    chain.log.answers = {S_FALSE};
    EXPECT_EQ(S_FALSE, chain.Send(2, 1, 0, 1));
    EXPECT_EQ(1u, chain.in->delivered.size());
}

TEST(SampleGrabber, DeliveryBufferIsFilledByTheUpstreamFilter)
{
    GrabberChain chain;
    BYTE block[64] = {};
    ALLOCATOR_PROPERTIES two = {2, 64, 1, 0}, one = {1, 64, 1, 0};
    EXPECT_EQ(E_INVALIDARG, chain.control->SetDeliveryBuffer(two, block));
    EXPECT_EQ(E_POINTER, chain.control->SetDeliveryBuffer(one, nullptr));
    ASSERT_EQ(S_OK, chain.control->SetDeliveryBuffer(one, block));
    ALLOCATOR_PROPERTIES requirements;
    ASSERT_EQ(S_OK, static_cast<InputPinObject*>(chain.grabberIn)->GetAllocatorRequirements(&requirements));
    EXPECT_EQ(64, requirements.cbBuffer);
    EXPECT_EQ(1, requirements.cBuffers);

    // Another allocator is refused while the delivery buffer is set.
    IMemAllocator* other = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     reinterpret_cast<void**>(&other)));
    EXPECT_EQ(E_FAIL, static_cast<InputPinObject*>(chain.grabberIn)->NotifyAllocator(other, FALSE));
    other->Release();

    chain.out->requested = {1, 32, 1, 0};
    ASSERT_EQ(S_OK, chain.out->PinInterface()->Connect(chain.grabberIn->PinInterface(), &chain.pcm));
    ALLOCATOR_PROPERTIES three = {1, 64, 1, 0};
    EXPECT_EQ(E_INVALIDARG, chain.control->SetDeliveryBuffer(three, block)) << "pins connected";
    ASSERT_EQ(S_OK, chain.out->allocator->Commit());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, chain.out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    EXPECT_EQ(block, data);
    EXPECT_EQ(64, sample->GetSize());
    sample->Release();
    chain.out->allocator->Decommit();
}

TEST(SampleGrabber, UpstreamBuffersBeyondTheDeliveryBufferAreRefused)
{
    GrabberChain chain;
    BYTE block[16];
    ASSERT_EQ(S_OK, chain.control->SetDeliveryBuffer({1, 16, 1, 0}, block));
    chain.out->requested = {1, 17, 1, 0};
    EXPECT_TRUE(FAILED(chain.out->PinInterface()->Connect(chain.grabberIn->PinInterface(), &chain.pcm)));
    EXPECT_FALSE(chain.grabberIn->IsConnected());
}

TEST(SampleGrabber, ReleaseDestroysWhateverTheCount)
{
    HRESULT result = S_OK;
    D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &result);
    ASSERT_NE(nullptr, grabber);
    EXPECT_EQ(0, grabber->referenceCount);
    grabber->BaseFilterInterface()->AddRef();
    IPin* pin = nullptr;
    ASSERT_EQ(S_OK, grabber->FindPin(L"In", &pin));
    PIN_INFO info;
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_STREQ(L"Input", info.achName);
    info.pFilter->Release();
    pin->Release();
    ReleaseSampleGrabber(grabber);
    ReleaseSampleGrabber(nullptr);
}

namespace {

// A 16-bit stereo 22050 Hz PCM WAVE file holding data.
std::vector<BYTE> PcmWave(const std::vector<BYTE>& data)
{
    std::vector<BYTE> file;
    auto tag = [&](const char* text) { file.insert(file.end(), text, text + 4); };
    auto le = [&](DWORD value, int bytes) {
        for (int index = 0; index < bytes; index++)
            file.push_back((BYTE)(value >> (8 * index)));
    };
    tag("RIFF");
    le((DWORD)data.size() + 36, 4);
    tag("WAVE");
    tag("fmt ");
    le(16, 4);
    le(1, 2);
    le(2, 2);
    le(22050, 4);
    le(88200, 4);
    le(4, 2);
    le(16, 2);
    tag("data");
    le((DWORD)data.size(), 4);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

} // namespace

TEST(SampleGrabberGraph, CollectsThePcmThatThePlatformParserReads)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&graph)));
    std::vector<BYTE> pcmBytes;
    for (int index = 0; index < 30000; index++)
        pcmBytes.push_back((BYTE)(index * 7 + index / 256));
    std::vector<BYTE> file = PcmWave(pcmBytes);
    D_CMemStream* stream = CreateMemStream(file.data(), (LONGLONG)file.size(), 0xFFFFFFFF);
    ASSERT_NE(nullptr, stream);
    AM_MEDIA_TYPE streamType;
    ResetMediaTypeRecord(&streamType);
    streamType.majortype = MEDIATYPE_Stream;
    streamType.subtype = MEDIASUBTYPE_WAVE;
    D_CMemReader* reader = CreateMemReader(stream, &streamType, nullptr);
    ASSERT_NE(nullptr, reader);
    ASSERT_EQ(S_OK, graph->AddFilter(reader->BaseFilterInterface(), L"MemFile"));

    IBaseFilter* parser = nullptr;
    IBaseFilter* renderer = nullptr;
    if (FAILED(CoCreateInstance(kWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&parser))) ||
        FAILED(CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&renderer)))) {
        if (parser)
            parser->Release();
        graph->Release();
        ReleaseMemStream(stream);
        CoUninitialize();
        GTEST_SKIP() << "no WAVE parser or Null Renderer in this platform";
    }
    HRESULT result = S_OK;
    D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &result);
    ASSERT_NE(nullptr, grabber);
    ASSERT_EQ(S_OK, graph->AddFilter(parser, L"Parser"));
    ASSERT_EQ(S_OK, graph->AddFilter(grabber->BaseFilterInterface(), L"Grabber"));
    ASSERT_EQ(S_OK, graph->AddFilter(renderer, L"Null"));
    parser->Release();
    renderer->Release();

    CallbackLog log;
    activeLog = &log;
    AM_MEDIA_TYPE wanted;
    ResetMediaTypeRecord(&wanted);
    wanted.majortype = MEDIATYPE_Audio;
    wanted.subtype = MEDIASUBTYPE_PCM;
    ASSERT_EQ(S_OK, grabber->SetGrabberAcceptedMediaType(&wanted));
    ASSERT_EQ(S_OK, grabber->SetGrabberCallback(RecordSample, 0));

    IPin* parserIn = FirstPin(parser, PINDIR_INPUT);
    ASSERT_EQ(S_OK, graph->ConnectDirect(reader->outputPin.PinInterface(), parserIn, nullptr));
    IPin* parserOut = FirstPin(parser, PINDIR_OUTPUT);
    ASSERT_EQ(S_OK, graph->ConnectDirect(parserOut, grabber->PinAtIndex(0)->PinInterface(), nullptr));
    IPin* rendererIn = FirstPin(renderer, PINDIR_INPUT);
    ASSERT_EQ(S_OK, graph->ConnectDirect(grabber->PinAtIndex(1)->PinInterface(), rendererIn, nullptr));
    AM_MEDIA_TYPE connected;
    ASSERT_EQ(S_OK, grabber->GetConnectedMediaType(&connected));
    ASSERT_GE(connected.cbFormat, sizeof(WAVEFORMATEX));
    EXPECT_EQ(22050u, reinterpret_cast<WAVEFORMATEX*>(connected.pbFormat)->nSamplesPerSec);
    ReleaseMediaTypeFormat(&connected);

    IMediaFilter* asFilter = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&asFilter)));
    asFilter->SetSyncSource(nullptr);
    asFilter->Release();
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)));
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    LONG code = 0;
    EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    control->Stop();
    events->Release();
    control->Release();

    std::vector<BYTE> collected;
    for (const Grabbed& g : log.grabbed)
        collected.insert(collected.end(), g.bytes.begin(), g.bytes.end());
    EXPECT_EQ(pcmBytes, collected);
    ASSERT_FALSE(log.grabbed.empty());
    EXPECT_EQ(TRUE, log.grabbed[0].typeChanged);

    rendererIn->Release();
    parserOut->Release();
    parserIn->Release();
    graph->Release();
    activeLog = nullptr;
    ReleaseMemStream(stream);
    CoUninitialize();
}
