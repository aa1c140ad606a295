// The chunk walk of WAVE files. The input is the file's bytes, read through a
// memory stream as the converters read a file.
//
// Whatever the file holds, the walk ends, the format payload and the data it
// finds lie inside the file, and the payload block is freed by its caller.
#include "audio/wave_chunks.h"
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
    if (ReadWaveFormatChunk(&stream, (int64_t)size, &payload, &payloadSize) == 0) {
        FUZZ_CHECK(payloadSize <= size);
        // The whole block is readable: the payload and a format record after it.
        volatile unsigned char sum = 0;
        for (uint32_t i = 0; i < payloadSize + kWaveFormatRecordSize; i++)
            sum = sum + payload[i];
        if (payloadSize < kWaveFormatRecordSize)
            FUZZ_CHECK(payload[16] == 0 && payload[17] == 0);
        FreeTracked(payload);
        int32_t start, length;
        if (FindWaveData(&stream, (int64_t)size, &start, &length) == 0) {
            FUZZ_CHECK(start >= 20 && length >= 0);
            FUZZ_CHECK((int64_t)start + length <= (int64_t)size);
        }
    }
    stream.ops.close(stream.handle);
    return 0;
}
