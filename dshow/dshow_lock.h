// Holds a critical section for one scope.
#pragma once

#include <windows.h>

class CriticalSectionHold {
public:
    explicit CriticalSectionHold(CRITICAL_SECTION* section) : section(section) { EnterCriticalSection(section); }
    ~CriticalSectionHold() { LeaveCriticalSection(section); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CRITICAL_SECTION* section;
};
