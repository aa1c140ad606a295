// IEnumPins over a filter's pins and IEnumMediaTypes over a pin's proposed
// types. Both notice a change of the underlying list through its version.
// They count their own references (1 at creation) and are never aggregated.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_object.h"
#include "dshow/dshow_object_list.h"

class FilterObject;
class PinObject;

class PinEnumerator : public IEnumPins, public TrackedObjectMemory {
public:
    // Without a source it starts at the first pin; with one (Clone) it copies
    // the source's position, version, pin count and returned pins.
    PinEnumerator(FilterObject* filter, const PinEnumerator* source);
    virtual ~PinEnumerator();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override;

    int position;
    int pinCount;
    FilterObject* filter; // one reference through its IBaseFilter
    LONG version;
    volatile LONG referenceCount;
    ObjectList returnedPins; // pin objects handed out since creation or Reset
};

class MediaTypeEnumerator : public IEnumMediaTypes, public TrackedObjectMemory {
public:
    MediaTypeEnumerator(PinObject* pin, const MediaTypeEnumerator* source);
    virtual ~MediaTypeEnumerator();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override;

    int position;
    PinObject* pin; // one reference through its IPin
    LONG version;
    volatile LONG referenceCount;
};

// A new enumerator with one reference, or null when memory runs out.
PinEnumerator* CreatePinEnumerator(FilterObject* filter, const PinEnumerator* source);
MediaTypeEnumerator* CreateMediaTypeEnumerator(PinObject* pin, const MediaTypeEnumerator* source);
