#include "dshow/dshow_inplace_transform.h"

#include <string.h>

#include "dshow/dshow_lock.h"
#include "dshow/dshow_media_type.h"

// ---------------------------------------------------------------------------
// Filter

InPlaceTransformFilter::InPlaceTransformFilter(const char* objectName, IUnknown* outer, REFCLSID classId,
                                               HRESULT*, BOOL modifiesData)
    : TransformFilter(objectName, outer, classId), modifiesData(modifiesData ? 1 : 0)
{
}

InPlaceInputPin* InPlaceTransformFilter::InPlaceInput()
{
    return static_cast<InPlaceInputPin*>(inputPin);
}

InPlaceOutputPin* InPlaceTransformFilter::InPlaceOutput()
{
    return static_cast<InPlaceOutputPin*>(outputPin);
}

PinObject* InPlaceTransformFilter::PinAtIndex(int index)
{
    HRESULT result = S_OK;
    if (!inputPin) {
        inputPin = new InPlaceInputPin(nullptr, this, &result, L"Input");
        if (!inputPin)
            return index == 1 ? outputPin : nullptr;
    }
    if (!outputPin) {
        outputPin = new InPlaceOutputPin(nullptr, this, &result, L"Output");
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

HRESULT InPlaceTransformFilter::TransformSampleInPlace(IMediaSample*)
{
    return E_NOTIMPL;
}

HRESULT InPlaceTransformFilter::SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties)
{
    ALLOCATOR_PROPERTIES requested = {1, 1, 1, 0};
    if (inputPin && inputPin->IsConnected()) {
        if (!inputPin->allocator)
            return VFW_E_NO_ALLOCATOR;
        HRESULT result = inputPin->allocator->GetProperties(&requested);
        if (FAILED(result))
            return result;
    }
    properties->cBuffers = requested.cBuffers < 1 ? 1 : requested.cBuffers;
    properties->cbBuffer = requested.cbBuffer < 1 ? 1 : requested.cbBuffer;
    properties->cbAlign = requested.cbAlign;
    ALLOCATOR_PROPERTIES actual;
    memset(&actual, 0, sizeof(actual));
    HRESULT result = allocator->SetProperties(properties, &actual);
    if (FAILED(result))
        return result;
    if (actual.cBuffers < properties->cBuffers || actual.cbBuffer < properties->cbBuffer ||
        actual.cbAlign < properties->cbAlign)
        return E_FAIL;
    return S_OK;
}

HRESULT InPlaceTransformFilter::OnPinConnected(int direction, IPin*)
{
    if (!graph)
        return VFW_E_NOT_IN_GRAPH;
    if (direction == TRANSFORM_PIN_INPUT) {
        // A new upstream type must reach the downstream side too.
        if (outputPin && outputPin->IsConnected() &&
            MediaTypeRecordsDiffer(&outputPin->connectionType, &inputPin->connectionType))
            return RequestPinReconnect(outputPin->PinInterface(), &inputPin->connectionType);
        return S_OK;
    }
    // Reconnecting upstream lets it take the downstream allocator and type.
    if (inputPin && inputPin->IsConnected())
        return RequestPinReconnect(inputPin->PinInterface(), &outputPin->connectionType);
    return S_OK;
}

IMediaSample* InPlaceTransformFilter::CopyInPlaceSample(IMediaSample* sample)
{
    const AM_SAMPLE2_PROPERTIES& in = inputPin->sampleProperties;
    REFERENCE_TIME start = 0, stop = 0;
    int timesValid = sample->GetTime(&start, &stop) == S_OK;
    IMediaSample* out = nullptr;
    IMemAllocator* allocator = outputPin->allocator;
    if (!allocator)
        return nullptr;
    HRESULT result = allocator->GetBuffer(&out, timesValid ? &start : nullptr, timesValid ? &stop : nullptr,
                                          skipped ? AM_GBF_PREVFRAMESKIPPED : 0);
    if (FAILED(result) || !out)
        return nullptr;

    IMediaSample2* out2 = nullptr;
    if (SUCCEEDED(out->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&out2))) && out2) {
        // Sizes, flags, times, stream id and type; the buffer fields stay the output's.
        AM_SAMPLE2_PROPERTIES properties = in;
        properties.cbData = offsetof(AM_SAMPLE2_PROPERTIES, pbBuffer);
        result = out2->SetProperties(properties.cbData, reinterpret_cast<const BYTE*>(&properties));
        out2->Release();
        if (FAILED(result)) {
            out->Release();
            return nullptr;
        }
    } else {
        if (timesValid)
            out->SetTime(&start, &stop);
        if (sample->IsSyncPoint() == S_OK)
            out->SetSyncPoint(TRUE);
        if (sample->IsDiscontinuity() == S_OK || skipped)
            out->SetDiscontinuity(TRUE);
        if (sample->IsPreroll() == S_OK)
            out->SetPreroll(TRUE);
        AM_MEDIA_TYPE* type = nullptr;
        if (sample->GetMediaType(&type) == S_OK) {
            out->SetMediaType(type);
            DestroyMediaTypeRecord(type);
        }
    }

    skipped = FALSE;
    LONGLONG mediaStart, mediaStop;
    if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        out->SetMediaTime(&mediaStart, &mediaStop);

    // The allocators were agreed so the output buffer is never the smaller;
    // still refuse a sample that would not fit rather than overrun it.
    LONG length = sample->GetActualDataLength();
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    if (length < 0 || length > out->GetSize() || FAILED(sample->GetPointer(&source)) ||
        FAILED(out->GetPointer(&target)) || (length > 0 && (!source || !target)) ||
        FAILED(out->SetActualDataLength(length))) {
        out->Release();
        return nullptr;
    }
    if (length > 0)
        memcpy(target, source, static_cast<size_t>(length));
    return out;
}

// ---------------------------------------------------------------------------
// Input pin

InPlaceInputPin::InPlaceInputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* result,
                                 const WCHAR* pinName)
    : TransformInputPin(objectName, filter, result, pinName), inPlace(filter), readOnlyOffered(FALSE)
{
}

HRESULT InPlaceInputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    HRESULT result = inPlace->CheckInputMediaType(type);
    if (result != S_OK)
        return result;
    PinObject* output = inPlace->outputPin;
    if (output && output->IsConnected())
        return output->connectedPin->QueryAccept(type);
    return S_OK;
}

HRESULT InPlaceInputPin::FinishConnection(IPin* peer)
{
    return inPlace->OnPinConnected(TRANSFORM_PIN_INPUT, peer);
}

HRESULT STDMETHODCALLTYPE InPlaceInputPin::EnumMediaTypes(IEnumMediaTypes** out)
{
    PinObject* output = inPlace->outputPin;
    if (!output || !output->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return output->connectedPin->EnumMediaTypes(out);
}

HRESULT STDMETHODCALLTYPE InPlaceInputPin::GetAllocator(IMemAllocator** out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    InPlaceOutputPin* output = inPlace->InPlaceOutput();
    if (!output || !output->IsConnected() || !output->downstreamInput)
        return InputPinObject::GetAllocator(out);
    HRESULT result = output->downstreamInput->GetAllocator(out);
    if (SUCCEEDED(result) && *out)
        output->SetPassThroughAllocator(*out);
    return result;
}

HRESULT STDMETHODCALLTYPE InPlaceInputPin::NotifyAllocator(IMemAllocator* offered, WINBOOL readOnlyFlag)
{
    if (!offered)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    readOnlyOffered = readOnlyFlag ? TRUE : FALSE;
    InPlaceOutputPin* output = inPlace->InPlaceOutput();
    if (!output || !output->IsConnected() || !output->downstreamInput)
        return InputPinObject::NotifyAllocator(offered, readOnlyFlag);

    HRESULT result;
    if (readOnlyFlag && inPlace->modifiesData) {
        // Read-only buffers must not be written: the output side needs its own.
        IMemAllocator* outputAllocator = output->allocator;
        if (outputAllocator) {
            outputAllocator->AddRef();
        } else {
            result = output->downstreamInput->GetAllocator(&outputAllocator);
            if (FAILED(result) || !outputAllocator) {
                outputAllocator = nullptr;
                result = output->MakeDefaultAllocator(&outputAllocator);
                if (FAILED(result))
                    return result;
                if (!outputAllocator)
                    return E_NOINTERFACE;
            }
            output->SetPassThroughAllocator(outputAllocator);
        }
        if (outputAllocator == offered) {
            outputAllocator->Release();
            return E_FAIL;
        }
        ALLOCATOR_PROPERTIES requested, actual;
        memset(&requested, 0, sizeof(requested));
        memset(&actual, 0, sizeof(actual));
        result = offered->GetProperties(&requested);
        if (SUCCEEDED(result))
            result = outputAllocator->SetProperties(&requested, &actual);
        if (SUCCEEDED(result) && (actual.cBuffers < requested.cBuffers || actual.cbBuffer < requested.cbBuffer ||
                                  actual.cbAlign < requested.cbAlign))
            result = E_FAIL;
        if (SUCCEEDED(result))
            result = output->downstreamInput->NotifyAllocator(outputAllocator, FALSE);
        outputAllocator->Release();
    } else {
        result = output->downstreamInput->NotifyAllocator(offered, readOnlyFlag);
        if (SUCCEEDED(result))
            output->SetPassThroughAllocator(offered);
    }
    if (FAILED(result))
        return result;
    offered->AddRef();
    if (allocator)
        allocator->Release();
    allocator = offered;
    readOnly = readOnlyFlag ? 1 : 0;
    return result;
}

HRESULT STDMETHODCALLTYPE InPlaceInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out)
{
    InPlaceOutputPin* output = inPlace->InPlaceOutput();
    if (!output || !output->IsConnected() || !output->downstreamInput)
        return E_NOTIMPL;
    return output->downstreamInput->GetAllocatorRequirements(out);
}

// ---------------------------------------------------------------------------
// Output pin

InPlaceOutputPin::InPlaceOutputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* result,
                                   const WCHAR* pinName)
    : TransformOutputPin(objectName, filter, result, pinName), inPlace(filter)
{
}

HRESULT InPlaceOutputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    PinObject* input = inPlace->inputPin;
    // While samples are copied, the output type cannot follow a new one.
    if (input && input->FilterIsStopped() == 0 && inPlace->inputPin->allocator != allocator)
        return MediaTypeRecordsEqual(type, &connectionType) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT result = inPlace->CheckInputMediaType(type);
    if (result != S_OK)
        return result;
    if (input && input->IsConnected())
        return input->connectedPin->QueryAccept(type);
    return S_OK;
}

HRESULT InPlaceOutputPin::FinishConnection(IPin* peer)
{
    HRESULT result = OutputPinObject::FinishConnection(peer);
    if (FAILED(result))
        return result;
    return inPlace->OnPinConnected(TRANSFORM_PIN_OUTPUT, peer);
}

HRESULT STDMETHODCALLTYPE InPlaceOutputPin::EnumMediaTypes(IEnumMediaTypes** out)
{
    PinObject* input = inPlace->inputPin;
    if (!input || !input->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return input->connectedPin->EnumMediaTypes(out);
}

void InPlaceOutputPin::SetPassThroughAllocator(IMemAllocator* newAllocator)
{
    if (newAllocator)
        newAllocator->AddRef();
    if (allocator)
        allocator->Release();
    allocator = newAllocator;
}
