// MP3 through the platform's ACM codec: frame headers, the frame walk with
// its tags, decoding and seeking, and damaged or hostile files.
#include <stdlib.h>
#include <string.h>

#include "runtime/memory.h"
#include "tests/audio/sound_fixtures.h"

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo: 144000 x 128 / 44100 = 417.
const uint8_t kMpeg1Header[4] = {0xFF, 0xFB, 0x90, 0x00};
const int kMpeg1Length = 417;
// MPEG-2 Layer III, 64 kbit/s, 22050 Hz, mono: 72000 x 64 / 22050 = 208.
const uint8_t kMpeg2Header[4] = {0xFF, 0xF3, 0x80, 0xC0};
const int kMpeg2Length = 208;

void AppendFrames(std::vector<uint8_t>& b, const uint8_t* header, int length, int count)
{
    for (int i = 0; i < count; i++) {
        size_t at = b.size();
        b.resize(at + (size_t)length, 0);
        memcpy(&b[at], header, 4);
    }
}

std::vector<uint8_t> Id3v2(uint8_t major, uint8_t flags, uint32_t size, uint8_t fill)
{
    std::vector<uint8_t> b = {'I', 'D', '3', major, 0, flags, (uint8_t)(size >> 21 & 0x7F),
                              (uint8_t)(size >> 14 & 0x7F), (uint8_t)(size >> 7 & 0x7F), (uint8_t)(size & 0x7F)};
    b.resize(10 + size, fill);
    return b;
}

std::vector<uint8_t> Id3v1(const std::vector<uint8_t>& inside = {})
{
    std::vector<uint8_t> b(128, ' ');
    memcpy(b.data(), "TAG", 3);
    if (!inside.empty())
        memcpy(&b[40], inside.data(), inside.size());
    return b;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> b;
    for (const auto& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

std::vector<uint8_t> Frames(const uint8_t* header, int length, int count)
{
    std::vector<uint8_t> b;
    AppendFrames(b, header, length, count);
    return b;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t size)
{
    return std::vector<uint8_t>(v.begin(), v.begin() + (long)size);
}

class Mp3Converter : public ConverterTest {};

TEST(MpegAudioHeader, ParsesEveryVersionAndLayer)
{
    struct Case {
        uint8_t bytes[4];
        uint8_t layer, mpeg2, channels, padding;
        uint32_t rate, bitrate, length, samples;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 2, 0, 2, 0, 44100, 128, 417, 1152},
        {{0xFF, 0xFA, 0x92, 0xC0}, 2, 0, 1, 1, 44100, 128, 418, 1152},
        {{0xFF, 0xFB, 0xE8, 0x40}, 2, 0, 2, 0, 32000, 320, 1440, 1152},
        {{0xFF, 0xF3, 0x80, 0xC0}, 2, 1, 1, 0, 22050, 64, 208, 576},
        {{0xFF, 0xF3, 0x14, 0x00}, 2, 1, 2, 0, 24000, 8, 24, 576},
        {{0xFF, 0xFD, 0x70, 0x00}, 1, 0, 2, 0, 44100, 112, 365, 1152},
        {{0xFF, 0xF5, 0xE4, 0x00}, 1, 1, 2, 0, 24000, 160, 960, 1152},
        {{0xFF, 0xFF, 0x50, 0x00}, 0, 0, 2, 0, 44100, 160, 172, 384},
        {{0xFF, 0xF7, 0x1A, 0xC0}, 0, 1, 1, 1, 16000, 32, 100, 384},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.bytes[1] * 0x10000 + t.bytes[2] * 0x100 + t.bytes[3]);
        MpegFrameHeader h;
        ASSERT_EQ(0, ParseMpegAudioHeader(t.bytes, &h));
        EXPECT_EQ(t.layer, h.layer);
        EXPECT_EQ(t.mpeg2, h.mpeg2);
        EXPECT_EQ(t.channels, h.channels);
        EXPECT_EQ(t.padding, h.padding);
        EXPECT_EQ(t.rate, h.sampleRate);
        EXPECT_EQ(t.bitrate, h.bitrate);
        EXPECT_EQ(t.length, h.frameLength);
        EXPECT_EQ(t.samples, h.samplesPerFrame);
    }
}

TEST(MpegAudioHeader, RefusesReservedFieldsAndMissingSyncs)
{
    const struct {
        uint8_t bytes[4];
        int result;
    } cases[] = {
        {{0xFF, 0xF9, 0x90, 0x00}, -1},  // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x00}, -1},  // bitrate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, -1},  // sample-rate index 3
        {{0xFE, 0xFB, 0x90, 0x00}, -2},
        {{0xFF, 0xE3, 0x90, 0x00}, -2},  // the shorter sync of MPEG 2.5
    };
    for (const auto& t : cases) {
        MpegFrameHeader h;
        EXPECT_EQ(t.result, ParseMpegAudioHeader(t.bytes, &h));
    }
    // Free format parses, with no bitrate and no length.
    const uint8_t free[4] = {0xFF, 0xFB, 0x00, 0x00};
    MpegFrameHeader h;
    EXPECT_EQ(0, ParseMpegAudioHeader(free, &h));
    EXPECT_EQ(0u, h.bitrate);
}

// Totals come from the frame walk, before any decoding.
TEST_F(Mp3Converter, FrameWalkFindsTheFramesBetweenTheTags)
{
    const int stereoFrame = 1152 * 4;
    std::vector<uint8_t> five = Frames(kMpeg1Header, kMpeg1Length, 5);
    std::vector<uint8_t> truncatedFifth = Frames(kMpeg1Header, kMpeg1Length, 5);
    truncatedFifth.resize(4 * kMpeg1Length + 200);
    const uint8_t sync[4] = {0xFF, 0xFB, 0x90, 0x00};
    std::vector<uint8_t> syncInTag(sync, sync + 4);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int dataStart, dataSize, total;
    } cases[] = {
        {"plain", five, 0, 5 * kMpeg1Length, 5 * stereoFrame},
        {"ID3v2.3 with the footer flag", Concat({Id3v2(3, 0x10, 20, 0), five}), 30, 5 * kMpeg1Length,
         5 * stereoFrame},
        // A footer that is not skipped is a false sync with reserved fields.
        {"ID3v2.4 with a footer", Concat({Id3v2(4, 0x10, 20, 0), std::vector<uint8_t>(10, 0xFF), five}), 40,
         5 * kMpeg1Length, 5 * stereoFrame},
        {"frame reaching into the trailer", Concat({truncatedFifth, Id3v1()}), 0, 4 * kMpeg1Length + 200,
         5 * stereoFrame},
        {"sync inside the trailer", Concat({five, std::vector<uint8_t>(10, 0), Id3v1(syncInTag)}), 0,
         5 * kMpeg1Length, 5 * stereoFrame},
        {"bytes before the first frame", Concat({{0x00, 0xFF, 0x00, 0xFF, 0x12, 0x34}, five}), 6,
         5 * kMpeg1Length, 5 * stereoFrame},
        {"header cut by the end", Slice(five, 2 * kMpeg1Length + 2), 0, 2 * kMpeg1Length, 2 * stereoFrame},
        {"MPEG-2 mono", Frames(kMpeg2Header, kMpeg2Length, 7), 0, 7 * kMpeg2Length, 7 * 576 * 2},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ConverterOver o(t.bytes);
        ASSERT_EQ(0, o.setup);
        EXPECT_EQ(kConverterAcm, o.c.method);
        EXPECT_EQ(t.dataStart, o.c.dataStart);
        EXPECT_EQ(t.dataSize, o.c.dataSize);
        EXPECT_EQ(t.total, GetConverterTotalBytes(&o.c));
    }
}

TEST_F(Mp3Converter, HostileAndTinyFilesAreRefusedCleanly)
{
    std::vector<uint8_t> five = Frames(kMpeg1Header, kMpeg1Length, 5);
    std::vector<uint8_t> tagOnly = Id3v1();
    const uint8_t freeFormat[4] = {0xFF, 0xFB, 0x00, 0x00};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"ID3 alone", {'I', 'D', '3'}},
        {"trailer alone", tagOnly},
        {"all sync bits", std::vector<uint8_t>(100, 0xFF)},
        {"no frame", std::vector<uint8_t>(3000, 0x11)},
        {"false sync with a reserved layer", Concat({{0xFF, 0xF9, 0x90, 0x00}, five})},
        {"free format", Frames(freeFormat, 400, 3)},
        {"tag larger than the file", Concat({{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, five})},
        {"tag size bytes out of range", Concat({{'I', 'D', '3', 4, 0, 0x10, 0xFF, 0xFF, 0xFF, 0xFF}, five})},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ConverterOver o(t.bytes);
        EXPECT_EQ(-1, o.setup);
    }
}

// A file too small for a trailer: every frame found is audio.
TEST_F(Mp3Converter, FilesOf128BytesOrLessHaveNoTrailer)
{
    // MPEG-2 Layer III, 8 kbit/s, 16000 Hz, mono: 72000 x 8 / 16000 = 36.
    const uint8_t header[4] = {0xFF, 0xF3, 0x18, 0xC0};
    ConverterOver o(Frames(header, 36, 3));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(108, o.c.dataSize);
    EXPECT_EQ(3 * 576 * o.c.format.nBlockAlign, GetConverterTotalBytes(&o.c));
}

struct RealFile {
    const char* name;
    int frames, samplesPerFrame, channels;
    uint32_t rate;
};

// Frame counts as tools/make_sound_fixtures.sh printed them.
const RealFile kRealFiles[] = {
    {"mpeg1.mp3", 21, 1152, 2, 44100},
    {"mpeg2.mp3", 12, 576, 1, 22050},
    {"tagged.mp3", 21, 1152, 2, 44100},
};

TEST_F(Mp3Converter, DecodesWholeFilesToTheirWalkedLength)
{
    for (const RealFile& f : kRealFiles) {
        SCOPED_TRACE(f.name);
        ConverterOver o(ReadFixture(f.name));
        ASSERT_EQ(0, o.setup);
        EXPECT_EQ(f.channels, o.c.format.nChannels);
        EXPECT_EQ(f.rate, o.c.format.nSamplesPerSec);
        EXPECT_EQ(16, o.c.format.wBitsPerSample);
        int total = f.frames * f.samplesPerFrame * f.channels * 2;
        EXPECT_EQ(total, GetConverterTotalBytes(&o.c));
        EXPECT_EQ(total, (int)o.ReadRest(10007).size());

        WAVEFORMATEX format;
        void* whole = nullptr;
        int count = -1;
        ASSERT_EQ(0, ConvertSoundWhole(&o.c, &format, &whole, &count));
        EXPECT_EQ(total, count);
        FreeTracked(whole);
    }
}

// The tags are never audio: the tagged file decodes as the plain one does.
TEST_F(Mp3Converter, TagsAreLeftOutOfTheAudio)
{
    std::vector<uint8_t> tagged = ReadFixture("tagged.mp3");
    ConverterOver plain(ReadFixture("mpeg1.mp3"));
    ConverterOver withTags(tagged);
    ASSERT_EQ(0, plain.setup);
    ASSERT_EQ(0, withTags.setup);
    int tagLength = 10 + (tagged[6] << 21 | tagged[7] << 14 | tagged[8] << 7 | tagged[9]);
    EXPECT_EQ(tagLength, withTags.c.dataStart);
    EXPECT_EQ((int)tagged.size() - 128 - tagLength, withTags.c.dataSize);
    EXPECT_EQ(plain.ReadRest(), withTags.ReadRest());
}

TEST_F(Mp3Converter, SeeksLandWhereContinuousDecodingIs)
{
    ConverterOver o(ReadFixture("mpeg1.mp3"));
    ASSERT_EQ(0, o.setup);
    std::vector<uint8_t> all = o.ReadRest();
    ASSERT_GT(all.size(), 60000u);
    // The decode must not be silence, or the comparisons below prove nothing.
    int loud = 0;
    for (size_t i = 20000; i < 40000; i += 2)
        loud += abs((int16_t)(all[i] | all[i + 1] << 8)) > 1000;
    EXPECT_GT(loud, 1000);

    std::vector<uint8_t> buffer(8000);
    for (int sample : {0, 12000, 11999, 5000, 5010, 0, 20000}) {
        SCOPED_TRACE(sample);
        SeekSoundConverter(&o.c, sample);
        ASSERT_EQ(8000, ReadSoundConverter(&o.c, buffer.data(), 8000));
        EXPECT_EQ(0, memcmp(buffer.data(), &all[(size_t)sample * 4], 8000));
    }
    // Past the end: nothing more.
    SeekSoundConverter(&o.c, 10000000);
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 8000));
}

TEST_F(Mp3Converter, TruncatedFilesDecodeWhatTheyHold)
{
    std::vector<uint8_t> file = ReadFixture("mpeg1.mp3");
    for (size_t size : {(size_t)3000, (size_t)700, (size_t)330}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> cut(file.begin(), file.begin() + (long)size);
        ConverterOver o(cut);
        ASSERT_EQ(0, o.setup);
        int total = GetConverterTotalBytes(&o.c);
        EXPECT_EQ(0, total % (1152 * 4));
        EXPECT_EQ((int)size, o.c.dataSize);
        EXPECT_LE((int)o.ReadRest().size(), total);
    }
}

} // namespace
