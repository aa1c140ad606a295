// RIFF WAVE files: plain PCM read straight from the stream, and compressed
// formats held in memory and decoded through the ACM stream operations.
#include <string.h>

#include "audio/sound_converter.h"
#include "runtime/memory.h"

namespace {

struct ChunkHeader {
    char id[4];
    uint32_t size;
};

uint32_t ReadLe32(const unsigned char* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// 1 when all n bytes were read.
int ReadExact(SoundConverter* c, void* out, size_t n)
{
    StreamDescriptor* s = &c->source;
    return s->ops.read(out, 1, n, s->handle) == n;
}

int ReadChunkHeader(SoundConverter* c, ChunkHeader* h)
{
    unsigned char raw[8];
    if (!ReadExact(c, raw, sizeof raw))
        return -1;
    memcpy(h->id, raw, 4);
    h->size = ReadLe32(raw + 4);
    return 0;
}

// The RIFF and WAVE tags, an optional "bext" chunk, then the "fmt " chunk,
// whose payload comes back in a zeroed block with room for a full
// WAVEFORMATEX after it, so that short chunks read as zero fields.
int ReadWaveFormatChunk(SoundConverter* c, long streamSize, unsigned char** payload, uint32_t* payloadSize)
{
    StreamDescriptor* s = &c->source;
    ChunkHeader riff;
    char wave[4];
    if (ReadChunkHeader(c, &riff) != 0 || memcmp(riff.id, "RIFF", 4) != 0)
        return -1;
    if (!ReadExact(c, wave, 4) || memcmp(wave, "WAVE", 4) != 0)
        return -1;
    ChunkHeader h;
    if (ReadChunkHeader(c, &h) != 0)
        return -1;
    if (memcmp(h.id, "bext", 4) == 0) {
        long here = s->ops.tell(s->handle);
        if ((int64_t)here + h.size > streamSize)
            return -1;
        s->ops.seek(s->handle, (long)h.size, SEEK_CUR);
        if (ReadChunkHeader(c, &h) != 0)
            return -1;
    }
    if (memcmp(h.id, "fmt ", 4) != 0)
        return -1;
    // A payload the stream cannot hold is never allocated.
    long here = s->ops.tell(s->handle);
    if ((int64_t)here + h.size > streamSize)
        return -1;
    uint64_t blockSize = (uint64_t)h.size + sizeof(WAVEFORMATEX);
    unsigned char* block = (unsigned char*)AllocTrackedZero((size_t)blockSize, "", 0);
    if (!block)
        return -1;
    if (h.size > 0 && !ReadExact(c, block, h.size)) {
        FreeTracked(block);
        return -1;
    }
    WAVEFORMATEX* f = (WAVEFORMATEX*)block;
    if (h.size < sizeof(WAVEFORMATEX))
        f->cbSize = 0;
    *payload = block;
    *payloadSize = h.size;
    return 0;
}

// A 16-byte PCM format has no extra-byte count and its bits per sample come
// from the block align.
void FixShortPcmFormat(WAVEFORMATEX* f, uint32_t payloadSize)
{
    if (payloadSize == 16 && f->wFormatTag == WAVE_FORMAT_PCM) {
        f->cbSize = 0;
        f->wBitsPerSample = f->nChannels ? (WORD)(f->nBlockAlign / f->nChannels * 8) : 0;
    }
}

// Walks the chunks after the format chunk to "data" and records its payload.
// A declared size beyond the stream is cut to the bytes the stream holds.
int FindWaveData(SoundConverter* c, long streamSize)
{
    StreamDescriptor* s = &c->source;
    for (;;) {
        ChunkHeader h;
        if (ReadChunkHeader(c, &h) != 0)
            return -1;
        long here = s->ops.tell(s->handle);
        if (here < 0 || here >= streamSize)
            return -1;
        if (memcmp(h.id, "data", 4) == 0) {
            int64_t held = (int64_t)streamSize - here;
            c->dataStart = (int32_t)here;
            c->dataSize = (int32_t)((int64_t)h.size < held ? (int64_t)h.size : held);
            return 0;
        }
        int64_t next = (int64_t)here + h.size + (h.size & 1);
        if (next >= streamSize)
            return -1;
        s->ops.seek(s->handle, (long)next, SEEK_SET);
    }
}

} // namespace

int OpenWavePcmConverter(SoundConverter* c)
{
    long streamSize = GetConverterStreamSize(c);
    if (streamSize < 0)
        return -1;
    unsigned char* payload;
    uint32_t payloadSize;
    if (ReadWaveFormatChunk(c, streamSize, &payload, &payloadSize) != 0)
        return -1;
    memcpy(&c->format, payload, sizeof(WAVEFORMATEX));
    FreeTracked(payload);
    if (c->format.wFormatTag != WAVE_FORMAT_PCM)
        return -1;
    FixShortPcmFormat(&c->format, payloadSize);
    if (!IsPlayablePcmFormat(&c->format))
        return -1;
    if (FindWaveData(c, streamSize) != 0)
        return -1;
    c->bufferSize = (int32_t)c->format.nAvgBytesPerSec;
    c->method = kConverterWavePcm;
    return 0;
}

int ReadPcmConverterBlock(SoundConverter* c)
{
    StreamDescriptor* s = &c->source;
    int64_t position = (int64_t)s->ops.tell(s->handle) - c->dataStart;
    if (position < 0 || position >= c->dataSize)
        return -1;
    int64_t step = c->dataSize - position;
    if (step > c->bufferSize)
        step = c->bufferSize;
    // A stream that delivers nothing has ended, whatever the chunk declared.
    size_t got = s->ops.read(c->buffer, 1, (size_t)step, s->handle);
    if (got == 0)
        return -1;
    c->bytesLeft = (int32_t)got;
    return 0;
}

int SeekPcmConverter(SoundConverter* c, int sample)
{
    StreamDescriptor* s = &c->source;
    int64_t offset = (int64_t)sample * c->format.nBlockAlign;
    if (offset > c->dataSize)
        offset = c->dataSize;
    s->ops.seek(s->handle, (long)(c->dataStart + offset), SEEK_SET);
    c->bytePosition = (int32_t)offset;
    c->bytesLeft = 0;
    c->bufferOffset = 0;
    return 0;
}

int OpenWaveAcmConverter(SoundConverter* c)
{
    StreamDescriptor* s = &c->source;
    AcmConverterState* a = &c->acm;
    *a = AcmConverterState();
    a->totalSamples = -1;

    long streamSize = GetConverterStreamSize(c);
    if (streamSize < 0)
        return -1;
    unsigned char* payload;
    uint32_t payloadSize;
    if (ReadWaveFormatChunk(c, streamSize, &payload, &payloadSize) != 0)
        return -1;
    a->sourceFormat = (WAVEFORMATEX*)payload;
    WAVEFORMATEX* f = a->sourceFormat;
    FixShortPcmFormat(f, payloadSize);
    // The codec reads cbSize extra bytes: they must lie inside the chunk.
    if (payloadSize >= sizeof(WAVEFORMATEX) && f->cbSize > payloadSize - sizeof(WAVEFORMATEX))
        goto fail;
    if (f->nChannels == 0 || f->nSamplesPerSec == 0 || f->nAvgBytesPerSec == 0 || f->nBlockAlign == 0)
        goto fail;
    if (FindWaveData(c, streamSize) != 0 || c->dataSize == 0)
        goto fail;

    memset(&c->format, 0, sizeof(WAVEFORMATEX));
    c->format.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, f, &c->format, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
        goto fail;
    if (!IsPlayablePcmFormat(&c->format))
        goto fail;

    a->data = (unsigned char*)AllocTracked((size_t)c->dataSize, "", 0);
    if (!a->data || !ReadExact(c, a->data, (size_t)c->dataSize))
        goto fail;
    a->dataSize = c->dataSize;
    s->ops.seek(s->handle, c->dataStart, SEEK_SET);
    a->readPosition = 0;

    if (OpenConverterAcmStream(c, &a->stream) != 0 || OpenConverterAcmStream(c, &a->spareStream) != 0)
        goto fail;
    c->bufferSize = (int32_t)c->format.nAvgBytesPerSec;
    c->method = kConverterAcm;
    return 0;

fail:
    CloseAcmConverter(c);
    return -1;
}
