// Theora movie speed in frames per second against the movie's own rate:
// libtheora decoding alone, the YUV-to-RGB conversion of one frame into the
// frame image, and playback through the player (decode thread, stock and
// conversion), each from memory, best of three runs.
//   movie_bench.exe movie.ogv   (tools/make_movie_fixtures.sh --bench makes a
//                                640x360 one)
#include <windows.h>

#include <stdio.h>

#include <vector>

#include "movie/theora_player.h"
#include "runtime/file/stream.h"
#include "tools/bench/bench_clock.h"

namespace {

StreamFunctionTable MemoryTable()
{
    StreamFunctionTable t = {};
    t.close = CloseMemoryStream;
    t.tell = MemStreamTell;
    t.seek = MemStreamSeek;
    t.read = MemStreamRead;
    t.eof = MemStreamEof;
    t.idle = MemStreamIdle;
    return t;
}

double Best(double a, double b) { return a > b ? a : b; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: movie_bench movie.ogv\n");
        return 1;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        printf("%s: cannot open\n", argv[1]);
        return 1;
    }
    std::vector<char> file;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        file.insert(file.end(), chunk, chunk + got);
    fclose(f);
    InitYuvTables();
    StreamFunctionTable table = MemoryTable();

    double decodeRate = 0, convertRate = 0, playRate = 0;
    TheoraMovieInfo info = {};
    for (int run = 0; run < 3; run++) {
        // Decoding alone: every packet of the movie through libtheora.
        StreamHandle h = OpenMemoryStream(file.data(), (int)file.size());
        TheoraDecoder* d = CreateTheoraDecoder(&table, h);
        if (!d || PrepareTheoraDecoder(d) != 0) {
            printf("%s: no Theora movie\n", argv[1]);
            return 1;
        }
        ogg_sync_reset(&d->sync);
        ogg_stream_reset(&d->stream);
        d->files.seek(d->file, 0, 0);
        d->decodePosition = -1;
        int frames = (int)d->frameCount;
        double start = Now();
        for (int i = 0; i < frames; i++)  // one at a time, so none is skipped
            DecodeTheoraFrames(d, 1);
        decodeRate = Best(decodeRate, frames / (Now() - start));
        DestroyTheoraDecoder(d);
        CloseMemoryStream(h);

        // Playback: every frame in turn, fetched into the frame image.
        h = OpenMemoryStream(file.data(), (int)file.size());
        d = OpenTheoraMovie(&table, h, 10);
        GetTheoraMovieInfo(d, &info);
        start = Now();
        for (int i = 1; i < info.frameCount; i++) {
            AdvanceTheoraMovie(d, 1);
            FetchTheoraFrame(d, 1, 0);
        }
        playRate = Best(playRate, (info.frameCount - 1) / (Now() - start));

        // Conversion alone: the current frame again and again.
        const int conversions = 200;
        start = Now();
        for (int i = 0; i < conversions; i++) {
            d->imageDone = 0;
            FetchTheoraFrame(d, 1, 0);
        }
        convertRate = Best(convertRate, conversions / (Now() - start));
        CloseTheoraMovie(d);
        CloseMemoryStream(h);
    }
    printf("%s: %d x %d, %d frames at %.2f per second\n", argv[1], info.width, info.height, info.frameCount,
           info.framesPerSecond);
    printf("  decode     %8.1f frames/s  (%.1f x the movie's rate)\n", decodeRate, decodeRate / info.framesPerSecond);
    printf("  convert    %8.1f frames/s  (%.1f x)\n", convertRate, convertRate / info.framesPerSecond);
    printf("  playback   %8.1f frames/s  (%.1f x)\n", playRate, playRate / info.framesPerSecond);
    return 0;
}
