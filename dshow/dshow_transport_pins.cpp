#include "dshow/dshow_transport_pins.h"

#include <string.h>
#include <uuids.h>

#include "dshow/dshow_filter.h"
#include "dshow/dshow_lock.h"
#include "dshow/dshow_media_type.h"

// ---------------------------------------------------------------------------
// Input pin

InputPinObject::InputPinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock,
                               HRESULT* result, const WCHAR* pinName)
    : PinObject(objectName, filter, lock, result, pinName, PINDIR_INPUT), allocator(nullptr), readOnly(0),
      flushing(0), receivedTypeCopy(nullptr)
{
    memset(&sampleProperties, 0, sizeof(sampleProperties));
}

InputPinObject::~InputPinObject()
{
    DestroyMediaTypeRecord(receivedTypeCopy);
    if (allocator)
        allocator->Release();
}

HRESULT STDMETHODCALLTYPE InputPinObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IMemInputPin))
        return HandOutInterface(MemInputInterface(), out);
    return PinObject::InnerQueryInterface(iid, out);
}

HRESULT InputPinObject::ReleaseConnection()
{
    if (allocator) {
        HRESULT result = allocator->Decommit();
        if (FAILED(result))
            return result;
        allocator->Release();
        allocator = nullptr;
    }
    return S_OK;
}

HRESULT InputPinObject::OnPinDeactivate()
{
    stoppedAfterError = 0;
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    flushing = 0;
    return allocator->Decommit();
}

HRESULT InputPinObject::CheckReceiveState()
{
    if (FilterIsStopped())
        return VFW_E_WRONG_STATE;
    if (flushing)
        return S_FALSE;
    if (stoppedAfterError)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::BeginFlush()
{
    CriticalSectionHold hold(lock);
    flushing = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::EndFlush()
{
    CriticalSectionHold hold(lock);
    flushing = 0;
    stoppedAfterError = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::Notify(IBaseFilter* sender, Quality)
{
    return sender ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE InputPinObject::GetAllocator(IMemAllocator** out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    if (!allocator) {
        HRESULT result = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          reinterpret_cast<void**>(&allocator));
        if (FAILED(result)) {
            allocator = nullptr;
            return result;
        }
    }
    *out = allocator;
    allocator->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::NotifyAllocator(IMemAllocator* newAllocator, WINBOOL readOnlyFlag)
{
    if (!newAllocator)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    newAllocator->AddRef();
    if (allocator)
        allocator->Release();
    allocator = newAllocator;
    readOnly = readOnlyFlag ? 1 : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE InputPinObject::Receive(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    HRESULT result = CheckReceiveState();
    if (result != S_OK)
        return result;

    AM_SAMPLE2_PROPERTIES& properties = sampleProperties;
    DestroyMediaTypeRecord(receivedTypeCopy);
    receivedTypeCopy = nullptr;
    properties.pMediaType = nullptr;
    IMediaSample2* sample2 = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2))) && sample2) {
        result = sample2->GetProperties(sizeof(properties), reinterpret_cast<BYTE*>(&properties));
        sample2->Release();
        if (FAILED(result))
            return result;
    } else {
        properties.cbData = sizeof(properties);
        properties.dwTypeSpecificFlags = 0;
        properties.dwStreamId = 0;
        properties.dwSampleFlags = 0;
        properties.pMediaType = nullptr;
        if (sample->IsDiscontinuity() == S_OK)
            properties.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (sample->IsPreroll() == S_OK)
            properties.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (sample->IsSyncPoint() == S_OK)
            properties.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        if (SUCCEEDED(sample->GetTime(&properties.tStart, &properties.tStop)))
            properties.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
        if (sample->GetMediaType(&properties.pMediaType) == S_OK)
            properties.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
        receivedTypeCopy = properties.pMediaType;
        sample->GetPointer(&properties.pbBuffer);
        properties.lActual = sample->GetActualDataLength();
        properties.cbBuffer = sample->GetSize();
    }

    if (properties.dwSampleFlags & AM_SAMPLE_TYPECHANGED) {
        if (properties.pMediaType && AcceptMediaType(properties.pMediaType) == S_OK)
            return S_OK;
        stoppedAfterError = 1;
        PinInterface()->EndOfStream();
        filter->NotifyFilterEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
        return VFW_E_INVALIDMEDIATYPE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPinObject::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed)
{
    if (!samples || !processed)
        return E_POINTER;
    *processed = 0;
    HRESULT result = S_OK;
    for (LONG index = 0; index < count; index++) {
        // Through the interface, so that a subclass's Receive runs.
        result = MemInputInterface()->Receive(samples[index]);
        if (result != S_OK)
            break;
        (*processed)++;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE InputPinObject::ReceiveCanBlock()
{
    int outputs = 0;
    int count = filter->CountPins();
    for (int index = 0; index < count; index++) {
        PinObject* pin = filter->PinAtIndex(index);
        if (!pin)
            continue;
        PIN_DIRECTION pinDirection;
        HRESULT result = pin->PinInterface()->QueryDirection(&pinDirection);
        if (FAILED(result))
            return result;
        if (pinDirection != PINDIR_OUTPUT)
            continue;
        IPin* peer = nullptr;
        if (FAILED(pin->PinInterface()->ConnectedTo(&peer)) || !peer)
            continue;
        outputs++;
        IMemInputPin* input = nullptr;
        result = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
        peer->Release();
        if (FAILED(result) || !input)
            return S_OK;
        result = input->ReceiveCanBlock();
        input->Release();
        if (result != S_FALSE)
            return S_OK;
    }
    return outputs > 0 ? S_FALSE : S_OK;
}

// ---------------------------------------------------------------------------
// Output pin

OutputPinObject::OutputPinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock,
                                 HRESULT* result, const WCHAR* pinName)
    : PinObject(objectName, filter, lock, result, pinName, PINDIR_OUTPUT), allocator(nullptr),
      downstreamInput(nullptr)
{
}

OutputPinObject::~OutputPinObject()
{
}

HRESULT OutputPinObject::CheckPeerPin(IPin* peer)
{
    HRESULT result = PinObject::CheckPeerPin(peer);
    if (FAILED(result))
        return result;
    IMemInputPin* input = nullptr;
    result = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(result))
        return result;
    if (!input)
        return E_NOINTERFACE;
    // A retried attempt replaces the one kept by the last.
    if (downstreamInput)
        downstreamInput->Release();
    downstreamInput = input;
    return S_OK;
}

HRESULT OutputPinObject::ReleaseConnection()
{
    if (allocator) {
        HRESULT result = allocator->Decommit();
        if (FAILED(result))
            return result;
        allocator->Release();
        allocator = nullptr;
    }
    if (downstreamInput) {
        downstreamInput->Release();
        downstreamInput = nullptr;
    }
    return S_OK;
}

HRESULT OutputPinObject::FinishConnection(IPin*)
{
    return ChooseAllocator(downstreamInput, &allocator);
}

HRESULT OutputPinObject::OnPinActivate()
{
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    return allocator->Commit();
}

HRESULT OutputPinObject::OnPinDeactivate()
{
    stoppedAfterError = 0;
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    return allocator->Decommit();
}

HRESULT OutputPinObject::ChooseAllocator(IMemInputPin* downstream, IMemAllocator** out)
{
    *out = nullptr;
    if (!downstream)
        return E_POINTER;
    ALLOCATOR_PROPERTIES requirements;
    memset(&requirements, 0, sizeof(requirements));
    downstream->GetAllocatorRequirements(&requirements);
    if (requirements.cbAlign == 0)
        requirements.cbAlign = 1;

    HRESULT result = downstream->GetAllocator(out);
    if (SUCCEEDED(result) && *out) {
        result = SizeAllocatorBuffers(*out, &requirements);
        if (SUCCEEDED(result)) {
            result = downstream->NotifyAllocator(*out, FALSE);
            if (SUCCEEDED(result))
                return S_OK;
        }
    }
    if (*out) {
        (*out)->Release();
        *out = nullptr;
    }

    result = MakeDefaultAllocator(out);
    if (SUCCEEDED(result) && *out) {
        result = SizeAllocatorBuffers(*out, &requirements);
        if (SUCCEEDED(result)) {
            result = downstream->NotifyAllocator(*out, FALSE);
            if (SUCCEEDED(result))
                return S_OK;
        }
    } else if (SUCCEEDED(result)) {
        result = E_NOINTERFACE;
    }
    if (*out) {
        (*out)->Release();
        *out = nullptr;
    }
    return result;
}

HRESULT OutputPinObject::TakeOutputBuffer(IMediaSample** out, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags)
{
    if (!allocator)
        return E_NOINTERFACE;
    return allocator->GetBuffer(out, start, stop, flags);
}

HRESULT OutputPinObject::SendSample(IMediaSample* sample)
{
    if (!downstreamInput)
        return VFW_E_NOT_CONNECTED;
    return downstreamInput->Receive(sample);
}

HRESULT OutputPinObject::MakeDefaultAllocator(IMemAllocator** out)
{
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(out));
}

HRESULT OutputPinObject::SendEndOfStream()
{
    if (!connectedPin)
        return VFW_E_NOT_CONNECTED;
    return connectedPin->EndOfStream();
}

HRESULT OutputPinObject::SendBeginFlush()
{
    if (!connectedPin)
        return VFW_E_NOT_CONNECTED;
    return connectedPin->BeginFlush();
}

HRESULT OutputPinObject::SendEndFlush()
{
    if (!connectedPin)
        return VFW_E_NOT_CONNECTED;
    return connectedPin->EndFlush();
}

HRESULT OutputPinObject::SendNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    if (!connectedPin)
        return VFW_E_NOT_CONNECTED;
    return connectedPin->NewSegment(start, stop, rate);
}

HRESULT STDMETHODCALLTYPE OutputPinObject::EndOfStream()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPinObject::BeginFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPinObject::EndFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE OutputPinObject::Notify(IBaseFilter*, Quality)
{
    return E_NOTIMPL;
}
