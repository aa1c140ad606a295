// The memory allocator's commit and decommit rules, waiting for buffers, and
// the media sample's properties.
#include <gtest/gtest.h>

#include <windows.h>
#include <uuids.h>

#include <stddef.h>
#include <string.h>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_media_type.h"

namespace {

struct AllocatorFixture {
    AllocatorFixture()
    {
        HRESULT result = S_OK;
        object = ConstructBufferAllocator("Test allocator", nullptr, &result);
        EXPECT_EQ(S_OK, result);
        allocator = object->AllocatorInterface();
        allocator->AddRef();
    }
    ~AllocatorFixture() { allocator->Release(); }
    HRESULT Size(LONG count, LONG size, LONG align = 1, LONG prefix = 0)
    {
        ALLOCATOR_PROPERTIES request = {count, size, align, prefix};
        return allocator->SetProperties(&request, &actual);
    }
    MediaSampleObject* Take(DWORD flags = 0)
    {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, flags));
        return static_cast<MediaSampleObject*>(static_cast<IMediaSample2*>(sample));
    }
    MemorySampleAllocator* object;
    IMemAllocator* allocator;
    ALLOCATOR_PROPERTIES actual;
};

struct NotifyCounter : public IMemAllocatorNotifyCallbackTemp {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    HRESULT STDMETHODCALLTYPE NotifyRelease() override
    {
        notified++;
        return S_OK;
    }
    LONG count = 1;
    int notified = 0;
};

struct Waiter {
    IMemAllocator* allocator;
    IMediaSample* sample;
    HRESULT result;
};

DWORD WINAPI WaitForBuffer(void* context)
{
    Waiter* waiter = static_cast<Waiter*>(context);
    waiter->result = waiter->allocator->GetBuffer(&waiter->sample, nullptr, nullptr, 0);
    return 0;
}

// Starts a GetBuffer on another thread and returns once it waits.
HANDLE StartWaiter(AllocatorFixture& f, Waiter* waiter)
{
    waiter->allocator = f.allocator;
    waiter->sample = nullptr;
    waiter->result = E_UNEXPECTED;
    LONG before = f.object->waiterCount;
    HANDLE thread = CreateThread(nullptr, 0, WaitForBuffer, waiter, 0, nullptr);
    while (f.object->waiterCount == before)
        Sleep(1);
    return thread;
}

} // namespace

TEST(DShowAllocator, SetPropertiesRules)
{
    struct Case {
        LONG count, size, align, prefix;
        HRESULT result;
        LONG storedSize;
    };
    const Case cases[] = {
        {4, 100, 0, 0, VFW_E_BADALIGN, 0},
        {4, 100, 16, 4, S_OK, 108},
        {4, 100, 1, 0, S_OK, 100},
        {4, 100, 0x10001, 0, VFW_E_BADALIGN, 0}, // alignment - 1 meets the allocation granularity
        {4, 100, 1, -8, E_INVALIDARG, 0},        // a buffer would start before its slot
        {4, 0x7FFFFFF0, 16, 0x100, E_INVALIDARG, 0},
    };
    for (const Case& c : cases) {
        AllocatorFixture f;
        EXPECT_EQ(c.result, f.Size(c.count, c.size, c.align, c.prefix)) << c.size << "/" << c.align;
        if (c.result == S_OK) {
            EXPECT_EQ(c.storedSize, f.actual.cbBuffer);
            EXPECT_EQ(c.count, f.actual.cBuffers);
            ALLOCATOR_PROPERTIES got;
            f.allocator->GetProperties(&got);
            EXPECT_EQ(0, memcmp(&got, &f.actual, sizeof(got)));
        } else {
            EXPECT_EQ(0, f.actual.cbBuffer) << "the actual record is zeroed";
        }
    }

    AllocatorFixture f;
    EXPECT_EQ(VFW_E_SIZENOTSET, f.allocator->Commit());
    EXPECT_FALSE(f.object->committed);
    ASSERT_EQ(S_OK, f.Size(4, 64));
    LONG free = 0;
    EXPECT_EQ(S_OK, f.object->GetFreeCount(&free));
    EXPECT_EQ(4, free) << "buffers not yet made count as free";
    ASSERT_EQ(S_OK, f.allocator->Commit());
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, f.Size(4, 64));
    MediaSampleObject* sample = f.Take();
    f.allocator->Decommit();
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, f.Size(4, 64));
    sample->Release();
    EXPECT_EQ(S_OK, f.Size(4, 64));
}

TEST(DShowAllocator, BuffersLieInAlignedSlotsAndSurviveDecommit)
{
    AllocatorFixture f;
    ASSERT_EQ(S_OK, f.Size(3, 100, 16, 4));
    ASSERT_EQ(S_OK, f.allocator->Commit());
    MediaSampleObject* samples[3];
    for (MediaSampleObject*& sample : samples)
        sample = f.Take();
    BYTE* block = f.object->bufferBlock;
    for (MediaSampleObject* sample : samples) {
        ptrdiff_t offset = sample->buffer - block;
        EXPECT_EQ(4, offset % 112) << "prefix bytes into a 112-byte slot";
        EXPECT_EQ(108, sample->GetSize());
        memset(sample->buffer - 4, 0xAB, 112); // the prefix and the whole buffer are writable
    }
    for (MediaSampleObject* sample : samples)
        sample->Release();

    // Commit, Decommit, Commit with the same properties keeps samples and block.
    ASSERT_EQ(S_OK, f.allocator->Decommit());
    ASSERT_EQ(S_OK, f.allocator->Commit());
    EXPECT_EQ(block, f.object->bufferBlock);
    MediaSampleObject* again = f.Take();
    EXPECT_EQ(samples[2], again) << "the last sample back is the first out";
    again->Release();
    f.allocator->Decommit();

    // New properties replace the buffers on the next Commit.
    ASSERT_EQ(S_OK, f.Size(2, 5000));
    ASSERT_EQ(S_OK, f.allocator->Commit());
    EXPECT_EQ(2, f.object->allocatedCount);
    MediaSampleObject* big = f.Take();
    EXPECT_EQ(5000, big->GetSize());
    big->Release();
    f.allocator->Decommit();

    // A block too large for memory fails the Commit and leaves it uncommitted.
    ASSERT_EQ(S_OK, f.Size(0x7FFFFFFF, 0x7FFFFF00));
    EXPECT_EQ(E_OUTOFMEMORY, f.allocator->Commit());
    EXPECT_FALSE(f.object->committed);
}

TEST(DShowAllocator, GetBufferWaitsForReleaseAndDecommit)
{
    AllocatorFixture f;
    ASSERT_EQ(S_OK, f.Size(1, 32));
    IMediaSample* none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, f.allocator->GetBuffer(&none, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, f.allocator->Commit());
    MediaSampleObject* only = f.Take();
    EXPECT_EQ(VFW_E_TIMEOUT, f.allocator->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(nullptr, none);

    Waiter waiter;
    HANDLE thread = StartWaiter(f, &waiter);
    only->Release();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(S_OK, waiter.result);
    EXPECT_EQ(only, static_cast<MediaSampleObject*>(static_cast<IMediaSample2*>(waiter.sample)));

    // A waiter woken by Decommit finds the allocator uncommitted.
    thread = StartWaiter(f, &waiter);
    EXPECT_EQ(S_OK, f.allocator->Decommit());
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, waiter.result);
    EXPECT_EQ(nullptr, waiter.sample);
    only->Release();
}

TEST(DShowAllocator, DecommitWaitsForTheLastSampleAndDropsTheSelfReference)
{
    AllocatorFixture f;
    NotifyCounter notify;
    IMemAllocatorCallbackTemp* callback = nullptr;
    ASSERT_EQ(S_OK, f.allocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&callback)));
    callback->SetNotify(&notify);
    EXPECT_EQ(2, notify.count);
    callback->Release();

    ASSERT_EQ(S_OK, f.Size(2, 32));
    LONG count = f.object->referenceCount;
    ASSERT_EQ(S_OK, f.allocator->Commit());
    EXPECT_EQ(count + 1, f.object->referenceCount) << "committed, it holds itself";
    MediaSampleObject* first = f.Take();
    MediaSampleObject* second = f.Take();
    ASSERT_EQ(S_OK, f.allocator->Decommit());
    EXPECT_TRUE(f.object->decommitPending);
    first->Release();
    EXPECT_TRUE(f.object->decommitPending);
    EXPECT_EQ(count + 1, f.object->referenceCount);
    second->Release();
    EXPECT_FALSE(f.object->decommitPending);
    EXPECT_EQ(count, f.object->referenceCount);
    EXPECT_EQ(2, notify.notified);

    // A Commit while a decommit is pending just commits again.
    ASSERT_EQ(S_OK, f.allocator->Commit());
    first = f.Take();
    f.allocator->Decommit();
    ASSERT_EQ(S_OK, f.allocator->Commit());
    EXPECT_FALSE(f.object->decommitPending);
    EXPECT_EQ(count + 1, f.object->referenceCount);
    first->Release();
    EXPECT_TRUE(f.object->committed);
    f.allocator->Decommit();
    EXPECT_EQ(count, f.object->referenceCount);
    f.allocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&callback));
    callback->SetNotify(nullptr);
    callback->Release();
    EXPECT_EQ(1, notify.count);
}

TEST(DShowSample, TimesLengthsFlagsAndTypes)
{
    AllocatorFixture f;
    ASSERT_EQ(S_OK, f.Size(1, 64));
    ASSERT_EQ(S_OK, f.allocator->Commit());
    MediaSampleObject* sample = f.Take();

    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    REFERENCE_TIME given = 500;
    sample->SetTime(&given, nullptr);
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
    EXPECT_EQ(500, start);
    EXPECT_EQ(501, stop);
    REFERENCE_TIME givenStop = 900;
    sample->SetTime(&given, &givenStop);
    EXPECT_EQ(S_OK, sample->GetTime(&start, &stop));
    EXPECT_EQ(900, stop);
    sample->SetTime(nullptr, nullptr);
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));

    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(65));
    EXPECT_EQ(E_INVALIDARG, sample->SetActualDataLength(-1));
    EXPECT_EQ(S_OK, sample->SetActualDataLength(64));

    LONGLONG mediaStart = 0x100000000LL, mediaStop = 0x100000010LL;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&start, &stop));
    sample->SetMediaTime(&mediaStart, &mediaStop);
    EXPECT_EQ(S_OK, sample->GetMediaTime(&start, &stop));
    EXPECT_EQ(mediaStart, start);
    EXPECT_EQ(mediaStop, stop);

    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(TRUE);
    sample->SetDiscontinuity(TRUE);
    EXPECT_EQ(S_OK, sample->IsSyncPoint());
    EXPECT_EQ(S_OK, sample->IsPreroll());
    EXPECT_EQ(S_OK, sample->IsDiscontinuity());
    sample->SetPreroll(FALSE);
    EXPECT_EQ(S_FALSE, sample->IsPreroll());

    AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&type));
    EXPECT_EQ(nullptr, type);
    MediaTypeObject pcm;
    pcm.majortype = MEDIATYPE_Audio;
    pcm.subtype = MEDIASUBTYPE_PCM;
    EXPECT_EQ(S_OK, sample->SetMediaType(&pcm));
    ASSERT_EQ(S_OK, sample->GetMediaType(&type));
    EXPECT_TRUE(MediaTypeRecordsEqual(&pcm, type));
    EXPECT_NE(sample->mediaType, type) << "the caller gets a copy";
    DestroyMediaTypeRecord(type);

    // Back in the allocator the sample loses its flags and type.
    sample->Release();
    sample = f.Take();
    EXPECT_EQ(0u, sample->flags);
    EXPECT_EQ(nullptr, sample->mediaType);
    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    EXPECT_EQ(64, sample->GetActualDataLength()) << "lengths are not reset";

    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, sample->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(1u, unknown->Release());
    IMemAllocator* wrong = nullptr;
    EXPECT_EQ(E_NOINTERFACE, sample->QueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&wrong)));
    sample->Release();
    f.allocator->Decommit();
}

TEST(DShowSample, PropertiesByCoverage)
{
    AllocatorFixture f;
    ASSERT_EQ(S_OK, f.Size(1, 64));
    ASSERT_EQ(S_OK, f.allocator->Commit());
    MediaSampleObject* sample = f.Take();
    REFERENCE_TIME start = 7, stop = 70;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->typeSpecificFlags = 0x55;

    // GetProperties(12) writes cbData and the two flag words only.
    BYTE out[sizeof(AM_SAMPLE2_PROPERTIES)];
    memset(out, 0xEE, sizeof(out));
    ASSERT_EQ(S_OK, sample->GetProperties(12, out));
    AM_SAMPLE2_PROPERTIES got;
    memcpy(&got, out, sizeof(got));
    EXPECT_EQ(12u, got.cbData);
    EXPECT_EQ(0x55u, got.dwTypeSpecificFlags);
    EXPECT_EQ((DWORD)(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID), got.dwSampleFlags);
    EXPECT_EQ(0xEE, out[12]);
    EXPECT_EQ(S_OK, sample->GetProperties(0, nullptr));
    EXPECT_EQ(E_POINTER, sample->GetProperties(4, nullptr));
    ASSERT_EQ(S_OK, sample->GetProperties(sizeof(got), reinterpret_cast<BYTE*>(&got)));
    EXPECT_EQ(sample->buffer, got.pbBuffer);
    EXPECT_EQ(64, got.cbBuffer);
    EXPECT_EQ(70, got.tStop);

    AM_SAMPLE2_PROPERTIES full = got;
    struct Case {
        const char* what;
        DWORD cbData, size;
        DWORD flags;
        LONG actual;
        HRESULT result;
    };
    const DWORD all = sizeof(AM_SAMPLE2_PROPERTIES);
    const Case cases[] = {
        {"media-times bit", all, all, 0x20, 10, E_INVALIDARG},
        {"high bit", all, all, 0x200, 10, E_INVALIDARG},
        {"cbData too large", all + 4, all + 4, 0, 10, E_INVALIDARG},
        {"length beyond the buffer", all, all, 0, 65, E_INVALIDARG},
        {"length beyond the buffer, short record", 20, 20, 0, 65, E_INVALIDARG},
        {"start valid without the times", 16, 16, 0x10, 10, S_OK}, // the sample already has it
        {"fine", all, all, AM_SAMPLE_PREROLL, 10, S_OK},
    };
    for (const Case& c : cases) {
        AM_SAMPLE2_PROPERTIES given = full;
        given.cbData = c.cbData;
        given.dwSampleFlags = c.flags;
        given.lActual = c.actual;
        BYTE bytes[sizeof(given) + 4] = {};
        memcpy(bytes, &given, sizeof(given));
        EXPECT_EQ(c.result, sample->SetProperties(c.size, bytes)) << c.what;
    }
    EXPECT_EQ((DWORD)AM_SAMPLE_PREROLL, sample->flags);
    EXPECT_EQ(10, sample->actualLength);

    // Setting the start-valid bit needs the times in the record.
    sample->SetTime(nullptr, nullptr);
    AM_SAMPLE2_PROPERTIES given = full;
    given.cbData = 16;
    given.dwSampleFlags = AM_SAMPLE_TIMEVALID;
    EXPECT_EQ(E_INVALIDARG, sample->SetProperties(16, reinterpret_cast<BYTE*>(&given)));
    // A record that covers only the type-specific flags sets only them.
    given.cbData = 8;
    given.dwTypeSpecificFlags = 0x99;
    EXPECT_EQ(S_OK, sample->SetProperties(8, reinterpret_cast<BYTE*>(&given)));
    EXPECT_EQ(0x99u, sample->typeSpecificFlags);
    EXPECT_EQ((DWORD)AM_SAMPLE_PREROLL, sample->flags);
    EXPECT_EQ(S_OK, sample->SetProperties(3, nullptr));

    // A foreign buffer or size is refused; a type travels as a copy.
    given = full;
    given.pbBuffer = out;
    EXPECT_EQ(E_INVALIDARG, sample->SetProperties(all, reinterpret_cast<BYTE*>(&given)));
    given = full;
    given.cbBuffer = 32;
    given.lActual = 10;
    EXPECT_EQ(E_INVALIDARG, sample->SetProperties(all, reinterpret_cast<BYTE*>(&given)));
    given = full;
    given.lActual = 10;
    given.dwSampleFlags = AM_SAMPLE_TYPECHANGED;
    given.pMediaType = nullptr;
    EXPECT_EQ(E_POINTER, sample->SetProperties(all, reinterpret_cast<BYTE*>(&given)));
    MediaTypeObject pcm;
    pcm.majortype = MEDIATYPE_Audio;
    given.pMediaType = &pcm;
    EXPECT_EQ(S_OK, sample->SetProperties(all, reinterpret_cast<BYTE*>(&given)));
    ASSERT_NE(nullptr, sample->mediaType);
    EXPECT_NE(&pcm, static_cast<MediaTypeObject*>(sample->mediaType));
    EXPECT_TRUE(MediaTypeRecordsEqual(&pcm, sample->mediaType));
    EXPECT_EQ(sample->actualLength, 10);
    sample->Release();
    f.allocator->Decommit();
}
