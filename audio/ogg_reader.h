// The Vorbis file reader over a library stream: open, decode, seek, close.
// Platform-free, so that it is checked natively with the other readers.
#pragma once

#include <stdint.h>

// The reader's record lives in its owner; the library's own callbacks replace
// the header's stdio ones.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "runtime/file/stream.h"

struct OggReader {
    int32_t opened;               // 1 while the reader holds the stream
    OggVorbis_File file;
    int32_t sampleWidth;          // bytes per output sample
};

// Opens the first logical stream of source, which stays the caller's. On
// success channels and rate hold the stream's values (0 when it gives none).
// 0, or -1 when the data is no Vorbis stream.
int OpenOggReader(OggReader* reader, StreamDescriptor* source, int sampleWidth, int* channels, long* rate);
// Samples per channel of the whole stream, or -1 when unknown.
int64_t GetOggReaderSamples(OggReader* reader);
// Decodes up to byteCount bytes of interleaved little-endian PCM into out,
// skipping holes: the bytes written, or 0 at the end or on an error.
long ReadOggReader(OggReader* reader, void* out, int byteCount);
// Moves to a sample frame, cut to the stream's end. 0 or -1.
int SeekOggReader(OggReader* reader, int64_t sample);
void CloseOggReader(OggReader* reader);
