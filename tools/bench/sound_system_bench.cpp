// Measures the sound system's start-up and shut-down time and the processor
// share of the sound service thread while eight stream sounds play in a loop.
//   sound_system_bench.exe [seconds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "audio/sound_handles.h"
#include "audio/sound_load.h"
#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "runtime/timing.h"
#include "tests/support/test_bytes.h"

static std::vector<uint8_t> MakeWave(uint32_t rate, uint16_t channels, uint32_t dataBytes, uint32_t seed)
{
    std::vector<uint8_t> w = PcmWaveFile(rate, channels, 16, dataBytes);
    uint32_t x = seed * 2654435761u + 1;
    for (uint32_t i = 0; i < dataBytes; i++) {
        x = x * 1664525u + 1013904223u;
        w[44 + i] = (uint8_t)(x >> 24);
    }
    return w;
}

static double FileTimeSeconds(const FILETIME& t)
{
    return (double)(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7;
}

static double ThreadCpuSeconds(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    CoInitialize(nullptr);

    std::vector<double> startMs, endMs;
    for (int i = 0; i < 5; i++) {
        const uint64_t t0 = GetMicroCount(0);
        if (InitSoundSystem() != 0) {
            printf("the sound system does not start (no sound server?)\n");
            return 1;
        }
        const uint64_t t1 = GetMicroCount(0);
        TermSoundSystem();
        const uint64_t t2 = GetMicroCount(0);
        startMs.push_back((t1 - t0) / 1000.0);
        endMs.push_back((t2 - t1) / 1000.0);
    }
    std::sort(startMs.begin(), startMs.end());
    std::sort(endMs.begin(), endMs.end());
    printf("start-up: median %.1f ms (min %.1f, max %.1f); shut-down: median %.1f ms\n", startMs[2], startMs[0],
           startMs[4], endMs[2]);

    InitSoundSystem();
    SetSoundLoadMode(2);
    std::vector<std::vector<uint8_t>> waves;
    std::vector<int> handles;
    for (int i = 0; i < 8; i++) {
        waves.push_back(MakeWave(44100, 2, 176400 * 10, (uint32_t)i));
        const int h = LoadSoundFromStream(waves.back().data(), (uint32_t)waves.back().size(), 1, -1);
        if (h == -1) {
            printf("stream %d could not be made\n", i);
            return 1;
        }
        handles.push_back(h);
    }
    const double idleCpu0 = ThreadCpuSeconds(SoundSystem.thread);
    Sleep(1000);
    const double idleCpu = ThreadCpuSeconds(SoundSystem.thread) - idleCpu0;
    for (int h : handles)
        PlaySoundHandle(h, 3, 1);
    const uint64_t wall0 = GetMicroCount(0);
    const double cpu0 = ThreadCpuSeconds(SoundSystem.thread);
    Sleep((DWORD)seconds * 1000);
    const double cpu = ThreadCpuSeconds(SoundSystem.thread) - cpu0;
    const double wall = (GetMicroCount(0) - wall0) / 1e6;
    int playing = 0;
    for (int h : handles)
        playing += CheckSoundPlaying(h) == 1;
    printf("service thread, 8 PCM streams (44.1 kHz stereo) looping for %.1f s: %.2f%% of one core "
           "(%.1f ms CPU); %d still playing; idle with 8 stopped streams: %.2f%%\n",
           wall, 100.0 * cpu / wall, cpu * 1000.0, playing, 100.0 * idleCpu);
    TermSoundSystem();
    CoUninitialize();
    return 0;
}
