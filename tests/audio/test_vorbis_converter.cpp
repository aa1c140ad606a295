// Ogg Vorbis through the converter: the decode against a reference made by
// the encoder's own tools, seeks, block sizes, damaged and cut files.
#include <stdlib.h>
#include <string.h>

#include "runtime/memory.h"
#include "tests/audio/sound_fixtures.h"

namespace {

class VorbisConverter : public ConverterTest {};

// Vorbis decodes in floating point, and another build of the decoder may
// round a sample the other way: samples may differ by one.
::testing::AssertionResult PcmNear(const uint8_t* a, const uint8_t* b, size_t bytes)
{
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        int x = (int16_t)(a[i] | a[i + 1] << 8), y = (int16_t)(b[i] | b[i + 1] << 8);
        if (abs(x - y) > 1)
            return ::testing::AssertionFailure() << "sample at byte " << i << ": " << x << " against " << y;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PcmNear(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << a.size() << " bytes against " << b.size();
    return PcmNear(a.data(), b.data(), a.size());
}

int closeCalls = 0;
int CountClose(StreamHandle) { return ++closeCalls; }

int OpenWith(const std::vector<uint8_t>& bytes, int (*opener)(SoundConverter*))
{
    SoundConverter c;
    memset(&c, 0, sizeof c);
    c.source.ops = *GetMemoryStreamFunctions();
    c.source.handle = OpenMemoryStream(bytes.data(), (int)bytes.size());
    int result = opener(&c);
    if (result == 0)
        CloseOggSound(&c);
    CloseMemoryStream(c.source.handle);
    return result;
}

TEST_F(VorbisConverter, StereoFileDecodesAsTheReferenceDoes)
{
    std::vector<uint8_t> reference = ReadFixture("stereo_ogg.raw");
    ConverterOver o(ReadFixture("stereo.ogg"));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(kConverterOggVorbis, o.c.method);
    WAVEFORMATEX f;
    GetConverterFormat(&o.c, &f);
    EXPECT_EQ(1, f.wFormatTag);
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(44100u, f.nSamplesPerSec);
    EXPECT_EQ(4, f.nBlockAlign);
    EXPECT_EQ(176400u, f.nAvgBytesPerSec);
    EXPECT_EQ(16, f.wBitsPerSample);
    // Half a second of 4-byte frames.
    EXPECT_EQ(22050 * 4, GetConverterTotalBytes(&o.c));
    ASSERT_EQ(22050u * 4, reference.size());
    EXPECT_TRUE(PcmNear(reference, o.ReadRest(6000)));

    void* whole = nullptr;
    int count = -1;
    ASSERT_EQ(0, ConvertSoundWhole(&o.c, &f, &whole, &count));
    ASSERT_EQ((int)reference.size(), count);
    EXPECT_TRUE(PcmNear((const uint8_t*)whole, reference.data(), reference.size()));
    FreeTracked(whole);
}

TEST_F(VorbisConverter, BlockStepsDeliverAtMost4096Bytes)
{
    ConverterOver o(ReadFixture("stereo.ogg"));
    ASSERT_EQ(0, o.setup);
    int sum = 0, shorter = 0;
    while (DecodeOggSoundBlock(&o.c) == 0) {
        ASSERT_GT(o.c.bytesLeft, 0);
        ASSERT_LE(o.c.bytesLeft, 4096);
        shorter += o.c.bytesLeft < 4096;
        sum += o.c.bytesLeft;
    }
    EXPECT_EQ(22050 * 4, sum);
    EXPECT_GT(shorter, 0);
}

TEST_F(VorbisConverter, SeeksLandWhereContinuousDecodingIs)
{
    std::vector<uint8_t> reference = ReadFixture("stereo_ogg.raw");
    ConverterOver o(ReadFixture("stereo.ogg"));
    ASSERT_EQ(0, o.setup);
    std::vector<uint8_t> buffer(2000);
    for (int sample : {11025, 0, 3, 22000, 5000, 4999}) {
        SCOPED_TRACE(sample);
        SeekSoundConverter(&o.c, sample);
        int got = ReadSoundConverter(&o.c, buffer.data(), 2000);
        int expected = (int)reference.size() - sample * 4 < 2000 ? (int)reference.size() - sample * 4 : 2000;
        ASSERT_EQ(expected, got);
        EXPECT_TRUE(PcmNear(buffer.data(), &reference[(size_t)sample * 4], (size_t)got));
    }
    SeekSoundConverter(&o.c, 1000000);
    EXPECT_EQ(0, ReadSoundConverter(&o.c, buffer.data(), 2000));
}

TEST_F(VorbisConverter, SecondReaderDecodesTheSame)
{
    SoundSecondReaderFlag = 1;
    std::vector<uint8_t> reference = ReadFixture("stereo_ogg.raw");
    ConverterOver o(ReadFixture("stereo.ogg"));
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(1, o.c.secondReader);
    EXPECT_TRUE(PcmNear(reference, o.ReadRest()));
}

TEST_F(VorbisConverter, TheStreamIsTheCallersToClose)
{
    std::vector<uint8_t> file = ReadFixture("stereo.ogg");
    StreamDescriptor stream;
    stream.ops = *GetMemoryStreamFunctions();
    stream.ops.close = CountClose;
    stream.handle = OpenMemoryStream(file.data(), (int)file.size());
    SoundConverter c;
    memset(&c, 0, sizeof c);
    closeCalls = 0;
    ASSERT_EQ(0, SetupSoundConverter(&stream, &c));
    EXPECT_EQ(0, TerminateSoundConverter(&c));
    EXPECT_EQ(0, closeCalls);
    char head[4];
    stream.ops.seek(stream.handle, 0, SEEK_SET);
    ASSERT_EQ(4u, stream.ops.read(head, 1, 4, stream.handle));
    EXPECT_EQ(0, memcmp(head, "OggS", 4));
    CloseMemoryStream(stream.handle);
}

// A damaged page in the middle is lost: the reader reports a hole, and
// decoding goes on with the pages after it.
TEST_F(VorbisConverter, AHoleIsSkipped)
{
    std::vector<uint8_t> file = ReadFixture("noise.ogg");
    ConverterOver whole(file);
    ASSERT_EQ(0, whole.setup);
    std::vector<uint8_t> all = whole.ReadRest();
    ASSERT_EQ(44100u * 2, all.size());

    // Audio pages at 3707, 8019, 12179 and 16375.
    ASSERT_EQ(0, memcmp(&file[8019], "OggS", 4));
    ASSERT_EQ(0, memcmp(&file[12179], "OggS", 4));
    std::vector<uint8_t> damaged = file;
    damaged[8019 + 1000] ^= 0x55;
    ConverterOver o(damaged);
    ASSERT_EQ(0, o.setup);
    EXPECT_EQ(44100 * 2, GetConverterTotalBytes(&o.c));
    std::vector<uint8_t> rest = o.ReadRest();
    // Less than all, more than the first page's 12928 samples, and ending
    // with the last pages' audio.
    ASSERT_LT(rest.size(), all.size());
    ASSERT_GT(rest.size(), 12928u * 2 + 20000);
    EXPECT_EQ(0, memcmp(&rest[rest.size() - 20000], &all[all.size() - 20000], 20000));
}

TEST_F(VorbisConverter, CutAndHostileFilesEndCleanly)
{
    std::vector<uint8_t> file = ReadFixture("noise.ogg");
    for (size_t size : {(size_t)30, (size_t)2000, (size_t)3707, (size_t)5000, (size_t)8019, (size_t)9000}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> cut(file.begin(), file.begin() + (long)size);
        ConverterOver o(cut);
        if (o.setup != 0)
            continue;
        WAVEFORMATEX f;
        void* whole = nullptr;
        int count = -1;
        int total = GetConverterTotalBytes(&o.c);
        ASSERT_GE(total, 0);
        ASSERT_EQ(0, ConvertSoundWhole(&o.c, &f, &whole, &count));
        EXPECT_LE(count, total);
        FreeTracked(whole);
    }
    std::vector<uint8_t> garbage(4000, 0);
    memcpy(garbage.data(), "OggS", 4);
    EXPECT_EQ(-1, OpenWith(garbage, OpenOggSound));
    EXPECT_EQ(-1, OpenWith({}, OpenOggSound));
    // Output is 16-bit only.
    VorbisSampleWidth = 1;
    EXPECT_EQ(-1, OpenWith(file, OpenOggSound));
}

} // namespace
