#include "dshow/dshow_allocator.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <uuids.h>

#include "dshow/dshow_lock.h"
#include "dshow/dshow_media_type.h"

namespace {

// Bytes of AM_SAMPLE2_PROPERTIES up to and including a field: the coverage
// that a caller's cbData must reach for that field to count.
#define PROPERTIES_END(field) (offsetof(AM_SAMPLE2_PROPERTIES, field) + sizeof(AM_SAMPLE2_PROPERTIES::field))

const DWORD kSettableSampleFlags = 0x1DF;

} // namespace

// ---------------------------------------------------------------------------
// Media samples

MediaSampleObject::MediaSampleObject(const char*, SampleAllocator* allocator, HRESULT*, BYTE* buffer, LONG length)
    : flags(0), typeSpecificFlags(0), buffer(buffer), actualLength(length), size(length), allocator(allocator),
      nextFree(nullptr), startTime(0), stopTime(0), mediaStart(0), mediaStopDelta(0), mediaType(nullptr),
      streamId(0), referenceCount(0)
{
}

MediaSampleObject::~MediaSampleObject()
{
    DestroyMediaTypeRecord(mediaType);
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IMediaSample) || IsEqualGUID(iid, IID_IMediaSample2) || IsEqualGUID(iid, IID_IUnknown))
        return HandOutInterface(static_cast<IMediaSample2*>(this), out);
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaSampleObject::AddRef()
{
    return InterlockedIncrement(&referenceCount);
}

ULONG STDMETHODCALLTYPE MediaSampleObject::Release()
{
    if (referenceCount == 1) {
        referenceCount = 0;
    } else {
        LONG count = InterlockedDecrement(&referenceCount);
        if (count != 0)
            return count;
    }
    // Back to the allocator: a recycled sample starts with no flags set.
    if (flags & AM_SAMPLE_TYPECHANGED)
        SetMediaType(nullptr);
    flags = 0;
    typeSpecificFlags = 0;
    streamId = 0;
    allocator->ReleaseBuffer(this);
    return 0;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::GetPointer(BYTE** out)
{
    if (!out)
        return E_POINTER;
    *out = buffer;
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSampleObject::GetSize()
{
    return size;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (flags & AM_SAMPLE_STOPVALID) {
        if (!start || !stop)
            return E_POINTER;
        *start = startTime;
        *stop = stopTime;
        return S_OK;
    }
    if (flags & AM_SAMPLE_TIMEVALID) {
        if (!start || !stop)
            return E_POINTER;
        *start = startTime;
        *stop = startTime + 1;
        return VFW_S_NO_STOP_TIME;
    }
    return VFW_E_SAMPLE_TIME_NOT_SET;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (!start) {
        flags &= ~(DWORD)(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
    } else if (stop) {
        startTime = *start;
        stopTime = *stop;
        flags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    } else {
        startTime = *start;
        flags |= AM_SAMPLE_TIMEVALID;
        flags &= ~(DWORD)AM_SAMPLE_STOPVALID;
    }
    return S_OK;
}

static HRESULT FlagAnswer(DWORD flags, DWORD flag)
{
    return (flags & flag) ? S_OK : S_FALSE;
}

static void SetFlag(DWORD* flags, DWORD flag, WINBOOL value)
{
    if (value)
        *flags |= flag;
    else
        *flags &= ~flag;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::IsSyncPoint()
{
    return FlagAnswer(flags, AM_SAMPLE_SPLICEPOINT);
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetSyncPoint(WINBOOL value)
{
    SetFlag(&flags, AM_SAMPLE_SPLICEPOINT, value);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::IsPreroll()
{
    return FlagAnswer(flags, AM_SAMPLE_PREROLL);
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetPreroll(WINBOOL value)
{
    SetFlag(&flags, AM_SAMPLE_PREROLL, value);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::IsDiscontinuity()
{
    return FlagAnswer(flags, AM_SAMPLE_DATADISCONTINUITY);
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetDiscontinuity(WINBOOL value)
{
    SetFlag(&flags, AM_SAMPLE_DATADISCONTINUITY, value);
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSampleObject::GetActualDataLength()
{
    return actualLength;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetActualDataLength(LONG length)
{
    if (length > size)
        return VFW_E_BUFFER_OVERFLOW;
    // A negative length would read as a huge count downstream.
    if (length < 0)
        return E_INVALIDARG;
    actualLength = length;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::GetMediaType(AM_MEDIA_TYPE** out)
{
    if (!out)
        return E_POINTER;
    if (!(flags & AM_SAMPLE_TYPECHANGED) || !mediaType) {
        *out = nullptr;
        return S_FALSE;
    }
    *out = DuplicateMediaTypeRecord(mediaType);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetMediaType(AM_MEDIA_TYPE* type)
{
    DestroyMediaTypeRecord(mediaType);
    mediaType = nullptr;
    if (!type) {
        flags &= ~(DWORD)AM_SAMPLE_TYPECHANGED;
        return S_OK;
    }
    mediaType = DuplicateMediaTypeRecord(type);
    if (!mediaType) {
        flags &= ~(DWORD)AM_SAMPLE_TYPECHANGED;
        return E_OUTOFMEMORY;
    }
    flags |= AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::GetMediaTime(LONGLONG* start, LONGLONG* stop)
{
    if (!(flags & SAMPLE_FLAG_MEDIA_TIMES_VALID))
        return VFW_E_MEDIA_TIME_NOT_SET;
    if (!start || !stop)
        return E_POINTER;
    *start = mediaStart;
    *stop = mediaStart + mediaStopDelta;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetMediaTime(LONGLONG* start, LONGLONG* stop)
{
    if (!start) {
        flags &= ~(DWORD)SAMPLE_FLAG_MEDIA_TIMES_VALID;
        return S_OK;
    }
    if (!stop)
        return E_POINTER;
    mediaStart = *start;
    mediaStopDelta = (LONG)(uint32_t)(uint64_t)(*stop - *start);
    flags |= SAMPLE_FLAG_MEDIA_TIMES_VALID;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::GetProperties(DWORD bytes, BYTE* out)
{
    if (bytes == 0)
        return S_OK;
    if (!out)
        return E_POINTER;
    AM_SAMPLE2_PROPERTIES properties;
    memset(&properties, 0, sizeof(properties));
    DWORD covered = bytes < sizeof(properties) ? bytes : (DWORD)sizeof(properties);
    properties.cbData = covered;
    properties.dwTypeSpecificFlags = typeSpecificFlags;
    properties.dwSampleFlags = flags & ~(DWORD)SAMPLE_FLAG_MEDIA_TIMES_VALID;
    properties.lActual = actualLength;
    properties.tStart = startTime;
    properties.tStop = stopTime;
    properties.dwStreamId = streamId;
    // The sample's own record, not a copy: the caller does not free it.
    properties.pMediaType = (flags & AM_SAMPLE_TYPECHANGED) ? mediaType : nullptr;
    properties.pbBuffer = buffer;
    properties.cbBuffer = size;
    memcpy(out, &properties, covered);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSampleObject::SetProperties(DWORD bytes, const BYTE* given)
{
    if (bytes < 4)
        return S_OK;
    if (!given)
        return E_POINTER;
    AM_SAMPLE2_PROPERTIES properties;
    memset(&properties, 0, sizeof(properties));
    memcpy(&properties.cbData, given, sizeof(properties.cbData));
    if (properties.cbData > sizeof(properties))
        return E_INVALIDARG;
    size_t n = properties.cbData < bytes ? properties.cbData : bytes;
    memcpy(&properties, given, n);

    if (n >= PROPERTIES_END(dwSampleFlags)) {
        if (properties.dwSampleFlags & ~kSettableSampleFlags)
            return E_INVALIDARG;
        if ((properties.dwSampleFlags & AM_SAMPLE_TIMEVALID) && !(flags & AM_SAMPLE_TIMEVALID) &&
            n < PROPERTIES_END(tStop))
            return E_INVALIDARG;
    }
    if (n >= PROPERTIES_END(pbBuffer) && properties.pbBuffer && properties.pbBuffer != buffer)
        return E_INVALIDARG;
    if (n == sizeof(properties)) {
        if (properties.cbBuffer && properties.cbBuffer != size)
            return E_INVALIDARG;
        if (properties.cbBuffer < properties.lActual)
            return E_INVALIDARG;
    }
    // A data length beyond the buffer (or below zero) would send readers past
    // it, whatever the coverage of the record.
    if (n >= PROPERTIES_END(lActual) && (properties.lActual < 0 || properties.lActual > size))
        return E_INVALIDARG;
    bool takeType = n >= PROPERTIES_END(pMediaType) && (properties.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
    AM_MEDIA_TYPE* copy = nullptr;
    if (takeType) {
        if (!properties.pMediaType)
            return E_POINTER;
        copy = DuplicateMediaTypeRecord(properties.pMediaType);
        if (!copy)
            return E_OUTOFMEMORY;
    }

    if (n >= PROPERTIES_END(dwStreamId))
        streamId = properties.dwStreamId;
    if (n >= PROPERTIES_END(dwSampleFlags)) {
        flags = (flags & SAMPLE_FLAG_MEDIA_TIMES_VALID) | properties.dwSampleFlags;
        typeSpecificFlags = properties.dwTypeSpecificFlags;
    } else if (n >= PROPERTIES_END(dwTypeSpecificFlags)) {
        typeSpecificFlags = properties.dwTypeSpecificFlags;
    }
    if (n >= PROPERTIES_END(lActual))
        actualLength = properties.lActual;
    if (n >= PROPERTIES_END(tStop))
        stopTime = properties.tStop;
    if (n >= PROPERTIES_END(tStart))
        startTime = properties.tStart;
    if (takeType) {
        DestroyMediaTypeRecord(mediaType);
        mediaType = copy;
    }
    if (mediaType)
        flags |= AM_SAMPLE_TYPECHANGED;
    else
        flags &= ~(DWORD)AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

// ---------------------------------------------------------------------------
// The allocator

SampleAllocator::SampleAllocator(const char* objectName, IUnknown* outer, HRESULT* result, BOOL createSemaphore,
                                 BOOL callbackEnabled)
    : MediaObject(objectName, outer), firstFree(nullptr), freeCount(0), semaphore(nullptr), waiterCount(0),
      bufferCount(0), bufferSize(0), alignment(0), prefix(0), allocatedCount(0), changed(FALSE), committed(FALSE),
      decommitPending(FALSE), notifyCallback(nullptr), callbackEnabled(callbackEnabled)
{
    InitializeCriticalSection(&lock);
    if (createSemaphore) {
        semaphore = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
        if (!semaphore && result)
            *result = E_OUTOFMEMORY;
    }
}

SampleAllocator::~SampleAllocator()
{
    if (semaphore)
        CloseHandle(semaphore);
    if (notifyCallback)
        notifyCallback->Release();
    DeleteCriticalSection(&lock);
}

HRESULT STDMETHODCALLTYPE SampleAllocator::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IMemAllocator) || (callbackEnabled && IsEqualGUID(iid, IID_IMemAllocatorCallbackTemp)))
        return HandOutInterface(AllocatorInterface(), out);
    return MediaObject::InnerQueryInterface(iid, out);
}

MediaSampleObject* SampleAllocator::PopFreeSample()
{
    MediaSampleObject* sample = firstFree;
    if (sample) {
        firstFree = sample->nextFree;
        sample->nextFree = nullptr;
        freeCount--;
    }
    return sample;
}

void SampleAllocator::PushFreeSample(MediaSampleObject* sample)
{
    sample->nextFree = firstFree;
    firstFree = sample;
    freeCount++;
}

void SampleAllocator::WakeBufferWaiters()
{
    if (waiterCount > 0 && semaphore)
        ReleaseSemaphore(semaphore, waiterCount, nullptr);
    waiterCount = 0;
}

HRESULT SampleAllocator::CheckAllocatorSizes()
{
    if (bufferCount < 1 || bufferSize < 1 || alignment < 1)
        return VFW_E_SIZENOTSET;
    return changed ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual)
{
    if (!actual || !request)
        return E_POINTER;
    CriticalSectionHold hold(&lock);
    memset(actual, 0, sizeof(*actual));
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    if (request->cbAlign == 0 || ((request->cbAlign - 1) & (LONG)system.dwAllocationGranularity) != 0)
        return VFW_E_BADALIGN;
    if (committed)
        return VFW_E_ALREADY_COMMITTED;
    if (freeCount < allocatedCount)
        return VFW_E_BUFFERS_OUTSTANDING;
    // Sizes that no buffer can have: a negative alignment or prefix (the
    // buffer would start before its slot) or a slot beyond 32 bits.
    if (request->cbAlign < 0 || request->cbPrefix < 0)
        return E_INVALIDARG;
    int64_t slot = (int64_t)request->cbBuffer + request->cbPrefix;
    int64_t rounded = slot >= 0 ? (slot + request->cbAlign - 1) / request->cbAlign * request->cbAlign : slot;
    if (rounded > 0x7FFFFFFF)
        return E_INVALIDARG;
    bufferSize = (LONG)(rounded - request->cbPrefix);
    bufferCount = request->cBuffers;
    alignment = request->cbAlign;
    prefix = request->cbPrefix;
    changed = TRUE;
    actual->cBuffers = bufferCount;
    actual->cbBuffer = bufferSize;
    actual->cbAlign = alignment;
    actual->cbPrefix = prefix;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::GetProperties(ALLOCATOR_PROPERTIES* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&lock);
    out->cBuffers = bufferCount;
    out->cbBuffer = bufferSize;
    out->cbAlign = alignment;
    out->cbPrefix = prefix;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::Commit()
{
    CriticalSectionHold hold(&lock);
    if (committed)
        return S_OK;
    committed = TRUE;
    if (decommitPending) {
        // The samples still out stay in use, and the self-reference is still held.
        decommitPending = FALSE;
        return S_OK;
    }
    HRESULT result = AllocAllocatorBuffers();
    if (FAILED(result)) {
        committed = FALSE;
        return result;
    }
    // Held until the decommit completes, so the allocator outlives its pins
    // while samples are out.
    AllocatorInterface()->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::Decommit()
{
    bool completed = false;
    {
        CriticalSectionHold hold(&lock);
        if (!committed && !decommitPending)
            return S_OK;
        committed = FALSE;
        if (freeCount >= allocatedCount) {
            decommitPending = FALSE;
            FreeAllocatorBuffers();
            completed = true;
        } else {
            decommitPending = TRUE;
        }
        WakeBufferWaiters();
    }
    if (completed)
        AllocatorInterface()->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::GetBuffer(IMediaSample** out, REFERENCE_TIME*, REFERENCE_TIME*,
                                                     DWORD flags)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (;;) {
        MediaSampleObject* sample;
        {
            CriticalSectionHold hold(&lock);
            if (!committed)
                return VFW_E_NOT_COMMITTED;
            sample = PopFreeSample();
            if (!sample)
                waiterCount++;
        }
        if (sample) {
            sample->referenceCount = 1;
            *out = sample;
            return S_OK;
        }
        // Without a semaphore there is nothing to wait on.
        if ((flags & AM_GBF_NOWAIT) || !semaphore)
            return VFW_E_TIMEOUT;
        WaitForSingleObject(semaphore, INFINITE);
    }
}

HRESULT STDMETHODCALLTYPE SampleAllocator::ReleaseBuffer(IMediaSample* given)
{
    if (!given)
        return E_POINTER;
    MediaSampleObject* sample = static_cast<MediaSampleObject*>(static_cast<IMediaSample2*>(given));
    bool completed = false;
    IMemAllocatorNotifyCallbackTemp* callback;
    {
        CriticalSectionHold hold(&lock);
        PushFreeSample(sample);
        if (waiterCount > 0)
            WakeBufferWaiters();
        if (decommitPending && freeCount >= allocatedCount) {
            FreeAllocatorBuffers();
            decommitPending = FALSE;
            completed = true;
        }
        // Called outside the lock (it may call back in); its own reference
        // keeps it alive if SetNotify replaces it meanwhile.
        callback = notifyCallback;
        if (callback)
            callback->AddRef();
    }
    if (callback) {
        callback->NotifyRelease();
        callback->Release();
    }
    if (completed)
        AllocatorInterface()->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp* callback)
{
    CriticalSectionHold hold(&lock);
    if (callback)
        callback->AddRef();
    if (notifyCallback)
        notifyCallback->Release();
    notifyCallback = callback;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleAllocator::GetFreeCount(LONG* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&lock);
    // Buffers not yet made count as free.
    *out = bufferCount - allocatedCount + freeCount;
    return S_OK;
}

// ---------------------------------------------------------------------------
// All buffers in one block of virtual memory

MemorySampleAllocator::MemorySampleAllocator(const char* objectName, IUnknown* outer, HRESULT* result)
    : SampleAllocator(objectName, outer, result, TRUE, TRUE), bufferBlock(nullptr)
{
}

MemorySampleAllocator::~MemorySampleAllocator()
{
    Decommit();
    ReleaseBufferBlock();
}

MemorySampleAllocator* ConstructBufferAllocator(const char* objectName, IUnknown* outer, HRESULT* result)
{
    return new MemorySampleAllocator(objectName, outer, result);
}

void MemorySampleAllocator::FreeAllocatorBuffers()
{
    // The buffers stay for the next Commit.
}

void MemorySampleAllocator::ReleaseBufferBlock()
{
    while (MediaSampleObject* sample = PopFreeSample())
        delete sample;
    allocatedCount = 0;
    if (bufferBlock) {
        VirtualFree(bufferBlock, 0, MEM_RELEASE);
        bufferBlock = nullptr;
    }
}

HRESULT MemorySampleAllocator::AllocAllocatorBuffers()
{
    CriticalSectionHold hold(&lock);
    HRESULT result = CheckAllocatorSizes();
    if (FAILED(result))
        return result;
    if (result == S_FALSE)
        return S_OK;
    if (bufferBlock)
        ReleaseBufferBlock();
    uint64_t total = SampleSlotSize() * (uint64_t)bufferCount;
    if (total > SIZE_MAX)
        return E_OUTOFMEMORY;
    bufferBlock = static_cast<BYTE*>(VirtualAlloc(nullptr, (SIZE_T)total, MEM_COMMIT, PAGE_READWRITE));
    if (!bufferBlock)
        return E_OUTOFMEMORY;
    return CarveSampleSlots("Default memory media sample");
}

uint64_t MemorySampleAllocator::SampleSlotSize() const
{
    uint64_t slot = (uint64_t)bufferSize + (uint64_t)prefix;
    if (alignment > 1)
        slot = (slot + alignment - 1) / alignment * alignment;
    return slot;
}

HRESULT MemorySampleAllocator::CarveSampleSlots(const char* sampleName)
{
    uint64_t slot = SampleSlotSize();
    BYTE* next = bufferBlock;
    while (allocatedCount < bufferCount) {
        MediaSampleObject* sample = new MediaSampleObject(sampleName, this, nullptr, next + prefix, bufferSize);
        if (!sample)
            return E_OUTOFMEMORY;
        PushFreeSample(sample);
        allocatedCount++;
        next += slot;
    }
    changed = FALSE;
    return S_OK;
}
