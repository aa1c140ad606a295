// The sample grabber: an in-place filter that hands every media sample
// passing through it to a callback, accepts only the media type it was told
// to accept, and can make the upstream filter fill one caller-supplied
// delivery buffer through its own allocator.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_inplace_transform.h"
#include "dshow/dshow_media_type.h"

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

// {6B652FFF-11FE-4FCE-9264-323635373766}
extern const IID IID_SampleGrabberControl;
// {2FA4F053-6D60-4CB0-9533-653933666633}
extern const CLSID CLSID_SampleGrabberFilter;

struct SampleGrabberControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetGrabberAcceptedMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* out) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGrabberCallback(GrabberSampleCallback callback, DWORD userValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) = 0;
};

class D_CSampleGrabber;

class SampleGrabberInputPin : public InPlaceInputPin {
public:
    SampleGrabberInputPin(D_CSampleGrabber* filter, HRESULT* result);
    ~SampleGrabberInputPin() override;

    HRESULT SetGrabberDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer);
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
    HRESULT ProposeMediaType(int position, MediaTypeObject* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, WINBOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out) override;

    IMemAllocator* grabberAllocator; // counted; null until a delivery buffer is set
    GrabberDelivery delivery;
    BOOL typeChanged;
};

class D_CSampleGrabber : public InPlaceTransformFilter, public SampleGrabberControl {
public:
    D_CSampleGrabber(IUnknown* outer, HRESULT* result, BOOL modifiesData);
    ~D_CSampleGrabber() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    HRESULT TransformSample(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckTypePair(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output) override;
    HRESULT ProposeOutputType(int position, MediaTypeObject* type) override;
    HRESULT OnTransformStart() override;
    HRESULT OnTransformStop() override;
    HRESULT AdjustQuality(Quality quality) override;
    HRESULT OnPinTypeSet(int direction, const AM_MEDIA_TYPE* type) override;
    HRESULT OnPinCheckPeer(int direction, IPin* peer) override;
    HRESULT OnPinDisconnect(int direction) override;
    HRESULT ProcessInputSample(IMediaSample* sample) override;
    HRESULT TransformSampleInPlace(IMediaSample* sample) override;

    DSHOW_FORWARD_UNKNOWN

    HRESULT STDMETHODCALLTYPE SetGrabberAcceptedMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* out) override;
    HRESULT STDMETHODCALLTYPE SetGrabberCallback(GrabberSampleCallback callback, DWORD userValue) override;
    HRESULT STDMETHODCALLTYPE SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) override;

    MediaTypeObject acceptedType;
    GrabberSampleCallback callback;
    CRITICAL_SECTION grabberLock;
    DWORD userValue;
};

// The filter with a reference count of 0, or null (E_OUTOFMEMORY to result).
D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result);
// Destroys any framework object whatever its count; null is ignored.
void ReleaseSampleGrabber(MediaObject* object);
