// Sound loading from memory, the platform-free steps of a PCM WAVE image: the
// stream read whole into memory, the chunk walk and format check on the copy,
// the whole-or-stream rule and the stream ring, and the WAVE image the stream
// path builds around the PCM, read back through the chunk walk. The input is
// the image's bytes, read through a memory stream.
//
// Whatever the image holds, the copy is the image, an accepted format gives
// a built image that walks back to the same format and data, and all memory
// comes back.
#include <string.h>

#include "audio/sound_image.h"
#include "audio/stream_ring.h"
#include "audio/wave_chunks.h"
#include "audio/wave_format.h"
#include "runtime/file/stream.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

StreamDescriptor OverMemory(const void* data, size_t size)
{
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(size ? data : "", (int)size);
    return stream;
}

// The format record and data of a WAVE image; false when the walk refuses it.
bool Walk(const uint8_t* image, size_t size, WaveFormatRecord* format, uint32_t* payloadSize, int32_t* start,
          int32_t* length)
{
    StreamDescriptor s = OverMemory(image, size);
    unsigned char* payload;
    bool ok = ReadWaveFormatChunk(&s, (int64_t)size, &payload, payloadSize) == 0;
    if (ok) {
        memcpy(format, payload, sizeof *format);
        FreeTracked(payload);
        ok = FindWaveData(&s, (int64_t)size, start, length) == 0;
    }
    s.ops.close(s.handle);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 20)
        return 0;
    StreamDescriptor source = OverMemory(data, size);
    void* copy = nullptr;
    uint32_t copySize = 0;
    FUZZ_CHECK(ReadStreamToMemory(&source, &copy, &copySize) == 0);
    source.ops.close(source.handle);
    FUZZ_CHECK(copySize == size && (size == 0 || memcmp(copy, data, size) == 0));

    WaveFormatRecord format;
    uint32_t payloadSize = 0;
    int32_t start = 0, length = 0;
    const uint8_t* bytes = (const uint8_t*)copy;
    if (Walk(bytes, copySize, &format, &payloadSize, &start, &length)) {
        FixShortPcmFormat(&format, payloadSize);
        if (IsPlayablePcmRecord(&format)) {
            FUZZ_CHECK((int64_t)start + length <= (int64_t)copySize);
            // Whole below 181 seconds, else a stream with its ring.
            const int whole = FitsWholeSound((uint32_t)length, format.avgBytesPerSec);
            FUZZ_CHECK(whole == ((uint64_t)length < (uint64_t)format.avgBytesPerSec * 181));
            StreamRingSizes sizes;
            FUZZ_CHECK(GetStreamRingSizes(format.avgBytesPerSec, format.blockAlign, &sizes) == 0);
            // The stream path's image of the PCM walks back to it (an empty
            // data chunk at the end of a file is no data to the walk).
            void* image = nullptr;
            uint32_t imageSize = 0;
            if (length > 0 && BuildWaveImage(&image, &imageSize, &format, sizeof format, bytes + start, (uint32_t)length) == 0) {
                WaveFormatRecord again;
                uint32_t againPayload = 0;
                int32_t againStart = 0, againLength = 0;
                FUZZ_CHECK(Walk((const uint8_t*)image, imageSize, &again, &againPayload, &againStart,
                                &againLength));
                FUZZ_CHECK(againPayload == sizeof format && memcmp(&again, &format, sizeof format) == 0);
                FUZZ_CHECK(againLength == length);
                FUZZ_CHECK(memcmp((const uint8_t*)image + againStart, bytes + start, (size_t)length) == 0);
                FreeTracked(image);
            }
        }
    }
    FreeTracked(copy);
    return 0;
}
