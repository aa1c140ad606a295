#include "audio/wave_chunks.h"

#include <stdio.h>
#include <string.h>

#include "runtime/memory.h"

namespace {

struct ChunkHeader {
    char id[4];
    uint32_t size;
};

// 1 when all n bytes were read.
int ReadExact(StreamDescriptor* s, void* out, size_t n)
{
    return s->ops.read(out, 1, n, s->handle) == n;
}

int ReadChunkHeader(StreamDescriptor* s, ChunkHeader* h)
{
    unsigned char raw[8];
    if (!ReadExact(s, raw, sizeof raw))
        return -1;
    memcpy(h->id, raw, 4);
    h->size = (uint32_t)raw[4] | (uint32_t)raw[5] << 8 | (uint32_t)raw[6] << 16 | (uint32_t)raw[7] << 24;
    return 0;
}

// 1 when a payload of size bytes from the current position lies inside the
// stream.
int PayloadFits(StreamDescriptor* s, int64_t streamSize, uint32_t size)
{
    long here = s->ops.tell(s->handle);
    return here >= 0 && (int64_t)here + size <= streamSize;
}

} // namespace

int ReadWaveFormatChunk(StreamDescriptor* s, int64_t streamSize, unsigned char** payload,
                        uint32_t* payloadSize)
{
    ChunkHeader riff;
    char wave[4];
    if (ReadChunkHeader(s, &riff) != 0 || memcmp(riff.id, "RIFF", 4) != 0)
        return -1;
    if (!ReadExact(s, wave, 4) || memcmp(wave, "WAVE", 4) != 0)
        return -1;
    ChunkHeader h;
    if (ReadChunkHeader(s, &h) != 0)
        return -1;
    if (memcmp(h.id, "bext", 4) == 0) {
        if (!PayloadFits(s, streamSize, h.size))
            return -1;
        s->ops.seek(s->handle, (long)h.size, SEEK_CUR);
        if (ReadChunkHeader(s, &h) != 0)
            return -1;
    }
    if (memcmp(h.id, "fmt ", 4) != 0)
        return -1;
    // A payload the stream cannot hold is never allocated.
    if (!PayloadFits(s, streamSize, h.size))
        return -1;
    uint64_t blockSize = (uint64_t)h.size + kWaveFormatRecordSize;
    unsigned char* block = (unsigned char*)AllocTrackedZero((size_t)blockSize, "", 0);
    if (!block)
        return -1;
    if (h.size > 0 && !ReadExact(s, block, h.size)) {
        FreeTracked(block);
        return -1;
    }
    // A chunk shorter than the record has no extra-byte count.
    if (h.size < kWaveFormatRecordSize)
        block[16] = block[17] = 0;
    *payload = block;
    *payloadSize = h.size;
    return 0;
}

int FindWaveData(StreamDescriptor* s, int64_t streamSize, int32_t* dataStart, int32_t* dataSize)
{
    // Stream positions are longs: a stream past 2 GB is refused rather than
    // walked with wrapped positions.
    if (streamSize > INT32_MAX)
        return -1;
    for (;;) {
        ChunkHeader h;
        if (ReadChunkHeader(s, &h) != 0)
            return -1;
        long here = s->ops.tell(s->handle);
        if (here < 0 || here >= streamSize)
            return -1;
        if (memcmp(h.id, "data", 4) == 0) {
            int64_t held = streamSize - here;
            *dataStart = (int32_t)here;
            *dataSize = (int32_t)((int64_t)h.size < held ? (int64_t)h.size : held);
            return 0;
        }
        int64_t next = (int64_t)here + h.size + (h.size & 1);
        if (next >= streamSize)
            return -1;
        s->ops.seek(s->handle, (long)next, SEEK_SET);
    }
}
