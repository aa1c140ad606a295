// Ogg Vorbis through the Vorbis file reader, fed from the converter's stream.
#include <string.h>

#include "audio/sound_converter.h"

namespace {

// The Vorbis file library asks for a fixed amount per read and offers no
// setting, so one reader serves both configurations; the converter carries
// the flag that selects between them.
size_t OggReadCallback(void* buffer, size_t itemSize, size_t itemCount, void* source)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return (size_t)-1;
    return s->ops.read(buffer, itemSize, itemCount, s->handle);
}

// Offsets beyond 4 GiB are not supported.
int OggSeekCallback(void* source, ogg_int64_t offset, int origin)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return -1;
    return s->ops.seek(s->handle, (long)(int32_t)(uint32_t)offset, origin);
}

// The stream belongs to the converter's owner.
int OggCloseCallback(void*) { return 0; }

long OggTellCallback(void* source)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return -1;
    return s->ops.tell(s->handle);
}

const ov_callbacks kOggCallbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};

// Total PCM bytes, or -1 when they do not fit the converter's 32-bit sizes.
int64_t OggTotalBytes(SoundConverter* c)
{
    ogg_int64_t samples = ov_pcm_total(&c->ogg.file, -1);
    if (samples < 0)
        return -1;
    int64_t bytes = (int64_t)samples * c->format.nChannels * c->ogg.sampleWidth;
    return bytes > 0x7FFFFFFF ? -1 : bytes;
}

} // namespace

int OpenOggSound(SoundConverter* c)
{
    OggConverterState* o = &c->ogg;
    o->opened = 0;
    // The output format is 16-bit; sound start-up sets the width to match.
    o->sampleWidth = VorbisSampleWidth;
    if (o->sampleWidth != 2)
        return -1;
    if (ov_open_callbacks(&c->source, &o->file, nullptr, 0, kOggCallbacks) != 0)
        return -1;
    o->opened = 1;
    vorbis_info* info = ov_info(&o->file, -1);
    memset(&c->format, 0, sizeof(WAVEFORMATEX));
    if (info && info->channels > 0 && info->channels <= 0xFFFF && info->rate > 0 && info->rate <= 0x7FFFFFFF) {
        c->format.wFormatTag = WAVE_FORMAT_PCM;
        c->format.nChannels = (WORD)info->channels;
        c->format.nSamplesPerSec = (DWORD)info->rate;
        c->format.nBlockAlign = (WORD)(c->format.nChannels * 2);
        c->format.nAvgBytesPerSec = (DWORD)((uint64_t)c->format.nBlockAlign * c->format.nSamplesPerSec);
        c->format.wBitsPerSample = 16;
    }
    int64_t total = OggTotalBytes(c);
    if (!IsPlayablePcmFormat(&c->format) || total < 0) {
        CloseOggSound(c);
        return -1;
    }
    c->bufferSize = 4096;
    c->dataSize = (int32_t)total;
    c->method = kConverterOggVorbis;
    return 0;
}

int DecodeOggSoundBlock(SoundConverter* c)
{
    OggConverterState* o = &c->ogg;
    for (;;) {
        int link;
        long got = ov_read(&o->file, (char*)c->buffer, 4096, 0, o->sampleWidth, o->sampleWidth != 1, &link);
        // A hole is skipped; any other error ends the data like its end.
        if (got == OV_HOLE)
            continue;
        if (got <= 0)
            return -1;
        c->bytesLeft = (int32_t)got;
        return 0;
    }
}

int SeekOggSound(SoundConverter* c, int sample)
{
    // Past the end, the reader stays at its end.
    ogg_int64_t total = ov_pcm_total(&c->ogg.file, -1);
    if (total >= 0 && sample > total)
        sample = (int)total;
    ov_pcm_seek(&c->ogg.file, sample);
    c->bytesLeft = 0;
    c->bufferOffset = 0;
    c->bytePosition = (int32_t)((int64_t)sample * c->format.nBlockAlign);
    return 0;
}

int GetOggSoundLength(SoundConverter* c)
{
    int64_t total = OggTotalBytes(c);
    return total < 0 ? 0 : (int)total;
}

int CloseOggSound(SoundConverter* c)
{
    if (c->ogg.opened) {
        ov_clear(&c->ogg.file);
        c->ogg.opened = 0;
    }
    return 0;
}
