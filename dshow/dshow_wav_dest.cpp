#include "dshow/dshow_wav_dest.h"

#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <stdint.h>
#include <string.h>

#include "dshow/dshow_lock.h"
#include "dshow/dshow_media_type.h"

HRESULT CheckWavInputType(const AM_MEDIA_TYPE* type)
{
    if (!type || !IsEqualGUID(type->formattype, FORMAT_WaveFormatEx))
        return S_FALSE;
    // The header copies the block as it stands, so it must be there in full;
    // a PCM block may stop before cbSize (16 bytes, as in PCM WAVE files).
    if (type->cbFormat < sizeof(PCMWAVEFORMAT) || !type->pbFormat)
        return S_FALSE;
    if ((uint64_t)type->cbFormat + WAV_HEADER_EXTRA > 0xFFFFFFFFull)
        return S_FALSE;
    return S_OK;
}

HRESULT ProposeWavOutputType(int position, AM_MEDIA_TYPE* type)
{
    if (position != 0)
        return VFW_S_NO_MORE_ITEMS;
    if (!type)
        return E_POINTER;
    SetMediaMajorType(type, &MEDIATYPE_Stream);
    SetMediaSubtypeGuid(type, &MEDIASUBTYPE_WAVE);
    return S_OK;
}

HRESULT AcceptWavOutputType(const AM_MEDIA_TYPE* type)
{
    if (!type)
        return E_POINTER;
    if (IsEqualGUID(type->majortype, MEDIATYPE_Stream) && IsEqualGUID(type->subtype, MEDIASUBTYPE_WAVE))
        return S_OK;
    return S_FALSE;
}

static void PutTag(BYTE* at, const char* tag) { memcpy(at, tag, 4); }

static void PutLe32(BYTE* at, DWORD value)
{
    at[0] = (BYTE)value;
    at[1] = (BYTE)(value >> 8);
    at[2] = (BYTE)(value >> 16);
    at[3] = (BYTE)(value >> 24);
}

HRESULT BuildWavHeader(const AM_MEDIA_TYPE* inputType, DWORD dataBytes, BYTE* out, DWORD headerSize)
{
    if (!inputType || !out)
        return E_POINTER;
    if (CheckWavInputType(inputType) != S_OK || headerSize != inputType->cbFormat + WAV_HEADER_EXTRA)
        return E_INVALIDARG;
    DWORD formatSize = inputType->cbFormat;
    PutTag(out, "RIFF");
    // Wraps only past 4 GiB, which PlaceWavSample never lets the data reach.
    PutLe32(out + 4, dataBytes + headerSize - 8);
    PutTag(out + 8, "WAVE");
    PutTag(out + 12, "fmt ");
    PutLe32(out + 16, formatSize);
    memcpy(out + 20, inputType->pbFormat, formatSize);
    PutTag(out + 20 + formatSize, "data");
    PutLe32(out + 24 + formatSize, dataBytes);
    return S_OK;
}

HRESULT CopyWavSample(IMediaSample* in, IMediaSample* out)
{
    if (!in || !out)
        return E_POINTER;
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    HRESULT result = in->GetPointer(&source);
    if (FAILED(result))
        return result;
    result = out->GetPointer(&target);
    if (FAILED(result))
        return result;
    LONG length = in->GetActualDataLength();
    // A length the sample's own buffer does not hold, or that the output
    // buffer cannot take, would read or write past a buffer.
    if (length < 0 || length > in->GetSize() || length > out->GetSize())
        return E_FAIL;
    if (length > 0 && (!source || !target))
        return E_POINTER;
    if (length > 0)
        memcpy(target, source, (size_t)length);
    REFERENCE_TIME start, stop;
    if (in->GetTime(&start, &stop) == S_OK)
        out->SetTime(&start, &stop);
    LONGLONG mediaStart, mediaStop;
    if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        out->SetMediaTime(&mediaStart, &mediaStop);
    AM_MEDIA_TYPE* type = nullptr;
    if (in->GetMediaType(&type) == S_OK && type) {
        out->SetMediaType(type);
        DestroyMediaTypeRecord(type);
    }
    out->SetActualDataLength(length);
    return S_OK;
}

HRESULT PlaceWavSample(IMediaSample* out, DWORD headerSize, DWORD* dataBytes)
{
    if (!out || !dataBytes)
        return E_POINTER;
    LONG length = out->GetActualDataLength();
    if (length < 0)
        return E_FAIL;
    uint64_t position = (uint64_t)*dataBytes + headerSize;
    if (position + (uint64_t)length > 0xFFFFFFFFull)
        return E_FAIL;
    REFERENCE_TIME start = (REFERENCE_TIME)position;
    REFERENCE_TIME stop = (REFERENCE_TIME)(position + (uint64_t)length);
    out->SetTime(&start, &stop);
    *dataBytes += (DWORD)length;
    return S_OK;
}

const CLSID CLSID_WavDestFilter = {0x3C78B8E2, 0x6C4D, 0x11D1, {0xAD, 0xE2, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99}};

static const FilterSetupRecord WavDestSetup = {&CLSID_WavDestFilter, L"WAV Dest", MERIT_DO_NOT_USE, 0, nullptr};

const WavDestFactoryTable WavDestFactories = {
    {{L"WAV Dest", &CLSID_WavDestFilter, CreateWavDestFilter, nullptr, &WavDestSetup}}, 1};

WavDestOutputPin::WavDestOutputPin(TransformFilter* filter, HRESULT* result)
    : TransformOutputPin(nullptr, filter, result, L"Out")
{
}

HRESULT WavDestOutputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    return AcceptWavOutputType(type);
}

WavDestFilter::WavDestFilter(IUnknown* outer, HRESULT* result)
    : TransformFilter(nullptr, outer, CLSID_WavDestFilter), dataBytes(0), headerSize(0)
{
    if (result && FAILED(*result))
        return;
    HRESULT made = S_OK;
    WavDestOutputPin* output = new WavDestOutputPin(this, &made);
    if (!output) {
        if (result)
            *result = E_OUTOFMEMORY;
    } else if (FAILED(made)) {
        delete output;
    } else {
        outputPin = output;
    }
    made = S_OK;
    TransformInputPin* input = new TransformInputPin(nullptr, this, &made, L"In");
    if (!input) {
        if (result)
            *result = E_OUTOFMEMORY;
    } else if (FAILED(made)) {
        delete input;
    } else {
        inputPin = input;
    }
}

FilterObject* CreateWavDestFilter(IUnknown* outer, HRESULT* result)
{
    return new WavDestFilter(outer, result);
}

HRESULT WavDestFilter::CheckInputMediaType(const AM_MEDIA_TYPE* type)
{
    return CheckWavInputType(type);
}

HRESULT WavDestFilter::CheckTypePair(const AM_MEDIA_TYPE* inputType, const AM_MEDIA_TYPE*)
{
    HRESULT result = CheckInputMediaType(inputType);
    return FAILED(result) ? result : S_OK;
}

HRESULT WavDestFilter::ProposeOutputType(int position, MediaTypeObject* type)
{
    return ProposeWavOutputType(position, type);
}

HRESULT WavDestFilter::SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties)
{
    if (!inputPin || !inputPin->IsConnected())
        return E_UNEXPECTED;
    if (!allocator || !properties)
        return E_POINTER;
    IMemAllocator* inputAllocator = nullptr;
    HRESULT result = inputPin->MemInputInterface()->GetAllocator(&inputAllocator);
    if (FAILED(result))
        return result;
    ALLOCATOR_PROPERTIES input;
    result = inputAllocator->GetProperties(&input);
    inputAllocator->Release();
    if (FAILED(result))
        return result;
    properties->cBuffers = 1;
    properties->cbAlign = 1;
    properties->cbBuffer = input.cbBuffer;
    ALLOCATOR_PROPERTIES actual;
    result = allocator->SetProperties(properties, &actual);
    if (FAILED(result))
        return result;
    if (actual.cBuffers < properties->cBuffers || actual.cbBuffer < properties->cbBuffer)
        return E_FAIL;
    return S_OK;
}

HRESULT WavDestFilter::OnTransformStart()
{
    dataBytes = 0;
    headerSize = inputPin->connectionType.cbFormat + WAV_HEADER_EXTRA;
    return S_OK;
}

HRESULT WavDestFilter::TransformSample(IMediaSample* in, IMediaSample* out)
{
    HRESULT result = CopyWavSample(in, out);
    if (FAILED(result))
        return result;
    return PlaceWavSample(out, headerSize, &dataBytes);
}

HRESULT WavDestFilter::ProcessInputSample(IMediaSample* sample)
{
    DWORD before = dataBytes;
    HRESULT result = ProcessTransformSample(sample);
    // A sample that was not delivered leaves no gap in the file.
    if (result != S_OK)
        dataBytes = before;
    return result;
}

HRESULT WavDestFilter::OnTransformStop()
{
    if (!outputPin || !outputPin->IsConnected())
        return E_FAIL;
    IStream* stream = nullptr;
    HRESULT result = outputPin->connectedPin->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
    if (FAILED(result))
        return result;
    BYTE* header = static_cast<BYTE*>(CoTaskMemAlloc(headerSize));
    result = header ? BuildWavHeader(&inputPin->connectionType, dataBytes, header, headerSize) : E_OUTOFMEMORY;
    if (SUCCEEDED(result)) {
        LARGE_INTEGER zero = {};
        result = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        if (SUCCEEDED(result))
            result = stream->Write(header, headerSize, nullptr);
    }
    CoTaskMemFree(header);
    stream->Release();
    return result;
}
