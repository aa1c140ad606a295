#include "dshow/dshow_enum.h"

#include <limits.h>
#include <uuids.h>

#include "dshow/dshow_filter.h"
#include "dshow/dshow_media_type.h"
#include "dshow/dshow_pin.h"

PinEnumerator::PinEnumerator(FilterObject* filter, const PinEnumerator* source)
    : position(0), pinCount(0), filter(filter), version(0), referenceCount(1)
{
    ConstructObjectList(&returnedPins);
    filter->BaseFilterInterface()->AddRef();
    if (source) {
        position = source->position;
        pinCount = source->pinCount;
        version = source->version;
        ListAddTailAll(&returnedPins, &source->returnedPins);
    } else {
        pinCount = filter->CountPins();
        version = filter->GetPinSetVersion();
    }
}

PinEnumerator::~PinEnumerator()
{
    DestroyObjectList(&returnedPins);
    filter->BaseFilterInterface()->Release();
}

PinEnumerator* CreatePinEnumerator(FilterObject* filter, const PinEnumerator* source)
{
    return new PinEnumerator(filter, source);
}

HRESULT STDMETHODCALLTYPE PinEnumerator::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IEnumPins) || IsEqualGUID(iid, IID_IUnknown))
        return HandOutInterface(static_cast<IEnumPins*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE PinEnumerator::AddRef()
{
    return InterlockedIncrement(&referenceCount);
}

ULONG STDMETHODCALLTYPE PinEnumerator::Release()
{
    LONG count = InterlockedDecrement(&referenceCount);
    if (count == 0)
        delete this;
    return count;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched)
{
    if (!pins)
        return E_POINTER;
    if (fetched)
        *fetched = 0;
    else if (count > 1)
        return E_INVALIDARG;
    if (filter->GetPinSetVersion() != version) {
        // The pin set changed: start over, but never hand out a pin twice.
        version = filter->GetPinSetVersion();
        pinCount = filter->CountPins();
        position = 0;
    }
    ULONG left = pinCount - position > 0 ? (ULONG)(pinCount - position) : 0;
    if (count < left)
        left = count;
    if (left == 0)
        return S_FALSE;
    ULONG handed = 0;
    HRESULT failure = S_OK;
    while (left != 0 && position < pinCount) {
        PinObject* pin = filter->PinAtIndex(position);
        position++;
        if (!pin) {
            failure = VFW_E_ENUM_OUT_OF_SYNC;
            break;
        }
        if (ListFind(&returnedPins, pin))
            continue;
        // A pin that cannot be remembered is not handed out, so that it is
        // never handed out twice.
        if (!ListAddTail(&returnedPins, pin)) {
            failure = E_OUTOFMEMORY;
            break;
        }
        pins[handed] = pin->PinInterface();
        pins[handed]->AddRef();
        handed++;
        left--;
    }
    if (failure != S_OK) {
        // A failed call hands out nothing: the caller never releases what
        // it was not told it got.
        for (ULONG i = 0; i < handed; i++) {
            pins[i]->Release();
            pins[i] = nullptr;
        }
        return failure;
    }
    if (fetched)
        *fetched = handed;
    return handed == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Skip(ULONG count)
{
    if (filter->GetPinSetVersion() != version)
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG left = pinCount - position > 0 ? (ULONG)(pinCount - position) : 0;
    if (count > left)
        return S_FALSE;
    position += (int)count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Reset()
{
    version = filter->GetPinSetVersion();
    pinCount = filter->CountPins();
    position = 0;
    ListRemoveAll(&returnedPins);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Clone(IEnumPins** out)
{
    if (!out)
        return E_POINTER;
    if (filter->GetPinSetVersion() != version) {
        *out = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    PinEnumerator* clone = CreatePinEnumerator(filter, this);
    // A clone that could not copy every returned pin would hand them out again.
    if (clone && clone->returnedPins.count != returnedPins.count) {
        clone->Release();
        clone = nullptr;
    }
    *out = clone;
    return clone ? S_OK : E_OUTOFMEMORY;
}

MediaTypeEnumerator::MediaTypeEnumerator(PinObject* pin, const MediaTypeEnumerator* source)
    : position(0), pin(pin), version(0), referenceCount(1)
{
    pin->PinInterface()->AddRef();
    if (source) {
        position = source->position;
        version = source->version;
    } else {
        version = pin->GetTypeListVersion();
    }
}

MediaTypeEnumerator::~MediaTypeEnumerator()
{
    pin->PinInterface()->Release();
}

MediaTypeEnumerator* CreateMediaTypeEnumerator(PinObject* pin, const MediaTypeEnumerator* source)
{
    return new MediaTypeEnumerator(pin, source);
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IEnumMediaTypes) || IsEqualGUID(iid, IID_IUnknown))
        return HandOutInterface(static_cast<IEnumMediaTypes*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::AddRef()
{
    return InterlockedIncrement(&referenceCount);
}

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::Release()
{
    LONG count = InterlockedDecrement(&referenceCount);
    if (count == 0)
        delete this;
    return count;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    if (!types)
        return E_POINTER;
    if (pin->GetTypeListVersion() != version)
        return VFW_E_ENUM_OUT_OF_SYNC;
    if (fetched)
        *fetched = 0;
    else if (count > 1)
        return E_INVALIDARG;
    ULONG handed = 0;
    while (handed < count) {
        MediaTypeObject proposed;
        int asked = position++;
        if (pin->ProposeMediaType(asked, &proposed) != S_OK)
            break;
        AM_MEDIA_TYPE* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        types[handed] = record;
        if (!record)
            break;
        // The parts move to the new record; the local gives them up.
        *record = proposed;
        ResetMediaTypeRecord(&proposed);
        handed++;
    }
    if (fetched)
        *fetched = handed;
    return handed == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Skip(ULONG count)
{
    if (count == 0)
        return S_OK;
    if (pin->GetTypeListVersion() != version)
        return VFW_E_ENUM_OUT_OF_SYNC;
    // A position beyond any list stays a valid int.
    if (count > (ULONG)(INT_MAX - position)) {
        position = INT_MAX;
        return S_FALSE;
    }
    position += (int)count;
    MediaTypeObject proposed;
    return pin->ProposeMediaType(position - 1, &proposed) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Reset()
{
    position = 0;
    version = pin->GetTypeListVersion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Clone(IEnumMediaTypes** out)
{
    if (!out)
        return E_POINTER;
    if (pin->GetTypeListVersion() != version) {
        *out = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    MediaTypeEnumerator* clone = CreateMediaTypeEnumerator(pin, this);
    *out = clone;
    return clone ? S_OK : E_OUTOFMEMORY;
}
