// Typed characters, editing keys and IME messages.
#pragma once

#include <windows.h>
#include <stdint.h>

enum {
    CHAR_INPUT_RING_SIZE = 1025,   // holds at most 1024 bytes
    IME_TEXT_SIZE = 1024,          // composition text and clause information
    KEY_INPUT_COLOR_COUNT = 15,
    CARET_BLINK_PERIOD = 500,
};

// A line editor behind a key-input handle.
struct KeyInputRecord {
    uint32_t check;
    int inUse;
    char* buffer;        // allocated, bufferSize bytes, zero-terminated
    int bufferSize;
    int cursor;          // byte position
    int selectStart;     // byte positions; -1 when nothing is selected
    int selectEnd;
    int maxLength;
};

struct TextInputStateData {
    unsigned char ring[CHAR_INPUT_RING_SIZE];
    int ringRead, ringWrite;

    int composing;
    char composition[IME_TEXT_SIZE];
    int compositionCaret;                 // in characters
    unsigned char clauses[IME_TEXT_SIZE];
    int clauseCount;
    void* candidates;                     // copy of the IME's candidate list
    int candidateSize;
    int imeOpenState;
    int reenableStep;                     // 0 idle, 1-4 the steps still to run
    char reenableSaved[IME_TEXT_SIZE];
    int imeMessageSeen;
    int openStatusWaiting;

    int blinkRestartTime;
    int blinkPeriod;
    int caretShown;

    uint32_t colors[KEY_INPUT_COLOR_COUNT];
    int activeKeyInput;                   // handle, -1 when none
    char* editBuffer;                     // shared edit buffer of the line editor
};

extern TextInputStateData TextInput;
// Records behind key-input handles (KeyInputRecord).
extern struct HandleTable KeyInputHandles;

int InitTextInput();
int ProcessKeyInput();
// 0, or -1 when the ring is full.
int PushInputChar(unsigned char c);
// One character into out (2 bytes for a double-byte character): bytes
// delivered, 0 when empty or when a lead byte waits for its second byte.
// take 0 leaves the character in the ring.
int PopInputChar(unsigned char* out, int take);
int IsControlKeyChar(unsigned char c);
// Characters in the first byteCount bytes of text, up to its terminating zero.
int CountTextChars(const char* text, int byteCount);
int RestartCaretBlink();
int DeleteAllKeyInputs();
int ReleaseKeyInputHandle(int handle);
int SetImeEnabled(int flag);
LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_KEYDOWN: pushes the code of an editing key (Delete, arrows, Home, End,
// Page Up, Page Down) unless the ring is full.
int PushControlKey(int virtualKey);
// The IME's open state as last reported.
int GetImeOpenState();
// Asks the per-frame step to close and reopen the IME (window activation).
int RequestImeReenable();
// Clipboard text: with no buffer the size needed (text + 1); 0 after copying;
// -1 when the clipboard holds no text.
int GetClipboardTextData(char* buffer);
int SetClipboardTextData(const char* text);
// Removes the selected bytes of the line and puts the cursor where they began.
int DeleteInputSelection(KeyInputRecord* record);

// Copies at most outSize - 1 bytes of source into out without splitting a
// double-byte character, zero-terminated; the bytes copied.
int CopyImeText(char* out, int outSize, const char* source, int sourceBytes);
// Pushes bytes into the ring until it is full; the bytes pushed.
int PushInputText(const char* text, int bytes);
