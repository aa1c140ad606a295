// The converter record's set-up, reads and seeks, dispatched to the method
// that accepted the data, and the decoded-memory method.
#include "audio/sound_converter.h"

#include <string.h>

#include "audio/sound_system.h"
#include "audio/wave_format.h"
#include "runtime/memory.h"

int32_t SoundSecondReaderFlag = 0;
int32_t VorbisSampleWidth = 0;

int IsPlayablePcmFormat(const WAVEFORMATEX* f)
{
    WaveFormatRecord record;
    memcpy(&record, f, sizeof record);
    return IsPlayablePcmRecord(&record);
}

long GetConverterStreamSize(SoundConverter* c)
{
    StreamDescriptor* s = &c->source;
    long here = s->ops.tell(s->handle);
    if (here < 0)
        return -1;
    s->ops.seek(s->handle, 0, SEEK_END);
    long size = s->ops.tell(s->handle);
    s->ops.seek(s->handle, here, SEEK_SET);
    return size;
}

// Releases what the method's opener left with the converter.
static void ReleaseMethodState(SoundConverter* c)
{
    switch (c->method) {
    case kConverterAcm:
        CloseAcmConverter(c);
        break;
    case kConverterOggVorbis:
        CloseOggSound(c);
        break;
    case kConverterMemory:
        FreeTracked(c->memory.pcm);
        c->memory.pcm = nullptr;
        break;
    default:
        break;
    }
}

int SetupSoundConverter(StreamDescriptor* source, SoundConverter* c)
{
    c->secondReader = SoundSecondReaderFlag;
    c->source = *source;
    StreamDescriptor* s = &c->source;

    int (*const openers[])(SoundConverter*) = {
        OpenWavePcmConverter, OpenWaveAcmConverter, OpenOggSound, OpenMp3AcmConverter,
    };
    int accepted = 0;
    for (auto open : openers) {
        s->ops.seek(s->handle, 0, SEEK_SET);
        if (open(c) == 0) {
            accepted = 1;
            break;
        }
    }
    // The DirectShow conversion measures and rewinds the stream itself. It
    // runs platform filters that may take long or never finish: the sound
    // lock is not held across it, so that the service thread keeps going.
    if (!accepted) {
        const int levels = SuspendSoundLock();
        const int converted = ConvertMp3ToPcm(c);
        ResumeSoundLock(levels);
        if (converted != 0)
            return -1;
    }

    c->endFlag = 0;
    c->buffer = nullptr;
    if (c->bufferSize > 0)
        c->buffer = (unsigned char*)AllocTracked((size_t)c->bufferSize, "", 0);
    if (!c->buffer) {
        ReleaseMethodState(c);
        c->open = 0;
        return -1;
    }
    c->bytesLeft = 0;
    c->bufferOffset = 0;
    c->bytePosition = 0;
    c->open = 1;
    return 0;
}

static int RunBlockStep(SoundConverter* c)
{
    switch (c->method) {
    case kConverterWavePcm:
        return ReadPcmConverterBlock(c);
    case kConverterAcm:
        return ConvertAcmBlock(c);
    case kConverterOggVorbis:
        return DecodeOggSoundBlock(c);
    case kConverterMemory:
        return ReadMemoryConverterBlock(c);
    default:
        return -1;
    }
}

int ReadSoundConverter(SoundConverter* c, void* destination, int n)
{
    if (!c->open)
        return -1;
    if (c->endFlag || n <= 0)
        return 0;
    unsigned char* out = (unsigned char*)destination;
    int copied = 0;
    while (copied < n) {
        if (c->bytesLeft <= 0) {
            c->bufferOffset = 0;
            c->bytesLeft = 0;
            if (RunBlockStep(c) != 0) {
                c->endFlag = 1;
                return copied;
            }
            continue;
        }
        int step = n - copied;
        if (step > c->bytesLeft)
            step = c->bytesLeft;
        memcpy(out + copied, c->buffer + c->bufferOffset, (size_t)step);
        copied += step;
        c->bytesLeft -= step;
        c->bufferOffset += step;
        c->bytePosition += step;
    }
    return n;
}

int SeekSoundConverter(SoundConverter* c, int sample)
{
    if (sample < 0)
        sample = 0;
    int64_t target = (int64_t)sample * c->format.nBlockAlign;
    int64_t distance = target - c->bytePosition;
    if (distance > -16 && distance < 16)
        return 0;
    switch (c->method) {
    case kConverterWavePcm:
        SeekPcmConverter(c, sample);
        break;
    case kConverterAcm:
        SeekAcmConverter(c, sample);
        break;
    case kConverterOggVorbis:
        SeekOggSound(c, sample);
        break;
    case kConverterMemory:
        // Past the end, the next read delivers nothing and sets the end flag.
        if (target > c->memory.size)
            target = c->memory.size;
        c->memory.readPosition = (int32_t)target;
        c->bytePosition = (int32_t)target;
        c->bytesLeft = 0;
        c->bufferOffset = 0;
        break;
    default:
        break;
    }
    c->endFlag = 0;
    return 0;
}

int ReadMemoryConverterBlock(SoundConverter* c)
{
    MemoryConverterState* m = &c->memory;
    if (m->readPosition >= m->size)
        return -1;
    int32_t step = m->size - m->readPosition;
    if (step > c->bufferSize)
        step = c->bufferSize;
    memcpy(c->buffer, m->pcm + m->readPosition, (size_t)step);
    c->bytesLeft = step;
    m->readPosition += step;
    return 0;
}

int GetConverterTotalBytes(SoundConverter* c)
{
    switch (c->method) {
    case kConverterWavePcm:
        return c->dataSize;
    case kConverterAcm: {
        uint64_t total;
        if (c->acm.totalSamples >= 0) {
            total = (uint64_t)c->acm.totalSamples * c->format.nBlockAlign;
        } else {
            DWORD size = 0;
            if (acmStreamSize(c->acm.stream, (DWORD)c->acm.dataSize, &size, ACM_STREAMSIZEF_SOURCE) != 0)
                return -1;
            total = size;
        }
        return total > 0x7FFFFFFF ? -1 : (int)total;
    }
    case kConverterOggVorbis:
        return GetOggSoundLength(c);
    case kConverterMemory:
        return c->memory.size;
    default:
        return -1;
    }
}

int ConvertSoundWhole(SoundConverter* c, WAVEFORMATEX* format, void** data, int* byteCount)
{
    int total = GetConverterTotalBytes(c);
    if (total < 0)
        return -1;
    unsigned char* block = (unsigned char*)AllocTracked((size_t)total, "", 0);
    if (!block)
        return -1;
    SeekSoundConverter(c, 0);
    int got;
    if (c->method == kConverterWavePcm) {
        StreamDescriptor* s = &c->source;
        got = total > 0 ? (int)s->ops.read(block, 1, (size_t)total, s->handle) : 0;
    } else {
        got = ReadSoundConverter(c, block, total);
        if (got < 0)
            got = 0;
    }
    // Only what was really decoded counts.
    *format = c->format;
    *data = block;
    *byteCount = got;
    return 0;
}

int TerminateSoundConverter(SoundConverter* c)
{
    if (!c->open)
        return -1;
    FreeTracked(c->buffer);
    c->buffer = nullptr;
    ReleaseMethodState(c);
    c->open = 0;
    return 0;
}

int GetConverterFormat(SoundConverter* c, WAVEFORMATEX* out)
{
    memcpy(out, &c->format, sizeof(WAVEFORMATEX));
    return 0;
}
