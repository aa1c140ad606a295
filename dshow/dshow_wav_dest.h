// WAV Dest: turns an audio stream described by a WAVEFORMATEX into the bytes
// of a RIFF WAVE file for a downstream file writer. Each sample's output times
// are the byte offsets where its data belongs in the file; Stop writes the
// finished header at offset 0 through the downstream pin's IStream.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_filter.h"
#include "dshow/dshow_transform.h"

// Bytes of the header around the format block: "RIFF", size, "WAVE", "fmt ",
// format size, then "data" and the data size after the block.
enum { WAV_HEADER_EXTRA = 28 };

// S_OK for an input type with a WAVEFORMATEX format block (at least the
// structure's size, with its bytes present), else S_FALSE.
HRESULT CheckWavInputType(const AM_MEDIA_TYPE* type);
// The one output type: a WAVE byte stream.
HRESULT ProposeWavOutputType(int position, AM_MEDIA_TYPE* type);
HRESULT AcceptWavOutputType(const AM_MEDIA_TYPE* type);

// Writes the RIFF WAVE header for the connected input type and dataBytes of
// audio into out (headerSize = format size + 28 bytes). E_INVALIDARG when
// headerSize does not fit the type's format block.
HRESULT BuildWavHeader(const AM_MEDIA_TYPE* inputType, DWORD dataBytes, BYTE* out, DWORD headerSize);
// Copies in's data, times, media times and media type to out. A length that
// the input's own buffer or the output buffer cannot hold is refused.
HRESULT CopyWavSample(IMediaSample* in, IMediaSample* out);
// Stamps out with its file position after headerSize + *dataBytes and
// advances *dataBytes; E_FAIL when the data would pass 4 GiB.
HRESULT PlaceWavSample(IMediaSample* out, DWORD headerSize, DWORD* dataBytes);

// {3C78B8E2-6C4D-11D1-ADE2-0000F8754B99}
extern const CLSID CLSID_WavDestFilter;

class WavDestFilter : public TransformFilter {
public:
    // A result that already holds a failure leaves the filter without pins.
    WavDestFilter(IUnknown* outer, HRESULT* result);

    HRESULT TransformSample(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckTypePair(const AM_MEDIA_TYPE* inputType, const AM_MEDIA_TYPE* outputType) override;
    HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    HRESULT ProposeOutputType(int position, MediaTypeObject* type) override;
    HRESULT OnTransformStart() override;
    // WriteWavHeader
    HRESULT OnTransformStop() override;
    // ProcessWavSample
    HRESULT ProcessInputSample(IMediaSample* sample) override;

    DWORD dataBytes;  // audio bytes passed on since streaming started
    DWORD headerSize; // format size + 28
};

class WavDestOutputPin : public TransformOutputPin {
public:
    WavDestOutputPin(TransformFilter* filter, HRESULT* result);
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
};

// The filter (reference count 0), or null when memory runs out.
FilterObject* CreateWavDestFilter(IUnknown* outer, HRESULT* result);

// One entry of a table through which filters are created by class id.
struct FilterFactoryEntry {
    const WCHAR* name;
    const CLSID* classId;
    FilterObject* (*create)(IUnknown* outer, HRESULT* result);
    void (*init)(BOOL loading, const CLSID* classId);
    const FilterSetupRecord* setup;
};

struct WavDestFactoryTable {
    FilterFactoryEntry entries[1];
    int count;
};

extern const WavDestFactoryTable WavDestFactories;
