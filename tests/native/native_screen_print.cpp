// The on-screen debug text draws through GDI fonts and the graphics layer,
// so the native build leaves it out: the table and settings readers' messages
// to it are dropped here.
#include "runtime/screen_print.h"

int ScreenPrintf(const char*, ...) { return 0; }
