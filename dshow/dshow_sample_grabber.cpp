#include "dshow/dshow_sample_grabber.h"

#include <stdint.h>
#include <uuids.h>

#include "dshow/dshow_lock.h"

HRESULT CheckGrabberMediaType(const AM_MEDIA_TYPE* accepted, const AM_MEDIA_TYPE* type)
{
    if (!accepted || !type)
        return E_POINTER;
    if (IsEqualGUID(accepted->majortype, GUID_NULL))
        return S_OK;
    if (!IsEqualGUID(accepted->majortype, type->majortype))
        return VFW_E_INVALID_MEDIA_TYPE;
    if (IsEqualGUID(accepted->subtype, GUID_NULL))
        return S_OK;
    if (!IsEqualGUID(accepted->subtype, type->subtype))
        return VFW_E_INVALID_MEDIA_TYPE;
    if (IsEqualGUID(accepted->formattype, GUID_NULL))
        return S_OK;
    if (!IsEqualGUID(accepted->formattype, type->formattype))
        return VFW_E_INVALID_MEDIA_TYPE;
    return S_OK;
}

SampleGrabberAllocator::SampleGrabberAllocator(const GrabberDelivery* delivery, HRESULT* result)
    : MemorySampleAllocator("SampleGrabberAllocator", nullptr, result), delivery(delivery)
{
}

SampleGrabberAllocator::~SampleGrabberAllocator()
{
    // The block is the caller's: the base destructor must not free it.
    Decommit();
    FreeGrabberSamples();
    bufferBlock = nullptr;
}

void SampleGrabberAllocator::FreeAllocatorBuffers()
{
}

void SampleGrabberAllocator::FreeGrabberSamples()
{
    while (MediaSampleObject* sample = PopFreeSample())
        delete sample;
    allocatedCount = 0;
}

HRESULT STDMETHODCALLTYPE SampleGrabberAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                                                ALLOCATOR_PROPERTIES* actual)
{
    HRESULT result = MemorySampleAllocator::SetProperties(request, actual);
    if (FAILED(result))
        return result;
    const ALLOCATOR_PROPERTIES& given = delivery->properties;
    if (request->cbAlign != given.cbAlign)
        return VFW_E_BADALIGN;
    if (request->cbPrefix != given.cbPrefix || request->cbBuffer > given.cbBuffer ||
        request->cBuffers > given.cBuffers)
        return E_FAIL;
    *actual = given;
    CriticalSectionHold hold(&lock);
    bufferCount = given.cBuffers;
    bufferSize = given.cbBuffer;
    alignment = given.cbAlign;
    prefix = given.cbPrefix;
    return S_OK;
}

HRESULT SampleGrabberAllocator::AllocAllocatorBuffers()
{
    CriticalSectionHold hold(&lock);
    HRESULT result = CheckAllocatorSizes();
    if (FAILED(result))
        return result;
    if (result == S_FALSE)
        return S_OK;
    FreeGrabberSamples();
    if (bufferSize < 0 || prefix < 0)
        return E_INVALIDARG;
    bufferBlock = delivery->buffer;
    if (!bufferBlock)
        return E_OUTOFMEMORY;
    return CarveSampleSlots("Sample grabber media sample");
}

const IID IID_SampleGrabberControl = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0x64, 0x32, 0x36, 0x35, 0x37, 0x37, 0x66}};
const CLSID CLSID_SampleGrabberFilter = {0x2FA4F053, 0x6D60, 0x4CB0, {0x95, 0x33, 0x65, 0x39, 0x33, 0x66, 0x66, 0x33}};

SampleGrabberInputPin::SampleGrabberInputPin(D_CSampleGrabber* filter, HRESULT* result)
    : InPlaceInputPin("SampleGrabberInputPin", filter, result, L"Input"), grabberAllocator(nullptr),
      delivery(), typeChanged(FALSE)
{
}

SampleGrabberInputPin::~SampleGrabberInputPin()
{
    if (grabberAllocator)
        grabberAllocator->Release();
}

static D_CSampleGrabber* GrabberOf(SampleGrabberInputPin* pin)
{
    return static_cast<D_CSampleGrabber*>(pin->inPlace);
}

HRESULT SampleGrabberInputPin::SetGrabberDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer)
{
    if (properties.cBuffers != 1)
        return E_INVALIDARG;
    if (!buffer)
        return E_POINTER;
    delivery.properties = properties;
    delivery.buffer = buffer;
    if (grabberAllocator) {
        grabberAllocator->Release();
        grabberAllocator = nullptr;
    }
    HRESULT result = S_OK;
    SampleGrabberAllocator* allocator = new SampleGrabberAllocator(&delivery, &result);
    if (!allocator)
        return E_OUTOFMEMORY;
    grabberAllocator = allocator->AllocatorInterface();
    grabberAllocator->AddRef();
    return result;
}

HRESULT SampleGrabberInputPin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    typeChanged = TRUE;
    return InPlaceInputPin::StoreConnectionType(type);
}

HRESULT SampleGrabberInputPin::ProposeMediaType(int position, MediaTypeObject* type)
{
    if (!type)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    D_CSampleGrabber* grabber = GrabberOf(this);
    ClearMediaTypeObject(type);
    ResetMediaTypeRecord(type);
    CriticalSectionHold hold(&grabber->grabberLock);
    type->majortype = grabber->acceptedType.majortype;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberInputPin::EnumMediaTypes(IEnumMediaTypes** out)
{
    if (!out)
        return E_POINTER;
    PinObject* output = GrabberOf(this)->PinAtIndex(1);
    if (output && output->IsConnected())
        return output->connectedPin->EnumMediaTypes(out);
    return PinObject::EnumMediaTypes(out);
}

HRESULT STDMETHODCALLTYPE SampleGrabberInputPin::GetAllocator(IMemAllocator** out)
{
    if (!grabberAllocator)
        return InPlaceInputPin::GetAllocator(out);
    if (!out)
        return E_POINTER;
    *out = grabberAllocator;
    grabberAllocator->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberInputPin::NotifyAllocator(IMemAllocator* offered, WINBOOL readOnlyFlag)
{
    if (grabberAllocator) {
        if (offered != grabberAllocator)
            return E_FAIL;
        if (readOnlyFlag && GrabberOf(this)->modifiesData)
            return E_FAIL;
    }
    return InPlaceInputPin::NotifyAllocator(offered, readOnlyFlag);
}

HRESULT STDMETHODCALLTYPE SampleGrabberInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out)
{
    if (!out)
        return E_POINTER;
    if (!grabberAllocator)
        return InPlaceInputPin::GetAllocatorRequirements(out);
    *out = delivery.properties;
    return S_OK;
}

// The grabber's own input pin, or null. When it could not be made, the base
// filter may later have made a plain in-place pin in its place.
static SampleGrabberInputPin* GrabberInput(D_CSampleGrabber* grabber)
{
    return dynamic_cast<SampleGrabberInputPin*>(grabber->inputPin);
}

D_CSampleGrabber::D_CSampleGrabber(IUnknown* outer, HRESULT* result, BOOL modifiesData)
    : InPlaceTransformFilter("SampleGrabber", outer, CLSID_SampleGrabberFilter, result, modifiesData),
      callback(nullptr), userValue(0)
{
    ResetMediaTypeRecord(&acceptedType);
    InitializeCriticalSection(&grabberLock);
    SampleGrabberInputPin* pin = new SampleGrabberInputPin(this, result);
    if (!pin) {
        if (result)
            *result = E_OUTOFMEMORY;
    } else {
        inputPin = pin;
    }
    InPlaceTransformFilter::PinAtIndex(1);
}

D_CSampleGrabber::~D_CSampleGrabber()
{
    DeleteCriticalSection(&grabberLock);
    ClearMediaTypeObject(&acceptedType);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_SampleGrabberControl))
        return HandOutInterface(static_cast<SampleGrabberControl*>(this), out);
    return InPlaceTransformFilter::InnerQueryInterface(iid, out);
}

HRESULT D_CSampleGrabber::TransformSample(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }
HRESULT D_CSampleGrabber::ProposeOutputType(int, MediaTypeObject*) { return E_UNEXPECTED; }
HRESULT D_CSampleGrabber::CheckTypePair(const AM_MEDIA_TYPE*, const AM_MEDIA_TYPE*) { return S_OK; }
HRESULT D_CSampleGrabber::OnTransformStart() { return S_OK; }
HRESULT D_CSampleGrabber::OnTransformStop() { return S_OK; }
HRESULT D_CSampleGrabber::AdjustQuality(Quality) { return S_FALSE; }
HRESULT D_CSampleGrabber::OnPinTypeSet(int, const AM_MEDIA_TYPE*) { return S_OK; }
HRESULT D_CSampleGrabber::OnPinCheckPeer(int, IPin*) { return S_OK; }
HRESULT D_CSampleGrabber::OnPinDisconnect(int) { return S_OK; }

HRESULT D_CSampleGrabber::CheckInputMediaType(const AM_MEDIA_TYPE* type)
{
    if (!type)
        return E_POINTER;
    CriticalSectionHold hold(&grabberLock);
    return CheckGrabberMediaType(&acceptedType, type);
}

HRESULT D_CSampleGrabber::ProcessInputSample(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    InputPinObject* input = inputPin;
    OutputPinObject* output = outputPin;
    if (!input || !output)
        return E_UNEXPECTED;
    if (input->sampleProperties.dwStreamId != 0)
        return output->IsConnected() ? output->SendSample(sample) : S_OK;
    IMediaSample* work = sample;
    if (input->allocator != output->allocator) {
        work = CopyInPlaceSample(sample);
        if (!work)
            return E_UNEXPECTED;
    }
    HRESULT result = TransformSampleInPlace(work);
    if (result == S_OK)
        result = output->SendSample(work);
    if (work != sample)
        work->Release();
    return result;
}

HRESULT D_CSampleGrabber::TransformSampleInPlace(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    CriticalSectionHold hold(&grabberLock);
    if (!callback)
        return S_OK;
    SampleGrabberInputPin* input = GrabberInput(this);
    if (!input)
        return S_OK;
    // A sample without times gets 0 to 0 before the segment offset.
    REFERENCE_TIME start = 0, stop = 0;
    if (FAILED(sample->GetTime(&start, &stop)))
        start = stop = 0;
    start += input->segmentStart;
    stop += input->segmentStart;
    HRESULT result = callback(sample, &start, &stop, input->typeChanged, userValue);
    input->typeChanged = FALSE;
    return result;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetGrabberAcceptedMediaType(const AM_MEDIA_TYPE* type)
{
    CriticalSectionHold hold(&grabberLock);
    if (!type) {
        ClearMediaTypeObject(&acceptedType);
        ResetMediaTypeRecord(&acceptedType);
        return S_OK;
    }
    return SetMediaTypeObject(&acceptedType, type) == S_OK ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* out)
{
    if (!inputPin || !inputPin->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return inputPin->ConnectionMediaType(out);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetGrabberCallback(GrabberSampleCallback newCallback, DWORD newUserValue)
{
    CriticalSectionHold hold(&grabberLock);
    callback = newCallback;
    userValue = newUserValue;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer)
{
    if (!inputPin || !outputPin)
        return E_POINTER;
    if (inputPin->IsConnected() || outputPin->IsConnected())
        return E_INVALIDARG;
    SampleGrabberInputPin* input = GrabberInput(this);
    if (!input)
        return E_POINTER;
    return input->SetGrabberDeliveryBuffer(properties, buffer);
}

D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result)
{
    D_CSampleGrabber* grabber = new D_CSampleGrabber(outer, result, FALSE);
    if (!grabber && result)
        *result = E_OUTOFMEMORY;
    return grabber;
}

void ReleaseSampleGrabber(MediaObject* object)
{
    delete object;
}
