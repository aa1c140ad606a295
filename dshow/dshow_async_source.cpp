#include "dshow/dshow_async_source.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "dshow/dshow_allocator.h"

static const CLSID kAsyncSourceClassId = {
    0xC553F2C0, 0x1529, 0x11D0, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};

// Sample times carry byte offsets scaled by this.
static const LONGLONG kBytesToTime = 10000000;

AsyncOutputPin::AsyncOutputPin(HRESULT* result, AsyncSourceFilter* filter, AsyncIoEngine* engine,
                               CRITICAL_SECTION* lock)
    : PinObject("Async output pin", filter, lock, result, L"Output", PINDIR_OUTPUT),
      owner(filter), engine(engine), readerRequested(FALSE)
{
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::InnerQueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IAsyncReader)) {
        readerRequested = TRUE;
        return HandOutInterface(ReaderInterface(), out);
    }
    return PinObject::InnerQueryInterface(iid, out);
}

HRESULT AsyncOutputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    EnterCriticalSection(lock);
    const MediaTypeObject& own = owner->outputType;
    HRESULT hr;
    if (!IsEqualGUID(type->majortype, own.majortype))
        hr = S_FALSE;
    else if (IsEqualGUID(own.subtype, GUID_NULL))
        hr = S_OK;
    else
        hr = IsEqualGUID(type->subtype, own.subtype) ? S_OK : S_FALSE;
    LeaveCriticalSection(lock);
    return hr;
}

HRESULT AsyncOutputPin::CheckPeerPin(IPin* peer)
{
    readerRequested = FALSE;
    return PinObject::CheckPeerPin(peer);
}

HRESULT AsyncOutputPin::ReleaseConnection()
{
    readerRequested = FALSE;
    return S_OK;
}

// A peer that never asked for IAsyncReader cannot pull from this pin.
HRESULT AsyncOutputPin::FinishConnection(IPin*)
{
    return readerRequested ? S_OK : E_FAIL;
}

HRESULT AsyncOutputPin::ProposeMediaType(int position, MediaTypeObject* type)
{
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    if (!type)
        return E_POINTER;
    if (!owner)
        return E_UNEXPECTED;
    AssignMediaTypeObject(type, &owner->outputType);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    return owner->ConnectOutputPin(receivePin, type);
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::EndOfStream() { return S_OK; }

HRESULT STDMETHODCALLTYPE AsyncOutputPin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT AsyncOutputPin::CreatePinAllocator(IMemAllocator** out)
{
    HRESULT hr = S_OK;
    MemorySampleAllocator* allocator = ConstructBufferAllocator("Async allocator", nullptr, &hr);
    if (!allocator)
        return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete allocator;
        return hr;
    }
    if (FAILED(allocator->InnerQueryInterface(IID_IMemAllocator, (void**)out))) {
        delete allocator;
        return E_NOINTERFACE;
    }
    return S_OK;
}

static LONG StreamAlignmentOf(AsyncIoEngine* engine)
{
    LONG alignment = 1;
    GetStreamAlignment(engine, &alignment);
    return alignment > 0 ? alignment : 1;
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::RequestAllocator(IMemAllocator* preferred,
                                                           ALLOCATOR_PROPERTIES* properties,
                                                           IMemAllocator** actual)
{
    if (!preferred || !properties || !actual)
        return E_POINTER;
    LONG alignment = StreamAlignmentOf(engine);
    if (properties->cbAlign == 0 || properties->cbAlign % alignment != 0)
        properties->cbAlign = alignment;

    ALLOCATOR_PROPERTIES got;
    HRESULT hr = preferred->SetProperties(properties, &got);
    if (SUCCEEDED(hr) && got.cbAlign % alignment == 0) {
        preferred->AddRef();
        *actual = preferred;
        return S_OK;
    }

    IMemAllocator* own;
    hr = CreatePinAllocator(&own);
    if (FAILED(hr))
        return hr;
    hr = own->SetProperties(properties, &got);
    if (SUCCEEDED(hr) && got.cbAlign % alignment == 0) {
        *actual = own;
        return S_OK;
    }
    own->Release();
    return SUCCEEDED(hr) ? VFW_E_BADALIGN : hr;
}

HRESULT AsyncOutputPin::SampleByteRange(IMediaSample* sample, LONGLONG* position, LONG* length)
{
    REFERENCE_TIME start, stop;
    HRESULT hr = sample->GetTime(&start, &stop);
    if (FAILED(hr))
        return hr;
    if (stop < start)
        return E_INVALIDARG;
    LONGLONG first = start / kBytesToTime;
    // Unsigned, so that times far apart cannot overflow.
    LONGLONG count = (LONGLONG)(((ULONGLONG)stop - (ULONGLONG)start) / (ULONGLONG)kBytesToTime);

    LONGLONG total, available;
    GetStreamLength(engine, &total, &available);
    bool cut = false;
    LONGLONG roundedTotal = 0;
    if (first + count > total) {
        LONGLONG alignment = StreamAlignmentOf(engine);
        roundedTotal = (total + alignment - 1) / alignment * alignment;
        if (first + count > roundedTotal) {
            count = roundedTotal - first;
            cut = true;
        }
    }
    // The read lands in the sample's own buffer: a range that starts past the
    // end or does not fit the buffer is refused before anything is read.
    if (count < 0)
        return E_INVALIDARG;
    if (count > sample->GetSize())
        return VFW_E_BUFFER_OVERFLOW;
    if (cut) {
        REFERENCE_TIME newStop = roundedTotal * kBytesToTime;
        sample->SetTime(&start, &newStop);
    }
    *position = first;
    *length = (LONG)count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::Request(IMediaSample* sample, DWORD_PTR user)
{
    if (!sample)
        return E_POINTER;
    LONGLONG position;
    LONG length;
    HRESULT hr = SampleByteRange(sample, &position, &length);
    if (FAILED(hr))
        return hr;
    BYTE* buffer;
    hr = sample->GetPointer(&buffer);
    if (FAILED(hr))
        return hr;
    return QueueReadRequest(engine, position, length, TRUE, buffer, sample, user);
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user)
{
    if (!sample)
        return E_POINTER;
    IMediaSample* context = nullptr;
    LONG length = 0;
    HRESULT hr = WaitForReadRequest(engine, timeout, &context, user, &length);
    if (SUCCEEDED(hr) && context)
        context->SetActualDataLength(length);
    *sample = context;
    return hr;
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::SyncReadAligned(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    LONGLONG position;
    LONG length;
    HRESULT hr = SampleByteRange(sample, &position, &length);
    if (FAILED(hr))
        return hr;
    BYTE* buffer;
    hr = sample->GetPointer(&buffer);
    if (FAILED(hr))
        return hr;
    LONG got = 0;
    hr = ReadAlignedNow(engine, position, length, buffer, &got, sample);
    sample->SetActualDataLength(got);
    return hr;
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer)
{
    return ReadNow(engine, position, length, buffer);
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::Length(LONGLONG* total, LONGLONG* available)
{
    return GetStreamLength(engine, total, available);
}

HRESULT STDMETHODCALLTYPE AsyncOutputPin::BeginFlush() { return FlushReadRequests(engine); }
HRESULT STDMETHODCALLTYPE AsyncOutputPin::EndFlush() { return EndReadFlush(engine); }

AsyncSourceFilter::AsyncSourceFilter(const char* objectName, IUnknown* outer, AsyncStream* stream,
                                     HRESULT* result)
    : FilterObject(objectName, outer, &filterLock.section, kAsyncSourceClassId, result),
      engine(stream), outputPin(result, this, &engine, &filterLock.section)
{
}

// The members go in reverse order: the type, the pin, the engine (which
// flushes and ends its worker), then the lock.
AsyncSourceFilter::~AsyncSourceFilter() {}

int AsyncSourceFilter::CountPins() { return 1; }

PinObject* AsyncSourceFilter::PinAtIndex(int index)
{
    if (CountPins() < 1 || index != 0)
        return nullptr;
    return &outputPin;
}

const FilterSetupRecord* AsyncSourceFilter::GetFilterSetupRecord() { return nullptr; }

HRESULT AsyncSourceFilter::ConnectOutputPin(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    return outputPin.PinObject::Connect(receivePin, type);
}
