// The program's entry point.
#include <windows.h>

#include "game/main_loop.h"
#include "runtime/library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (StartGame() != 0)
        return -1;
    RunGameLoop();
    EndLibraryLocked();
    return 0;
}
