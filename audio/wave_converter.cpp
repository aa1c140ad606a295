// RIFF WAVE files: plain PCM read straight from the stream, and compressed
// formats held in memory and decoded through the ACM stream operations.
#include <string.h>

#include "audio/acm_drivers.h"
#include "audio/sound_converter.h"
#include "audio/wave_chunks.h"
#include "audio/wave_format.h"
#include "runtime/memory.h"

namespace {

static_assert(sizeof(WAVEFORMATEX) == kWaveFormatRecordSize, "the chunk reader leaves room for one format record");

// 1 when all n bytes were read.
int ReadExact(SoundConverter* c, void* out, size_t n)
{
    StreamDescriptor* s = &c->source;
    return s->ops.read(out, 1, n, s->handle) == n;
}

} // namespace

int OpenWavePcmConverter(SoundConverter* c)
{
    long streamSize = GetConverterStreamSize(c);
    if (streamSize < 0)
        return -1;
    unsigned char* payload;
    uint32_t payloadSize;
    if (ReadWaveFormatChunk(&c->source, streamSize, &payload, &payloadSize) != 0)
        return -1;
    WaveFormatRecord record;
    memcpy(&record, payload, sizeof record);
    FreeTracked(payload);
    if (record.formatTag != kWaveFormatPcm)
        return -1;
    FixShortPcmFormat(&record, payloadSize);
    if (!IsPlayablePcmRecord(&record))
        return -1;
    memcpy(&c->format, &record, sizeof record);
    if (FindWaveData(&c->source, streamSize, &c->dataStart, &c->dataSize) != 0)
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
    if (ReadWaveFormatChunk(&c->source, streamSize, &payload, &payloadSize) != 0)
        return -1;
    a->sourceFormat = (WAVEFORMATEX*)payload;
    WAVEFORMATEX* f = a->sourceFormat;
    {
        WaveFormatRecord record;
        memcpy(&record, payload, sizeof record);
        FixShortPcmFormat(&record, payloadSize);
        memcpy(payload, &record, sizeof record);
        if (!IsUsableCompressedRecord(&record, payloadSize))
            goto fail;
    }
    if (FindWaveData(&c->source, streamSize, &c->dataStart, &c->dataSize) != 0 || c->dataSize == 0)
        goto fail;

    memset(&c->format, 0, sizeof(WAVEFORMATEX));
    c->format.wFormatTag = WAVE_FORMAT_PCM;
    if (SuggestAcmFormat(f, &c->format, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
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
