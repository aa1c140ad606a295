// The game executable started by a test in a directory of its own choice;
// a process still running when the test ends is terminated.
#pragma once

#include <windows.h>

#include <string>

struct GameProcess {
    PROCESS_INFORMATION info = {};
    bool started = false;

    bool Start(const std::string& exe, const std::string& directory)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string command = "\"" + exe + "\"";
        started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 directory.c_str(), &si, &info) != 0;
        return started;
    }
    // False when it is still running after ms milliseconds.
    bool WaitExit(DWORD ms, DWORD* code)
    {
        return WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(info.hProcess, code) != 0;
    }
    ~GameProcess()
    {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};
