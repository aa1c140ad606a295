#include "runtime/text_input.h"

// Stand-ins until text input is built.
int InitTextInput() { return 0; }
int ProcessKeyInput() { return 0; }
int PushInputChar(unsigned char) { return 0; }
int DeleteAllKeyInputs() { return 0; }
int SetImeEnabled(int) { return 0; }
LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
int PushControlKey(int) { return 0; }
int GetImeOpenState() { return 0; }
int RequestImeReenable() { return 0; }
