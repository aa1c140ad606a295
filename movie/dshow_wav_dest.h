// WAV Dest: turns an audio stream described by a WAVEFORMATEX into the bytes
// of a RIFF WAVE file for a downstream file writer. Each sample's output times
// are the byte offsets where its data belongs in the file; Stop writes the
// finished header at offset 0 through the downstream pin's IStream.
#pragma once

#include <windows.h>
#include <strmif.h>

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
