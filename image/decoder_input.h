// Reading helpers shared by the TGA, BGRA, DDS, PNG and JPEG decoders. Sizes
// taken from a file are computed in 64 bits and checked against a limit and
// against what the stream really holds before anything is allocated for them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "runtime/file/stream.h"

// The most pixel memory (or compressed data) one decoded picture may take.
const int64_t MaxDecodedBytes = (int64_t)256 << 20;

inline uint16_t ReadLe16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// Reads exactly n bytes; false when the stream holds fewer.
inline bool ReadStreamExact(StreamDescriptor* stream, void* buffer, size_t n)
{
    if (n == 0)
        return true;
    return stream->ops.read(buffer, 1, n, stream->handle) == n;
}

// The stream's end position, measured by seeking to the end and back; -1 when
// the stream cannot say.
inline int64_t StreamEndPosition(StreamDescriptor* stream)
{
    long here = stream->ops.tell(stream->handle);
    if (here < 0 || stream->ops.seek(stream->handle, 0, 2) != 0)
        return -1;
    long end = stream->ops.tell(stream->handle);
    if (stream->ops.seek(stream->handle, here, 0) != 0 || end < here)
        return -1;
    return end;
}

// Bytes from the current position to the end (0 when unknown).
inline int64_t StreamBytesLeft(StreamDescriptor* stream, int64_t end)
{
    long here = stream->ops.tell(stream->handle);
    return here < 0 || end < here ? 0 : end - here;
}

// A size that fits the limit and the bytes the stream holds.
inline bool SizeFits(int64_t size, int64_t available)
{
    return size >= 0 && size <= MaxDecodedBytes && size <= available;
}
