// WAVE files through the converter: plain PCM read from the stream, IMA
// ADPCM and mu-law through the platform's codecs, chunk layouts, and damaged
// or hostile files.
#include <string.h>

#include "runtime/memory.h"
#include "tests/audio/sound_fixtures.h"
#include "tests/support/test_bytes.h"

namespace {

struct Format {
    uint16_t tag, channels;
    uint32_t rate, avg;
    uint16_t align, bits;
};

const Format kStereo16 = {1, 2, 44100, 176400, 4, 16};
const Format kMono8 = {1, 1, 8000, 8000, 1, 8};

std::vector<uint8_t> FormatPayload(const Format& f, uint32_t size = 16)
{
    std::vector<uint8_t> p(size < 16 ? 16 : size, 0);
    Put16(p, 0, f.tag);
    Put16(p, 2, f.channels);
    Put32(p, 4, f.rate);
    Put32(p, 8, f.avg);
    Put16(p, 12, f.align);
    Put16(p, 14, f.bits);
    p.resize(size);
    return p;
}

// "RIFF", "WAVE", the chunks before the format, the format chunk, the chunks
// between it and the data, then the data chunk (declared size as given).
std::vector<uint8_t> MakeWave(const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& data,
                              const std::vector<uint8_t>& between = {}, const std::vector<uint8_t>& before = {},
                              int64_t declaredData = -1)
{
    std::vector<uint8_t> b;
    Append(b, "RIFF\0\0\0\0WAVE", 12);
    Append(b, before.data(), before.size());
    AppendChunk(b, "fmt ", (uint32_t)fmt.size(), fmt);
    Append(b, between.data(), between.size());
    AppendChunk(b, "data", declaredData < 0 ? (uint32_t)data.size() : (uint32_t)declaredData, data);
    Put32(b, 4, (uint32_t)(b.size() - 8));
    return b;
}

std::vector<uint8_t> Chunk(const char* id, uint32_t size, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> b;
    AppendChunk(b, id, size, payload);
    return b;
}

// Runs one opener on its own over the bytes; its state is released again.
int OpenWith(const std::vector<uint8_t>& bytes, int (*opener)(SoundConverter*))
{
    SoundConverter c;
    memset(&c, 0, sizeof c);
    c.source.ops = *GetMemoryStreamFunctions();
    c.source.handle = OpenMemoryStream(bytes.data(), (int)bytes.size());
    int result = opener(&c);
    if (result == 0 && c.method == kConverterAcm)
        CloseAcmConverter(&c);
    CloseMemoryStream(c.source.handle);
    return result;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t count)
{
    if (from > v.size())
        from = v.size();
    if (count > v.size() - from)
        count = v.size() - from;
    return std::vector<uint8_t>(v.begin() + (long)from, v.begin() + (long)(from + count));
}

class WaveConverter : public ConverterTest {};

TEST_F(WaveConverter, PcmDeliversTheDataChunkAsStored)
{
    std::vector<uint8_t> pcm = TestBytes(3 * 17640 + 100, 1);
    ConverterOver o(MakeWave(FormatPayload(kStereo16), pcm));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(kConverterWavePcm, o.c.method);
    WAVEFORMATEX f;
    GetConverterFormat(&o.c, &f);
    EXPECT_EQ(1, f.wFormatTag);
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(44100u, f.nSamplesPerSec);
    EXPECT_EQ(4, f.nBlockAlign);
    EXPECT_EQ(16, f.wBitsPerSample);
    EXPECT_EQ((int)pcm.size(), GetConverterTotalBytes(&o.c));
    EXPECT_EQ(pcm, o.ReadRest(7777));

    void* whole = nullptr;
    int count = -1;
    ASSERT_EQ(0, ConvertSoundWhole(&o.c, &f, &whole, &count));
    ASSERT_EQ((int)pcm.size(), count);
    EXPECT_EQ(0, memcmp(whole, pcm.data(), pcm.size()));
    FreeTracked(whole);
}

TEST_F(WaveConverter, PcmBlocksAreOneSecondOfTheFormat)
{
    ConverterOver o(MakeWave(FormatPayload(kMono8), TestBytes(20000, 2)));
    ASSERT_EQ(0, o.setup);
    for (int expected : {8000, 8000, 4000}) {
        ASSERT_EQ(0, ReadPcmConverterBlock(&o.c));
        EXPECT_EQ(expected, o.c.bytesLeft);
    }
    EXPECT_EQ(-1, ReadPcmConverterBlock(&o.c));
}

TEST_F(WaveConverter, ShortFormatChunkTakesBitsFromTheBlockAlign)
{
    ConverterOver o(MakeWave(FormatPayload({1, 2, 11025, 44100, 4, 8}), TestBytes(400, 3)));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(16, o.c.format.wBitsPerSample);
    EXPECT_EQ(0, o.c.format.cbSize);
}

TEST_F(WaveConverter, ChunkLayouts)
{
    std::vector<uint8_t> pcm = TestBytes(4000, 4);
    std::vector<uint8_t> fmt = FormatPayload(kStereo16);
    std::vector<uint8_t> list = Chunk("LIST", 5, TestBytes(6, 5));  // odd size and its pad byte
    std::vector<uint8_t> bext = Chunk("bext", 10, TestBytes(10, 6));
    std::vector<uint8_t> noData = MakeWave(fmt, {});
    noData.resize(noData.size() - 8);
    std::vector<uint8_t> notRiff = MakeWave(fmt, pcm);
    notRiff[0] = 'X';
    std::vector<uint8_t> notWave = MakeWave(fmt, pcm);
    notWave[11] = 'X';
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"list chunk between format and data", MakeWave(fmt, pcm, list), true},
        {"bext chunk before the format", MakeWave(fmt, pcm, {}, bext), true},
        {"format chunk of 18 bytes", MakeWave(FormatPayload(kStereo16, 18), pcm), true},
        {"list chunk before the format", MakeWave(fmt, pcm, {}, list), false},
        {"data header last in the file", MakeWave(fmt, {}), false},
        {"no data chunk", noData, false},
        {"not RIFF", notRiff, false},
        {"not WAVE", notWave, false},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ConverterOver o(t.bytes);
        if (t.accepted) {
            ASSERT_EQ(0, o.setup);
            EXPECT_EQ(kConverterWavePcm, o.c.method);
            EXPECT_EQ(pcm, o.ReadRest());
        } else {
            EXPECT_EQ(-1, o.setup);
            EXPECT_EQ(-1, OpenWith(t.bytes, OpenWavePcmConverter));
            EXPECT_EQ(-1, OpenWith(t.bytes, OpenWaveAcmConverter));
        }
    }
}

TEST_F(WaveConverter, TruncatedDataEndsWhereTheStreamEnds)
{
    std::vector<uint8_t> pcm = TestBytes(1000, 7);
    ConverterOver o(MakeWave(FormatPayload(kStereo16), pcm, {}, {}, 40000));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(1000, GetConverterTotalBytes(&o.c));
    std::vector<uint8_t> buffer(5000);
    EXPECT_EQ(1000, ReadSoundConverter(&o.c, buffer.data(), 5000));
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 5000));

    WAVEFORMATEX f;
    void* whole = nullptr;
    int count = -1;
    ASSERT_EQ(0, ConvertSoundWhole(&o.c, &f, &whole, &count));
    EXPECT_EQ(1000, count);
    EXPECT_EQ(0, memcmp(whole, pcm.data(), pcm.size()));
    FreeTracked(whole);
}

// Sizes near 4 GiB neither allocate nor walk backwards.
TEST_F(WaveConverter, HostileChunkSizesAreRefused)
{
    std::vector<uint8_t> fmt = FormatPayload(kStereo16);
    std::vector<uint8_t> hugeFmt;
    Append(hugeFmt, "RIFF\0\0\0\0WAVE", 12);
    AppendChunk(hugeFmt, "fmt ", 0xFFFFFFF0u, fmt);
    AppendChunk(hugeFmt, "data", 4, {0, 0, 0, 0});
    std::vector<uint8_t> zeros(64, 0);
    const std::vector<uint8_t> cases[] = {
        hugeFmt,
        MakeWave(fmt, zeros, {}, Chunk("bext", 0xFFFFFFF0u, {})),
        MakeWave(fmt, zeros, Chunk("LIST", 0xFFFFFFFFu, {})),
        MakeWave(fmt, zeros, Chunk("LIST", 0xFFFFFFF7u, {})),
        MakeWave(fmt, zeros, Chunk("LIST", 0x7FFFFFFFu, {})),
    };
    for (const auto& bytes : cases) {
        ConverterOver o(bytes);
        EXPECT_EQ(-1, o.setup);
    }
}

TEST_F(WaveConverter, UnusableFormatsAreRefused)
{
    std::vector<uint8_t> zeros(400, 0);
    // Formats with a zero field: no opener takes them.
    const Format zero[] = {
        {1, 0, 44100, 176400, 4, 16},
        {1, 2, 44100, 176400, 0, 16},
        {1, 2, 0, 176400, 4, 16},
        {1, 2, 44100, 0, 4, 16},
        {0x11, 0, 22050, 11100, 256, 4},
        {0x11, 1, 22050, 11100, 0, 4},
    };
    for (const Format& f : zero) {
        SCOPED_TRACE(f.tag * 1000 + f.channels);
        ConverterOver o(MakeWave(FormatPayload(f, 20), zeros));
        EXPECT_EQ(-1, o.setup);
    }
    // PCM the sound device cannot play: the PCM method refuses it; what any
    // other method makes of it must be playable.
    const Format unplayable[] = {
        {1, 2, 44100, 264600, 6, 24},
        {1, 6, 44100, 529200, 12, 16},
        {1, 2, 44100, 100000, 4, 16},
        {1, 2, 50, 200, 4, 16},
        {1, 2, 44100, 264600, 6, 16},
    };
    for (const Format& f : unplayable) {
        SCOPED_TRACE(f.channels * 1000 + f.bits);
        std::vector<uint8_t> bytes = MakeWave(FormatPayload(f, 18), zeros);
        EXPECT_EQ(-1, OpenWith(bytes, OpenWavePcmConverter));
        ConverterOver o(bytes);
        if (o.setup == 0) {
            const WAVEFORMATEX& out = o.c.format;
            EXPECT_TRUE(out.nChannels == 1 || out.nChannels == 2);
            EXPECT_TRUE(out.wBitsPerSample == 8 || out.wBitsPerSample == 16);
            EXPECT_EQ(out.nChannels * out.wBitsPerSample / 8, out.nBlockAlign);
            EXPECT_EQ(out.nSamplesPerSec * out.nBlockAlign, out.nAvgBytesPerSec);
        }
    }
}

TEST_F(WaveConverter, PcmSeekMatchesContinuousReading)
{
    std::vector<uint8_t> pcm = TestBytes(176400, 8);
    ConverterOver o(MakeWave(FormatPayload(kStereo16), pcm));
    ASSERT_EQ(0, o.setup);
    std::vector<uint8_t> buffer(4000);
    for (int sample : {20000, 0, 4410, 44090, 1}) {
        SCOPED_TRACE(sample);
        EXPECT_EQ(0, SeekSoundConverter(&o.c, sample));
        int got = ReadSoundConverter(&o.c, buffer.data(), 4000);
        EXPECT_EQ(Slice(pcm, (size_t)sample * 4, 4000), Slice(buffer, 0, (size_t)got));
    }
}

TEST_F(WaveConverter, SeeksWithin16BytesChangeNothing)
{
    std::vector<uint8_t> pcm = TestBytes(4000, 9);
    ConverterOver o(MakeWave(FormatPayload(kStereo16), pcm));
    ASSERT_EQ(0, o.setup);
    std::vector<uint8_t> buffer(5000);
    ASSERT_EQ(100, ReadSoundConverter(&o.c, buffer.data(), 100));
    SeekSoundConverter(&o.c, 28);  // 112 bytes: 12 away
    ASSERT_EQ(100, ReadSoundConverter(&o.c, buffer.data(), 100));
    EXPECT_EQ(Slice(pcm, 100, 100), Slice(buffer, 0, 100));
    SeekSoundConverter(&o.c, 54);  // 216 bytes: 16 away
    ASSERT_EQ(100, ReadSoundConverter(&o.c, buffer.data(), 100));
    EXPECT_EQ(Slice(pcm, 216, 100), Slice(buffer, 0, 100));

    // Asked for more than remains: the rest once, then nothing until a seek
    // of 16 bytes or more.
    EXPECT_EQ(4000 - 316, ReadSoundConverter(&o.c, buffer.data(), 5000));
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 5000));
    SeekSoundConverter(&o.c, 997);  // 3988 bytes: 12 away from the end
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 5000));
    SeekSoundConverter(&o.c, 996);
    EXPECT_EQ(16, ReadSoundConverter(&o.c, buffer.data(), 5000));
    // Past the end: the converter stays at its end.
    SeekSoundConverter(&o.c, 100000);
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 5000));
}

TEST_F(WaveConverter, AcmDecodesCompressedFormatsAsTheReferenceDoes)
{
    for (const char* name : {"ima_adpcm", "mulaw"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> reference = ReadFixture((std::string(name) + ".raw").c_str());
        ConverterOver o(ReadFixture((std::string(name) + ".wav").c_str()));
        ASSERT_EQ(0, o.setup);
        EXPECT_EQ(kConverterAcm, o.c.method);
        EXPECT_EQ(1, o.c.format.nChannels);
        EXPECT_EQ(22050u, o.c.format.nSamplesPerSec);
        EXPECT_EQ(16, o.c.format.wBitsPerSample);
        EXPECT_EQ((int)reference.size(), GetConverterTotalBytes(&o.c));
        EXPECT_EQ(reference, o.ReadRest(3001));

        // Forward and backward seeks land where continuous decoding is.
        std::vector<uint8_t> buffer(2000);
        for (int sample : {3000, 777, 0, 5000, 4999}) {
            SCOPED_TRACE(sample);
            SeekSoundConverter(&o.c, sample);
            int got = ReadSoundConverter(&o.c, buffer.data(), 2000);
            EXPECT_EQ(Slice(reference, (size_t)sample * 2, 2000), Slice(buffer, 0, (size_t)got));
        }
    }
}

TEST_F(WaveConverter, TruncatedAdpcmDecodesItsWholeBlocks)
{
    std::vector<uint8_t> reference = ReadFixture("ima_adpcm.raw");
    std::vector<uint8_t> file = ReadFixture("ima_adpcm.wav");
    file.resize(60 + 3 * 256 + 172);  // three whole 256-byte blocks and part of a fourth
    ConverterOver o(file);
    ASSERT_EQ(0, o.setup);
    WAVEFORMATEX f;
    void* whole = nullptr;
    int count = -1;
    ASSERT_EQ(0, ConvertSoundWhole(&o.c, &f, &whole, &count));
    // A mono block holds 505 samples.
    ASSERT_EQ(3 * 505 * 2, count);
    EXPECT_EQ(0, memcmp(whole, reference.data(), (size_t)count));
    FreeTracked(whole);
}

TEST_F(WaveConverter, CodecExtraBytesMustLieInTheFormatChunk)
{
    std::vector<uint8_t> fmt = FormatPayload({0x11, 1, 22050, 11100, 256, 4}, 20);
    Put16(fmt, 16, 200);
    EXPECT_EQ(-1, OpenWith(MakeWave(fmt, std::vector<uint8_t>(512, 0)), OpenWaveAcmConverter));
}

TEST_F(WaveConverter, ReadsOnAConverterThatIsNotOpenFail)
{
    SoundConverter c;
    memset(&c, 0, sizeof c);
    char buffer[4];
    EXPECT_EQ(-1, ReadSoundConverter(&c, buffer, 4));
    EXPECT_EQ(-1, TerminateSoundConverter(&c));
}

} // namespace
