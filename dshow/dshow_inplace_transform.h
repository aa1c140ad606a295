// InPlaceTransformFilter: a transform filter that works on each sample where
// it lies. Its pins make the filter transparent to the connection: the input
// pin offers the downstream pin's allocator and types upstream, the output pin
// offers the upstream pin's types downstream, so one allocator normally serves
// both sides and a sample is delivered without a copy. Only when the two sides
// ended up with different allocators is each sample copied.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_transform.h"

class InPlaceInputPin;
class InPlaceOutputPin;

class InPlaceTransformFilter : public TransformFilter {
public:
    // result is not written. modifiesData: the subclass writes into samples,
    // so read-only upstream buffers are never passed through.
    InPlaceTransformFilter(const char* objectName, IUnknown* outer, REFCLSID classId, HRESULT* result,
                           BOOL modifiesData);

    // GetInPlacePin
    PinObject* PinAtIndex(int index) override;
    HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    HRESULT OnPinConnected(int direction, IPin* peer) override;
    // Works on the sample: S_OK delivers it, S_FALSE holds it back.
    virtual HRESULT TransformSampleInPlace(IMediaSample* sample);

    // A copy of sample in a buffer of the output allocator, or null.
    IMediaSample* CopyInPlaceSample(IMediaSample* sample);

    InPlaceInputPin* InPlaceInput();
    InPlaceOutputPin* InPlaceOutput();

    BYTE modifiesData;
};

class InPlaceInputPin : public TransformInputPin {
public:
    // result is not written.
    InPlaceInputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* result, const WCHAR* pinName);

    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT FinishConnection(IPin* peer) override;

    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* offered, WINBOOL readOnlyFlag) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out) override;

    InPlaceTransformFilter* inPlace;
    BOOL readOnlyOffered; // the read-only argument of the last NotifyAllocator
};

class InPlaceOutputPin : public TransformOutputPin {
public:
    // result is not written.
    InPlaceOutputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* result, const WCHAR* pinName);

    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT FinishConnection(IPin* peer) override;

    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;

    // Keeps allocator (counted) as the output side's allocator.
    void SetPassThroughAllocator(IMemAllocator* newAllocator);

    InPlaceTransformFilter* inPlace;
};
