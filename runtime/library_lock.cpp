#include "runtime/library_lock.h"

#include <windows.h>

// Stand-in: a plain recursive critical section until the fair lock is built.
static CRITICAL_SECTION section;
static int created;

void EnterLibraryLock()
{
    if (!created) {
        InitializeCriticalSection(&section);
        created = 1;
    }
    EnterCriticalSection(&section);
}

void LeaveLibraryLock()
{
    LeaveCriticalSection(&section);
}

void DestroyLibraryLock()
{
    if (!created)
        return;
    created = 0;
    DeleteCriticalSection(&section);
}
