// Ogg Vorbis through the Vorbis file reader, fed from the converter's stream.
#include <string.h>

#include "audio/sound_converter.h"

namespace {

// Total PCM bytes, or -1 when they do not fit the converter's 32-bit sizes.
int64_t OggTotalBytes(SoundConverter* c)
{
    int64_t samples = GetOggReaderSamples(&c->ogg);
    if (samples < 0)
        return -1;
    int64_t bytes = samples * c->format.nChannels * c->ogg.sampleWidth;
    return bytes > 0x7FFFFFFF ? -1 : bytes;
}

} // namespace

int OpenOggSound(SoundConverter* c)
{
    OggReader* o = &c->ogg;
    o->opened = 0;
    // The output format is 16-bit; sound start-up sets the width to match.
    if (VorbisSampleWidth != 2)
        return -1;
    int channels;
    long rate;
    if (OpenOggReader(o, &c->source, VorbisSampleWidth, &channels, &rate) != 0)
        return -1;
    memset(&c->format, 0, sizeof(WAVEFORMATEX));
    if (channels > 0 && channels <= 0xFFFF && rate > 0 && rate <= 0x7FFFFFFF) {
        c->format.wFormatTag = WAVE_FORMAT_PCM;
        c->format.nChannels = (WORD)channels;
        c->format.nSamplesPerSec = (DWORD)rate;
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
    long got = ReadOggReader(&c->ogg, c->buffer, 4096);
    if (got <= 0)
        return -1;
    c->bytesLeft = (int32_t)got;
    return 0;
}

int SeekOggSound(SoundConverter* c, int sample)
{
    int64_t total = GetOggReaderSamples(&c->ogg);
    if (total >= 0 && sample > total)
        sample = (int)total;
    SeekOggReader(&c->ogg, sample);
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
    CloseOggReader(&c->ogg);
    return 0;
}
