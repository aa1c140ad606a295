// The process-wide recursive lock around the library's public locked entries.
#pragma once

void EnterLibraryLock();
void LeaveLibraryLock();
// Closes the lock's events and critical section; harmless when not created.
void DestroyLibraryLock();
