// The refill pass of stream sounds and the sound service thread that runs it.
#pragma once

#include <windows.h>

int ProcessStreamSound(int handle);
DWORD WINAPI SoundServiceThread(LPVOID argument);
