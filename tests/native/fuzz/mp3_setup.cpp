// The MP3 converter's frame set-up: the walk, then the first frame's header
// from which the converter builds its source format, and the numbers that
// format and the converter's 32-bit sizes take from it. The input is the
// file's bytes, read through a memory stream as the converter reads a file.
//
// Whatever the file holds, an accepted file's first frame lies inside its
// data and describes a format a codec can be given, and its sizes fit.
#include "audio/mp3_frames.h"
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
    Mp3Walk walk;
    MpegFrameHeader first;
    if (SetUpMp3Frames(&stream, (int64_t)size, &walk, &first) == 0) {
        FUZZ_CHECK(walk.dataStart >= 0 && walk.dataStart < walk.dataEnd && walk.dataEnd <= (int64_t)size);
        FUZZ_CHECK(stream.ops.tell(stream.handle) == walk.dataStart);
        FUZZ_CHECK(walk.dataStart + 4 <= (int64_t)size);
        FUZZ_CHECK(data[walk.dataStart] == 0xFF);
        // The source format: channels, rate, byte rate and block size.
        FUZZ_CHECK(first.channels == 1 || first.channels == 2);
        FUZZ_CHECK(first.sampleRate >= 8000 && first.sampleRate <= 48000);
        FUZZ_CHECK(first.bitrate > 0 && (uint64_t)first.bitrate * 1000 / 8 <= 0xFFFFFFFFu);
        FUZZ_CHECK(first.frameLength > 0 && first.frameLength <= 0xFFFF);
        FUZZ_CHECK(walk.totalSamples > 0);
        FUZZ_CHECK(walk.dataEnd - walk.dataStart <= 0x7FFFFFFF);
    }
    stream.ops.close(stream.handle);
    return 0;
}
