#include "runtime/library_lock.h"

#include <windows.h>

// Stand-in: a plain recursive critical section until the fair lock is built.
static CRITICAL_SECTION section;
static int created;
static DWORD owner;
static int depth;

void EnterLibraryLock()
{
    if (!created) {
        InitializeCriticalSection(&section);
        created = 1;
    }
    EnterCriticalSection(&section);
    owner = GetCurrentThreadId();
    depth++;
}

void LeaveLibraryLock()
{
    if (--depth == 0)
        owner = 0;
    LeaveCriticalSection(&section);
}

void DestroyLibraryLock()
{
    if (!created)
        return;
    created = 0;
    DeleteCriticalSection(&section);
}

int LibraryLockHeldByCaller()
{
    return created && depth > 0 && owner == GetCurrentThreadId();
}
