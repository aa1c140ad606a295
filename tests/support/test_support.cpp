#include "tests/support/test_support.h"

#include <windows.h>
#include <stdio.h>

#include "runtime/library.h"
#include "runtime/window_state.h"

std::string MakeTempDir(const char* tag)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (unsigned n = GetTickCount() ^ GetCurrentProcessId();; n++) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%svexil_%s_%08x", base, tag, n);
        if (CreateDirectoryA(path, nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

std::string MakeNestedDir(const std::string& parent, size_t length)
{
    std::string path = parent;
    while (path.size() + 1 < length) {
        // Characters still to come after this separator; a component never
        // leaves room for only a separator.
        size_t need = length - path.size() - 1;
        size_t n = need <= 100 ? need : (need - 2 < 100 ? need - 2 : 100);
        path += "\\" + std::string(n, 'd');
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
    return path.size() == length ? path : "";
}

int countedMessages;
static WNDPROC countedWindowProc;

static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CountedMessage)
        countedMessages++;
    return CallWindowProcA(countedWindowProc, window, message, wParam, lParam);
}

void CountMessagesOf(HWND window)
{
    countedMessages = 0;
    countedWindowProc = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)CountingProc);
}

void StopCountingMessagesOf(HWND window)
{
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)countedWindowProc);
}

void* ReplaceImport(void** entry, void* replacement)
{
    DWORD protect;
    VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protect);
    void* previous = *entry;
    *entry = replacement;
    VirtualProtect(entry, sizeof *entry, protect, &protect);
    return previous;
}

static bool IsExtendedKey(WORD vk)
{
    return vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN;
}

void SendTestKey(WORD virtualKey, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = (WORD)MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (IsExtendedKey(virtualKey) ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &input, sizeof input);
}

bool PollUntil(const std::function<bool()>& poll, DWORD capMs)
{
    for (DWORD start = GetTickCount();; Sleep(2)) {
        if (poll())
            return true;
        if (GetTickCount() - start >= capMs)
            return false;
    }
}

bool FocusMainWindow()
{
    HWND window = GetMainWindowHwnd();
    if (!window)
        return false;
    return PollUntil([window] {
        if (GetForegroundWindow() != window) {
            SetForegroundWindow(window);
            SetActiveWindow(window);
            SetFocus(window);
        }
        ProcessMessagesLocked();
        if (GetForegroundWindow() != window || IsMainWindowActive() != 1)
            return false;
        // The display's focus events for the switch come in after it, and
        // with them its key map, which would undo a key sent meanwhile: a
        // round trip to the display (the pointer query) brings them into the
        // queue, and the message step takes them.
        POINT pointer;
        GetCursorPos(&pointer);
        ProcessMessagesLocked();
        return GetForegroundWindow() == window && IsMainWindowActive() == 1;
    });
}
