// The sample grabber: an in-place filter that hands every media sample
// passing through it to a callback, accepts only the media type it was told
// to accept, and can make the upstream filter fill one caller-supplied
// delivery buffer through its own allocator.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "movie/dshow_allocator.h"
#include "movie/dshow_media_type.h"

// Called on the upstream streaming thread under the grabber lock: S_OK lets
// the sample go on, S_FALSE holds it back, a failure goes upstream.
// A plain function; the caller cleans the stack.
typedef HRESULT(__cdecl* GrabberSampleCallback)(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                                BOOL typeChanged, DWORD userValue);

// S_OK when type fits every field of accepted that is not GUID_NULL (major
// type, subtype, format type; the format block is never compared), else
// VFW_E_INVALID_MEDIA_TYPE.
HRESULT CheckGrabberMediaType(const AM_MEDIA_TYPE* accepted, const AM_MEDIA_TYPE* type);

// The caller's delivery buffer and the one-buffer properties it was set with;
// the buffer is not owned.
struct GrabberDelivery {
    ALLOCATOR_PROPERTIES properties;
    BYTE* buffer;
};

// Allocator whose one sample lies in the caller's delivery buffer.
class SampleGrabberAllocator : public MemorySampleAllocator {
public:
    SampleGrabberAllocator(const GrabberDelivery* delivery, HRESULT* result);
    ~SampleGrabberAllocator() override;

    void FreeAllocatorBuffers() override;
    HRESULT AllocAllocatorBuffers() override;
    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    void FreeGrabberSamples();

    const GrabberDelivery* delivery; // lives in the grabber's input pin
};
