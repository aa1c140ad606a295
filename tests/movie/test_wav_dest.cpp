// WAV Dest: the input and output type rules, the RIFF WAVE header bytes, the
// copy of each sample and its placement by byte offset in the file.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>
#include <uuids.h>

#include <string.h>

#include <vector>

#include "movie/dshow_allocator.h"
#include "movie/dshow_media_type.h"
#include "movie/dshow_wav_dest.h"

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
    EXPECT_EQ(S_FALSE, CheckWavInputType(WaveType(&format, sizeof(format) - 1)));
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
