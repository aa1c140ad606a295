// Not a test: started by scripts/with-wine.sh before the command it runs. The
// first program of a Wine session that needs the desktop starts the desktop
// process, which keeps the standard error it inherits until the desktop is
// left idle: under ctest that is a test's output pipe, and ctest waits for
// the pipe to close until the test's time-out. This program starts the
// desktop with no such pipe and keeps it in use until the session ends.
#include <windows.h>

int main()
{
    if (!GetDesktopWindow())
        return 1;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
    for (;;)
        Sleep(INFINITE);
}
