#include "dshow/dshow_pin.h"

#include <uuids.h>

#include "dshow/dshow_enum.h"
#include "dshow/dshow_filter.h"
#include "dshow/dshow_lock.h"
#include "runtime/memory.h"

namespace {

// Failures that mean only "not this type": the search goes on and they do not
// replace the result to report.
bool IsTypeRefusal(HRESULT result)
{
    return result == E_FAIL || result == E_INVALIDARG || result == VFW_E_TYPE_NOT_ACCEPTED;
}

} // namespace

PinObject::PinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock, HRESULT*,
                     const WCHAR* pinName, PIN_DIRECTION direction)
    : MediaObject(objectName, nullptr), name(pinName ? CopyWideStringTracked(pinName) : nullptr),
      connectedPin(nullptr), direction(direction), lock(lock), stoppedAfterError(0), connectWhileActive(0),
      ownTypesFirst(0), filter(filter), qualitySink(nullptr), typeListVersion(1), segmentStart(0),
      segmentStop(0x7FFFFFFFFFFFFFFFLL), segmentRate(1.0)
{
}

PinObject::~PinObject()
{
    FreeTracked(name);
    // The connection type's parts go with the member's own destructor.
}

HRESULT STDMETHODCALLTYPE PinObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IPin))
        return HandOutInterface(PinInterface(), out);
    if (IsEqualGUID(iid, IID_IQualityControl))
        return HandOutInterface(static_cast<IQualityControl*>(this), out);
    return MediaObject::InnerQueryInterface(iid, out);
}

ULONG STDMETHODCALLTYPE PinObject::AddRefCountedObject()
{
    return filter->BaseFilterInterface()->AddRef();
}

ULONG STDMETHODCALLTYPE PinObject::ReleaseCountedObject()
{
    return filter->BaseFilterInterface()->Release();
}

int PinObject::FilterIsStopped() const
{
    return filter->state == State_Stopped;
}

LONG PinObject::GetTypeListVersion()
{
    return typeListVersion;
}

HRESULT PinObject::OnPinActivate()
{
    return S_OK;
}

HRESULT PinObject::OnPinDeactivate()
{
    stoppedAfterError = 0;
    return S_OK;
}

HRESULT PinObject::OnPinRun(REFERENCE_TIME)
{
    return S_OK;
}

HRESULT PinObject::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    return FAILED(SetMediaTypeObject(&connectionType, type)) ? E_OUTOFMEMORY : S_OK;
}

HRESULT PinObject::CheckPeerPin(IPin* peer)
{
    PIN_DIRECTION peerDirection;
    if (SUCCEEDED(peer->QueryDirection(&peerDirection)) && peerDirection == direction)
        return VFW_E_INVALID_DIRECTION;
    return S_OK;
}

HRESULT PinObject::ProposeMediaType(int, MediaTypeObject*)
{
    return E_UNEXPECTED;
}

HRESULT PinObject::UnlinkPeer()
{
    if (!connectedPin)
        return S_FALSE;
    HRESULT result = ReleaseConnection();
    if (FAILED(result))
        return result;
    connectedPin->Release();
    connectedPin = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinObject::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (!receivePin)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    if (connectedPin)
        return VFW_E_ALREADY_CONNECTED;
    if (!FilterIsStopped() && !connectWhileActive)
        return VFW_E_NOT_STOPPED;
    HRESULT result = NegotiateConnectionType(receivePin, type);
    if (FAILED(result)) {
        ReleaseConnection();
        return result;
    }
    return S_OK;
}

HRESULT PinObject::NegotiateConnectionType(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (type && !IsPartialMediaType(type))
        return TryConnectionType(receivePin, type);

    HRESULT recorded = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; pass++) {
        IEnumMediaTypes* types = nullptr;
        HRESULT result = (pass == ownTypesFirst) ? receivePin->EnumMediaTypes(&types)
                                                 : PinInterface()->EnumMediaTypes(&types);
        if (FAILED(result) || !types)
            continue;
        result = TryEnumeratedTypes(receivePin, type, types);
        types->Release();
        if (SUCCEEDED(result))
            return S_OK;
        if (!IsTypeRefusal(result))
            recorded = result;
    }
    return recorded;
}

HRESULT PinObject::TryEnumeratedTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types)
{
    HRESULT result = types->Reset();
    if (FAILED(result))
        return result;
    HRESULT recorded = S_OK;
    bool first = true;
    for (;;) {
        AM_MEDIA_TYPE* fetched = nullptr;
        ULONG count = 0;
        if (types->Next(1, &fetched, &count) != S_OK || !fetched) {
            DestroyMediaTypeRecord(fetched);
            if (first)
                return VFW_E_NO_ACCEPTABLE_TYPES;
            break;
        }
        first = false;
        HRESULT attempt = (partial && !MatchesPartialMediaType(fetched, partial))
                              ? VFW_E_NO_ACCEPTABLE_TYPES
                              : TryConnectionType(receivePin, fetched);
        if (FAILED(attempt) && !IsTypeRefusal(attempt) && recorded == S_OK)
            recorded = attempt;
        DestroyMediaTypeRecord(fetched);
        // Any success leaves the pins connected, so the search must end there:
        // going on would connect this pin a second time over the first peer.
        if (SUCCEEDED(attempt))
            return S_OK;
    }
    return recorded != S_OK ? recorded : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT PinObject::TryConnectionType(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    HRESULT result = CheckPeerPin(receivePin);
    if (FAILED(result)) {
        ReleaseConnection();
        return result;
    }
    result = AcceptMediaType(type);
    if (result != S_OK) {
        ReleaseConnection();
        return (SUCCEEDED(result) || result == E_FAIL || result == E_INVALIDARG) ? VFW_E_TYPE_NOT_ACCEPTED : result;
    }
    connectedPin = receivePin;
    connectedPin->AddRef();
    result = StoreConnectionType(type);
    if (SUCCEEDED(result)) {
        result = receivePin->ReceiveConnection(PinInterface(), type);
        if (SUCCEEDED(result)) {
            result = FinishConnection(receivePin);
            if (SUCCEEDED(result))
                return result;
            receivePin->Disconnect();
        }
    }
    ReleaseConnection();
    connectedPin->Release();
    connectedPin = nullptr;
    return result;
}

HRESULT STDMETHODCALLTYPE PinObject::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (!connector || !type)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    if (connectedPin)
        return VFW_E_ALREADY_CONNECTED;
    if (!FilterIsStopped() && !connectWhileActive)
        return VFW_E_NOT_STOPPED;
    HRESULT result = CheckPeerPin(connector);
    if (FAILED(result)) {
        ReleaseConnection();
        return result;
    }
    result = AcceptMediaType(type);
    if (result != S_OK) {
        ReleaseConnection();
        return (SUCCEEDED(result) || result == E_FAIL || result == E_INVALIDARG) ? VFW_E_TYPE_NOT_ACCEPTED : result;
    }
    connectedPin = connector;
    connectedPin->AddRef();
    result = StoreConnectionType(type);
    if (SUCCEEDED(result)) {
        result = FinishConnection(connector);
        if (SUCCEEDED(result))
            return S_OK;
    }
    connectedPin->Release();
    connectedPin = nullptr;
    ReleaseConnection();
    return result;
}

HRESULT STDMETHODCALLTYPE PinObject::Disconnect()
{
    CriticalSectionHold hold(lock);
    if (!FilterIsStopped())
        return VFW_E_NOT_STOPPED;
    return UnlinkPeer();
}

HRESULT STDMETHODCALLTYPE PinObject::ConnectedTo(IPin** out)
{
    if (!out)
        return E_POINTER;
    IPin* peer = connectedPin;
    *out = peer;
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    peer->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinObject::ConnectionMediaType(AM_MEDIA_TYPE* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    if (connectedPin) {
        CopyMediaTypeRecord(out, &connectionType);
        return S_OK;
    }
    ResetMediaTypeRecord(out);
    return VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE PinObject::QueryPinInfo(PIN_INFO* out)
{
    if (!out)
        return E_POINTER;
    out->pFilter = filter ? filter->BaseFilterInterface() : nullptr;
    if (out->pFilter)
        out->pFilter->AddRef();
    out->dir = direction;
    if (name)
        lstrcpynW(out->achName, name, MAX_PIN_NAME);
    else
        out->achName[0] = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinObject::QueryDirection(PIN_DIRECTION* out)
{
    if (!out)
        return E_POINTER;
    *out = direction;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinObject::QueryId(LPWSTR* out)
{
    return CopyWideStringToTaskMemory(name, out);
}

HRESULT STDMETHODCALLTYPE PinObject::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (!type)
        return E_POINTER;
    HRESULT result = AcceptMediaType(type);
    return FAILED(result) ? S_FALSE : result;
}

HRESULT STDMETHODCALLTYPE PinObject::EnumMediaTypes(IEnumMediaTypes** out)
{
    if (!out)
        return E_POINTER;
    *out = CreateMediaTypeEnumerator(this, nullptr);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE PinObject::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PinObject::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    segmentStart = start;
    segmentStop = stop;
    segmentRate = rate;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinObject::SetSink(IQualityControl* sink)
{
    CriticalSectionHold hold(lock);
    qualitySink = sink;
    return S_OK;
}

HRESULT PinObject::ForwardQualityNotify(Quality quality)
{
    if (qualitySink)
        return qualitySink->Notify(filter->BaseFilterInterface(), quality);
    if (connectedPin) {
        IQualityControl* peer = nullptr;
        if (SUCCEEDED(connectedPin->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&peer))) && peer) {
            HRESULT result = peer->Notify(filter->BaseFilterInterface(), quality);
            peer->Release();
            return result;
        }
    }
    return VFW_E_NOT_FOUND;
}
