#include "runtime/timing.h"

#include <windows.h>
#include <mmsystem.h>
#include <x86intrin.h>
#include <string.h>

#include "runtime/helpers.h"
#include "runtime/library.h"
#include "runtime/log.h"
#include "runtime/log_start.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"

// ---------------------------------------------------------------------------
// Clocks

int GetMilliCount()
{
    return (int)(timeGetTime() & 0x7FFFFFFFu);
}

// ticks x 1000000 / ticksPerSecond through a 128-bit product, so that a
// large counter never overflows; the low 64 bits are the result.
static uint64_t TicksToMicroseconds(uint64_t ticks, uint64_t ticksPerSecond)
{
    UInt128 product, quotient;
    Mul64To128(ticks, 1000000u, &product);
    Div128By64(&product, ticksPerSecond, &quotient);
    return quotient.low;
}

uint64_t GetMicroCount(int useTimeStampCounter)
{
    const SystemLongLived& k = SystemState.kept;
    const SystemLiveState& w = SystemState.live;
    if (k.tscMode && useTimeStampCounter == 1 && k.initialised && k.tscPerSecond != 0)
        return TicksToMicroseconds(__rdtsc(), k.tscPerSecond);
    if (w.counterPresent && w.counterFrequency.QuadPart > 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        return TicksToMicroseconds((uint64_t)counter.QuadPart, (uint64_t)w.counterFrequency.QuadPart);
    }
    return (uint64_t)timeGetTime() * 1000u;
}

int WaitMilliseconds(int ms)
{
    // The span is a signed 32-bit count of microseconds (ms up to 2147483);
    // a negative one ends at once.
    const int32_t span = (int32_t)(uint32_t)((int64_t)ms * 1000);
    const uint64_t end = GetMicroCount(0) + (uint64_t)(int64_t)span;
    if (span > 4000) {
        while (ProcessMessagesLocked() == 0) {
            if (GetMicroCount(0) >= end - 4000)
                break;
            Sleep(1);
        }
    }
    // The last few milliseconds are a busy wait for precision.
    if (span > 0) {
        while (GetMicroCount(0) < end) {
        }
    }
    return 0;
}

int GetLocalDateTime(int* year, int* month, int* day, int* hour, int* minute, int* second)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    if (year)
        *year = t.wYear;
    if (month)
        *month = t.wMonth;
    if (day)
        *day = t.wDay;
    if (hour)
        *hour = t.wHour;
    if (minute)
        *minute = t.wMinute;
    if (second)
        *second = t.wSecond;
    return 0;
}

int RunTimerTest()
{
    SystemLiveState& w = SystemState.live;
    WriteLog("タイマーの精度を検査します\n");

    DWORD lastTime = timeGetTime();
    LARGE_INTEGER lastCounter;
    QueryPerformanceCounter(&lastCounter);
    const DWORD start = timeGetTime();
    int timerChanges = 0, counterChanges = 0;
    if (RunMessagePump() == 0) {
        while (timerChanges < 60 && counterChanges < 60 && timeGetTime() - start < 1000) {
            LARGE_INTEGER counter;
            QueryPerformanceCounter(&counter);
            if (counter.QuadPart != lastCounter.QuadPart) {
                counterChanges++;
                lastCounter = counter;
            }
            DWORD time = timeGetTime();
            if (time != lastTime) {
                timerChanges++;
                lastTime = time;
            }
            if (RunMessagePump() != 0)
                break;
        }
    }

    WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timerChanges,
                   counterChanges);
    WriteLog(" ");
    if (timerChanges > counterChanges) {
        WriteLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", (int)w.timerPeriod);
        w.counterPresent = 0;
    } else {
        WriteLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                       (double)w.counterFrequency.QuadPart / 1000.0);
    }
    WriteLog(" ");
    return 0;
}

// ---------------------------------------------------------------------------
// MT19937

enum { StateWords = 624, Offset = 397 };
static const uint32_t UpperMask = 0x80000000u;
static const uint32_t LowerMask = 0x7FFFFFFFu;
static const uint32_t Matrix = 0x9908B0DFu;
static const uint32_t TemperB = 0x9D2C5680u;
static const uint32_t TemperC = 0xEFC60000u;

static uint32_t stateWords[StateWords];
static uint32_t outputs[StateWords];
static int readIndex = StateWords;
static int seeded;
static int mmxPresent;
static int mmxAllowed = 1;

static inline uint32_t Twist(uint32_t current, uint32_t next, uint32_t distant)
{
    uint32_t y = (current & UpperMask) | (next & LowerMask);
    return distant ^ (y >> 1) ^ ((y & 1) ? Matrix : 0);
}

static inline uint32_t Temper(uint32_t y)
{
    y ^= y >> 11;
    y ^= (y << 7) & TemperB;
    y ^= (y << 15) & TemperC;
    y ^= y >> 18;
    return y;
}

static void GenerateBlockScalar()
{
    uint32_t* mt = stateWords;
    int i = 0;
    for (; i < StateWords - Offset; i++)
        mt[i] = Twist(mt[i], mt[i + 1], mt[i + Offset]);
    for (; i < StateWords - 1; i++)
        mt[i] = Twist(mt[i], mt[i + 1], mt[i + Offset - StateWords]);
    mt[StateWords - 1] = Twist(mt[StateWords - 1], mt[0], mt[Offset - 1]);
    for (i = 0; i < StateWords; i++)
        outputs[i] = Temper(mt[i]);
}

// The constants of the MMX loops, two copies of each (8-byte aligned).
alignas(8) static const uint32_t MmxTwistConstants[8] = {UpperMask, UpperMask, LowerMask, LowerMask, 1, 1, Matrix, Matrix};
alignas(8) static const uint32_t MmxTemperConstants[4] = {TemperB, TemperB, TemperC, TemperC};

// Twists words i and i + 1 at once for `pairs` pairs from mt: words i + 1
// and i + 2 are still the old values, and the distant words are either old
// (first part) or already new (second part). Written in assembly because the
// compiler's MMX intrinsics bounce through SSE registers and the stack.
static void TwistPairsMmx(uint32_t* mt, const uint32_t* distant, int pairs)
{
    __asm__ volatile("movq    (%3), %%mm4\n\t"
                     "movq    8(%3), %%mm5\n\t"
                     "movq    16(%3), %%mm6\n\t"
                     "movq    24(%3), %%mm7\n\t"
                     "1:\n\t"
                     "movq    (%0), %%mm0\n\t"
                     "movq    4(%0), %%mm1\n\t"
                     "pand    %%mm4, %%mm0\n\t"
                     "pand    %%mm5, %%mm1\n\t"
                     "por     %%mm1, %%mm0\n\t"
                     "movq    %%mm0, %%mm1\n\t"
                     "psrld   $1, %%mm1\n\t"
                     "pand    %%mm6, %%mm0\n\t"
                     "pcmpeqd %%mm6, %%mm0\n\t"
                     "pand    %%mm7, %%mm0\n\t"
                     "pxor    (%1), %%mm1\n\t"
                     "pxor    %%mm0, %%mm1\n\t"
                     "movq    %%mm1, (%0)\n\t"
                     "add     $8, %0\n\t"
                     "add     $8, %1\n\t"
                     "decl    %2\n\t"
                     "jnz     1b\n\t"
                     "emms"
                     : "+r"(mt), "+r"(distant), "+r"(pairs)
                     : "r"(MmxTwistConstants)
                     : "memory", "cc", "mm0", "mm1", "mm4", "mm5", "mm6", "mm7", "st", "st(1)", "st(2)", "st(3)",
                       "st(4)", "st(5)", "st(6)", "st(7)");
}

static void TemperPairsMmx(const uint32_t* words, uint32_t* out, int pairs)
{
    __asm__ volatile("movq    (%3), %%mm4\n\t"
                     "movq    8(%3), %%mm5\n\t"
                     "1:\n\t"
                     "movq    (%0), %%mm0\n\t"
                     "movq    %%mm0, %%mm1\n\t"
                     "psrld   $11, %%mm1\n\t"
                     "pxor    %%mm1, %%mm0\n\t"
                     "movq    %%mm0, %%mm1\n\t"
                     "pslld   $7, %%mm1\n\t"
                     "pand    %%mm4, %%mm1\n\t"
                     "pxor    %%mm1, %%mm0\n\t"
                     "movq    %%mm0, %%mm1\n\t"
                     "pslld   $15, %%mm1\n\t"
                     "pand    %%mm5, %%mm1\n\t"
                     "pxor    %%mm1, %%mm0\n\t"
                     "movq    %%mm0, %%mm1\n\t"
                     "psrld   $18, %%mm1\n\t"
                     "pxor    %%mm1, %%mm0\n\t"
                     "movq    %%mm0, (%1)\n\t"
                     "add     $8, %0\n\t"
                     "add     $8, %1\n\t"
                     "decl    %2\n\t"
                     "jnz     1b\n\t"
                     "emms"
                     : "+r"(words), "+r"(out), "+r"(pairs)
                     : "r"(MmxTemperConstants)
                     : "memory", "cc", "mm0", "mm1", "mm4", "mm5", "st", "st(1)", "st(2)", "st(3)", "st(4)",
                       "st(5)", "st(6)", "st(7)");
}

static void GenerateBlockMmx()
{
    uint32_t* mt = stateWords;
    // 0..225 in pairs, 226 alone (its distant word is 623, the last old one),
    // 227..622 in pairs over the new words, then 623 wraps to word 0.
    const int firstPairs = (StateWords - Offset) / 2;
    TwistPairsMmx(mt, mt + Offset, firstPairs);
    int i = firstPairs * 2;
    mt[i] = Twist(mt[i], mt[i + 1], mt[i + Offset]);
    i++;
    TwistPairsMmx(mt + i, mt + i + Offset - StateWords, (StateWords - 1 - i) / 2);
    mt[StateWords - 1] = Twist(mt[StateWords - 1], mt[0], mt[Offset - 1]);
    TemperPairsMmx(mt, outputs, StateWords / 2);
}

static void GenerateBlock()
{
    if (mmxPresent && mmxAllowed)
        GenerateBlockMmx();
    else
        GenerateBlockScalar();
    readIndex = 0;
}

int SeedRandom(uint32_t seed)
{
    for (int i = 0; i < StateWords; i++) {
        uint32_t word = seed & 0xFFFF0000u;
        seed = seed * 69069u + 1u;
        word |= seed >> 16;
        seed = seed * 69069u + 1u;
        stateWords[i] = word;
    }
    mmxPresent = ProcessorHasMmx();
    seeded = 1;
    GenerateBlock();
    return 0;
}

uint32_t NextRandom()
{
    if (readIndex >= StateWords) {
        if (!seeded)
            SeedRandom(4357u);
        GenerateBlock();
    }
    return outputs[readIndex++];
}

int GetRandomUpTo(int max)
{
    uint32_t value = NextRandom();
    if (max < 0)
        return 0;
    return (int)(((uint64_t)value * ((uint64_t)(uint32_t)max + 1u)) >> 32);
}

int SetRandomMmxUse(int allow)
{
    mmxAllowed = allow ? 1 : 0;
    return 0;
}
