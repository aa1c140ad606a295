// The character ring, the IME copies and the text-input calls, and typed
// characters and IME messages arriving through the library's window.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <string.h>

#include <string>
#include <vector>

#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/handle_table.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "runtime/text_input.h"
#include "runtime/window_state.h"
#include "tests/runtime/log_capture.h"

namespace {

// Everything the ring holds, popped character by character.
std::string DrainRing()
{
    std::string out;
    unsigned char c[2];
    int n;
    while ((n = PopInputChar(c, 1)) > 0)
        out.append((const char*)c, (size_t)n);
    return out;
}

unsigned char TestByte(int i)
{
    return (unsigned char)(0x20 + i % 0x5F);
}

} // namespace

TEST(CharInputRing, HoldsAtMost1024BytesAndWraps)
{
    InitTextInput();
    for (int i = 0; i < 1024; i++)
        ASSERT_EQ(0, PushInputChar(TestByte(i))) << i;
    EXPECT_EQ(-1, PushInputChar('!'));
    EXPECT_EQ(-1, PushControlKey(VK_LEFT));
    std::string expected;
    for (int i = 0; i < 1024; i++)
        expected += (char)TestByte(i);
    EXPECT_EQ(expected, DrainRing());

    // Positions near the end: the next 100 bytes cross it, with a double-byte
    // character split across the wrap.
    InitTextInput();
    for (int i = 0; i < 1024; i++)
        PushInputChar('x');
    for (int i = 0; i < 1024; i++) {
        unsigned char c[2];
        PopInputChar(c, 1);
    }
    ASSERT_EQ(1024, TextInput.ringRead);
    EXPECT_EQ(0, PushInputChar(0x82));
    EXPECT_EQ(0, PushInputChar(0xA0));
    for (int i = 0; i < 98; i++)
        ASSERT_EQ(0, PushInputChar(TestByte(i)));
    unsigned char c[2] = {};
    EXPECT_EQ(2, PopInputChar(c, 1));
    EXPECT_EQ(0x82, c[0]);
    EXPECT_EQ(0xA0, c[1]);
    expected.clear();
    for (int i = 0; i < 98; i++)
        expected += (char)TestByte(i);
    EXPECT_EQ(expected, DrainRing());
    EXPECT_EQ(TextInput.ringRead, TextInput.ringWrite);

    // After the wrap it fills to 1024 again.
    for (int i = 0; i < 1024; i++)
        ASSERT_EQ(0, PushInputChar('y')) << i;
    EXPECT_EQ(-1, PushInputChar('y'));
}

// The fifteen display colours of key-input lines, in their field order; the
// eleventh repeats the third.
TEST(KeyInputRecords, DisplayColoursInTheirFieldOrder)
{
    InitTextInput();
    const int rgb[KEY_INPUT_COLOR_COUNT][3] = {
        {255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {255, 255, 255},
        {255, 0, 0},     {255, 255, 20},  {0, 0, 0},     {0, 0, 0},     {0, 0, 0},
        {255, 255, 0},   {0, 0, 0},       {255, 255, 255}, {0, 0, 0},   {128, 128, 128},
    };
    for (int i = 0; i < KEY_INPUT_COLOR_COUNT; i++)
        EXPECT_EQ(ColorFromRGB(rgb[i][0], rgb[i][1], rgb[i][2]), TextInput.colors[i]) << i;
}

TEST(CharInputRing, DoubleByteCharactersWaitForTheirSecondByte)
{
    InitTextInput();
    unsigned char c[2] = {};
    EXPECT_EQ(0, PopInputChar(c, 1));
    PushInputChar(0x82);
    EXPECT_EQ(0, PopInputChar(c, 1));
    EXPECT_EQ(0, PopInputChar(c, 0));
    EXPECT_NE(TextInput.ringRead, TextInput.ringWrite); // the lead byte stays
    PushInputChar(0xA0);
    EXPECT_EQ(2, PopInputChar(c, 0));
    EXPECT_EQ(2, PopInputChar(c, 1));
    EXPECT_EQ(0x82, c[0]);
    EXPECT_EQ(0xA0, c[1]);
    EXPECT_EQ(0, PopInputChar(c, 1));

    // What counts as a lead byte follows the character set.
    struct Case {
        int charSet;
        unsigned char first, second;
        int bytes;
    } cases[] = {
        {0, 0xA1, 0xB0, 1},  // Shift-JIS half-width katakana
        {0, 0xE0, 0x40, 2},
        {0, 0x10, 0x41, 1},  // Delete code
        {2, 0xA1, 0xB0, 2},  // Korean
        {4, 0x81, 0x30, 2},  // GBK
        {2, 0x41, 0xB0, 1},
    };
    int saved = SystemState.settings.charSet;
    for (const Case& k : cases) {
        SystemState.settings.charSet = k.charSet;
        InitTextInput();
        PushInputChar(k.first);
        PushInputChar(k.second);
        EXPECT_EQ(k.bytes, PopInputChar(c, 1)) << k.charSet << " " << (int)k.first;
        EXPECT_EQ(k.first, c[0]);
    }
    SystemState.settings.charSet = saved;
}

TEST(TextHelpers, ControlCodesAndCharacterCounts)
{
    for (unsigned char code : {0x10, 0x1D, 0x1C, 0x1E, 0x1F, 0x1A, 0x19, 0x17, 0x15})
        EXPECT_EQ(1, IsControlKeyChar(code)) << (int)code;
    for (unsigned char code : {0x00, 0x08, 0x0D, 0x1B, 0x41, 0x82})
        EXPECT_EQ(0, IsControlKeyChar(code)) << (int)code;

    struct Case {
        const char* text;
        int bytes, chars;
    } cases[] = {
        {"\x82\xa0" "A", 3, 2},
        {"\x82\xa0" "A", 1, 1},  // a position inside a character counts it
        {"A\x82\xa0" "B", 3, 2},
        {"AB", 100, 2},          // stops at the terminating zero
        {"\x82", 2, 1},          // a lead byte before the zero stands alone
        {"AB", 0, 0},
        {"AB", -5, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.chars, CountTextChars(c.text, c.bytes)) << c.text << " " << c.bytes;
}

TEST(ImeCopies, LongTextsAreCutAtACharacterBoundary)
{
    std::string wide;
    for (int i = 0; i < 600; i++)
        wide += "\x82\xa0";
    std::string narrow(2000, 'a');
    std::string mixed = "a" + wide; // puts a lead byte at the cut position

    struct Case {
        std::string source;
        int outSize, kept;
    } cases[] = {
        {wide, IME_TEXT_SIZE, 1022},
        {narrow, IME_TEXT_SIZE, 1023},
        {mixed, IME_TEXT_SIZE, 1023},
        {wide.substr(0, 6), IME_TEXT_SIZE, 6},
        {"a\x82", IME_TEXT_SIZE, 2},  // a lead byte at the end is kept as a byte
        {"\x82\xa0", 2, 0},
        {"abc", 1, 0},
    };
    for (const Case& c : cases) {
        std::vector<char> out((size_t)c.outSize + 16, '#');
        int kept = CopyImeText(out.data(), c.outSize, c.source.data(), (int)c.source.size());
        EXPECT_EQ(c.kept, kept) << c.source.size() << " into " << c.outSize;
        EXPECT_EQ(0, memcmp(out.data(), c.source.data(), (size_t)c.kept));
        EXPECT_EQ(0, out[(size_t)c.kept]);
        for (size_t i = (size_t)c.outSize; i < out.size(); i++)
            ASSERT_EQ('#', out[i]) << "written past the buffer";
    }
    char untouched = '#';
    EXPECT_EQ(0, CopyImeText(&untouched, 0, "abc", 3));
    EXPECT_EQ('#', untouched);

    // A result goes into the ring in order until the ring is full.
    InitTextInput();
    EXPECT_EQ(6, PushInputText("\x82\xa0\x82\xa2\x82\xa4", 6));
    EXPECT_EQ("\x82\xa0\x82\xa2\x82\xa4", DrainRing());
    InitTextInput();
    EXPECT_EQ(1024, PushInputText(wide.data(), (int)wide.size()));
}

TEST(KeyInputRecords, SelectionDeleteAndRelease)
{
    char line[8];
    KeyInputRecord record = {};
    record.buffer = line;
    record.bufferSize = sizeof line;
    struct Case {
        const char* text;
        int start, end;
        const char* left;
        int cursor;
    } cases[] = {
        {"ABCDEF", 1, 4, "AEF", 1},
        {"ABCDEF", 4, 1, "AEF", 1},
        {"ABCDEF", 2, 99, "AB", 2},   // a selection past the end stops there
        {"ABCDEFGH", 0, 3, "DEFG", 0}, // no zero: the last byte ends the line
    };
    for (const Case& c : cases) {
        memcpy(line, c.text, strnlen(c.text, sizeof line));
        if (strlen(c.text) < sizeof line)
            line[strlen(c.text)] = 0;
        record.selectStart = c.start;
        record.selectEnd = c.end;
        EXPECT_EQ(0, DeleteInputSelection(&record));
        EXPECT_STREQ(c.left, line) << c.text << " " << c.start << "-" << c.end;
        EXPECT_EQ(c.cursor, record.cursor);
        EXPECT_EQ(-1, record.selectStart);
    }
    EXPECT_EQ(-1, DeleteInputSelection(nullptr));

    // Releasing frees each record and its line; the last one switches the IME off.
    InitTextInput();
    int allocs = GetAllocCount();
    int handles[3];
    for (int& h : handles) {
        auto* r = (KeyInputRecord*)AllocHandleRecord(&KeyInputHandles, sizeof(KeyInputRecord), "KeyInput", __LINE__, &h);
        ASSERT_NE(nullptr, r);
        r->inUse = 1;
        r->buffer = (char*)AllocTrackedZero(64, "KeyInputLine", __LINE__);
        r->bufferSize = 64;
    }
    SystemState.settings.imeUse = 1;
    TextInput.activeKeyInput = handles[0];
    EXPECT_EQ(0, ProcessKeyInput());
    EXPECT_EQ(0, ReleaseKeyInputHandle(handles[0]));
    EXPECT_EQ(-1, TextInput.activeKeyInput);
    EXPECT_EQ(-1, ReleaseKeyInputHandle(handles[0]));
    EXPECT_EQ(-1, ReleaseKeyInputHandle(handles[1] ^ HANDLE_TYPE_KEY_INPUT ^ HANDLE_TYPE_FONT));
    EXPECT_EQ(1, SystemState.settings.imeUse);
    TextInput.activeKeyInput = handles[1];
    EXPECT_EQ(0, DeleteAllKeyInputs());
    EXPECT_EQ(-1, TextInput.activeKeyInput);
    EXPECT_EQ(0, KeyInputHandles.count);
    EXPECT_EQ(0, SystemState.settings.imeUse);
    EXPECT_EQ(allocs, GetAllocCount());

    // A stale active handle is forgotten by the per-frame step.
    TextInput.activeKeyInput = handles[2];
    EXPECT_EQ(-1, ProcessKeyInput());
    EXPECT_EQ(-1, TextInput.activeKeyInput);
    EXPECT_EQ(0, ProcessKeyInput());
}

TEST(TextInputWindow, TypedCharactersAndImeMessages)
{
    LogCapture log;
    log.Start();
    ChangeWindowMode(1);
    SetKeepRunningInBackground(1);
    ASSERT_EQ(0, SetScreenMode(640, 480, 32, 60));
    ASSERT_EQ(0, InitLibraryLocked());
    HWND window = GetMainWindowHwnd();
    ASSERT_NE(nullptr, window);

    // Typed characters and editing keys, as the window receives them.
    DrainRing();
    struct Message {
        UINT message;
        WPARAM wParam;
    } typed[] = {
        {WM_CHAR, 'A'},       {WM_CHAR, 0x82},   {WM_CHAR, 0xA0},  // a double-byte character
        {WM_CHAR, 0x0A},      {WM_CHAR, 0x07},   {WM_CHAR, 0x08},  // LF becomes CR; BEL dropped
        {WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, VK_F1}, {WM_KEYDOWN, VK_DELETE},
        {WM_KEYDOWN, VK_NEXT}, {WM_CHAR, 0x16},   {WM_CHAR, 0x1B},
    };
    for (const Message& m : typed)
        SendMessageA(window, m.message, m.wParam, 0);
    unsigned char c[2] = {};
    EXPECT_EQ(1, PopInputChar(c, 1));
    EXPECT_EQ('A', c[0]);
    EXPECT_EQ(2, PopInputChar(c, 1));
    EXPECT_EQ(0x82, c[0]);
    EXPECT_EQ(0xA0, c[1]);
    EXPECT_EQ(std::string("\x0d\x08\x1d\x10\x15\x16\x1b"), DrainRing());

    // A full ring takes no more characters or keys.
    for (int i = 0; i < 1100; i++)
        SendMessageA(window, WM_CHAR, TestByte(i), 0);
    SendMessageA(window, WM_KEYDOWN, VK_HOME, 0);
    std::string expected;
    for (int i = 0; i < 1024; i++)
        expected += (char)TestByte(i);
    EXPECT_EQ(expected, DrainRing());

    // Composition start and end.
    TextInput.caretShown = 0;
    EXPECT_EQ(0, SendMessageA(window, WM_IME_STARTCOMPOSITION, 0, 0));
    EXPECT_EQ(1, TextInput.composing);
    EXPECT_EQ(1, TextInput.imeMessageSeen);
    EXPECT_EQ(1, TextInput.caretShown);
    strcpy(TextInput.composition, "\x82\xa0");
    EXPECT_EQ(0, SendMessageA(window, WM_IME_ENDCOMPOSITION, 0, 0));
    EXPECT_EQ(0, TextInput.composing);
    EXPECT_STREQ("", TextInput.composition);

    // Closing a candidate list that was never copied; opening one the IME
    // does not have.
    size_t before = log.Lines().size();
    EXPECT_EQ(0, SendMessageA(window, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1));
    EXPECT_EQ(nullptr, TextInput.candidates);
    EXPECT_EQ(0, SendMessageA(window, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1));
    EXPECT_EQ(nullptr, TextInput.candidates);
    EXPECT_EQ(0, TextInput.candidateSize);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(before + 1, lines.size());
    EXPECT_EQ(0u, lines[before].find("漢字変換候補のデータサイズが０でした  DefHWND:")) << lines[before];

    // Switching the IME off drops the candidate copy and the composition.
    SetImeEnabled(1);
    TextInput.candidates = AllocTracked(32, "Candidates", __LINE__);
    TextInput.candidateSize = 32;
    TextInput.composing = 1;
    strcpy(TextInput.composition, "abc");
    SetImeEnabled(0);
    EXPECT_EQ(nullptr, TextInput.candidates);
    EXPECT_EQ(0, TextInput.candidateSize);
    EXPECT_STREQ("", TextInput.composition);

    // A composition message whose strings are empty pushes nothing.
    EXPECT_EQ(0, SendMessageA(window, WM_IME_COMPOSITION, 0, GCS_RESULTSTR | GCS_COMPSTR | GCS_CURSORPOS));
    EXPECT_EQ("", DrainRing());

    // The IME's own composition and result, as its messages bring them: a
    // long composition is cut at a character boundary, and the result text
    // reaches the ring in order up to its end.
    {
        SetImeEnabled(1);
        HIMC context = ImmGetContext(window);
        ASSERT_NE(nullptr, context);
        std::string wide;
        for (int i = 0; i < 700; i++)
            wide += "\x82\xa0\x82\xa2";
        const std::string sources[] = {"\x82\xa0\x82\xa2\x82\xa4", wide, std::string(1500, 'k')};
        for (const std::string& source : sources) {
            DrainRing();
            // This IME reads the text as half as many characters as the
            // length given, so the length is doubled over zero padding.
            std::string padded = source + std::string(source.size(), '\0');
            ASSERT_TRUE(ImmSetCompositionStringA(context, SCS_SETSTR, (void*)padded.data(), (DWORD)padded.size(),
                                                 nullptr, 0));
            LONG reported = ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0);
            size_t length = strlen(TextInput.composition);
            std::string label = std::to_string(source.size()) + " bytes, reported " + std::to_string(reported);
            EXPECT_EQ(1, TextInput.composing) << label;
            EXPECT_EQ(source.substr(0, length), std::string(TextInput.composition)) << label;
            if (reported >= IME_TEXT_SIZE)
                EXPECT_EQ(source[0] == 'k' ? 1023u : 1022u, length) << label;
            else
                EXPECT_EQ(source.size(), length) << label;

            ASSERT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
            EXPECT_EQ(source.substr(0, length), DrainRing()) << label;
            EXPECT_EQ(0, TextInput.composing) << label;
            EXPECT_STREQ("", TextInput.composition) << label;
        }

        // The open state the IME reports reaches the library.
        ImmSetOpenStatus(context, TRUE);
        EXPECT_EQ(1, GetImeOpenState());
        ImmSetOpenStatus(context, FALSE);
        EXPECT_EQ(0, GetImeOpenState());

        // Reactivation closes and reopens the IME over four frames, saving
        // the composition that was under way to put it back.
        ImmSetOpenStatus(context, TRUE);
        std::string padded = std::string("\x82\xa0") + std::string(2, '\0');
        ImmSetCompositionStringA(context, SCS_SETSTR, (void*)padded.data(), (DWORD)padded.size(), nullptr, 0);
        RequestImeReenable();
        for (int step : {2, 3, 4, 0}) {
            ProcessKeyInput();
            EXPECT_EQ(step, TextInput.reenableStep);
        }
        EXPECT_STREQ("\x82\xa0", TextInput.reenableSaved);
        EXPECT_TRUE(ImmGetOpenStatus(context));
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        ImmReleaseContext(window, context);
        SetImeEnabled(0);
        DrainRing();
    }

    // Clipboard text in and out.
    ASSERT_EQ(0, SetClipboardTextData("\x82\xa0xyz"));
    EXPECT_EQ(6, GetClipboardTextData(nullptr));
    char text[16];
    memset(text, '#', sizeof text);
    EXPECT_EQ(0, GetClipboardTextData(text));
    EXPECT_STREQ("\x82\xa0xyz", text);
    EXPECT_EQ('#', text[6]);

    EXPECT_EQ(0, EndLibraryLocked());
}
