// The library's text log ("Log.txt" in the start directory) and the
// system-information block written at start-up.
#pragma once

#include <windows.h>

int WriteLog(const char* text);                 // always -1
int WriteLogFormat(const char* format, ...);    // always -1; appends "\n"
int WriteLogEntry(const char* text);
int IncreaseLogIndent();
int DecreaseLogIndent();
int StartLogFile();                             // 1
int LogSystemInfo();                            // 0

// 1 when the processor has CPUID and reports MMX (leaf 1, feature bit 23).
int ProcessorHasMmx();
// The version name appended to "Windows" and the operating-system code for a
// version report; -1 for a version outside the table (the code stays as it was).
int ClassifyOperatingSystem(const OSVERSIONINFOA& version, const char** name);
