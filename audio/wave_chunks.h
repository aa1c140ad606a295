// The chunk walk of RIFF WAVE files: the format chunk and the data chunk.
// Platform-free, so that it is checked natively with the other readers.
#pragma once

#include <stdint.h>

#include "runtime/file/stream.h"

// Bytes of the platform's extended wave format record (18).
enum { kWaveFormatRecordSize = 18 };

// Reads the RIFF and WAVE tags, skips an optional "bext" chunk and reads the
// "fmt " chunk. Its payload comes back in a zeroed tracked block with room
// for a whole format record after it, so that a short chunk reads as zero
// fields (its extra-byte count included). 0, or -1 for anything else or a
// payload the stream of streamSize bytes cannot hold.
int ReadWaveFormatChunk(StreamDescriptor* s, int64_t streamSize, unsigned char** payload,
                        uint32_t* payloadSize);

// Walks the chunks after the format chunk to "data": its payload's position
// and size, cut to the bytes the stream holds. 0, or -1 without one.
int FindWaveData(StreamDescriptor* s, int64_t streamSize, int32_t* dataStart, int32_t* dataSize);
