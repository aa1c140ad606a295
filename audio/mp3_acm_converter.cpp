// MP3 files through the Audio Compression Manager, and the ACM stream
// operations that WAVE files with compressed formats share.
#include <string.h>

#include "audio/mp3_frames.h"
#include "audio/acm_drivers.h"
#include "audio/sound_converter.h"
#include "runtime/memory.h"

#if !defined(_WIN64)
static_assert(sizeof(ACMSTREAMHEADER) == 84, "the stream header of 32-bit Windows");
#endif
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "the MPEG layer-3 format record");

namespace {

// A format block of the largest size any codec asks for, never smaller than
// the MPEG layer-3 record.
const DWORD kMaxFormatBlock = 0x10000;

void CloseAcmStream(HACMSTREAM* stream)
{
    if (*stream)
        acmStreamClose(*stream, 0);
    *stream = nullptr;
}

// Moves within the output buffer to target (which lies in it).
void MoveWithinBuffer(SoundConverter* c, int64_t target)
{
    int32_t step = (int32_t)(target - c->bytePosition);
    c->bufferOffset += step;
    c->bytePosition += step;
    c->bytesLeft -= step;
}

} // namespace

int OpenConverterAcmStream(SoundConverter* c, HACMSTREAM* stream)
{
    *stream = nullptr;
    if (OpenAcmStream(stream, c->acm.sourceFormat, &c->format) != 0) {
        *stream = nullptr;
        return -1;
    }
    return 0;
}

int OpenMp3AcmConverter(SoundConverter* c)
{
    StreamDescriptor* s = &c->source;
    AcmConverterState* a = &c->acm;
    *a = AcmConverterState();

    long fileSize = GetConverterStreamSize(c);
    if (fileSize < 0)
        return -1;
    Mp3Walk walk;
    MpegFrameHeader h;
    if (SetUpMp3Frames(&c->source, fileSize, &walk, &h) != 0)
        return -1;

    DWORD formatSize = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &formatSize);
    if (formatSize == 0)
        formatSize = sizeof(MPEGLAYER3WAVEFORMAT);
    if (formatSize < sizeof(MPEGLAYER3WAVEFORMAT))
        formatSize = sizeof(MPEGLAYER3WAVEFORMAT);
    if (formatSize > kMaxFormatBlock)
        return -1;
    MPEGLAYER3WAVEFORMAT* mp3 = (MPEGLAYER3WAVEFORMAT*)AllocTrackedZero(formatSize, "", 0);
    if (!mp3)
        return -1;
    a->sourceFormat = &mp3->wfx;
    mp3->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3->wfx.nChannels = h.channels;
    mp3->wfx.nSamplesPerSec = h.sampleRate;
    mp3->wfx.nAvgBytesPerSec = h.bitrate * 1000 / 8;
    mp3->wfx.nBlockAlign = 1;
    mp3->wfx.wBitsPerSample = 0;
    mp3->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3->wID = MPEGLAYER3_ID_MPEG;
    mp3->fdwFlags = h.padding ? MPEGLAYER3_FLAG_PADDING_ON : MPEGLAYER3_FLAG_PADDING_ISO;
    mp3->nBlockSize = (WORD)h.frameLength;
    mp3->nFramesPerBlock = 1;
    mp3->nCodecDelay = 700;
    s->ops.seek(s->handle, (long)walk.dataStart, SEEK_SET);

    c->dataStart = (int32_t)walk.dataStart;
    c->dataSize = (int32_t)(walk.dataEnd - walk.dataStart);
    memset(&c->format, 0, sizeof(WAVEFORMATEX));
    c->format.wFormatTag = WAVE_FORMAT_PCM;
    if (SuggestAcmFormat(a->sourceFormat, &c->format, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
        goto fail;
    if (!IsPlayablePcmFormat(&c->format))
        goto fail;
    // The total output must be countable in the converter's 32-bit sizes.
    if (walk.totalSamples * c->format.nBlockAlign > 0x7FFFFFFF)
        goto fail;
    a->totalSamples = (int32_t)walk.totalSamples;

    a->data = (unsigned char*)AllocTracked((size_t)c->dataSize, "", 0);
    if (!a->data || s->ops.read(a->data, 1, (size_t)c->dataSize, s->handle) != (size_t)c->dataSize)
        goto fail;
    a->dataSize = c->dataSize;
    s->ops.seek(s->handle, c->dataStart, SEEK_SET);
    a->readPosition = 0;

    if (OpenConverterAcmStream(c, &a->stream) != 0 || OpenConverterAcmStream(c, &a->spareStream) != 0)
        goto fail;
    c->bufferSize = (int32_t)((uint64_t)c->format.nAvgBytesPerSec * 4 / 3);
    c->method = kConverterAcm;
    return 0;

fail:
    CloseAcmConverter(c);
    return -1;
}

int ConvertAcmBlock(SoundConverter* c)
{
    AcmConverterState* a = &c->acm;
    if (a->readPosition >= a->dataSize)
        return -1;
    ACMSTREAMHEADER header;
    memset(&header, 0, sizeof header);
    header.cbStruct = sizeof header;
    header.pbSrc = a->data + a->readPosition;
    header.cbSrcLength = (DWORD)(a->dataSize - a->readPosition < 2048 ? a->dataSize - a->readPosition : 2048);
    header.pbDst = c->buffer;
    header.cbDstLength = (DWORD)c->bufferSize;
    if (acmStreamPrepareHeader(a->stream, &header, 0) != 0)
        return -1;
    acmStreamConvert(a->stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    // The codec's reported lengths never count beyond the buffers given.
    DWORD produced = header.cbDstLengthUsed < header.cbDstLength ? header.cbDstLengthUsed : header.cbDstLength;
    DWORD consumed = header.cbSrcLengthUsed < header.cbSrcLength ? header.cbSrcLengthUsed : header.cbSrcLength;
    c->bytesLeft = (int32_t)produced;
    a->readPosition += (int32_t)consumed;
    acmStreamUnprepareHeader(a->stream, &header, 0);
    if (produced == 0) {
        c->bytesLeft = 0;
        a->readPosition = a->dataSize;
        return -1;
    }
    return 0;
}

int SeekAcmConverter(SoundConverter* c, int sample)
{
    AcmConverterState* a = &c->acm;
    int64_t target = (int64_t)sample * c->format.nBlockAlign;
    if (target >= c->bytePosition && target <= (int64_t)c->bytePosition + c->bytesLeft) {
        MoveWithinBuffer(c, target);
        return 0;
    }
    if (target < c->bytePosition) {
        // Decoding starts again at the first byte with a fresh codec state.
        HACMSTREAM used = a->stream;
        a->stream = a->spareStream;
        a->spareStream = used;
        a->readPosition = 0;
        c->bytePosition = 0;
        c->bytesLeft = 0;
        c->bufferOffset = 0;
        CloseAcmStream(&a->spareStream);
        OpenConverterAcmStream(c, &a->spareStream);
    }
    while ((int64_t)c->bytePosition + c->bytesLeft < target) {
        c->bytePosition += c->bytesLeft;
        c->bytesLeft = 0;
        c->bufferOffset = 0;
        if (ConvertAcmBlock(c) != 0) {
            c->bytesLeft = 0;
            return 0;
        }
    }
    MoveWithinBuffer(c, target);
    return 0;
}

int CloseAcmConverter(SoundConverter* c)
{
    AcmConverterState* a = &c->acm;
    FreeTracked(a->sourceFormat);
    a->sourceFormat = nullptr;
    CloseAcmStream(&a->stream);
    CloseAcmStream(&a->spareStream);
    FreeTracked(a->data);
    a->data = nullptr;
    a->dataSize = 0;
    a->readPosition = 0;
    return 0;
}
