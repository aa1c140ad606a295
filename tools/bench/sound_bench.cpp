// Decode speed of the sound converters, as a multiple of real time: each file
// is converted whole from memory, best of five runs.
//   sound_bench.exe file...   (WAVE, MP3 or Ogg Vorbis)
#include <windows.h>

#include <stdio.h>
#include <vector>

#include "audio/sound_converter.h"
#include "runtime/file/stream.h"
#include "runtime/memory.h"
#include "tools/bench/bench_clock.h"

int main(int argc, char** argv)
{
    static const char* const methods[] = {"WAVE PCM", "ACM", "Ogg Vorbis", "memory"};
    VorbisSampleWidth = 2;
    for (int i = 1; i < argc; i++) {
        FILE* f = fopen(argv[i], "rb");
        if (!f) {
            printf("%s: cannot open\n", argv[i]);
            continue;
        }
        std::vector<char> file;
        char chunk[65536];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
            file.insert(file.end(), chunk, chunk + got);
        fclose(f);

        double best = 1e30;
        int bytes = 0;
        WAVEFORMATEX format = {};
        int method = -1;
        for (int run = 0; run < 5; run++) {
            StreamDescriptor stream;
            stream.ops = *GetMemoryStreamFunctions();
            stream.handle = OpenMemoryStream(file.data(), (int)file.size());
            SoundConverter c = {};
            double start = Now();
            if (SetupSoundConverter(&stream, &c) != 0) {
                stream.ops.close(stream.handle);
                break;
            }
            void* data = nullptr;
            if (ConvertSoundWhole(&c, &format, &data, &bytes) == 0) {
                double took = Now() - start;
                if (took < best)
                    best = took;
                FreeTracked(data);
            }
            method = c.method;
            TerminateSoundConverter(&c);
            stream.ops.close(stream.handle);
        }
        if (method < 0 || best >= 1e30 || format.nAvgBytesPerSec == 0) {
            printf("%s: not decoded\n", argv[i]);
            continue;
        }
        double seconds = (double)bytes / format.nAvgBytesPerSec;
        printf("%-40s %-10s %u Hz x %u: %.2f s of sound in %.4f s = %.0f x real time\n", argv[i],
               methods[method], (unsigned)format.nSamplesPerSec, format.nChannels, seconds, best, seconds / best);
    }
    return 0;
}
