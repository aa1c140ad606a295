// The sample grabber: its accepted-type rule and the allocator that places the
// one sample in the caller's delivery buffer.
#include <gtest/gtest.h>

#include <windows.h>
#include <uuids.h>

#include <string.h>

#include "movie/dshow_media_type.h"
#include "movie/dshow_sample_grabber.h"

namespace {

void SetType(AM_MEDIA_TYPE* type, const GUID& major, const GUID& sub, const GUID& format)
{
    ResetMediaTypeRecord(type);
    type->majortype = major;
    type->subtype = sub;
    type->formattype = format;
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
