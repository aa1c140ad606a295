#include "runtime/library_lock.h"

#include <windows.h>

// A recursive lock whose waiters queue first in, first out, each on an event
// of its own; a released lock goes to the oldest waiter before any newcomer.
// The queue and its events are made once, so entering never allocates.
enum { LockQueueSize = 4096 };

struct LockQueueEntry {
    DWORD threadId;
    HANDLE event;
};

struct LibraryLockState {
    int created;
    int recursion;
    int locked;
    DWORD owner;
    LockQueueEntry queue[LockQueueSize];
    int count;
    CRITICAL_SECTION section;
};

static LibraryLockState lock;
static volatile LONG creation; // 0 none, 1 being made, 2 ready

// The library makes the lock on the main thread before any other thread
// exists; the exchange still keeps two first users from both making it.
static void CreateLockOnce()
{
    if (creation == 2)
        return;
    if (InterlockedCompareExchange(&creation, 1, 0) == 0) {
        for (int i = 0; i < LockQueueSize; i++) {
            lock.queue[i].threadId = 0;
            lock.queue[i].event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        }
        lock.count = 0;
        lock.recursion = 0;
        lock.locked = 0;
        lock.owner = (DWORD)-1;
        InitializeCriticalSection(&lock.section);
        lock.created = 1;
        InterlockedExchange(&creation, 2);
    } else {
        while (creation != 2)
            Sleep(0);
    }
}

// Removes the first waiter; its event moves to the slot freed at the end.
static void RemoveFirstWaiter()
{
    if (lock.count == 1) {
        lock.count = 0;
        return;
    }
    LockQueueEntry first = lock.queue[0];
    for (int i = 1; i < lock.count; i++)
        lock.queue[i - 1] = lock.queue[i];
    lock.queue[lock.count - 1].threadId = 0;
    lock.queue[lock.count - 1].event = first.event;
    lock.count--;
}

void EnterLibraryLock()
{
    CreateLockOnce();
    const DWORD self = GetCurrentThreadId();
    for (;;) {
        EnterCriticalSection(&lock.section);
        bool take = false;
        if (lock.locked) {
            take = lock.owner == self;
        } else if (lock.count == 0 || lock.owner == self) {
            take = true;
        } else if (lock.queue[0].threadId == self) {
            RemoveFirstWaiter();
            take = true;
        }
        if (take) {
            lock.recursion++;
            lock.locked = 1;
            lock.owner = self;
            LeaveCriticalSection(&lock.section);
            return;
        }

        if (lock.count == LockQueueSize) {
            LeaveCriticalSection(&lock.section);
            Sleep(1);
            continue;
        }
        LockQueueEntry& entry = lock.queue[lock.count];
        entry.threadId = self;
        HANDLE event = entry.event;
        lock.count++;
        LeaveCriticalSection(&lock.section);
        if (event) {
            WaitForSingleObject(event, INFINITE);
            ResetEvent(event);
        } else {
            // An event that could not be made: poll instead of waiting.
            Sleep(1);
        }
    }
}

void LeaveLibraryLock()
{
    if (creation != 2)
        return;
    const DWORD self = GetCurrentThreadId();
    EnterCriticalSection(&lock.section);
    // Only the owner gives up a level; a stray leave would unbalance the count.
    if (!lock.locked || lock.owner != self) {
        LeaveCriticalSection(&lock.section);
        return;
    }
    bool wake = false;
    HANDLE event = nullptr;
    if (lock.recursion == 1) {
        lock.locked = 0;
        lock.owner = (DWORD)-1;
        wake = lock.count > 0;
        if (wake)
            event = lock.queue[0].event;
    }
    lock.recursion--;
    LeaveCriticalSection(&lock.section);
    if (wake) {
        if (event)
            SetEvent(event);
        Sleep(0);
    }
}

void DestroyLibraryLock()
{
    if (creation != 2 || !lock.created)
        return;
    lock.created = 0;
    for (int i = 0; i < LockQueueSize; i++) {
        if (lock.queue[i].event) {
            CloseHandle(lock.queue[i].event);
            lock.queue[i].event = nullptr;
        }
    }
    DeleteCriticalSection(&lock.section);
    lock.count = 0;
    lock.recursion = 0;
    lock.locked = 0;
    lock.owner = (DWORD)-1;
    InterlockedExchange(&creation, 0);
}

int CountLibraryLockWaiters()
{
    if (creation != 2)
        return 0;
    EnterCriticalSection(&lock.section);
    int count = lock.count;
    LeaveCriticalSection(&lock.section);
    return count;
}

int GetLibraryLockCreated()
{
    return lock.created;
}

int LibraryLockHeldByCaller()
{
    if (creation != 2)
        return 0;
    EnterCriticalSection(&lock.section);
    int held = lock.locked && lock.owner == GetCurrentThreadId();
    LeaveCriticalSection(&lock.section);
    return held;
}
