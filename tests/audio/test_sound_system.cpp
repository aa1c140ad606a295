// The sound system under Wine's DirectSound (a null sink): start and end,
// the sound table, whole sounds taking turns in their buffers, the 180-second
// rule, and stream sounds played to their end by the service thread.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "audio/sound_handles.h"
#include "audio/sound_load.h"
#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "audio/stream_sound.h"
#include "runtime/memory.h"
#include "tests/support/test_bytes.h"
#include "tests/support/test_support.h"

// A RIFF WAVE file of PCM; sample bytes follow a pattern that is never silence.
static std::vector<uint8_t> MakeWave(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes)
{
    std::vector<uint8_t> w = PcmWaveFile(rate, channels, bits, dataBytes);
    for (uint32_t i = 0; i < dataBytes; i++)
        w[44 + i] = (uint8_t)(0x21 + i % 97);
    return w;
}

static int LoadImage(const std::vector<uint8_t>& image, int buffers = 3, int share = -1)
{
    return LoadSoundFromStream(image.data(), (uint32_t)image.size(), buffers, share);
}

class SoundSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        allocations = GetAllocCount();
        ASSERT_EQ(0, InitSoundSystem());
    }
    void TearDown() override
    {
        SetSoundLoadMode(0);
        EXPECT_EQ(0, TermSoundSystem());
        EXPECT_EQ(allocations, GetAllocCount());
        CoUninitialize();
    }
    int allocations = 0;
};

TEST_F(SoundSystemTest, StartsOnceAndEndsWithTheThreadJoined)
{
    EXPECT_NE(nullptr, SoundSystem.primaryBuffer);
    EXPECT_NE(nullptr, SoundSystem.silentBuffer);
    EXPECT_EQ(0, GetSoundLoadMode());
    EXPECT_EQ(-1, InitSoundSystem());
    ASSERT_NE(nullptr, SoundSystem.thread);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), SoundSystem.thread, GetCurrentProcess(), &thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(thread, 0));
    EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, GetThreadPriority(thread));
    const int h = LoadImage(MakeWave(22050, 1, 16, 22050));
    ASSERT_NE(-1, h);

    ASSERT_EQ(0, TermSoundSystem());
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
    CloseHandle(thread);
    EXPECT_EQ(nullptr, SoundSystem.thread);
    EXPECT_EQ(SOUND_THREAD_LEFT, SoundSystem.stopFlag.load());
    EXPECT_EQ(nullptr, GetSoundData(h));
    EXPECT_EQ(allocations, GetAllocCount());
    EXPECT_EQ(-1, TermSoundSystem());
    EXPECT_EQ(-1, PlaySoundHandle(h, 1, 1));
    // Starts again for the fixture's end.
    ASSERT_EQ(0, InitSoundSystem());
}

TEST_F(SoundSystemTest, TableReusesSlotsAndWrapsCheckValues)
{
    const int base = SoundTable.checkCounter;
    const int a = AddSoundData(-1), b = AddSoundData(-1), c = AddSoundData(-1);
    ASSERT_NE(-1, c);
    EXPECT_EQ(0x10000000, a & 0x78000000);
    EXPECT_EQ(((base + 1) % 2048) << 16, b & 0x07FF0000);
    EXPECT_EQ(1, b & 0xFFFF);
    EXPECT_EQ(0, DeleteSoundHandle(b));
    EXPECT_EQ(-1, DeleteSoundHandle(b));
    // The end slot comes first while it is below the table size.
    const int d = AddSoundData(-1);
    EXPECT_EQ(3, d & 0xFFFF);
    EXPECT_EQ(4, SoundTable.endSlot);
    // Deleting the top slot lowers the end past the empty slot below it.
    EXPECT_EQ(0, DeleteSoundHandle(d));
    EXPECT_EQ(0, DeleteSoundHandle(c));
    EXPECT_EQ(1, SoundTable.endSlot);
    EXPECT_EQ(0, DeleteSoundHandle(a));
    EXPECT_EQ(0, SoundTable.endSlot);

    // After 2048 new records the check value is back where it was; an old
    // handle fails on the empty slot and on a slot holding another record.
    const int old = AddSoundData(-1);
    DeleteSoundHandle(old);
    for (int i = 0; i < 2046; i++)
        DeleteSoundHandle(AddSoundData(-1));
    EXPECT_EQ((base + 4 + 2047) % 2048, SoundTable.checkCounter);
    const int other = AddSoundData(-1);
    EXPECT_EQ(old & 0xFFFF, other & 0xFFFF);
    EXPECT_NE(old, other);
    EXPECT_EQ(nullptr, GetSoundData(old));
    EXPECT_EQ(-1, CheckSoundPlaying(old));
    const int again = AddSoundData(-1);
    EXPECT_EQ(old & 0x07FF0000, again & 0x07FF0000);
    DeleteSoundHandle(other);
    DeleteSoundHandle(again);
}

TEST_F(SoundSystemTest, FullTableRefusesAndTakesTheLowestFreeSlot)
{
    std::vector<int> handles;
    for (int i = 0; i < 32768; i++)
        handles.push_back(AddSoundData(-1));
    ASSERT_NE(-1, handles.back());
    EXPECT_EQ(-1, AddSoundData(-1));
    DeleteSoundHandle(handles[700]);
    DeleteSoundHandle(handles[300]);
    const int h = AddSoundData(-1);
    EXPECT_EQ(300, h & 0xFFFF);
    EXPECT_EQ(0, DeleteAllSounds());
    EXPECT_EQ(0, SoundTable.count);
    EXPECT_EQ(0, SoundTable.endSlot);
}

TEST_F(SoundSystemTest, WholeSoundPlaysItsBuffersInTurn)
{
    const int h = LoadImage(MakeWave(44100, 2, 16, 176400));
    ASSERT_NE(-1, h);
    SoundData* s = GetSoundData(h);
    ASSERT_EQ(SOUND_KIND_WHOLE, s->kind);
    ASSERT_EQ(3, s->bufferCount);
    EXPECT_EQ(44100, GetSoundLengthSamples(h));
    EXPECT_EQ(1000, GetSoundLengthMs(h));
    EXPECT_EQ(0, CheckSoundPlaying(h));

    auto playing = [&](int i) {
        DWORD status = 0;
        GetSoundBufferStatus(&s->buffers[i], &status);
        return (status & DSBSTATUS_PLAYING) != 0;
    };
    const int order[3] = {1, 2, 0};
    for (int turn : order) {
        ASSERT_EQ(0, PlaySoundHandle(h, 1, 1));
        EXPECT_EQ(turn, s->currentBuffer);
        EXPECT_TRUE(playing(turn));
    }
    EXPECT_EQ(1, CheckSoundPlaying(h));
    // A fourth play without from-top leaves the playing buffers alone.
    EXPECT_EQ(0, PlaySoundHandle(h, 1, 0));
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(playing(i));

    // Volume: kept and applied to every buffer at once.
    ASSERT_EQ(0, SetSoundVolume(100, h));
    for (int i = 0; i < 3; i++) {
        LONG v = 0;
        s->buffers[i].buffer->GetVolume(&v);
        EXPECT_EQ(-406, v) << i;
    }
    SetSoundVolume(300, h);
    EXPECT_EQ(0, s->volume);
    SetSoundVolume(-5, h);
    EXPECT_EQ(-10000, s->volume);

    ASSERT_EQ(0, StopSoundHandle(h));
    EXPECT_EQ(0, CheckSoundPlaying(h));
    EXPECT_EQ(-1, PlaySoundHandle(-1, 1, 1));
    EXPECT_EQ(-1, StopSoundHandle(h + 1));
}

TEST_F(SoundSystemTest, BufferCountsAndRefusedFiles)
{
    const std::vector<uint8_t> wave = MakeWave(22050, 1, 16, 4410);
    EXPECT_EQ(-1, LoadImage(wave, 12));
    const std::string dir = MakeTempDir("sound");
    const std::string path = dir + "\\short.wav";
    ASSERT_TRUE(WriteWholeFile(path, wave.data(), wave.size()));
    const int h = LoadSoundFileBase(path.c_str(), 12, -1);
    ASSERT_NE(-1, h);
    EXPECT_EQ(10, GetSoundData(h)->bufferCount);
    DeleteSoundHandle(h);

    const int count = SoundTable.count;
    EXPECT_EQ(-1, LoadSoundFile((dir + "\\missing.wav").c_str(), 3, -1));
    const std::vector<uint8_t> junk(5000, 0x5A);
    EXPECT_EQ(-1, LoadImage(junk));
    EXPECT_EQ(count, SoundTable.count);
    RemoveTree(dir);
}

TEST_F(SoundSystemTest, Over180SecondsBecomesAStream)
{
    // 8000 bytes a second: 180.9 s is kept whole, 181.0 s streamed.
    const int whole = LoadImage(MakeWave(8000, 1, 8, 8000 * 180 + 7200), 1);
    const int stream = LoadImage(MakeWave(8000, 1, 8, 8000 * 181), 1);
    ASSERT_NE(-1, whole);
    ASSERT_NE(-1, stream);
    EXPECT_EQ(SOUND_KIND_WHOLE, GetSoundData(whole)->kind);
    EXPECT_EQ(SOUND_KIND_STREAM, GetSoundData(stream)->kind);
    EXPECT_EQ(181000, GetSoundLengthMs(stream));
    EXPECT_EQ(180900, GetSoundLengthMs(whole));
}

// Streams whose data end inside the first fill, near the ring's end, and
// after several laps each play to their end under the service thread, stop,
// and report stopped.
TEST_F(SoundSystemTest, StreamPlaysToItsEndAndStops)
{
    ASSERT_EQ(0, SetSoundLoadMode(2));
    const uint32_t second = 176400;
    const uint32_t lengths[] = {second * 3 / 10, second - 4 * 400, second * 2 + second / 3};
    for (uint32_t bytes : lengths) {
        const std::vector<uint8_t> wave = MakeWave(44100, 2, 16, bytes);
        const int h = LoadImage(wave, 1);
        ASSERT_NE(-1, h);
        SoundData* s = GetSoundData(h);
        ASSERT_EQ(SOUND_KIND_STREAM, s->kind);
        EXPECT_EQ(1, s->active);
        // The prefill holds the first data; a sound left waiting keeps them
        // while the service thread runs its passes.
        Sleep(400);
        LockedSpans spans;
        ASSERT_EQ(0, LockSoundBufferSpans(&s->buffers[0], 0, 4000, &spans));
        EXPECT_EQ(0, memcmp(spans.first, &wave[44], 4000)) << bytes;
        UnlockSoundBufferSpans(&s->buffers[0], &spans);

        ASSERT_EQ(0, PlaySoundHandle(h, 0, 1));
        EXPECT_EQ(0, CheckSoundPlaying(h)) << bytes;
        EXPECT_EQ(0, s->active);
        EXPECT_LE(GetSoundPlayPositionMs(h), GetSoundLengthMs(h));
        // Played again, it starts from the beginning.
        ASSERT_EQ(0, PlaySoundHandle(h, 1, 1));
        EXPECT_EQ(1, CheckSoundPlaying(h));
        EXPECT_EQ(0, StopSoundHandle(h));
        EXPECT_EQ(0, CheckSoundPlaying(h));
        EXPECT_EQ(0, DeleteSoundHandle(h));
    }
}

TEST_F(SoundSystemTest, SharedStreamBufferAndItsOwner)
{
    ASSERT_EQ(0, SetSoundLoadMode(2));
    const std::vector<uint8_t> wave = MakeWave(22050, 2, 16, 88200 * 2);
    const int owner = LoadImage(wave, 1);
    ASSERT_NE(-1, owner);
    const int a = LoadImage(wave, 1, owner), b = LoadImage(wave, 1, owner);
    ASSERT_NE(-1, b);
    EXPECT_EQ(owner, GetSoundData(a)->bufferOwner);
    EXPECT_EQ(2, GetSoundData(owner)->sharerCount);
    // Another format does not share.
    const int other = LoadImage(MakeWave(44100, 2, 16, 17640), 1, owner);
    EXPECT_EQ(-1, GetSoundData(other)->bufferOwner);

    // A sharer played while the owner plays takes the buffer over.
    ASSERT_EQ(0, PlaySoundHandle(owner, 3, 1));
    EXPECT_EQ(1, CheckSoundPlaying(owner));
    ASSERT_EQ(0, PlaySoundHandle(a, 3, 1));
    EXPECT_EQ(1, CheckSoundPlaying(a));
    EXPECT_EQ(0, CheckSoundPlaying(owner));
    EXPECT_EQ(0, StopSoundHandle(a));

    // The owner stays until its last sharer is gone.
    EXPECT_EQ(0, DeleteSoundHandle(owner));
    EXPECT_NE(nullptr, GetSoundData(owner));
    EXPECT_EQ(0, DeleteSoundHandle(a));
    EXPECT_NE(nullptr, GetSoundData(owner));
    EXPECT_EQ(0, DeleteSoundHandle(b));
    EXPECT_EQ(nullptr, GetSoundData(owner));
}

TEST_F(SoundSystemTest, StreamSourcesLimits)
{
    ASSERT_EQ(0, SetSoundLoadMode(2));
    const std::vector<uint8_t> wave = MakeWave(22050, 1, 16, 8820);
    const std::vector<uint8_t> stereo = MakeWave(22050, 2, 16, 8820);
    const int h = AddSoundData(-1);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(0, AddStreamSoundMemImage(wave.data(), (uint32_t)wave.size(), 0, h, 2, -1)) << i;
    EXPECT_EQ(-1, AddStreamSoundMemImage(wave.data(), (uint32_t)wave.size(), 0, h, 2, -1));
    SoundData* s = GetSoundData(h);
    EXPECT_EQ(3 * 4410, s->totalSamples);
    const int g = AddSoundData(-1);
    ASSERT_EQ(0, AddStreamSoundMemImage(wave.data(), (uint32_t)wave.size(), 0, g, 0, -1));
    EXPECT_EQ(-1, AddStreamSoundMemImage(stereo.data(), (uint32_t)stereo.size(), 0, g, 2, -1));
    EXPECT_EQ(1, GetSoundData(g)->sourceCount);
    // No source joins a sound that plays.
    PrefillStreamSound(g);
    ASSERT_EQ(0, PlaySoundHandle(g, 3, 1));
    EXPECT_EQ(1, CheckSoundPlaying(g));
    EXPECT_EQ(-1, AddStreamSoundMemImage(wave.data(), (uint32_t)wave.size(), 0, g, 2, -1));
    EXPECT_EQ(1, GetSoundData(g)->sourceCount);
}
