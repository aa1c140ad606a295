// WAVE format handling after the chunk walk: the format record as the PCM and
// compressed openers take it (the short PCM record completed, the playable
// check, the extra-byte bound), the data chunk, and the stream ring a
// playable format would get. The input is the file's bytes, read through a
// memory stream.
//
// Whatever the file holds, an accepted PCM format is one the sound buffers
// take and gives a ring of whole blocks, an accepted compressed format hands
// a codec no more bytes than the chunk holds, and all memory comes back.
#include <string.h>

#include "audio/stream_ring.h"
#include "audio/wave_chunks.h"
#include "audio/wave_format.h"
#include "runtime/file/stream.h"
#include "tests/native/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 20)
        return 0;
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(size ? (const void*)data : "", (int)size);
    unsigned char* payload;
    uint32_t payloadSize;
    if (ReadWaveFormatChunk(&stream, (int64_t)size, &payload, &payloadSize) != 0) {
        stream.ops.close(stream.handle);
        return 0;
    }
    WaveFormatRecord f;
    memcpy(&f, payload, sizeof f);
    FreeTracked(payload);
    FixShortPcmFormat(&f, payloadSize);
    int32_t start = 0, length = 0;
    const bool hasData = FindWaveData(&stream, (int64_t)size, &start, &length) == 0;
    if (f.formatTag == kWaveFormatPcm) {
        if (IsPlayablePcmRecord(&f)) {
            FUZZ_CHECK(f.channels == 1 || f.channels == 2);
            FUZZ_CHECK(f.bitsPerSample == 8 || f.bitsPerSample == 16);
            FUZZ_CHECK(f.blockAlign == f.channels * f.bitsPerSample / 8);
            FUZZ_CHECK(f.avgBytesPerSec == f.samplesPerSec * f.blockAlign);
            StreamRingSizes sizes;
            FUZZ_CHECK(GetStreamRingSizes(f.avgBytesPerSec, f.blockAlign, &sizes) == 0);
            FUZZ_CHECK(sizes.ring >= f.avgBytesPerSec && sizes.ring % f.blockAlign == 0);
            FUZZ_CHECK(sizes.firstFill > 0 && sizes.firstFill <= sizes.ring && sizes.firstFill % f.blockAlign == 0);
            FUZZ_CHECK(sizes.step > 0 && sizes.step % f.blockAlign == 0);
            FUZZ_CHECK(sizes.guardDistance <= sizes.ring);
        }
    } else if (IsUsableCompressedRecord(&f, payloadSize)) {
        FUZZ_CHECK(f.channels && f.samplesPerSec && f.avgBytesPerSec && f.blockAlign);
        if (payloadSize >= kWaveFormatRecordSize)
            FUZZ_CHECK(kWaveFormatRecordSize + f.extraBytes <= payloadSize);
    }
    if (hasData)
        FUZZ_CHECK(start >= 0 && length >= 0 && (int64_t)start + length <= (int64_t)size);
    stream.ops.close(stream.handle);
    return 0;
}
