#include "tests/audio/sound_fixtures.h"

class Mp3Converter : public ConverterTest {};

TEST_F(Mp3Converter, Probe)
{
    for (const char* name : {"mpeg1.mp3", "mpeg2.mp3", "tagged.mp3", "ima_adpcm.wav", "mulaw.wav"}) {
        ConverterOver o(ReadFixture(name));
        printf("%s setup %d method %d ch %d rate %lu ba %d bits %d total %d dataStart %d size %d\n", name, o.setup, o.c.method,
               o.c.format.nChannels, o.c.format.nSamplesPerSec, o.c.format.nBlockAlign, o.c.format.wBitsPerSample,
               GetConverterTotalBytes(&o.c), o.c.dataStart, o.c.dataSize);
        if (o.setup == 0) {
            auto all = o.ReadRest();
            printf("  decoded %zu\n", all.size());
        }
    }
}
