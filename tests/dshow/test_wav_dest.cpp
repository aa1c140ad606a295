// WAV Dest: the input and output type rules, the RIFF WAVE header bytes, the
// copy of each sample and its placement by byte offset in the file, and whole
// runs between a test source and a sink that writes a file in memory.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>
#include <uuids.h>

#include <string.h>

#include <vector>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_media_type.h"
#include "dshow/dshow_wav_dest.h"
#include "tests/dshow/dshow_test_filter.h"

namespace {

WAVEFORMATEX PcmFormat()
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 88200;
    return format;
}

// An audio type whose format block is the given bytes.
struct WaveType : AM_MEDIA_TYPE {
    explicit WaveType(const void* block, ULONG size, const GUID& formatType = FORMAT_WaveFormatEx)
        : AM_MEDIA_TYPE(), bytes(static_cast<const BYTE*>(block), static_cast<const BYTE*>(block) + size)
    {
        majortype = MEDIATYPE_Audio;
        subtype = MEDIASUBTYPE_PCM;
        formattype = formatType;
        cbFormat = size;
        pbFormat = size ? bytes.data() : nullptr;
    }
    WaveType(const WaveType&) = delete;
    operator const AM_MEDIA_TYPE*() const { return this; }
    std::vector<BYTE> bytes;
};

DWORD Le32(const BYTE* at) { return at[0] | at[1] << 8 | at[2] << 16 | (DWORD)at[3] << 24; }

struct Samples {
    Samples(LONG size)
    {
        HRESULT result = S_OK;
        allocator = ConstructBufferAllocator("WAV test allocator", nullptr, &result)->AllocatorInterface();
        allocator->AddRef();
        ALLOCATOR_PROPERTIES request = {2, size, 1, 0}, actual;
        EXPECT_EQ(S_OK, allocator->SetProperties(&request, &actual));
        EXPECT_EQ(S_OK, allocator->Commit());
    }
    ~Samples()
    {
        allocator->Decommit();
        allocator->Release();
    }
    IMediaSample* Take()
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
        return sample;
    }
    IMemAllocator* allocator;
};

// The file a downstream writer makes: each sample's bytes at its start
// "time", and whatever is written through IStream at the seek position.
struct MemoryFile : public IStream {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IStream)) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override
    {
        Place(position, static_cast<const BYTE*>(data), size);
        position += size;
        if (written)
            *written = size;
        writes++;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* out) override
    {
        if (origin != STREAM_SEEK_SET)
            return E_NOTIMPL;
        position = (size_t)move.QuadPart;
        if (out)
            out->QuadPart = position;
        return seekResult;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    void Place(size_t at, const BYTE* data, size_t size)
    {
        if (bytes.size() < at + size)
            bytes.resize(at + size, 0xEE);
        memcpy(bytes.data() + at, data, size);
    }

    std::vector<BYTE> bytes;
    size_t position = 0;
    ULONG count = 1;
    int writes = 0;
    HRESULT seekResult = S_OK;
};

// A sink pin that takes a WAVE stream and writes it into a MemoryFile.
class WriterPin : public TestInputPin {
public:
    explicit WriterPin(TestFilter* filter) : TestInputPin(filter, L"Writer")
    {
        rules.accepted = {MEDIASUBTYPE_WAVE};
    }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override
    {
        HRESULT result = TestInputPin::Receive(sample);
        if (result == S_OK) {
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            REFERENCE_TIME start = 0, stop = 0;
            EXPECT_EQ(S_OK, sample->GetTime(&start, &stop));
            EXPECT_EQ(stop - start, sample->GetActualDataLength());
            file.Place((size_t)start, data, (size_t)sample->GetActualDataLength());
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override
    {
        if (offerStream && IsEqualGUID(iid, IID_IStream))
            return file.QueryInterface(iid, out);
        return TestInputPin::InnerQueryInterface(iid, out);
    }
    MemoryFile file;
    bool offerStream = true;
};

// source (test output pin, PCM) -> WAV Dest -> writer
struct WavChain {
    WavChain()
    {
        CoInitialize(nullptr);
        source = new TestFilter();
        sink = new TestFilter();
        HRESULT result = S_OK;
        filter = static_cast<WavDestFilter*>(CreateWavDestFilter(nullptr, &result));
        EXPECT_EQ(S_OK, result);
        source->BaseFilterInterface()->AddRef();
        sink->BaseFilterInterface()->AddRef();
        filter->BaseFilterInterface()->AddRef();
        out = new TestOutputPin(source, L"Out");
        out->rules.accepted = {MEDIASUBTYPE_PCM};
        out->rules.proposed = {MEDIASUBTYPE_PCM};
        out->requested = {2, 256, 1, 0};
        writer = new WriterPin(sink);
        source->AddPin(out);
        sink->AddPin(writer);
        MakeTestType(&pcm, MEDIASUBTYPE_PCM, 18, 0);
        WAVEFORMATEX format = PcmFormat();
        memcpy(pcm.pbFormat, &format, 18);
        filter->JoinFilterGraph(&graph, L"WAV Dest");
    }
    ~WavChain()
    {
        StopAll();
        out->PinInterface()->Disconnect();
        filter->inputPin->PinInterface()->Disconnect();
        filter->outputPin->PinInterface()->Disconnect();
        writer->PinInterface()->Disconnect();
        filter->JoinFilterGraph(nullptr, nullptr);
        source->BaseFilterInterface()->Release();
        sink->BaseFilterInterface()->Release();
        EXPECT_EQ(0u, filter->BaseFilterInterface()->Release());
        CoUninitialize();
    }
    void Connect()
    {
        ASSERT_EQ(S_OK, out->PinInterface()->Connect(filter->inputPin->PinInterface(), &pcm));
        ASSERT_EQ(S_OK, filter->outputPin->PinInterface()->Connect(writer->PinInterface(), nullptr));
    }
    void RunAll()
    {
        ASSERT_EQ(S_OK, sink->Run(0));
        ASSERT_EQ(S_OK, filter->Run(0));
        ASSERT_EQ(S_OK, source->Run(0));
    }
    HRESULT StopAll()
    {
        source->Stop();
        HRESULT result = filter->Stop();
        sink->Stop();
        return result;
    }
    HRESULT Send(const std::vector<BYTE>& bytes)
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, out->TakeOutputBuffer(&sample, nullptr, nullptr, 0));
        if (!sample)
            return E_FAIL;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        memcpy(data, bytes.data(), bytes.size());
        sample->SetActualDataLength((LONG)bytes.size());
        HRESULT result = filter->inputPin->MemInputInterface()->Receive(sample);
        sample->Release();
        return result;
    }

    TestFilter* source;
    TestFilter* sink;
    WavDestFilter* filter;
    TestOutputPin* out;
    WriterPin* writer;
    MediaTypeObject pcm;
    FakeGraph graph;
};

// The expected file, put together byte by byte.
std::vector<BYTE> ExpectedFile(const std::vector<BYTE>& data)
{
    WAVEFORMATEX format = PcmFormat();
    std::vector<BYTE> file;
    auto tag = [&](const char* text) { file.insert(file.end(), text, text + 4); };
    auto le32 = [&](DWORD value) {
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back((BYTE)(value >> shift));
    };
    tag("RIFF");
    le32((DWORD)data.size() + 38);
    tag("WAVE");
    tag("fmt ");
    le32(18);
    const BYTE* block = reinterpret_cast<const BYTE*>(&format);
    file.insert(file.end(), block, block + 18);
    tag("data");
    le32((DWORD)data.size());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

std::vector<BYTE> Ramp(BYTE seed, int length)
{
    std::vector<BYTE> bytes;
    for (int index = 0; index < length; index++)
        bytes.push_back((BYTE)(seed + index * 3));
    return bytes;
}

} // namespace

TEST(WavDest, InputNeedsAWholeWaveFormatBlock)
{
    WAVEFORMATEX format = PcmFormat();
    EXPECT_EQ(S_OK, CheckWavInputType(WaveType(&format, sizeof(format))));
    // Major type and subtype are not looked at.
    WaveType other(&format, sizeof(format));
    other.majortype = MEDIATYPE_Video;
    other.subtype = GUID_NULL;
    EXPECT_EQ(S_OK, CheckWavInputType(&other));
    EXPECT_EQ(S_FALSE, CheckWavInputType(WaveType(&format, sizeof(format), FORMAT_VideoInfo)));
    // The 16-byte PCM block (no cbSize) is whole; anything shorter is not.
    EXPECT_EQ(S_OK, CheckWavInputType(WaveType(&format, 16)));
    EXPECT_EQ(S_OK, CheckWavInputType(WaveType(&format, sizeof(format) - 1)));
    EXPECT_EQ(S_FALSE, CheckWavInputType(WaveType(&format, 15)));
    EXPECT_EQ(S_FALSE, CheckWavInputType(WaveType(&format, 0)));
    WaveType missing(&format, sizeof(format));
    missing.pbFormat = nullptr;
    EXPECT_EQ(S_FALSE, CheckWavInputType(&missing));
    EXPECT_EQ(S_FALSE, CheckWavInputType(nullptr));
}

TEST(WavDest, OutputIsAWaveStream)
{
    MediaTypeObject type;
    EXPECT_EQ(S_OK, ProposeWavOutputType(0, &type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Stream, type.majortype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_WAVE, type.subtype));
    EXPECT_EQ(S_OK, AcceptWavOutputType(&type));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, ProposeWavOutputType(1, &type));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, ProposeWavOutputType(-1, &type));
    EXPECT_EQ(E_POINTER, ProposeWavOutputType(0, nullptr));
    EXPECT_EQ(E_POINTER, AcceptWavOutputType(nullptr));
    SetMediaSubtypeGuid(&type, &MEDIASUBTYPE_PCM);
    EXPECT_EQ(S_FALSE, AcceptWavOutputType(&type));
    SetMediaSubtypeGuid(&type, &MEDIASUBTYPE_WAVE);
    SetMediaMajorType(&type, &MEDIATYPE_Audio);
    EXPECT_EQ(S_FALSE, AcceptWavOutputType(&type));
}

TEST(WavDest, HeaderBytes)
{
    WAVEFORMATEX format = PcmFormat();
    WaveType type(&format, sizeof(format));
    BYTE header[46];
    memset(header, 0xCC, sizeof(header));
    ASSERT_EQ(S_OK, BuildWavHeader(&type, 1000, header, 46));
    static const BYTE expected[] = {
        'R', 'I', 'F', 'F', 0x0e, 0x04, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
        1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 0x01, 0, 4, 0, 16, 0, 0, 0,
        'd', 'a', 't', 'a', 0xe8, 0x03, 0, 0};
    ASSERT_EQ(sizeof(expected), sizeof(header));
    EXPECT_EQ(0, memcmp(expected, header, sizeof(header)));

    // No data: RIFF size 38 for an 18-byte format.
    ASSERT_EQ(S_OK, BuildWavHeader(&type, 0, header, 46));
    EXPECT_EQ(38u, Le32(header + 4));
    EXPECT_EQ(0u, Le32(header + 42));

    // A longer block is copied as connected, not padded.
    BYTE extended[22];
    memcpy(extended, &format, sizeof(format));
    memcpy(extended + 18, "\x01\x02\x03\x04", 4);
    WaveType longer(extended, sizeof(extended));
    BYTE header2[50];
    ASSERT_EQ(S_OK, BuildWavHeader(&longer, 7, header2, 50));
    EXPECT_EQ(22u, Le32(header2 + 16));
    EXPECT_EQ(0, memcmp(extended, header2 + 20, 22));
    EXPECT_EQ(0, memcmp("data", header2 + 42, 4));
    EXPECT_EQ(7u + 50 - 8, Le32(header2 + 4));

    // A 16-byte PCM block makes the 44-byte header of a plain PCM file.
    WaveType pcm16(&format, 16);
    BYTE header3[44];
    ASSERT_EQ(S_OK, BuildWavHeader(&pcm16, 1000, header3, 44));
    EXPECT_EQ(0, memcmp("RIFF", header3, 4));
    EXPECT_EQ(0, memcmp("WAVEfmt ", header3 + 8, 8));
    EXPECT_EQ(16u, Le32(header3 + 16));
    EXPECT_EQ(1000u + 36, Le32(header3 + 4));
    EXPECT_EQ(0, memcmp(expected + 20, header3 + 20, 16));
    EXPECT_EQ(0, memcmp("data", header3 + 36, 4));
    EXPECT_EQ(1000u, Le32(header3 + 40));

    // A header size that does not fit the block is refused.
    EXPECT_EQ(E_INVALIDARG, BuildWavHeader(&type, 0, header2, 50));
    EXPECT_EQ(E_INVALIDARG, BuildWavHeader(WaveType(&format, 10), 0, header, 38));
}

TEST(WavDest, SamplesArePlacedAfterTheHeaderInOrder)
{
    Samples pool(64);
    IMediaSample* in = pool.Take();
    IMediaSample* out = pool.Take();
    BYTE* data;
    ASSERT_EQ(S_OK, in->GetPointer(&data));
    for (int i = 0; i < 10; i++)
        data[i] = (BYTE)(i * 7 + 1);
    in->SetActualDataLength(10);
    REFERENCE_TIME start = 500, stop = 900;
    in->SetTime(&start, &stop);
    LONGLONG mediaStart = 3, mediaStop = 13;
    in->SetMediaTime(&mediaStart, &mediaStop);

    ASSERT_EQ(S_OK, CopyWavSample(in, out));
    EXPECT_EQ(10, out->GetActualDataLength());
    BYTE* copied;
    ASSERT_EQ(S_OK, out->GetPointer(&copied));
    EXPECT_EQ(0, memcmp(data, copied, 10));
    LONGLONG gotMediaStart = 0, gotMediaStop = 0;
    EXPECT_EQ(S_OK, out->GetMediaTime(&gotMediaStart, &gotMediaStop));
    EXPECT_EQ(3, gotMediaStart);
    EXPECT_EQ(13, gotMediaStop);

    DWORD dataBytes = 0;
    ASSERT_EQ(S_OK, PlaceWavSample(out, 46, &dataBytes));
    REFERENCE_TIME placedStart = 0, placedStop = 0;
    EXPECT_EQ(S_OK, out->GetTime(&placedStart, &placedStop));
    EXPECT_EQ(46, placedStart);
    EXPECT_EQ(56, placedStop);
    EXPECT_EQ(10u, dataBytes);
    ASSERT_EQ(S_OK, PlaceWavSample(out, 46, &dataBytes));
    EXPECT_EQ(S_OK, out->GetTime(&placedStart, &placedStop));
    EXPECT_EQ(56, placedStart);
    EXPECT_EQ(66, placedStop);
    EXPECT_EQ(20u, dataBytes);
    in->Release();
    out->Release();
}

TEST(WavDest, LengthsBeyondABufferAndPast4GiBAreRefused)
{
    Samples small(16), large(64);
    IMediaSample* in = large.Take();
    IMediaSample* out = small.Take();
    ASSERT_EQ(S_OK, in->SetActualDataLength(17));
    EXPECT_EQ(E_FAIL, CopyWavSample(in, out));
    EXPECT_EQ(E_POINTER, CopyWavSample(nullptr, out));
    EXPECT_EQ(E_POINTER, CopyWavSample(in, nullptr));

    ASSERT_EQ(S_OK, out->SetActualDataLength(16));
    DWORD dataBytes = 0xFFFFFFFFu - 46 - 16; // the last byte lands at 4 GiB - 1
    EXPECT_EQ(S_OK, PlaceWavSample(out, 46, &dataBytes));
    EXPECT_EQ(0xFFFFFFFFu - 46, dataBytes);
    DWORD before = dataBytes;
    EXPECT_EQ(E_FAIL, PlaceWavSample(out, 46, &dataBytes));
    EXPECT_EQ(before, dataBytes);
    in->Release();
    out->Release();
}

TEST(WavDest, PinsAndFactoryTable)
{
    WavChain chain;
    IPin* pin = nullptr;
    const WCHAR* ids[] = {L"In", L"Out"};
    for (int index = 0; index < 2; index++) {
        ASSERT_EQ(S_OK, chain.filter->FindPin(ids[index], &pin));
        EXPECT_EQ(chain.filter->PinAtIndex(index)->PinInterface(), pin);
        PIN_INFO info;
        ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
        EXPECT_STREQ(ids[index], info.achName);
        info.pFilter->Release();
        pin->Release();
    }
    EXPECT_EQ(nullptr, chain.filter->GetFilterSetupRecord());
    EXPECT_EQ(1, WavDestFactories.count);
    const FilterFactoryEntry& entry = WavDestFactories.entries[0];
    EXPECT_STREQ(L"WAV Dest", entry.name);
    EXPECT_TRUE(IsEqualGUID(CLSID_WavDestFilter, *entry.classId));
    EXPECT_EQ(0x200000u, entry.setup->merit);
    EXPECT_EQ(0, entry.setup->pinCount);
    HRESULT result = S_OK;
    FilterObject* made = entry.create(nullptr, &result);
    ASSERT_NE(nullptr, made);
    CLSID id;
    made->GetClassID(&id);
    EXPECT_TRUE(IsEqualGUID(CLSID_WavDestFilter, id));
    made->BaseFilterInterface()->AddRef();
    made->BaseFilterInterface()->Release();
    // A failure already in the result leaves the filter without pins.
    result = E_FAIL;
    WavDestFilter* bare = static_cast<WavDestFilter*>(CreateWavDestFilter(nullptr, &result));
    EXPECT_EQ(nullptr, bare->inputPin);
    EXPECT_EQ(nullptr, bare->outputPin);
    delete bare;
}

TEST(WavDest, ConnectionTypes)
{
    WavChain chain;
    MediaTypeObject video;
    MakeTestType(&video, MEDIASUBTYPE_PCM, 18, 0);
    video.formattype = FORMAT_VideoInfo;
    EXPECT_TRUE(FAILED(chain.out->PinInterface()->Connect(chain.filter->inputPin->PinInterface(), &video)));
    chain.Connect();
    AM_MEDIA_TYPE connected;
    ASSERT_EQ(S_OK, chain.writer->PinInterface()->ConnectionMediaType(&connected));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Stream, connected.majortype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_WAVE, connected.subtype));
    ReleaseMediaTypeFormat(&connected);
    // One output buffer as large as the input's.
    ALLOCATOR_PROPERTIES properties;
    ASSERT_EQ(S_OK, chain.filter->outputPin->allocator->GetProperties(&properties));
    EXPECT_EQ(1, properties.cBuffers);
    EXPECT_EQ(256, properties.cbBuffer);
}

TEST(WavDest, RunWritesAWaveFileAndARestartWritesAnother)
{
    WavChain chain;
    chain.Connect();
    chain.RunAll();
    std::vector<BYTE> first = Ramp(1, 100), second = Ramp(7, 37);
    ASSERT_EQ(S_OK, chain.Send(first));
    ASSERT_EQ(S_OK, chain.Send(second));
    ASSERT_EQ(S_OK, chain.filter->inputPin->PinInterface()->EndOfStream());
    ASSERT_EQ(S_OK, chain.StopAll());
    std::vector<BYTE> data = first;
    data.insert(data.end(), second.begin(), second.end());
    EXPECT_EQ(ExpectedFile(data), chain.writer->file.bytes);
    EXPECT_EQ(1, chain.writer->endOfStreamCalls);

    // A sample the writer refuses leaves no gap.
    chain.writer->file.bytes.clear();
    chain.RunAll();
    std::vector<BYTE> third = Ramp(50, 20), lost = Ramp(90, 5);
    ASSERT_EQ(S_OK, chain.Send(third));
    chain.writer->receiveResults = {E_FAIL};
    EXPECT_EQ(E_FAIL, chain.Send(lost));
    ASSERT_EQ(S_OK, chain.Send(second));
    ASSERT_EQ(S_OK, chain.StopAll());
    data = third;
    data.insert(data.end(), second.begin(), second.end());
    EXPECT_EQ(ExpectedFile(data), chain.writer->file.bytes);
}

TEST(WavDest, StopWithoutSamplesWritesAnEmptyFile)
{
    WavChain chain;
    chain.Connect();
    ASSERT_EQ(S_OK, chain.filter->Pause());
    ASSERT_EQ(S_OK, chain.filter->Stop());
    EXPECT_EQ(ExpectedFile({}), chain.writer->file.bytes);
    EXPECT_EQ(46u, chain.writer->file.bytes.size());
}

TEST(WavDest, HeaderFailuresKeepTheFilterRunning)
{
    WavChain chain;
    chain.Connect();
    ASSERT_EQ(S_OK, chain.filter->Pause());
    chain.writer->file.seekResult = STG_E_INVALIDFUNCTION;
    EXPECT_EQ(STG_E_INVALIDFUNCTION, chain.filter->Stop());
    EXPECT_EQ(State_Paused, chain.filter->state);
    EXPECT_EQ(0, chain.writer->file.writes);
    chain.writer->offerStream = false;
    EXPECT_EQ(E_NOINTERFACE, chain.filter->Stop());
    EXPECT_EQ(State_Paused, chain.filter->state);
    chain.writer->offerStream = true;
    chain.writer->file.seekResult = S_OK;
    EXPECT_EQ(S_OK, chain.filter->Stop());
    EXPECT_EQ(ExpectedFile({}), chain.writer->file.bytes);
}
