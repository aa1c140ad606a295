// The process-wide recursive lock around the library's public locked entries.
#pragma once

void EnterLibraryLock();
void LeaveLibraryLock();
// Closes the lock's events and critical section; harmless when not created.
void DestroyLibraryLock();
// 1 when the calling thread owns the lock (the keyboard is read through the
// message queue only by that thread), else 0.
int LibraryLockHeldByCaller();
