// Clocks, waits and the library's random generator.
#pragma once

#include <stdint.h>

int GetMilliCount();
uint64_t GetMicroCount(int useTimeStampCounter);
int WaitMilliseconds(int ms);
int GetLocalDateTime(int* year, int* month, int* day, int* hour, int* minute, int* second);

int SeedRandom(uint32_t seed);
uint32_t NextRandom();
int GetRandomUpTo(int max);

// Window start: measures whether the performance counter is worth using.
int RunTimerTest();
