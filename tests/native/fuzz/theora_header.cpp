// The Theora movie's stream reading: the three headers, the size and rate
// checks, the page and key-frame index, and the first packets decoded from
// the start as the decode thread would. The input is the file's bytes, read
// through a memory stream.
//
// Whatever the file holds, the reading ends, an accepted movie has an index
// that covers its frames, and nothing stays allocated.
#include <string.h>

#include "movie/theora_player.h"
#include "runtime/file/stream.h"
#include "tests/native/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 20)
        return 0;
    StreamFunctionTable table;
    memset(&table, 0, sizeof table);
    table.close = CloseMemoryStream;
    table.tell = MemStreamTell;
    table.seek = MemStreamSeek;
    table.read = MemStreamRead;
    table.eof = MemStreamEof;
    table.idle = MemStreamIdle;
    StreamHandle file = OpenMemoryStream(size ? (const void*)data : "", (int)size);
    TheoraDecoder* d = CreateTheoraDecoder(&table, file);
    FUZZ_CHECK(d != nullptr);
    if (PrepareTheoraDecoder(d) == 0) {
        FUZZ_CHECK(d->headerCount == 3);
        FUZZ_CHECK(d->info.width > 0 && d->info.height > 0);
        FUZZ_CHECK(d->info.fps_numerator != 0 && d->info.fps_denominator != 0);
        FUZZ_CHECK(d->frameCount > 0 && d->pageCount > 0);
        FUZZ_CHECK(d->pages[0].offset == 0);
        int64_t frames = 0;
        for (int i = 0; i < d->pageCount; i++) {
            FUZZ_CHECK(d->pages[i].firstFrame == frames);
            FUZZ_CHECK(d->pages[i].frameCount > 0);
            FUZZ_CHECK(d->pages[i].offset < size);
            frames += d->pages[i].frameCount;
        }
        FUZZ_CHECK(frames == d->frameCount);
        // The first frames from the start of the file, one packet at a time.
        ogg_sync_reset(&d->sync);
        ogg_stream_reset(&d->stream);
        d->files.seek(d->file, 0, 0);
        d->decodePosition = -1;
        for (int i = 0; i < 4 && i < d->frameCount; i++)
            if (DecodeTheoraFrames(d, 1) < 0)
                break;
    }
    DestroyTheoraDecoder(d);
    CloseMemoryStream(file);
    return 0;
}
