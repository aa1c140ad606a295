// MPEG audio frame headers and the walk over an MP3 file's frames: plain
// byte work over a stream, shared by the ACM converter and the native fuzzing.
#include "audio/mp3_frames.h"

#include <stdio.h>
#include <string.h>

namespace {

// kbit/s by [MPEG-2][layer][index]; index 0 is free format.
const uint16_t kBitrates[2][3][15] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

const uint32_t kSampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

} // namespace

int ParseMpegAudioHeader(const unsigned char* p, MpegFrameHeader* out)
{
    if (p[0] != 0xFF || (p[1] & 0xF0) != 0xF0)
        return -2;
    int layerCode = (p[1] >> 1) & 3;
    out->mpeg2 = (p[1] & 0x08) ? 0 : 1;
    if (layerCode == 0)
        return -1;
    out->layer = (uint8_t)(3 - layerCode);
    out->bitrateIndex = p[2] >> 4;
    out->sampleRateIndex = (p[2] >> 2) & 3;
    out->padding = (p[2] >> 1) & 1;
    out->channels = (p[3] >> 6) == 3 ? 1 : 2;
    if (out->bitrateIndex == 15 || out->sampleRateIndex == 3)
        return -1;
    out->sampleRate = kSampleRates[out->mpeg2][out->sampleRateIndex];
    out->bitrate = kBitrates[out->mpeg2][out->layer][out->bitrateIndex];
    if (out->layer == 0) {
        out->frameLength = (12000 * out->bitrate / out->sampleRate + out->padding) * 4;
        out->samplesPerFrame = 384;
    } else if (out->layer == 2 && out->mpeg2) {
        out->frameLength = 72000 * out->bitrate / out->sampleRate + out->padding;
        out->samplesPerFrame = 576;
    } else {
        out->frameLength = 144000 * out->bitrate / out->sampleRate + out->padding;
        out->samplesPerFrame = 1152;
    }
    return 0;
}

int WalkMp3Frames(StreamDescriptor* s, int64_t fileSize, Mp3Walk* walk)
{
    unsigned char b[10];

    int64_t tagLength = 0;
    if (s->ops.read(b, 1, 3, s->handle) == 3 && memcmp(b, "ID3", 3) == 0) {
        if (s->ops.read(b + 3, 1, 7, s->handle) != 7)
            return -1;
        tagLength = 10 + ((int64_t)b[6] << 21) + ((int64_t)b[7] << 14) + ((int64_t)b[8] << 7) + b[9];
        if (b[3] == 4 && (b[5] & 0x10))
            tagLength += 10;
    }

    // Files too small to hold a trailer and a frame have no trailer.
    int64_t dataEnd = fileSize;
    if (fileSize > 128) {
        s->ops.seek(s->handle, (long)(fileSize - 128), SEEK_SET);
        if (s->ops.read(b, 1, 3, s->handle) == 3 && memcmp(b, "TAG", 3) == 0)
            dataEnd = fileSize - 128;
    }
    if (tagLength >= dataEnd)
        return -1;

    int64_t dataStart = -1;
    int64_t lastFrameEnd = 0;
    int64_t total = 0;
    int64_t pos = tagLength;
    s->ops.seek(s->handle, (long)pos, SEEK_SET);
    for (;;) {
        // Frames start before the trailer: the search stops there.
        int synced = 0;
        while (pos < dataEnd) {
            if (s->ops.read(b, 1, 1, s->handle) != 1)
                break;
            pos++;
            if (b[0] != 0xFF || pos >= dataEnd)
                continue;
            if (s->ops.read(b + 1, 1, 1, s->handle) != 1)
                break;
            pos++;
            // A header cut off by the end of the file is no frame.
            if ((b[1] & 0xF0) == 0xF0) {
                synced = s->ops.read(b + 2, 1, 2, s->handle) == 2;
                break;
            }
        }
        if (!synced) {
            dataEnd = lastFrameEnd;
            break;
        }
        int64_t frameStart = pos - 2;
        MpegFrameHeader h;
        // Free-format frames carry no length to walk by.
        if (ParseMpegAudioHeader(b, &h) < 0 || h.frameLength == 0 || h.bitrate == 0)
            return -1;
        if (dataStart < 0)
            dataStart = frameStart;
        total += h.samplesPerFrame;
        int64_t frameEnd = frameStart + h.frameLength;
        lastFrameEnd = frameEnd;
        if (frameEnd < dataEnd) {
            pos = frameEnd;
            s->ops.seek(s->handle, (long)pos, SEEK_SET);
            continue;
        }
        break;
    }
    if (dataStart < 0 || dataEnd <= dataStart)
        return -1;
    walk->dataStart = dataStart;
    walk->dataEnd = dataEnd;
    walk->totalSamples = total;
    return 0;
}


int SetUpMp3Frames(StreamDescriptor* s, int64_t fileSize, Mp3Walk* walk, MpegFrameHeader* first)
{
    s->ops.seek(s->handle, 0, SEEK_SET);
    if (WalkMp3Frames(s, fileSize, walk) != 0)
        return -1;
    unsigned char b[4];
    s->ops.seek(s->handle, (long)walk->dataStart, SEEK_SET);
    if (s->ops.read(b, 1, 4, s->handle) != 4 || ParseMpegAudioHeader(b, first) != 0)
        return -1;
    s->ops.seek(s->handle, (long)walk->dataStart, SEEK_SET);
    return 0;
}
