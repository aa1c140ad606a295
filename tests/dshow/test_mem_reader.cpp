// The memory stream, the asynchronous reader over it, and the reader in the
// platform's filter graph.
#include <gtest/gtest.h>

#include <dshow.h>
#include <mmreg.h>

#include <vector>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_mem_reader.h"
#include "dshow/dshow_pos_passthru.h"
#include "tests/support/test_bytes.h"
#include "tests/support/test_support.h"
#include "tests/dshow/platform_filters.h"

namespace {

const LONGLONG kUnits = 10000000; // sample time of one byte

// The stream's clock and sleeps, seen through the program's import table.
extern "C" void* importedTimeGetTime asm(IMPORT_SYMBOL(timeGetTime, 0));
extern "C" void* importedSleep asm(IMPORT_SYMBOL(Sleep, 4));
DWORD fakeNow;
std::vector<DWORD> sleeps;
DWORD WINAPI FakeTimeGetTime() { return fakeNow; }
void WINAPI RecordSleep(DWORD ms) { sleeps.push_back(ms); }

struct FakeClock {
    FakeClock()
    {
        realTime = ReplaceImport(&importedTimeGetTime, (void*)FakeTimeGetTime);
        realSleep = ReplaceImport(&importedSleep, (void*)RecordSleep);
        sleeps.clear();
    }
    ~FakeClock()
    {
        ReplaceImport(&importedTimeGetTime, realTime);
        ReplaceImport(&importedSleep, realSleep);
    }
    void* realTime;
    void* realSleep;
};

struct MemReaderFixture : testing::Test {
    void SetUp() override
    {
        data = TestBytes(1000, 3);
        stream = CreateMemStream(data.data(), (LONGLONG)data.size(), 0xFFFFFFFF);
        ASSERT_NE(nullptr, stream);
        AM_MEDIA_TYPE type;
        ResetMediaTypeRecord(&type);
        type.majortype = MEDIATYPE_Stream;
        type.subtype = MEDIASUBTYPE_WAVE;
        HRESULT hr = E_FAIL;
        reader = CreateMemReader(stream, &type, &hr);
        ASSERT_NE(nullptr, reader);
        EXPECT_EQ(S_OK, hr);
        reader->BaseFilterInterface()->AddRef();
        pin = &reader->outputPin;
        async = pin->ReaderInterface();
    }
    void TearDown() override
    {
        if (allocator) {
            allocator->Decommit();
            allocator->Release();
        }
        if (reader)
            reader->BaseFilterInterface()->Release();
        ReleaseMemStream(stream);
    }
    // Two committed 256-byte samples from the reader's allocator choice.
    void MakeSamples()
    {
        HRESULT hr = S_OK;
        MemorySampleAllocator* preferred = ConstructBufferAllocator("test", nullptr, &hr);
        ASSERT_NE(nullptr, preferred);
        IMemAllocator* offered = preferred->AllocatorInterface();
        offered->AddRef();
        ALLOCATOR_PROPERTIES props{2, 256, 0, 0};
        ASSERT_EQ(S_OK, async->RequestAllocator(offered, &props, &allocator));
        EXPECT_EQ(offered, allocator) << "the preferred allocator fits";
        EXPECT_EQ(1, props.cbAlign) << "an alignment of 0 becomes the stream's";
        offered->Release();
        ASSERT_EQ(S_OK, allocator->Commit());
        ASSERT_EQ(S_OK, allocator->GetBuffer(&samples[0], nullptr, nullptr, 0));
        ASSERT_EQ(S_OK, allocator->GetBuffer(&samples[1], nullptr, nullptr, 0));
    }
    static void SetRange(IMediaSample* sample, LONGLONG first, LONGLONG count)
    {
        REFERENCE_TIME start = first * kUnits, stop = (first + count) * kUnits;
        sample->SetTime(&start, &stop);
    }
    void ExpectBytes(IMediaSample* sample, LONGLONG first, LONG count)
    {
        BYTE* p;
        sample->GetPointer(&p);
        EXPECT_EQ(count, sample->GetActualDataLength());
        EXPECT_EQ(0, memcmp(p, data.data() + first, count)) << "bytes from " << first;
    }

    std::vector<uint8_t> data;
    D_CMemStream* stream = nullptr;
    D_CMemReader* reader = nullptr;
    AsyncOutputPin* pin = nullptr;
    IAsyncReader* async = nullptr;
    IMemAllocator* allocator = nullptr;
    IMediaSample* samples[2] = {};
};

} // namespace

TEST(MemStream, SeeksWithinTheBlockAndReadsNoMoreThanItHolds)
{
    std::vector<uint8_t> data = TestBytes(100, 1);
    D_CMemStream* s = CreateMemStream(data.data(), 100, 0xFFFFFFFF);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(1, s->StreamAlignment());
    ASSERT_EQ(S_OK, s->SeekStream(40));
    for (LONGLONG bad : {101LL, -1LL, 0x100000000LL}) {
        EXPECT_EQ(S_FALSE, s->SeekStream(bad)) << bad;
        EXPECT_EQ(40, s->position);
    }
    BYTE out[200];
    DWORD got = 99;
    ASSERT_EQ(S_OK, s->SeekStream(100));
    EXPECT_EQ(S_OK, s->ReadStream(out, 10, FALSE, &got));
    EXPECT_EQ(0u, got);

    memset(out, 0xEE, sizeof out);
    ASSERT_EQ(S_OK, s->SeekStream(70));
    EXPECT_EQ(S_OK, s->ReadStream(out, 100, FALSE, &got));
    EXPECT_EQ(30u, got);
    EXPECT_EQ(0, memcmp(out, data.data() + 70, 30));
    EXPECT_EQ(0xEE, out[30]);
    EXPECT_EQ(100, s->position);
    // A count that a negative length turned into would still stop at the end.
    ASSERT_EQ(S_OK, s->SeekStream(95));
    EXPECT_EQ(S_OK, s->ReadStream(out, 0xFFFFFFFFu, FALSE, &got));
    EXPECT_EQ(5u, got);
    ReleaseMemStream(s);
    ReleaseMemStream(nullptr);
}

TEST(MemStream, TheRateLimitDelaysReadsUntilTheirBytesHaveArrived)
{
    FakeClock clock;
    std::vector<uint8_t> data(2000);
    fakeNow = 5000;
    D_CMemStream* s = CreateMemStream(data.data(), 2000, 10);
    ASSERT_NE(nullptr, s);
    BYTE out[1000];
    DWORD got;
    // Bytes 0..999 are due at 100 ms.
    fakeNow = 5040;
    s->SeekStream(0);
    s->ReadStream(out, 1000, FALSE, &got);
    ASSERT_EQ(1u, sleeps.size());
    EXPECT_EQ(60u, sleeps[0]);
    sleeps.clear();
    fakeNow = 5200;
    s->SeekStream(0);
    s->ReadStream(out, 1000, FALSE, &got);
    EXPECT_TRUE(sleeps.empty());

    LONGLONG available = -1;
    fakeNow = 5150;
    EXPECT_EQ(2000, s->StreamSize(&available));
    EXPECT_EQ(1500, available);
    fakeNow = 9000;
    s->StreamSize(&available);
    EXPECT_EQ(2000, available);
    ReleaseMemStream(s);

    // Without a limit nothing ever waits, whenever the read comes.
    fakeNow = 0;
    s = CreateMemStream(data.data(), 2000, 0xFFFFFFFF);
    fakeNow = 1;
    s->SeekStream(1000);
    s->ReadStream(out, 1000, FALSE, &got);
    EXPECT_TRUE(sleeps.empty());
    available = -1;
    for (DWORD now : {0u, 1u, 31u, 100000u}) {
        fakeNow = now;
        EXPECT_EQ(2000, s->StreamSize(&available));
        EXPECT_EQ(2000, available) << "all of an unpaced stream is there at " << now << " ms";
    }
    ReleaseMemStream(s);

    // A rate of 0 would divide by zero on every read.
    EXPECT_EQ(nullptr, CreateMemStream(data.data(), 2000, 0));
}

TEST(MemStream, TheReaderRefusesAMissingStream)
{
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, CreateMemReader(nullptr, nullptr, &hr));
    EXPECT_EQ(E_POINTER, hr);
}

TEST_F(MemReaderFixture, TheOutputPinProposesAndAcceptsTheOneType)
{
    MediaTypeObject type;
    EXPECT_EQ(S_OK, pin->ProposeMediaType(0, &type));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_WAVE, type.subtype));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, pin->ProposeMediaType(1, &type));
    EXPECT_EQ(E_INVALIDARG, pin->ProposeMediaType(-1, &type));

    AM_MEDIA_TYPE other;
    ResetMediaTypeRecord(&other);
    other.majortype = MEDIATYPE_Stream;
    other.subtype = MEDIASUBTYPE_WAVE;
    EXPECT_EQ(S_OK, pin->AcceptMediaType(&other));
    other.subtype = MEDIASUBTYPE_MPEG1Audio;
    EXPECT_EQ(S_FALSE, pin->AcceptMediaType(&other));
    reader->outputType.subtype = GUID_NULL; // any subtype of the major type
    EXPECT_EQ(S_OK, pin->AcceptMediaType(&other));
    other.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(S_FALSE, pin->AcceptMediaType(&other));

    LONGLONG total = 0, available = 0;
    EXPECT_EQ(S_OK, async->Length(&total, &available));
    EXPECT_EQ(1000, total);
    EXPECT_EQ(E_POINTER, async->Length(nullptr, &available));
}

TEST_F(MemReaderFixture, SyncReadDeliversTheSourceBytesAndRefusesBadRanges)
{
    BYTE out[300];
    EXPECT_EQ(S_OK, async->SyncRead(123, 300, out));
    EXPECT_EQ(0, memcmp(out, data.data() + 123, 300));
    memset(out, 0xEE, sizeof out);
    EXPECT_EQ(S_FALSE, async->SyncRead(990, 20, out));
    EXPECT_EQ(0, memcmp(out, data.data() + 990, 10));
    EXPECT_EQ(0xEE, out[10]);
    EXPECT_EQ(S_FALSE, async->SyncRead(1001, 1, out));
    EXPECT_EQ(S_FALSE, async->SyncRead(-1, 1, out));
    EXPECT_EQ(E_INVALIDARG, async->SyncRead(0, -1, out));
    EXPECT_EQ(E_POINTER, async->SyncRead(0, 10, nullptr));
}

TEST_F(MemReaderFixture, QueuedSamplesComeBackFilledWithTheirRange)
{
    MakeSamples();
    SetRange(samples[0], 0, 256);
    SetRange(samples[1], 900, 200); // straddles the end: cut to 100 bytes
    ASSERT_EQ(S_OK, async->Request(samples[0], 11));
    ASSERT_EQ(S_OK, async->Request(samples[1], 22));
    REFERENCE_TIME start, stop;
    samples[1]->GetTime(&start, &stop);
    EXPECT_EQ(900 * kUnits, start);
    EXPECT_EQ(1000 * kUnits, stop);

    IMediaSample* got = nullptr;
    DWORD_PTR user = 0;
    ASSERT_EQ(S_OK, async->WaitForNext(10000, &got, &user));
    EXPECT_EQ(samples[0], got);
    EXPECT_EQ(11u, user);
    ExpectBytes(got, 0, 256);
    ASSERT_EQ(S_OK, async->WaitForNext(10000, &got, &user));
    EXPECT_EQ(samples[1], got);
    EXPECT_EQ(22u, user);
    ExpectBytes(got, 900, 100);
    EXPECT_EQ(VFW_E_TIMEOUT, async->WaitForNext(0, &got, &user));
    EXPECT_EQ(nullptr, got);
    EXPECT_EQ(E_POINTER, async->WaitForNext(0, nullptr, &user));

    SetRange(samples[0], 100, 100);
    EXPECT_EQ(S_OK, async->SyncReadAligned(samples[0]));
    ExpectBytes(samples[0], 100, 100);

    samples[0]->Release();
    samples[1]->Release();
}

TEST_F(MemReaderFixture, SamplesAskingOutsideTheStreamOrTheirBufferAreRefused)
{
    MakeSamples();
    const struct { LONGLONG first, count; HRESULT expected; } cases[] = {
        {1001, 10, E_INVALIDARG},       // starts past the end
        {0, 257, VFW_E_BUFFER_OVERFLOW}, // more than the 256-byte buffer
        {500, -10, E_INVALIDARG},       // stop before start
    };
    for (auto& c : cases) {
        SetRange(samples[0], c.first, c.count);
        EXPECT_EQ(c.expected, async->Request(samples[0], 0)) << c.first << "+" << c.count;
        EXPECT_EQ(c.expected, async->SyncReadAligned(samples[0])) << c.first << "+" << c.count;
    }
    IMediaSample* got;
    DWORD_PTR user;
    EXPECT_EQ(VFW_E_TIMEOUT, async->WaitForNext(0, &got, &user)) << "nothing was queued";
    REFERENCE_TIME start = 0;
    samples[0]->SetTime(&start, nullptr);
    EXPECT_EQ(S_OK, async->Request(samples[0], 0)) << "no stop time: an empty range";
    EXPECT_EQ(S_OK, async->WaitForNext(10000, &got, &user));
    EXPECT_EQ(0, got->GetActualDataLength());
    samples[0]->Release();
    samples[1]->Release();
}

// ---- In the platform's filter graph ----

namespace {

struct GraphFixture : testing::Test {
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         (void**)&graph));
    }
    // The reader over bytes, offering Stream/subtype, added as "MemFile".
    void AddReader(const std::vector<uint8_t>& bytes, const GUID& subtype)
    {
        file = bytes;
        stream = CreateMemStream(file.data(), (LONGLONG)file.size(), 0xFFFFFFFF);
        ASSERT_NE(nullptr, stream);
        AM_MEDIA_TYPE type;
        ResetMediaTypeRecord(&type);
        type.majortype = MEDIATYPE_Stream;
        type.subtype = subtype;
        reader = CreateMemReader(stream, &type, nullptr);
        ASSERT_NE(nullptr, reader);
        ASSERT_EQ(S_OK, graph->AddFilter(reader->BaseFilterInterface(), L"MemFile"));
        readerOut = reader->outputPin.PinInterface();
    }
    // Runs the graph without a clock, so the stream flows as fast as it is
    // read, until every renderer has seen the end.
    void RunToCompletion()
    {
        IMediaFilter* asFilter;
        ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaFilter, (void**)&asFilter));
        asFilter->SetSyncSource(nullptr);
        asFilter->Release();
        IMediaControl* control;
        IMediaEvent* events;
        ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, (void**)&control));
        ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaEvent, (void**)&events));
        EXPECT_TRUE(SUCCEEDED(control->Run()));
        LONG code = 0;
        EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
        EXPECT_EQ(EC_COMPLETE, code);
        control->Stop();
        events->Release();
        control->Release();
    }
    void TearDown() override
    {
        if (graph)
            graph->Release(); // the graph holds the reader's last reference
        ReleaseMemStream(stream);
        CoUninitialize();
    }
    IBaseFilter* AddPlatformFilter(REFCLSID id, const WCHAR* name)
    {
        IBaseFilter* filter = nullptr;
        if (FAILED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&filter)))
            return nullptr;
        graph->AddFilter(filter, name);
        filter->Release();
        return filter;
    }

    std::vector<uint8_t> file;
    D_CMemStream* stream = nullptr;
    D_CMemReader* reader = nullptr;
    IGraphBuilder* graph = nullptr;
    IPin* readerOut = nullptr;
};

} // namespace

TEST_F(GraphFixture, APeerThatDoesNotPullIsRefusedAndLeftUnconnected)
{
    AddReader(PcmWaveFile(44100, 2, 16, 400), MEDIASUBTYPE_WAVE);
    IBaseFilter* sink = AddPlatformFilter(kNullRenderer, L"Null");
    ASSERT_NE(nullptr, sink);
    IPin* sinkIn = FirstPin(sink, PINDIR_INPUT);
    ASSERT_NE(nullptr, sinkIn);
    AM_MEDIA_TYPE type;
    ResetMediaTypeRecord(&type);
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_WAVE;
    type.formattype = FORMAT_None;
    EXPECT_EQ(E_FAIL, readerOut->Connect(sinkIn, &type));
    IPin* peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, readerOut->ConnectedTo(&peer));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, sinkIn->ConnectedTo(&peer));
    sinkIn->Release();
}

TEST_F(GraphFixture, ThePlatformParserPullsTheWholeWaveThroughTheReader)
{
    // 0.25 s of 16-bit stereo at 44100 Hz.
    std::vector<uint8_t> wave = PcmWaveFile(44100, 2, 16, 44100);
    std::vector<uint8_t> noise = TestBytes(44100, 9);
    memcpy(wave.data() + 44, noise.data(), noise.size());
    AddReader(wave, MEDIASUBTYPE_WAVE);
    IBaseFilter* parser = AddPlatformFilter(kWaveParser, L"Parser");
    if (!parser)
        GTEST_SKIP() << "no WAVE parser in this platform";
    IPin* parserIn = FirstPin(parser, PINDIR_INPUT);
    ASSERT_NE(nullptr, parserIn);
    ASSERT_EQ(S_OK, graph->ConnectDirect(readerOut, parserIn, nullptr));
    EXPECT_TRUE(reader->outputPin.readerRequested);

    // The parser read the header through the reader: its output is our format.
    IPin* parserOut = FirstPin(parser, PINDIR_OUTPUT);
    ASSERT_NE(nullptr, parserOut);
    IEnumMediaTypes* types;
    ASSERT_EQ(S_OK, parserOut->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* first = nullptr;
    ASSERT_EQ(S_OK, types->Next(1, &first, nullptr));
    types->Release();
    ASSERT_TRUE(first->cbFormat >= sizeof(WAVEFORMATEX));
    const WAVEFORMATEX* format = (const WAVEFORMATEX*)first->pbFormat;
    EXPECT_EQ(44100u, format->nSamplesPerSec);
    EXPECT_EQ(2, format->nChannels);
    EXPECT_EQ(16, format->wBitsPerSample);
    DestroyMediaTypeRecord(first);

    IBaseFilter* sink = AddPlatformFilter(kNullRenderer, L"Null");
    ASSERT_NE(nullptr, sink);
    IPin* sinkIn = FirstPin(sink, PINDIR_INPUT);
    ASSERT_EQ(S_OK, graph->ConnectDirect(parserOut, sinkIn, nullptr));

    // A renderer's pass-through over the sink's input reaches the parser.
    HRESULT hr = S_OK;
    RendererPosPassThru* position = new RendererPosPassThru("test", nullptr, &hr, sinkIn);
    ASSERT_EQ(S_OK, hr);
    position->InnerUnknown()->AddRef();
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, position->SeekingInterface()->GetDuration(&duration));
    EXPECT_EQ(44100 * kUnits / 176400, duration); // 44100 bytes at 176400 per second
    position->InnerUnknown()->Release();

    RunToCompletion();
    sinkIn->Release();
    parserOut->Release();
    parserIn->Release();
}

TEST_F(GraphFixture, ThePlatformSplitterFindsMpegAudioFramesThroughTheReader)
{
    std::vector<uint8_t> mp3;
    ASSERT_TRUE(ReadWholeFile(std::string(TestArg(1)) + "/mpeg1.mp3", &mp3));
    AddReader(mp3, MEDIASUBTYPE_MPEG1Audio);
    IBaseFilter* splitter = AddPlatformFilter(CLSID_MPEG1Splitter, L"Splitter");
    if (!splitter)
        GTEST_SKIP() << "no MPEG-1 splitter in this platform";
    IPin* splitterIn = FirstPin(splitter, PINDIR_INPUT);
    ASSERT_NE(nullptr, splitterIn);
    ASSERT_EQ(S_OK, graph->ConnectDirect(readerOut, splitterIn, nullptr));
    IPin* splitterOut = FirstPin(splitter, PINDIR_OUTPUT);
    ASSERT_NE(nullptr, splitterOut) << "the splitter found no audio stream";
    IEnumMediaTypes* types;
    ASSERT_EQ(S_OK, splitterOut->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* first = nullptr;
    ASSERT_EQ(S_OK, types->Next(1, &first, nullptr));
    types->Release();
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, first->majortype));
    DestroyMediaTypeRecord(first);

    IBaseFilter* sink = AddPlatformFilter(kNullRenderer, L"Null");
    ASSERT_NE(nullptr, sink);
    IPin* sinkIn = FirstPin(sink, PINDIR_INPUT);
    ASSERT_EQ(S_OK, graph->ConnectDirect(splitterOut, sinkIn, nullptr));
    RunToCompletion();
    sinkIn->Release();
    splitterOut->Release();
    splitterIn->Release();
}
