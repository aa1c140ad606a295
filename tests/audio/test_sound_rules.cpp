// The sound layer's arithmetic, checked without a device: the stream ring's
// sizes, refill rules and end-of-data test, the time and volume conversions,
// the silence filler and the WAVE image layout.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "audio/sound_buffer.h"
#include "audio/sound_handles.h"
#include "audio/sound_load.h"
#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "audio/stream_ring.h"
#include "runtime/memory.h"

// 44100 Hz, 16 bits, 2 channels.
static const uint32_t A = 176400, B = 4;

TEST(StreamRing, SizesOfCdFormat)
{
    StreamRingSizes s;
    ASSERT_EQ(0, GetStreamRingSizes(A, B, &s));
    EXPECT_EQ(176400u, s.ring);
    EXPECT_EQ(132300u, s.firstFill);      // three quarters of a second
    EXPECT_EQ(132300u, s.guardDistance);
    EXPECT_EQ(22048u, s.step);            // 22050 rounded down to whole blocks

    // An odd block: one second rounds up, the fill down, the guard up.
    ASSERT_EQ(0, GetStreamRingSizes(1001, 6, &s));  // 0.75 s = 750.75 bytes
    EXPECT_EQ(1002u, s.ring);
    EXPECT_EQ(750u, s.firstFill);
    EXPECT_EQ(756u, s.guardDistance);
    EXPECT_EQ(120u, s.step);

    EXPECT_EQ(-1, GetStreamRingSizes(A, 0, &s));
    EXPECT_EQ(-1, GetStreamRingSizes(0xFFFFFFFFu, 4, &s));  // a ring past 2 GiB
}

TEST(StreamRing, WriteDueAcrossTheWrap)
{
    struct Case {
        int32_t write, guard;
        uint32_t cursor;
        int due;
    } cases[] = {
        // guard behind the write position: due between them, ends included
        {132300, 0, 0, 1},
        {132300, 0, 66000, 1},
        {132300, 0, 132300, 1},
        {132300, 0, 132301, 0},
        {154348, 22048, 22047, 0},
        {154348, 22048, 22048, 1},
        // the guard has wrapped past the ring's end: due unless between them
        {10000, 54100, 5000, 1},
        {10000, 54100, 10000, 1},
        {10000, 54100, 10001, 0},
        {10000, 54100, 54099, 0},
        {10000, 54100, 54100, 1},
        {10000, 54100, 176399, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.due, StreamWriteDue(c.write, c.guard, c.cursor))
            << c.write << " " << c.guard << " " << c.cursor;
}

TEST(StreamRing, RefillAmountAndCursorReference)
{
    StreamRingSizes s;
    ASSERT_EQ(0, GetStreamRingSizes(A, B, &s));
    // A lead of 0.75 s or more: one step.
    EXPECT_EQ(s.step, StreamRefillBytes(132300, 0, 0, A, B, &s));
    // A lead of 51/512 second: back up to 192/512 second, whole blocks.
    const uint32_t lead = 17572;  // 17572 * 512 / 176400 = 51.004
    const uint32_t expected = (uint32_t)((192u - 51u) * (uint64_t)A / 512 / B * B);
    EXPECT_EQ(48576u, expected);
    EXPECT_EQ(expected, StreamRefillBytes(100000, 100000 - (int32_t)s.guardDistance + (int32_t)A, 100000 - lead, A, B, &s));
    // The same lead measured across the wrap (write position near 0, cursor
    // near the ring's end).
    const int32_t write = 5000;
    const int32_t guard = write - (int32_t)s.guardDistance + (int32_t)s.ring;
    const uint32_t cursor = s.ring - (lead - write);
    EXPECT_EQ(1, StreamWriteDue(write, guard, cursor));
    EXPECT_EQ(expected, StreamRefillBytes(write, guard, cursor, A, B, &s));
    EXPECT_EQ(cursor, StreamCursorReference(write, guard, cursor, s.ring));
    EXPECT_EQ(2000u + s.ring, StreamCursorReference(write, guard, 2000, s.ring));
}

TEST(StreamRing, WritePositionAndGuardMoveOn)
{
    StreamRingSizes s;
    ASSERT_EQ(0, GetStreamRingSizes(A, B, &s));
    int32_t w = 0, g = -1;
    AdvanceStreamWrite(&w, &g, s.firstFill, 1, &s);
    EXPECT_EQ(132300, w);
    EXPECT_EQ(0, g);
    AdvanceStreamWrite(&w, &g, s.step, 0, &s);
    EXPECT_EQ(154348, w);
    EXPECT_EQ(22048, g);
    AdvanceStreamWrite(&w, &g, s.step, 0, &s);
    EXPECT_EQ(176396, w);
    AdvanceStreamWrite(&w, &g, s.step, 0, &s);  // wraps
    EXPECT_EQ(176396 + 22048 - 176400, w);
    EXPECT_EQ(w - 132300 + 176400, g);
}

// The data end is played once the cursor has gone round from where it stood
// when the end was written to the end of the data, wherever the two lie.
TEST(StreamRing, EndOfDataPassedRoundTheRing)
{
    const uint32_t R = 176400;
    struct Case {
        uint32_t end, cursorAtEnd, cursor;
        int passed;
    } cases[] = {
        {50000, 10000, 10000, 0},
        {50000, 10000, 49999, 0},
        {50000, 10000, 50000, 1},
        {50000, 10000, 60000, 1},
        // the end lies just before the ring's end: the cursor wraps past it
        // between two passes and lands at a small offset
        {R - 100, R - 40000, R - 101, 0},
        {R - 100, R - 40000, R - 100, 1},
        {R - 100, R - 40000, 30, 1},
        {R - 100, R - 40000, 20000, 1},
        // the end itself has wrapped ahead of the cursor
        {3000, R - 9000, R - 1, 0},
        {3000, R - 9000, 2999, 0},
        {3000, R - 9000, 3001, 1},
        // the cursor reference counted on the write position's lap (+R)
        {3000, 2 * R - 9000, 100, 0},
        {3000, 2 * R - 9000, 3000, 1},
        // data ending exactly where the cursor stood
        {7000, 7000, 7000, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.passed, StreamEndPlayed(c.end, c.cursorAtEnd, c.cursor, R))
            << c.end << " " << c.cursorAtEnd << " " << c.cursor;
}

TEST(SoundTime, SamplesToMillisecondsOverAnHour)
{
    EXPECT_EQ(3600000, SamplesToMilliseconds(44100 * 3600, 44100));
    EXPECT_EQ(3600000, SamplesToMilliseconds(48000 * 3600, 48000));
    const int big = 0x7FFFFFFF;
    EXPECT_EQ((int)((uint64_t)big * 1000 / 22050), SamplesToMilliseconds(big, 22050));
    EXPECT_EQ(22, SamplesToMilliseconds(1000, 44100));
    EXPECT_EQ(0, SamplesToMilliseconds(1000, 0));
}

TEST(SoundTime, LoadModeSetting)
{
    ASSERT_EQ(0, SetSoundLoadMode(2));
    EXPECT_EQ(2, GetSoundLoadMode());
    EXPECT_EQ(-1, SetSoundLoadMode(4));
    EXPECT_EQ(-1, SetSoundLoadMode(-1));
    EXPECT_EQ(2, GetSoundLoadMode());
    EXPECT_EQ(0, SetSoundLoadMode(1));
    EXPECT_EQ(0, GetSoundLoadMode());
    EXPECT_EQ(0, SetSoundLoadMode(3));
    EXPECT_EQ(3, GetSoundLoadMode());
    SetSoundLoadMode(0);
}

TEST(SoundVolume, ScaleToDecibels)
{
    const int cases[][2] = {{255, 0},    {200, -105},   {128, -299},   {100, -406}, {64, -600}, {30, -929},
                            {10, -1406}, {1, -2406},    {0, -10000},   {300, 0},    {-5, -10000}};
    for (const auto& c : cases)
        EXPECT_EQ(c[1], SoundVolumeToDecibels(c[0])) << c[0];
}

TEST(SoundBufferLayer, SilenceFillsSpansInOrder)
{
    WAVEFORMATEX pcm16 = {1, 2, 44100, 176400, 4, 16, 0};
    WAVEFORMATEX pcm8 = {1, 1, 8000, 8000, 1, 8, 0};
    uint8_t a[6], b[8];
    memset(a, 0x55, sizeof a);
    memset(b, 0x55, sizeof b);
    LockedSpans spans;
    InitLockedSpans(&spans, 100, a, 6, b, 8);
    FillSoundBufferSilence(&pcm16, &spans, 10);
    for (uint8_t v : a)
        EXPECT_EQ(0, v);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(i < 4 ? 0 : 0x55, b[i]) << i;
    EXPECT_EQ(0u, spans.firstLeft);
    EXPECT_EQ(4u, spans.secondWritten);
    EXPECT_EQ(4u, LockedSpansEnd(&spans));

    memset(a, 0x55, sizeof a);
    InitLockedSpans(&spans, 100, a, 6, nullptr, 0);
    FillSoundBufferSilence(&pcm8, &spans, 10);
    for (uint8_t v : a)
        EXPECT_EQ(0x7F, v);
    EXPECT_EQ(106u, LockedSpansEnd(&spans));

    InitLockedSpans(&spans, 100, a, 6, b, 8);
    FillSoundBufferSilence(&pcm8, &spans, 3);
    EXPECT_EQ(103u, LockedSpansEnd(&spans));
}

TEST(SoundBufferLayer, SoftwareValues)
{
    EXPECT_EQ(0, SoftSoundVolumeValue(-10000));
    EXPECT_EQ(256, SoftSoundVolumeValue(0));
    EXPECT_EQ(128, SoftSoundVolumeValue(-301));  // 256 * 10^-0.301 = 127.99.. -> 128 after the divisor
    EXPECT_EQ(-256, SoftSoundPanValue(-10000));
    EXPECT_EQ(256, SoftSoundPanValue(10000));
    EXPECT_EQ(0, SoftSoundPanValue(0));
    EXPECT_EQ(-SoftSoundPanValue(500), SoftSoundPanValue(-500));
    EXPECT_EQ(SoftSoundVolumeValue(-500), SoftSoundPanValue(500));
}

TEST(SoundLoading, WaveImageLayout)
{
    const int before = GetAllocCount();
    WAVEFORMATEX format = {1, 2, 44100, 176400, 4, 16, 0};
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    void* image = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, BuildWaveImage(&image, &size, &format, 18, data, 5));
    ASSERT_EQ(18u + 5u + 28u, size);
    const uint8_t* p = (const uint8_t*)image;
    EXPECT_EQ(0, memcmp(p, "RIFF", 4));
    EXPECT_EQ(size - 8, *(const uint32_t*)(p + 4));
    EXPECT_EQ(0, memcmp(p + 8, "WAVEfmt ", 8));
    EXPECT_EQ(18u, *(const uint32_t*)(p + 16));
    EXPECT_EQ(0, memcmp(p + 20, &format, 18));
    EXPECT_EQ(0, memcmp(p + 38, "data", 4));
    EXPECT_EQ(5u, *(const uint32_t*)(p + 42));
    EXPECT_EQ(0, memcmp(p + 46, data, 5));
    FreeTracked(image);
    // A size that cannot be held is refused before any allocation.
    EXPECT_EQ(-1, BuildWaveImage(&image, &size, &format, 18, data, 0xFFFFFFF0u));
    EXPECT_EQ(before, GetAllocCount());
}

TEST(SoundLoading, WholeOrStreamBySeconds)
{
    // 180 whole seconds are held whole, 181 are streamed.
    EXPECT_EQ(1, FitsWholeSound(176400u * 180 + 176400 * 9 / 10, 176400));
    EXPECT_EQ(0, FitsWholeSound(176400u * 181, 176400));
    EXPECT_EQ(0, FitsWholeSound(100, 0));
}

// Without a sound system every call fails cleanly.
TEST(SoundSystemOff, CallsRefuse)
{
    ASSERT_EQ(nullptr, SoundSystem.directSound);
    EXPECT_EQ(-1, TermSoundSystem());
    EXPECT_EQ(-1, LoadSoundFile("sound/none.wav", 3, -1));
    EXPECT_EQ(-1, PlaySoundHandle(0x10000000, 1, 1));
    EXPECT_EQ(-1, StopSoundHandle(-1));
    EXPECT_EQ(-1, SetSoundVolume(100, 0x10000000));
    EXPECT_EQ(-1, DeleteAllSounds());
    EXPECT_EQ(0, StopCurrentMusic());
    EXPECT_EQ(-1, PollMusicSegments());
    EXPECT_EQ(0, HandleMciMusicNotify());
}
