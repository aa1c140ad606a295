// The process-wide recursive lock around the library's public locked entries.
// Waiting threads queue first in, first out, each on an event of its own.
#pragma once

void EnterLibraryLock();
void LeaveLibraryLock();
// Closes the lock's events and critical section; harmless when not created.
void DestroyLibraryLock();

// Threads waiting in the queue (0 before the lock exists).
int CountLibraryLockWaiters();
// 1 between the first enter and the destruction.
int GetLibraryLockCreated();
// 1 when the calling thread owns the lock (the keyboard is read through the
// message queue only by that thread), else 0.
int LibraryLockHeldByCaller();
