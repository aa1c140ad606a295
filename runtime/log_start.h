// The start of the log: making the log file and writing the system-information
// block at start-up.
#pragma once

#include <windows.h>

int StartLogFile();                             // 1
int LogSystemInfo();                            // 0

// 1 when the processor has CPUID and reports MMX (leaf 1, feature bit 23).
int ProcessorHasMmx();
// The version name appended to "Windows" and the operating-system code for a
// version report; -1 for a version outside the table (the code stays as it was).
int ClassifyOperatingSystem(const OSVERSIONINFOA& version, const char** name);
