// The format record of WAVE files as the chunk walk leaves it, and the checks
// the WAVE openers make of it. Platform-free, so that it is checked natively
// with the chunk walk.
#pragma once

#include <stdint.h>

#include "audio/wave_chunks.h"

// The platform's extended wave format record, field for field (packed,
// little-endian as in the file).
#pragma pack(push, 1)
struct WaveFormatRecord {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraBytes;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatRecord) == kWaveFormatRecordSize, "one format record");

enum { kWaveFormatPcm = 1 };

// A 16-byte PCM format has no extra-byte count and its bits per sample come
// from the block align.
void FixShortPcmFormat(WaveFormatRecord* format, uint32_t payloadSize);
// 1 when DirectSound can play the format as it stands (PCM, 8 or 16 bits,
// 1 or 2 channels, consistent block align and byte rate, rate within the
// buffer limits), else 0.
int IsPlayablePcmRecord(const WaveFormatRecord* format);
// 1 when a compressed format can be handed to a codec: its extra bytes lie
// inside the chunk of payloadSize bytes and no field a codec divides by is 0.
int IsUsableCompressedRecord(const WaveFormatRecord* format, uint32_t payloadSize);
