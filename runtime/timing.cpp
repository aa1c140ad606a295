#include "runtime/timing.h"

#include <windows.h>
#include <mmsystem.h>

int GetMilliCount()
{
    return (int)(timeGetTime() & 0x7FFFFFFFu);
}

// Stand-ins until the microsecond clock and the generator are built.
uint64_t GetMicroCount(int) { return (uint64_t)timeGetTime() * 1000u; }
int WaitMilliseconds(int ms) { Sleep(ms); return 0; }
int GetLocalDateTime(int* year, int* month, int* day, int* hour, int* minute, int* second)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    *year = t.wYear; *month = t.wMonth; *day = t.wDay;
    *hour = t.wHour; *minute = t.wMinute; *second = t.wSecond;
    return 0;
}
int SeedRandom(uint32_t) { return 0; }
uint32_t NextRandom() { return 0; }
int GetRandomUpTo(int) { return 0; }
int RunTimerTest() { return 0; }
