#include "runtime/screen_print.h"

// Stand-ins until debug text is drawn.
int InitScreenPrint() { return 0; }
int TermScreenPrint() { return 0; }
int ScreenPrintf(const char*, ...) { return 0; }
int ClearScreenPrint() { return 0; }
int GetScreenPrintInUse() { return 0; }
int DrawScreenPrint() { return 0; }
