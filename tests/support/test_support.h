// Helpers shared by the test programs.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

// A new empty directory under the system's temporary directory, removed with
// everything in it by RemoveTree.
std::string MakeTempDir(const char* tag);
void RemoveTree(const std::string& path);
// A directory below `parent` whose path is exactly `length` characters long,
// made of nested directories (existing ones are taken as they are); "" when
// it cannot be made.
std::string MakeNestedDir(const std::string& parent, size_t length);

// A message the library's window procedure does not handle, and how often a
// window counted with CountMessagesOf has received it since the count was
// last set to 0.
const UINT CountedMessage = WM_APP + 7;
extern int countedMessages;
void CountMessagesOf(HWND window);
void StopCountingMessagesOf(HWND window);

// How long a test waits for the platform (a window, a key, a thread) before
// it gives up: far beyond what the event takes on a loaded machine, so that
// only an event that never comes fails, and the test still ends.
const DWORD PlatformWaitMs = 30000;
// Runs `poll` (a message step, say) until it answers true or `capMs` has
// passed, a couple of milliseconds apart; whether it answered true.
bool PollUntil(const std::function<bool()>& poll, DWORD capMs = PlatformWaitMs);

// A key pressed or released as the keyboard would send it, to the window
// that has the keyboard focus.
void SendTestKey(WORD virtualKey, bool down);
// Makes the library's main window the foreground, active and focused one,
// running its message step meanwhile (no window manager runs on the virtual
// display to do it); true once it is.
bool FocusMainWindow();

// Assembler names of C++ and system symbols. The target's label prefix is "_"
// on 32-bit Windows and empty on 64-bit, where stdcall names carry no "@bytes".
#define TEST_STRINGIZE_(x) #x
#define TEST_STRINGIZE(x) TEST_STRINGIZE_(x)
#define ASM_LABEL(name) TEST_STRINGIZE(__USER_LABEL_PREFIX__) name
// The linker's --wrap names: WRAPPED_SYMBOL("_Z13GetRandomUpToi") is the stand-in,
// REAL_SYMBOL(...) the wrapped original.
#define WRAPPED_SYMBOL(mangled) ASM_LABEL("__wrap_" mangled)
#define REAL_SYMBOL(mangled) ASM_LABEL("__real_" mangled)
#if defined(__x86_64__)
#define IMPORT_SYMBOL(function, argumentBytes) "__imp_" #function
#else
#define IMPORT_SYMBOL(function, argumentBytes) "__imp__" #function "@" #argumentBytes
#endif

// Points an entry of the program's import table at a replacement and returns
// what it held, so that a test can watch the library's calls of a system
// function. Name the entry by its assembler name, for example
//   extern "C" void* importedSleep asm(IMPORT_SYMBOL(Sleep, 4));
void* ReplaceImport(void** entry, void* replacement);
