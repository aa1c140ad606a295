// The MP3 frame walk. The input is the file's bytes, read through a memory
// stream as the converter reads a file.
//
// Whatever the file holds, the walk ends, what it finds lies inside the file,
// and its sample count is no more than the frames the file could hold.
#include "audio/mp3_frames.h"
#include "runtime/file/stream.h"
#include "tests/native/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 20)
        return 0;
    if (size >= 4) {
        MpegFrameHeader h;
        if (ParseMpegAudioHeader(data, &h) == 0) {
            FUZZ_CHECK(h.layer <= 2 && h.sampleRate >= 8000);
            FUZZ_CHECK(h.samplesPerFrame == 384 || h.samplesPerFrame == 576 || h.samplesPerFrame == 1152);
        }
    }
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(size ? (const void*)data : "", (int)size);
    Mp3Walk walk;
    if (WalkMp3Frames(&stream, (int64_t)size, &walk) == 0) {
        FUZZ_CHECK(walk.dataStart >= 0 && walk.dataStart < walk.dataEnd);
        FUZZ_CHECK(walk.dataEnd <= (int64_t)size);
        // No frame with a length is shorter than 24 bytes (MPEG-2 Layer III
        // at 8 kbit/s and 24 kHz), and none holds more than 1152 samples.
        FUZZ_CHECK(walk.totalSamples > 0 && walk.totalSamples <= ((int64_t)size / 24 + 1) * 1152);
    }
    stream.ops.close(stream.handle);
    return 0;
}
