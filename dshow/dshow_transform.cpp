#include "dshow/dshow_transform.h"

#include <string.h>
#include <control.h>
#include <uuids.h>

#include "dshow/dshow_lock.h"

// ---------------------------------------------------------------------------
// Filter

TransformFilter::TransformFilter(const char* objectName, IUnknown* outer, REFCLSID classId)
    : FilterObject(objectName, outer, &filterLock, classId), endOfStreamSent(FALSE), skipped(FALSE),
      qualityChangeSent(FALSE), inputPin(nullptr), outputPin(nullptr)
{
    InitializeCriticalSection(&filterLock);
    InitializeCriticalSection(&receiveLock);
}

TransformFilter::~TransformFilter()
{
    delete inputPin;
    delete outputPin;
    DeleteCriticalSection(&receiveLock);
    DeleteCriticalSection(&filterLock);
}

PinObject* TransformFilter::PinAtIndex(int index)
{
    if (!inputPin) {
        HRESULT result = S_OK;
        inputPin = new TransformInputPin(nullptr, this, &result, L"XForm In");
        if (!inputPin)
            return nullptr;
        outputPin = new TransformOutputPin(nullptr, this, &result, L"XForm Out");
        if (!outputPin) {
            delete inputPin;
            inputPin = nullptr;
            return nullptr;
        }
    }
    if (index == 0)
        return inputPin;
    if (index == 1)
        return outputPin;
    return nullptr;
}

// A subclass supplies these; one that lacks a body refuses the step.
HRESULT TransformFilter::TransformSample(IMediaSample*, IMediaSample*)
{
    return E_NOTIMPL;
}

HRESULT TransformFilter::CheckInputMediaType(const AM_MEDIA_TYPE*)
{
    return E_NOTIMPL;
}

HRESULT TransformFilter::CheckTypePair(const AM_MEDIA_TYPE*, const AM_MEDIA_TYPE*)
{
    return E_NOTIMPL;
}

HRESULT TransformFilter::SizeOutputBuffers(IMemAllocator*, ALLOCATOR_PROPERTIES*)
{
    return E_NOTIMPL;
}

HRESULT TransformFilter::ProposeOutputType(int, MediaTypeObject*)
{
    return E_NOTIMPL;
}

// Nothing to start or stop unless the subclass streams with state.
HRESULT TransformFilter::OnTransformStart()
{
    return S_OK;
}

HRESULT TransformFilter::OnTransformStop()
{
    return S_OK;
}

HRESULT TransformFilter::AdjustQuality(Quality)
{
    return S_FALSE;
}

HRESULT TransformFilter::OnPinTypeSet(int, const AM_MEDIA_TYPE*)
{
    return S_OK;
}

HRESULT TransformFilter::OnPinCheckPeer(int, IPin*)
{
    return S_OK;
}

HRESULT TransformFilter::OnPinDisconnect(int)
{
    return S_OK;
}

HRESULT TransformFilter::OnPinConnected(int, IPin*)
{
    return S_OK;
}

HRESULT TransformFilter::ProcessInputSample(IMediaSample* sample)
{
    return ProcessTransformSample(sample);
}

HRESULT TransformFilter::PassEndOfStream()
{
    return outputPin ? outputPin->SendEndOfStream() : S_OK;
}

HRESULT TransformFilter::PassBeginFlush()
{
    return outputPin ? outputPin->SendBeginFlush() : S_OK;
}

HRESULT TransformFilter::PassEndFlush()
{
    return outputPin ? outputPin->SendEndFlush() : S_OK;
}

HRESULT TransformFilter::PassNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    return outputPin ? outputPin->SendNewSegment(start, stop, rate) : S_OK;
}

HRESULT STDMETHODCALLTYPE TransformFilter::Stop()
{
    CriticalSectionHold hold(&filterLock);
    if (state == State_Stopped)
        return S_OK;
    if (!inputPin || !inputPin->IsConnected() || !outputPin->IsConnected()) {
        state = State_Stopped;
        endOfStreamSent = FALSE;
        return S_OK;
    }
    // Decommitting the input allocator first releases a streaming thread
    // waiting for a buffer, so the receive lock can be had.
    inputPin->OnPinDeactivate();
    CriticalSectionHold receiving(&receiveLock);
    outputPin->OnPinDeactivate();
    HRESULT result = OnTransformStop();
    if (SUCCEEDED(result)) {
        state = State_Stopped;
        endOfStreamSent = FALSE;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE TransformFilter::Pause()
{
    CriticalSectionHold hold(&filterLock);
    if (state == State_Paused)
        return S_OK;
    skipped = FALSE;
    qualityChangeSent = FALSE;
    if (inputPin && inputPin->IsConnected()) {
        if (!outputPin->IsConnected()) {
            state = State_Paused;
            return S_OK;
        }
        if (state == State_Stopped) {
            CriticalSectionHold receiving(&receiveLock);
            HRESULT result = OnTransformStart();
            if (FAILED(result))
                return result;
        }
        return FilterObject::Pause();
    }
    // Nothing will ever arrive: tell downstream the stream is over.
    if (outputPin && !endOfStreamSent) {
        outputPin->SendEndOfStream();
        endOfStreamSent = TRUE;
    }
    state = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransformFilter::FindPin(LPCWSTR id, IPin** out)
{
    if (!out)
        return E_POINTER;
    int index;
    if (id && lstrcmpW(id, L"In") == 0)
        index = 0;
    else if (id && lstrcmpW(id, L"Out") == 0)
        index = 1;
    else {
        *out = nullptr;
        return VFW_E_NOT_FOUND;
    }
    PinObject* pin = PinAtIndex(index);
    if (!pin) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    *out = pin->PinInterface();
    (*out)->AddRef();
    return S_OK;
}

HRESULT TransformFilter::ProcessTransformSample(IMediaSample* sample)
{
    // Control data on another stream passes untouched.
    if (inputPin->sampleProperties.dwStreamId != 0)
        return outputPin->SendSample(sample);

    IMediaSample* out = nullptr;
    HRESULT result = PrepareOutputSample(sample, &out);
    if (FAILED(result))
        return result;
    result = TransformSample(sample, out);
    if (result == S_OK) {
        result = outputPin->SendSample(out);
        skipped = FALSE;
    } else if (result == S_FALSE) {
        skipped = TRUE;
        if (!qualityChangeSent) {
            NotifyFilterEvent(EC_QUALITY_CHANGE, 0, 0);
            qualityChangeSent = TRUE;
        }
        result = S_OK;
    }
    out->Release();
    return result;
}

HRESULT TransformFilter::PrepareOutputSample(IMediaSample* sample, IMediaSample** out)
{
    *out = nullptr;
    const AM_SAMPLE2_PROPERTIES& in = inputPin->sampleProperties;
    DWORD flags = in.dwSampleFlags;
    REFERENCE_TIME start = in.tStart;
    REFERENCE_TIME stop = in.tStop;
    DWORD bufferFlags = (skipped ? AM_GBF_PREVFRAMESKIPPED : 0) |
                        ((flags & AM_SAMPLE_SPLICEPOINT) ? 0 : AM_GBF_NOTASYNCPOINT);
    HRESULT result = outputPin->TakeOutputBuffer(out, (flags & AM_SAMPLE_TIMEVALID) ? &start : nullptr,
                                                 (flags & AM_SAMPLE_STOPVALID) ? &stop : nullptr, bufferFlags);
    if (FAILED(result))
        return result;
    if (!*out)
        return E_UNEXPECTED;
    IMediaSample* output = *out;

    IMediaSample2* output2 = nullptr;
    if (SUCCEEDED(output->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&output2))) && output2) {
        // The leading fields up to the times; the buffer fields stay the output's.
        AM_SAMPLE2_PROPERTIES properties;
        memset(&properties, 0, sizeof(properties));
        const DWORD head = offsetof(AM_SAMPLE2_PROPERTIES, tStart);
        const DWORD withTimes = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId);
        output2->GetProperties(head, reinterpret_cast<BYTE*>(&properties));
        properties.cbData = withTimes;
        properties.dwTypeSpecificFlags = in.dwTypeSpecificFlags;
        properties.dwSampleFlags = (flags & ~AM_SAMPLE_TYPECHANGED) | (properties.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
        properties.tStart = in.tStart;
        properties.tStop = in.tStop;
        output2->SetProperties(withTimes, reinterpret_cast<const BYTE*>(&properties));
        output2->Release();
        if (flags & AM_SAMPLE_DATADISCONTINUITY)
            skipped = FALSE;
        return S_OK;
    }

    if (flags & AM_SAMPLE_TIMEVALID)
        output->SetTime(&start, &stop);
    if (flags & AM_SAMPLE_SPLICEPOINT)
        output->SetSyncPoint(TRUE);
    if (flags & AM_SAMPLE_DATADISCONTINUITY) {
        output->SetDiscontinuity(TRUE);
        skipped = FALSE;
    }
    LONGLONG mediaStart, mediaStop;
    if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        output->SetMediaTime(&mediaStart, &mediaStop);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Input pin

TransformInputPin::TransformInputPin(const char* objectName, TransformFilter* filter, HRESULT* result,
                                     const WCHAR* pinName)
    : InputPinObject(objectName, filter, &filter->filterLock, result, pinName), transform(filter)
{
}

HRESULT TransformInputPin::OnPinActivate()
{
    return S_OK;
}

HRESULT TransformInputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    HRESULT result = transform->CheckInputMediaType(type);
    if (result != S_OK)
        return result;
    TransformOutputPin* output = transform->outputPin;
    if (output && output->IsConnected())
        return transform->CheckTypePair(type, &output->connectionType);
    return S_OK;
}

HRESULT TransformInputPin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    HRESULT result = PinObject::StoreConnectionType(type);
    if (FAILED(result))
        return result;
    return transform->OnPinTypeSet(TRANSFORM_PIN_INPUT, type);
}

HRESULT TransformInputPin::CheckPeerPin(IPin* peer)
{
    HRESULT result = transform->OnPinCheckPeer(TRANSFORM_PIN_INPUT, peer);
    if (FAILED(result))
        return result;
    return InputPinObject::CheckPeerPin(peer);
}

HRESULT TransformInputPin::ReleaseConnection()
{
    transform->OnPinDisconnect(TRANSFORM_PIN_INPUT);
    return InputPinObject::ReleaseConnection();
}

HRESULT TransformInputPin::FinishConnection(IPin* peer)
{
    HRESULT result = transform->OnPinConnected(TRANSFORM_PIN_INPUT, peer);
    if (FAILED(result))
        return result;
    return S_OK;
}

HRESULT TransformInputPin::CheckReceiveState()
{
    TransformOutputPin* output = transform->outputPin;
    if (!output || !output->IsConnected())
        return VFW_E_NOT_CONNECTED;
    if (flushing)
        return S_FALSE;
    if (FilterIsStopped())
        return VFW_E_WRONG_STATE;
    if (stoppedAfterError)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransformInputPin::QueryId(LPWSTR* out)
{
    return CopyWideStringToTaskMemory(L"In", out);
}

HRESULT STDMETHODCALLTYPE TransformInputPin::Receive(IMediaSample* sample)
{
    CriticalSectionHold receiving(&transform->receiveLock);
    HRESULT result = InputPinObject::Receive(sample);
    if (result == S_OK)
        result = transform->ProcessInputSample(sample);
    return result;
}

HRESULT STDMETHODCALLTYPE TransformInputPin::EndOfStream()
{
    CriticalSectionHold receiving(&transform->receiveLock);
    HRESULT result = CheckReceiveState();
    if (result == S_OK)
        result = transform->PassEndOfStream();
    return result;
}

HRESULT STDMETHODCALLTYPE TransformInputPin::BeginFlush()
{
    CriticalSectionHold hold(lock);
    TransformOutputPin* output = transform->outputPin;
    if (!IsConnected() || !output || !output->IsConnected())
        return VFW_E_NOT_CONNECTED;
    HRESULT result = InputPinObject::BeginFlush();
    if (FAILED(result))
        return result;
    return transform->PassBeginFlush();
}

HRESULT STDMETHODCALLTYPE TransformInputPin::EndFlush()
{
    CriticalSectionHold hold(lock);
    TransformOutputPin* output = transform->outputPin;
    if (!IsConnected() || !output || !output->IsConnected())
        return VFW_E_NOT_CONNECTED;
    HRESULT result = transform->PassEndFlush();
    if (FAILED(result))
        return result;
    return InputPinObject::EndFlush();
}

HRESULT STDMETHODCALLTYPE TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    PinObject::NewSegment(start, stop, rate);
    return transform->PassNewSegment(start, stop, rate);
}

// ---------------------------------------------------------------------------
// Output pin

TransformOutputPin::TransformOutputPin(const char* objectName, TransformFilter* filter, HRESULT* result,
                                       const WCHAR* pinName)
    : OutputPinObject(objectName, filter, &filter->filterLock, result, pinName), transform(filter),
      seekingPassThrough(nullptr)
{
}

TransformOutputPin::~TransformOutputPin()
{
    if (seekingPassThrough)
        seekingPassThrough->Release();
}

HRESULT STDMETHODCALLTYPE TransformOutputPin::InnerQueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IMediaPosition) || IsEqualGUID(iid, IID_IMediaSeeking)) {
        if (!seekingPassThrough) {
            HRESULT result = CreateSeekingPassThrough();
            if (FAILED(result))
                return result;
        }
        return seekingPassThrough->QueryInterface(iid, out);
    }
    return OutputPinObject::InnerQueryInterface(iid, out);
}

HRESULT TransformOutputPin::CreateSeekingPassThrough()
{
    IUnknown* object = nullptr;
    HRESULT result = CoCreateInstance(CLSID_SeekingPassThru, OwnerUnknown(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
    if (FAILED(result))
        return result;
    if (!object)
        return E_NOINTERFACE;
    ISeekingPassThru* passThru = nullptr;
    result = object->QueryInterface(IID_ISeekingPassThru, reinterpret_cast<void**>(&passThru));
    if (SUCCEEDED(result) && !passThru)
        result = E_NOINTERFACE;
    if (SUCCEEDED(result)) {
        result = passThru->Init(FALSE, transform->inputPin ? transform->inputPin->PinInterface() : nullptr);
        passThru->Release();
    }
    if (FAILED(result)) {
        object->Release();
        return result;
    }
    seekingPassThrough = object;
    return S_OK;
}

HRESULT TransformOutputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    TransformInputPin* input = transform->inputPin;
    if (!input || !input->IsConnected())
        return E_INVALIDARG;
    return transform->CheckTypePair(&input->connectionType, type);
}

HRESULT TransformOutputPin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    HRESULT result = PinObject::StoreConnectionType(type);
    if (FAILED(result))
        return result;
    return transform->OnPinTypeSet(TRANSFORM_PIN_OUTPUT, type);
}

HRESULT TransformOutputPin::CheckPeerPin(IPin* peer)
{
    TransformInputPin* input = transform->inputPin;
    if (!input || !input->IsConnected())
        return E_UNEXPECTED;
    HRESULT result = transform->OnPinCheckPeer(TRANSFORM_PIN_OUTPUT, peer);
    if (FAILED(result))
        return result;
    return OutputPinObject::CheckPeerPin(peer);
}

HRESULT TransformOutputPin::ReleaseConnection()
{
    transform->OnPinDisconnect(TRANSFORM_PIN_OUTPUT);
    return OutputPinObject::ReleaseConnection();
}

HRESULT TransformOutputPin::FinishConnection(IPin* peer)
{
    HRESULT result = transform->OnPinConnected(TRANSFORM_PIN_OUTPUT, peer);
    if (FAILED(result))
        return result;
    return OutputPinObject::FinishConnection(peer);
}

HRESULT TransformOutputPin::ProposeMediaType(int position, MediaTypeObject* type)
{
    TransformInputPin* input = transform->inputPin;
    if (!input || !input->IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return transform->ProposeOutputType(position, type);
}

HRESULT TransformOutputPin::SizeAllocatorBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties)
{
    return transform->SizeOutputBuffers(allocator, properties);
}

HRESULT STDMETHODCALLTYPE TransformOutputPin::QueryId(LPWSTR* out)
{
    return CopyWideStringToTaskMemory(L"Out", out);
}

HRESULT STDMETHODCALLTYPE TransformOutputPin::Notify(IBaseFilter*, Quality quality)
{
    HRESULT result = transform->AdjustQuality(quality);
    if (result != S_FALSE)
        return result;
    TransformInputPin* input = transform->inputPin;
    return input ? input->ForwardQualityNotify(quality) : VFW_E_NOT_FOUND;
}
