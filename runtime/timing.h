// Clocks, waits and the library's random generator.
#pragma once

#include <stdint.h>

// timeGetTime() with bit 31 cleared.
int GetMilliCount();
// Microseconds from the time-stamp counter (when asked for, present and the
// library is running), else the performance counter, else the multimedia timer.
uint64_t GetMicroCount(int useTimeStampCounter);
// Sleeps while pumping messages, then busy-waits the last 4 ms; 0.
int WaitMilliseconds(int ms);
int GetLocalDateTime(int* year, int* month, int* day, int* hour, int* minute, int* second);

// MT19937 with the 1998 seeding routine; the game's only random source.
int SeedRandom(uint32_t seed);
uint32_t NextRandom();
// 0..max with (nearly) equal weight; 0 for a negative max.
int GetRandomUpTo(int max);
// 0 makes block generation take the one-word-at-a-time path even where MMX
// exists, 1 (the default) lets it use MMX; the outputs are the same.
int SetRandomMmxUse(int allow);

// Window start: measures whether the performance counter is worth using.
int RunTimerTest();
