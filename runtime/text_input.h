// Typed characters, editing keys and IME messages.
#pragma once

#include <windows.h>

int InitTextInput();
int ProcessKeyInput();
int PushInputChar(unsigned char c);
int DeleteAllKeyInputs();
int SetImeEnabled(int flag);
LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_KEYDOWN: pushes the code of an editing key (Delete, arrows, Home, End,
// Page Up, Page Down) unless the ring is full.
int PushControlKey(int virtualKey);
// The IME's open state as last reported.
int GetImeOpenState();
// Asks the per-frame step to close and reopen the IME (window activation).
int RequestImeReenable();
