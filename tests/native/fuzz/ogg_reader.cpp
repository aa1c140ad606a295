// The Vorbis reader. The input is the file's bytes, read through a memory
// stream as the sound converter reads a file.
//
// Whatever the file holds, opening, decoding, seeking and closing end, write
// no more than asked, and leave nothing allocated.
#include "audio/ogg_reader.h"
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
    OggReader reader;
    int channels;
    long rate;
    if (OpenOggReader(&reader, &stream, 2, &channels, &rate) == 0) {
        // Decoding is bounded by the output asked for, not by the stream.
        static unsigned char out[4096 + 16];
        long total = 0;
        for (int i = 0; i < 64; i++) {
            out[sizeof out - 1] = 0xA5;
            long got = ReadOggReader(&reader, out, 4096);
            FUZZ_CHECK(got >= 0 && got <= 4096);
            FUZZ_CHECK(out[sizeof out - 1] == 0xA5);
            if (got == 0)
                break;
            total += got;
        }
        int64_t samples = GetOggReaderSamples(&reader);
        if (samples > 0) {
            SeekOggReader(&reader, samples / 2);
            FUZZ_CHECK(ReadOggReader(&reader, out, 4096) <= 4096);
        }
        SeekOggReader(&reader, samples + 1000);
        (void)total;
        CloseOggReader(&reader);
        FUZZ_CHECK(reader.opened == 0);
    }
    stream.ops.close(stream.handle);
    return 0;
}
