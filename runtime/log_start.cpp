// The start of the log: the log file made empty and the system-information
// block. Both need Win32 throughout; the native build leaves this unit out.
#include "runtime/log_start.h"

#include <windows.h>
#include <mmsystem.h>
#include <cpuid.h>
#include <x86intrin.h>
#include <stdio.h>
#include <string.h>

#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/system_state.h"
#include "runtime/timing.h"

static const char* const LibraryVersion = "3.04";

int StartLogFile()
{
    SystemSettings& s = SystemState.settings;
    if (s.logOff)
        return 1;

    if (s.logDatedName) {
        int year, month, day, hour, minute, second;
        GetLocalDateTime(&year, &month, &day, &hour, &minute, &second);
        snprintf(s.logFileName, sizeof s.logFileName, "Log%d_%d_%d_%d_%d_%d.txt", year, month, day, hour,
                 minute, second);
    } else {
        CopyTextMax(s.logFileName, DefaultLogName, sizeof s.logFileName - 1);
    }

    // The current directory is the start directory at this point.
    DeleteFileA(s.logFileName);
    HANDLE file = CreateFileA(s.logFileName, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);

    SystemState.live.logIndent = 0;
    SystemState.live.logMidLine = 0;
    SystemState.kept.logStartTime = timeGetTime();
    return 1;
}

// ---------------------------------------------------------------------------
// System information

struct OsVersionName {
    const char* name;
    int code;
};

// Name and code from the platform, version and service-pack text; a version
// outside the table gives no name and leaves the code alone (code -1 here).
static OsVersionName ClassifyOsVersion(const OSVERSIONINFOA& v)
{
    switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return {"3.1", 0};
    case VER_PLATFORM_WIN32_WINDOWS:
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0)
            return {v.szCSDVersion[0] == 'C' ? "95OSR2" : "95", 1};
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10)
            return {v.szCSDVersion[0] == 'A' ? "98SE" : "98", 2};
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90)
            return {"Me", 3};
        break;
    case VER_PLATFORM_WIN32_NT:
        if (v.dwMajorVersion == 3)
            return {"NT 3.51", 0x104};
        if (v.dwMajorVersion == 4)
            return {"4.0", 0x105};
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0)
            return {"2000", 0x106};
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1)
            return {"XP", 0x107};
        if (v.dwMajorVersion == 6 && v.dwMinorVersion == 0)
            return {"Vista", 0x108};
        if (v.dwMajorVersion == 6 && v.dwMinorVersion == 1)
            return {"7", 0x109};
        break;
    }
    return {"", -1};
}

int ClassifyOperatingSystem(const OSVERSIONINFOA& version, const char** name)
{
    OsVersionName os = ClassifyOsVersion(version);
    if (name)
        *name = os.name;
    return os.code;
}

static void LogOperatingSystem()
{
    SystemLongLived& k = SystemState.kept;
    WriteLog("ＯＳ  ");
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    OsVersionName os = ClassifyOsVersion(version);
    if (os.code >= 0)
        k.osCode = os.code;
    char name[64];
    snprintf(name, sizeof name, "Windows%s", os.name);
    int build = version.dwPlatformId == VER_PLATFORM_WIN32_NT ? (int)version.dwBuildNumber
                                                               : (int)LOWORD(version.dwBuildNumber);
    snprintf(k.osText, sizeof k.osText, "%s ( Build %d %s )", name, build, version.szCSDVersion);
    WriteLogFormat("%s", k.osText);
}

// The processor flag bit 21 can be toggled only where CPUID exists; every
// 64-bit processor has it.
static bool HasCpuid()
{
#if defined(__x86_64__)
    return true;
#else
    unsigned before, after;
    __asm__ volatile("pushfl\n\t"
                     "pushfl\n\t"
                     "popl %0\n\t"
                     "movl %0, %1\n\t"
                     "xorl $0x200000, %1\n\t"
                     "pushl %1\n\t"
                     "popfl\n\t"
                     "pushfl\n\t"
                     "popl %1\n\t"
                     "popfl"
                     : "=&r"(before), "=&r"(after)
                     :
                     : "cc");
    return ((before ^ after) & 0x200000) != 0;
#endif
}

int ProcessorHasMmx()
{
    if (!HasCpuid())
        return 0;
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    if (a < 1)
        return 0;
    __cpuid(1, a, b, c, d);
    return (d >> 23) & 1;
}

int LogSystemInfo()
{
    SystemLongLived& k = SystemState.kept;
    WriteLog("システムの情報を出力します\n");
    IncreaseLogIndent();

    char text[64];
    snprintf(text, sizeof text, "Ｖｅｘｉｌライブラリ Ver%s\n", LibraryVersion);
    WriteLog(text);

    LogOperatingSystem();

    k.directXVersion = 0x70000;
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR)
        timeBeginPeriod(caps.wPeriodMin);

    int level = 0;
    bool cpuid = HasCpuid();
    bool brand = false;
    char vendor[13] = {};
    k.tscMode = 0;
    k.mmx = k.sse = k.sse2 = 0;
    if (cpuid) {
        unsigned a, b, c, d;
        __cpuid(0, a, b, c, d);
        memcpy(vendor, &b, 4);
        memcpy(vendor + 4, &d, 4);
        memcpy(vendor + 8, &c, 4);
        memcpy(k.cpuVendor, vendor, sizeof vendor);
        unsigned maxBasic = a;

        __cpuid(0x80000000u, a, b, c, d);
        if (a >= 0x80000004u) {
            unsigned words[12];
            for (unsigned i = 0; i < 3; i++)
                __cpuid(0x80000002u + i, words[i * 4], words[i * 4 + 1], words[i * 4 + 2], words[i * 4 + 3]);
            memset(k.cpuName, 0, sizeof k.cpuName);
            memcpy(k.cpuName, words, sizeof words);
            brand = true;
        }

        level = 1;
        if (maxBasic >= 1) {
            __cpuid(1, a, b, c, d);
            bool mmx = (d >> 23) & 1, sse = (d >> 25) & 1, sse2 = (d >> 26) & 1;
            if (mmx)
                level = sse ? (sse2 ? 5 : 4) : 3;
            k.tscMode = (d >> 4) & 1;
        }
    }

    if (k.tscMode) {
        uint64_t start = __rdtsc();
        DWORD begin = timeGetTime() & 0x7FFFFFFFu;
        while ((((timeGetTime() & 0x7FFFFFFFu) - begin) & 0x7FFFFFFFu) < 100) {
        }
        uint64_t difference = __rdtsc() - start;
        k.cpuMHz = (int)(difference / 100000);
        k.tscPerSecond = difference * 10;
        WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", (double)(unsigned)k.cpuMHz / 1000.0);
    }

    switch (level) {
    case 0:
        WriteLog("ＣＰＵＩＤ命令は使えません\n");
        break;
    case 1:
        WriteLog("ＭＭＸは使えません\n");
        break;
    default:
        WriteLog("ＭＭＸ命令を使用します\n");
        k.mmx = 1;
        if (level >= 4) {
            WriteLog("ＳＳＥ命令が使用可能です\n");
            k.sse = 1;
        }
        if (level >= 5) {
            WriteLog("ＳＳＥ２命令が使用可能です\n");
            k.sse2 = 1;
        }
        break;
    }

    if (cpuid) {
        WriteLog("ＣＰＵベンダ：");
        for (int i = 0; i < 3; i++) {
            char piece[5];
            memcpy(piece, vendor + i * 4, 4);
            piece[4] = 0;
            WriteLog(piece);
        }
        WriteLog("\n");
        if (brand)
            WriteLogFormat("ＣＰＵ名：%s", k.cpuName);
    }

    DecreaseLogIndent();
    return 0;
}
