// SampleAllocator: IMemAllocator (with IMemAllocatorCallbackTemp) handing out
// a fixed set of equal buffers as media samples, with the commit and decommit
// rules and a semaphore on which GetBuffer waits. MemorySampleAllocator keeps
// every buffer in one block of virtual memory. MediaSampleObject is one
// buffer's IMediaSample2, going back to its allocator on its last Release.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_object.h"

class SampleAllocator;

class MediaSampleObject : public IMediaSample2, public TrackedObjectMemory {
public:
    // The name and result are not used.
    MediaSampleObject(const char* objectName, SampleAllocator* allocator, HRESULT* result, BYTE* buffer,
                      LONG length);
    virtual ~MediaSampleObject();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** out) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
    HRESULT STDMETHODCALLTYPE SetSyncPoint(WINBOOL value) override;
    HRESULT STDMETHODCALLTYPE IsPreroll() override;
    HRESULT STDMETHODCALLTYPE SetPreroll(WINBOOL value) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) override;
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** out) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(WINBOOL value) override;
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* start, LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* start, LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetProperties(DWORD size, BYTE* out) override;
    HRESULT STDMETHODCALLTYPE SetProperties(DWORD size, const BYTE* properties) override;

    DWORD flags;             // AM_SAMPLE_* bits; 0x20 = media times valid
    DWORD typeSpecificFlags;
    BYTE* buffer;
    LONG actualLength;
    LONG size;
    SampleAllocator* allocator; // not counted
    MediaSampleObject* nextFree;
    REFERENCE_TIME startTime;
    REFERENCE_TIME stopTime;
    LONGLONG mediaStart;
    LONG mediaStopDelta;     // media stop - media start
    AM_MEDIA_TYPE* mediaType; // owned, or null
    DWORD streamId;
    volatile LONG referenceCount;
};

enum { SAMPLE_FLAG_MEDIA_TIMES_VALID = 0x20 };

class SampleAllocator : public MediaObject, public IMemAllocatorCallbackTemp {
public:
    // E_OUTOFMEMORY goes to result when the semaphore cannot be made.
    SampleAllocator(const char* objectName, IUnknown* outer, HRESULT* result, BOOL createSemaphore,
                    BOOL callbackEnabled);
    ~SampleAllocator() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    // Called under the lock when the last sample is back after a decommit.
    virtual void FreeAllocatorBuffers() = 0;
    // Called by Commit under the lock: creates the samples for the properties.
    virtual HRESULT AllocAllocatorBuffers() = 0;

    DSHOW_FORWARD_UNKNOWN

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* out) override;
    HRESULT STDMETHODCALLTYPE Commit() override;
    HRESULT STDMETHODCALLTYPE Decommit() override;
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** out, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                        DWORD flags) override;
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE SetNotify(IMemAllocatorNotifyCallbackTemp* callback) override;
    HRESULT STDMETHODCALLTYPE GetFreeCount(LONG* out) override;

    IMemAllocator* AllocatorInterface() { return static_cast<IMemAllocator*>(this); }

    // Free list (a stack through MediaSampleObject::nextFree); under the lock.
    MediaSampleObject* PopFreeSample();
    void PushFreeSample(MediaSampleObject* sample);
    // Wakes every counted GetBuffer waiter; under the lock.
    void WakeBufferWaiters();
    // VFW_E_SIZENOTSET, S_FALSE (unchanged since the buffers were made) or S_OK.
    HRESULT CheckAllocatorSizes();

    CRITICAL_SECTION lock;
    MediaSampleObject* firstFree;
    LONG freeCount;
    HANDLE semaphore;
    LONG waiterCount;
    LONG bufferCount, bufferSize, alignment, prefix;
    LONG allocatedCount;
    BOOL changed;
    BOOL committed;
    BOOL decommitPending;
    IMemAllocatorNotifyCallbackTemp* notifyCallback; // counted
    BOOL callbackEnabled;
};

class MemorySampleAllocator : public SampleAllocator {
public:
    MemorySampleAllocator(const char* objectName, IUnknown* outer, HRESULT* result);
    ~MemorySampleAllocator() override;

    void FreeAllocatorBuffers() override;
    HRESULT AllocAllocatorBuffers() override;
    // Deletes the free samples and releases the block.
    void ReleaseBufferBlock();
    // Bytes per sample: the buffer and its prefix, rounded up to the alignment.
    uint64_t SampleSlotSize() const;
    // Makes samples named sampleName over consecutive slots of bufferBlock
    // until bufferCount exist.
    HRESULT CarveSampleSlots(const char* sampleName);

    BYTE* bufferBlock; // VirtualAlloc block, or null
};

// A new MemorySampleAllocator with count 0, or null when memory runs out.
MemorySampleAllocator* ConstructBufferAllocator(const char* objectName, IUnknown* outer, HRESULT* result);
