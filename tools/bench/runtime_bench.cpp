// Speed of the runtime core: random blocks on the MMX and the one-word path,
// tracked allocation and release, the microsecond clock and log lines.
//   runtime_bench.exe
#include <windows.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "runtime/log.h"
#include "runtime/log_start.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "runtime/timing.h"
#include "tools/bench/bench_clock.h"

static volatile uint32_t sink;

static void RandomSpeed(int mmx)
{
    SetRandomMmxUse(mmx);
    SeedRandom(4357);
    const int count = 20000000;
    double start = Now();
    uint32_t x = 0;
    for (int i = 0; i < count; i++)
        x ^= NextRandom();
    double seconds = Now() - start;
    sink = x;
    printf("random (%s): %.1f M outputs/s\n", mmx ? "MMX" : "one word", count / seconds / 1e6);
}

struct AllocWork {
    int rounds;
};

static DWORD WINAPI AllocLoop(void* parameter)
{
    int rounds = ((AllocWork*)parameter)->rounds;
    void* live[64] = {};
    for (int i = 0; i < rounds; i++) {
        int slot = i & 63;
        FreeTracked(live[slot]);
        live[slot] = AllocTracked(16 + (i & 255), "bench", 0);
    }
    for (void* p : live)
        FreeTracked(p);
    return 0;
}

static void AllocSpeed(int threads)
{
    const int rounds = 1000000;
    AllocWork work = {rounds};
    std::vector<HANDLE> handles;
    double start = Now();
    for (int t = 0; t < threads; t++)
        handles.push_back(CreateThread(nullptr, 0, AllocLoop, &work, 0, nullptr));
    WaitForMultipleObjects((DWORD)handles.size(), handles.data(), TRUE, INFINITE);
    double seconds = Now() - start;
    for (HANDLE h : handles)
        CloseHandle(h);
    printf("tracked alloc+free, %d thread(s): %.2f M pairs/s\n", threads, threads * rounds / seconds / 1e6);
}

static void ClockSpeed(int useTsc)
{
    const int count = 1000000;
    double start = Now();
    uint64_t x = 0;
    for (int i = 0; i < count; i++)
        x += GetMicroCount(useTsc);
    double seconds = Now() - start;
    sink = (uint32_t)x;
    printf("GetMicroCount(%d): %.0f ns/call\n", useTsc, seconds / count * 1e9);
}

int main()
{
    RandomSpeed(1);
    RandomSpeed(0);
    AllocSpeed(1);
    AllocSpeed(4);

    // The clock sources as start-up sets them up.
    QueryPerformanceFrequency(&SystemState.live.counterFrequency);
    SystemState.live.counterPresent = 1;
    SystemState.settings.logOff = 1;
    LogSystemInfo();
    ClockSpeed(0);
    SystemState.kept.initialised = 1;
    ClockSpeed(1);
    SystemState.kept.initialised = 0;

    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    snprintf(SystemState.kept.startDirectory, sizeof SystemState.kept.startDirectory, "%s", directory);
    snprintf(SystemState.settings.logFileName, sizeof SystemState.settings.logFileName, "vexil_bench_log.txt");
    SystemState.settings.logOff = 0;
    SetCurrentDirectoryA(directory);
    StartLogFile();
    const int lines = 5000;
    double start = Now();
    for (int i = 0; i < lines; i++)
        WriteLogFormat("line %d of the benchmark", i);
    double seconds = Now() - start;
    printf("log lines (open, append, close each): %.0f lines/s\n", lines / seconds);
    DeleteFileA((std::string(directory) + "vexil_bench_log.txt").c_str());
    return 0;
}
