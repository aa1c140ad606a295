#include "movie/dshow_sample_grabber.h"

#include <stdint.h>

#include "movie/dshow_lock.h"

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
    uint64_t slot = (uint64_t)bufferSize + (uint64_t)prefix;
    if (alignment > 1)
        slot = (slot + alignment - 1) / alignment * alignment;
    bufferBlock = delivery->buffer;
    if (!bufferBlock)
        return E_OUTOFMEMORY;
    BYTE* next = bufferBlock;
    while (allocatedCount < bufferCount) {
        MediaSampleObject* sample = new MediaSampleObject("Sample grabber media sample", this, nullptr,
                                                          next + prefix, bufferSize);
        if (!sample)
            return E_OUTOFMEMORY;
        PushFreeSample(sample);
        allocatedCount++;
        next += slot;
    }
    changed = FALSE;
    return S_OK;
}
