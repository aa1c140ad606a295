#include "audio/wave_format.h"

void FixShortPcmFormat(WaveFormatRecord* f, uint32_t payloadSize)
{
    if (payloadSize == 16 && f->formatTag == kWaveFormatPcm) {
        f->extraBytes = 0;
        f->bitsPerSample = f->channels ? (uint16_t)(f->blockAlign / f->channels * 8) : 0;
    }
}

int IsPlayablePcmRecord(const WaveFormatRecord* f)
{
    if (f->formatTag != kWaveFormatPcm)
        return 0;
    if (f->channels != 1 && f->channels != 2)
        return 0;
    if (f->bitsPerSample != 8 && f->bitsPerSample != 16)
        return 0;
    if (f->blockAlign != f->channels * (f->bitsPerSample / 8))
        return 0;
    if (f->samplesPerSec < 100 || f->samplesPerSec > 200000)
        return 0;
    if ((uint64_t)f->avgBytesPerSec != (uint64_t)f->samplesPerSec * f->blockAlign)
        return 0;
    return 1;
}

int IsUsableCompressedRecord(const WaveFormatRecord* f, uint32_t payloadSize)
{
    // The codec reads extraBytes bytes after the record.
    if (payloadSize >= kWaveFormatRecordSize && f->extraBytes > payloadSize - kWaveFormatRecordSize)
        return 0;
    return f->channels != 0 && f->samplesPerSec != 0 && f->avgBytesPerSec != 0 && f->blockAlign != 0;
}
