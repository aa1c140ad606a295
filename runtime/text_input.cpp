#include "runtime/text_input.h"

#include <imm.h>
#include <winnls32.h>
#include <limits.h>
#include <string.h>

#include "graphics/draw_state.h"
#include "graphics/handle_table.h"
#include "runtime/helpers.h"
#include "runtime/library.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/timing.h"

TextInputStateData TextInput;

DEFINE_HANDLE_TABLE(KeyInputHandles, HANDLE_TYPE_KEY_INPUT, KEY_INPUT_HANDLE_MAX, SLOT_AT_END);

namespace {

// Editing keys and the codes that stand for them in the ring.
const struct {
    int virtualKey;
    unsigned char code;
} ControlKeys[9] = {
    {VK_DELETE, 0x10}, {VK_LEFT, 0x1D}, {VK_RIGHT, 0x1C}, {VK_UP, 0x1E},   {VK_DOWN, 0x1F},
    {VK_HOME, 0x1A},   {VK_END, 0x19},  {VK_PRIOR, 0x17}, {VK_NEXT, 0x15},
};

bool RingFull()
{
    return (TextInput.ringWrite + 1) % CHAR_INPUT_RING_SIZE == TextInput.ringRead;
}

int RingCount()
{
    return (TextInput.ringWrite - TextInput.ringRead + CHAR_INPUT_RING_SIZE) % CHAR_INPUT_RING_SIZE;
}

HWND MainWindow()
{
    return SystemState.live.window;
}

// Reads one composition string into out (outSize bytes). A text is cut at a
// character boundary and zero-terminated; other data is cut to whole 4-byte
// entries. The length the IME reports is never trusted past the buffer: a
// longer string goes through a buffer of its own size first. The bytes kept.
int ReadImeString(HIMC context, DWORD index, void* out, int outSize, bool text)
{
    int capacity = text ? outSize - 1 : outSize;
    LONG size = ImmGetCompositionStringA(context, index, nullptr, 0);
    int kept = 0;
    if (size > 0 && size <= capacity) {
        LONG got = ImmGetCompositionStringA(context, index, out, (DWORD)capacity);
        kept = got < 0 ? 0 : got > capacity ? capacity : (int)got;
        if (text)
            kept = CopyImeText((char*)out, outSize, (const char*)out, kept);
    } else if (size > capacity) {
        char* whole = (char*)AllocTracked((size_t)size, "ImeString", __LINE__);
        if (whole) {
            LONG got = ImmGetCompositionStringA(context, index, whole, (DWORD)size);
            got = got < 0 ? 0 : got > size ? size : got;
            if (text) {
                kept = CopyImeText((char*)out, outSize, whole, (int)got);
            } else {
                kept = (int)(got < capacity ? got : capacity);
                memcpy(out, whole, (size_t)kept);
            }
            FreeTracked(whole);
        }
    }
    if (!text)
        kept &= ~3;
    else if (kept == 0)
        ((char*)out)[0] = 0;
    return kept;
}

void FreeCandidates()
{
    if (TextInput.candidates)
        FreeTracked(TextInput.candidates);
    TextInput.candidates = nullptr;
    TextInput.candidateSize = 0;
}

void CopyCandidates(HWND window)
{
    HIMC context = ImmGetContext(window);
    DWORD size = context ? ImmGetCandidateListA(context, 0, nullptr, 0) : 0;
    if (size == 0) {
        WriteLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x", (unsigned)(uintptr_t)window,
                       (unsigned)(uintptr_t)context);
    } else {
        FreeCandidates();
        void* copy = AllocTracked(size, "ImeCandidates", __LINE__);
        if (!copy)
            FatalErrorExitFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                                 (int)size);
        DWORD got = ImmGetCandidateListA(context, 0, (LPCANDIDATELIST)copy, size);
        if (got == 0 || got > size) {
            FreeTracked(copy);
            WriteLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d", (int)size);
        } else {
            TextInput.candidates = copy;
            TextInput.candidateSize = (int)size;
        }
    }
    if (context)
        ImmReleaseContext(window, context);
}

void OnComposition(HWND window, LPARAM flags)
{
    HIMC context = ImmGetContext(window);
    if (!context)
        return;
    if (flags & GCS_COMPSTR)
        ReadImeString(context, GCS_COMPSTR, TextInput.composition, IME_TEXT_SIZE, true);
    if (flags & GCS_RESULTSTR) {
        char result[IME_TEXT_SIZE];
        ReadImeString(context, GCS_RESULTSTR, result, IME_TEXT_SIZE, true);
        PushInputText(result, (int)strlen(result));
        ReadImeString(context, GCS_COMPSTR, TextInput.composition, IME_TEXT_SIZE, true);
    }
    if (flags & GCS_CURSORPOS) {
        LONG position = ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0);
        if (position < 0)
            position = 0;
        if (position > IME_TEXT_SIZE)
            position = IME_TEXT_SIZE;
        TextInput.compositionCaret = CountTextChars(TextInput.composition, (int)position);
    }
    if (flags & GCS_COMPCLAUSE)
        TextInput.clauseCount =
            ReadImeString(context, GCS_COMPCLAUSE, TextInput.clauses, IME_TEXT_SIZE, false) / 4;
    ImmReleaseContext(window, context);
}

void WaitForOpenStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (TextInput.openStatusWaiting)
        return;
    TextInput.openStatusWaiting = 1;
    DefWindowProcA(window, message, wParam, lParam);
    uint64_t start = GetMicroCount(0);
    while (RunMessagePump() == 0 && GetMicroCount(0) - start < 2000) {
    }
    HIMC context = ImmGetContext(window);
    if (context) {
        TextInput.imeOpenState = ImmGetOpenStatus(context) ? 1 : 0;
        ImmReleaseContext(window, context);
    }
    TextInput.openStatusWaiting = 0;
}

// One step per frame: save the composition and cancel it, close the IME,
// open it again, put the saved composition back.
void StepImeReenable()
{
    HWND window = MainWindow();
    HIMC context = window ? ImmGetContext(window) : nullptr;
    if (!context) {
        TextInput.reenableStep = 0;
        return;
    }
    switch (TextInput.reenableStep) {
    case 1:
        ReadImeString(context, GCS_COMPSTR, TextInput.reenableSaved, IME_TEXT_SIZE, true);
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        TextInput.reenableStep = 2;
        break;
    case 2:
        ImmSetOpenStatus(context, FALSE);
        TextInput.reenableStep = 3;
        break;
    case 3:
        ImmSetOpenStatus(context, TRUE);
        TextInput.reenableStep = 4;
        break;
    default: {
        DWORD length = (DWORD)strlen(TextInput.reenableSaved);
        if (length)
            ImmSetCompositionStringA(context, SCS_SETSTR, TextInput.reenableSaved, length, nullptr, 0);
        TextInput.reenableStep = 0;
        break;
    }
    }
    ImmReleaseContext(window, context);
}

} // namespace

int PushInputChar(unsigned char c)
{
    if (RingFull())
        return -1;
    TextInput.ring[TextInput.ringWrite] = c;
    TextInput.ringWrite = (TextInput.ringWrite + 1) % CHAR_INPUT_RING_SIZE;
    return 0;
}

int PushInputText(const char* text, int bytes)
{
    int pushed = 0;
    while (pushed < bytes && PushInputChar((unsigned char)text[pushed]) == 0)
        pushed++;
    return pushed;
}

int PopInputChar(unsigned char* out, int take)
{
    int count = RingCount();
    if (count == 0)
        return 0;
    unsigned char first = TextInput.ring[TextInput.ringRead];
    int bytes = 1;
    if (IsMultiByteLead(&first, CurrentCharSet()) && !IsControlKeyChar(first)) {
        if (count < 2)
            return 0;
        bytes = 2;
    }
    for (int i = 0; i < bytes; i++)
        out[i] = TextInput.ring[(TextInput.ringRead + i) % CHAR_INPUT_RING_SIZE];
    if (take)
        TextInput.ringRead = (TextInput.ringRead + bytes) % CHAR_INPUT_RING_SIZE;
    return bytes;
}

int IsControlKeyChar(unsigned char c)
{
    for (const auto& key : ControlKeys)
        if (key.code == c)
            return 1;
    return 0;
}

int PushControlKey(int virtualKey)
{
    if (RingFull())
        return -1;
    for (const auto& key : ControlKeys)
        if (key.virtualKey == virtualKey)
            return PushInputChar(key.code);
    return 0;
}

int CountTextChars(const char* text, int byteCount)
{
    int chars = 0;
    for (int i = 0; i < byteCount && text[i] != 0; i += CharBytes(text + i))
        chars++;
    return chars;
}

int CopyImeText(char* out, int outSize, const char* source, int sourceBytes)
{
    if (outSize <= 0)
        return 0;
    int limit = sourceBytes < outSize - 1 ? sourceBytes : outSize - 1;
    int n = 0;
    while (n < limit) {
        int bytes = IsMultiByteLead(source + n, CurrentCharSet()) && n + 1 < sourceBytes ? 2 : 1;
        if (n + bytes > limit)
            break;
        n += bytes;
    }
    memmove(out, source, (size_t)n);
    out[n] = 0;
    return n;
}

int RestartCaretBlink()
{
    TextInput.blinkRestartTime = GetMilliCount();
    TextInput.caretShown = 1;
    return 0;
}

int InitTextInput()
{
    WriteLog("文字コードバッファの初期化を行います... ");
    FreeCandidates();
    memset(&TextInput, 0, sizeof TextInput);
    static const unsigned char Rgb[KEY_INPUT_COLOR_COUNT][3] = {
        {255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {255, 255, 255},
        {255, 0, 0},     {255, 255, 20},  {0, 0, 0},     {0, 0, 0},     {0, 0, 0},
        {255, 255, 0},   {0, 0, 0},       {255, 255, 255}, {0, 0, 0},   {128, 128, 128},
    };
    for (int i = 0; i < KEY_INPUT_COLOR_COUNT; i++)
        TextInput.colors[i] = ColorFromRGB(Rgb[i][0], Rgb[i][1], Rgb[i][2]);
    TextInput.activeKeyInput = -1;
    TextInput.blinkRestartTime = 0;
    TextInput.blinkPeriod = CARET_BLINK_PERIOD;
    TextInput.caretShown = 1;
    WriteLog("完了しました\n");
    return 0;
}

LRESULT OnImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TextInput.imeMessageSeen = 1;
    RestartCaretBlink();
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        TextInput.composing = 1;
        TextInput.compositionCaret = 0;
        return 0;
    case WM_IME_ENDCOMPOSITION:
        TextInput.composition[0] = 0;
        TextInput.composing = 0;
        return 0;
    case WM_IME_COMPOSITION:
        OnComposition(window, lParam);
        return 0;
    case WM_IME_SETCONTEXT:
        return DefWindowProcA(window, message, wParam, 0);
    case WM_IME_NOTIFY:
        switch (wParam) {
        case IMN_CHANGECANDIDATE:
        case IMN_OPENCANDIDATE:
        case IMN_SETCANDIDATEPOS:
            CopyCandidates(window);
            return 0;
        case IMN_CLOSECANDIDATE:
            FreeCandidates();
            return 0;
        case IMN_SETOPENSTATUS:
            WaitForOpenStatus(window, message, wParam, lParam);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int ProcessKeyInput()
{
    if (TextInput.reenableStep)
        StepImeReenable();
    if (TextInput.activeKeyInput == -1)
        return 0;
    // Nothing here creates a key-input handle, so no line takes the ring's
    // characters; a stale active handle is forgotten.
    if (!GetHandleRecord(&KeyInputHandles, TextInput.activeKeyInput)) {
        TextInput.activeKeyInput = -1;
        return -1;
    }
    return 0;
}

int GetImeOpenState()
{
    return TextInput.imeOpenState;
}

int RequestImeReenable()
{
    TextInput.reenableStep = 1;
    return 0;
}

int SetImeEnabled(int flag)
{
    flag = flag ? 1 : 0;
    if (flag == SystemState.settings.imeUse)
        return 0;
    SystemState.settings.imeUse = flag;
    if (MainWindow())
        WINNLSEnableIME(MainWindow(), flag ? TRUE : FALSE);
    if (!flag) {
        FreeCandidates();
        TextInput.composition[0] = 0;
        TextInput.composing = 0;
        TextInput.compositionCaret = 0;
    }
    return 0;
}

int ReleaseKeyInputHandle(int handle)
{
    KeyInputRecord* record = (KeyInputRecord*)GetHandleRecord(&KeyInputHandles, handle);
    if (!record)
        return -1;
    if (record->buffer)
        FreeTracked(record->buffer);
    FreeHandleRecord(&KeyInputHandles, handle);
    if (TextInput.activeKeyInput == handle)
        TextInput.activeKeyInput = -1;
    if (KeyInputHandles.count == 0)
        SetImeEnabled(0);
    return 0;
}

int DeleteAllKeyInputs()
{
    for (int slot = 0; slot < KeyInputHandles.slotCount; slot++) {
        KeyInputRecord* record = (KeyInputRecord*)KeyInputHandles.records[slot];
        if (record)
            ReleaseKeyInputHandle(MakeHandle(HANDLE_TYPE_KEY_INPUT, record->check, slot));
    }
    if (TextInput.editBuffer)
        FreeTracked(TextInput.editBuffer);
    TextInput.editBuffer = nullptr;
    TextInput.activeKeyInput = -1;
    return 0;
}

int GetClipboardTextData(char* buffer)
{
    if (!OpenClipboard(MainWindow()))
        return -1;
    int result = -1;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? (const char*)GlobalLock(data) : nullptr;
    if (text) {
        // The text ends at its zero or at the end of its memory block.
        size_t blockSize = GlobalSize(data);
        size_t length = strnlen(text, blockSize);
        if (length < (size_t)INT_MAX) {
            if (!buffer) {
                result = (int)length + 1;
            } else {
                memcpy(buffer, text, length);
                buffer[length] = 0;
                result = 0;
            }
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return result;
}

int SetClipboardTextData(const char* text)
{
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return -1;
    char* copy = (char*)GlobalLock(block);
    memcpy(copy, text, size);
    GlobalUnlock(block);
    if (!OpenClipboard(MainWindow())) {
        GlobalFree(block);
        return -1;
    }
    EmptyClipboard();
    int result = SetClipboardData(CF_TEXT, block) ? 0 : -1;
    CloseClipboard();
    if (result != 0)
        GlobalFree(block);
    return result;
}

int DeleteInputSelection(KeyInputRecord* record)
{
    if (!record || !record->buffer || record->bufferSize <= 0)
        return -1;
    if (record->selectStart < 0 || record->selectEnd < 0)
        return 0;
    // The line ends at its zero or at the buffer's last byte.
    int length = (int)strnlen(record->buffer, (size_t)record->bufferSize - 1);
    int from = record->selectStart < record->selectEnd ? record->selectStart : record->selectEnd;
    int to = record->selectStart < record->selectEnd ? record->selectEnd : record->selectStart;
    if (from > length)
        from = length;
    if (to > length)
        to = length;
    memmove(record->buffer + from, record->buffer + to, (size_t)(length - to));
    record->buffer[from + length - to] = 0;
    record->cursor = from;
    record->selectStart = record->selectEnd = -1;
    return 0;
}
