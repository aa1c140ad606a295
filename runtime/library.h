// The library's public entries: start-up, the per-frame message step, shut-down,
// the setters that store values before start-up, and the fatal-error exit.
#pragma once

int InitLibraryLocked();
int EndLibraryLocked();
int ProcessMessagesLocked();

int StartLibrarySystem();
int EndLibrarySystem();

[[noreturn]] void FatalErrorExit(const char* text);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...);

int ChangeWindowMode(int flag);
int SetLogFileOutput(int flag);
int SetWindowTitleText(const char* text);
int SetWindowIconResource(int id);
int SetKeepRunningInBackground(int flag);

// Window start: opens the main window (0 or -1).
int CreateMainWindow();
