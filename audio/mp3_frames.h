// MPEG audio frame headers and the frame walk of MP3 files.
#pragma once

#include <stdint.h>

#include "runtime/file/stream.h"

struct MpegFrameHeader {
    uint8_t layer;            // 0 Layer I, 1 Layer II, 2 Layer III
    uint8_t mpeg2;            // 1 for the lower sampling frequencies
    uint8_t bitrateIndex;
    uint8_t sampleRateIndex;
    uint8_t padding;
    uint8_t channels;
    uint32_t sampleRate;      // Hz
    uint32_t bitrate;         // kbit/s; 0 for free format
    uint32_t frameLength;     // bytes
    uint32_t samplesPerFrame;
};
// 0; -1 for a reserved layer, bitrate or sample rate; -2 without the sync.
int ParseMpegAudioHeader(const unsigned char* header, MpegFrameHeader* out);

struct Mp3Walk {
    int64_t dataStart;    // first frame
    int64_t dataEnd;      // end of the last whole frame, before any ID3v1 trailer
    int64_t totalSamples; // samples per channel over the frames
};

// Finds the frames between the ID3v2 tag and the ID3v1 trailer of a stream of
// fileSize bytes (read from its start) and sums their samples. 0, or -1 when
// no usable frame is found.
int WalkMp3Frames(StreamDescriptor* s, int64_t fileSize, Mp3Walk* walk);

// The converter's frame set-up: the walk from the stream's start, then the
// header of the first frame, which describes the source format; the stream
// is left at the first frame. 0, or -1.
int SetUpMp3Frames(StreamDescriptor* s, int64_t fileSize, Mp3Walk* walk, MpegFrameHeader* first);
