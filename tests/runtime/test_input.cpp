// Keyboard and pads: the mapping tables, the pad-bits word, keys sent to the
// main window through DirectInput and through the message queue, and pads
// read through the joystick calls (stood in for, since no pad exists here).
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include "runtime/input.h"
#include "runtime/input_state.h"
#include "runtime/library.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"
#include "tests/support/test_support.h"

namespace {

// ---------------------------------------------------------------------------
// Helpers for the scenarios that start the library

const WORD SentKeys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 'Z', 'X', VK_SPACE, VK_RETURN, VK_NUMPAD4};

void ReleaseAllSentKeys()
{
    for (WORD vk : SentKeys)
        SendTestKey(vk, false);
}

// Frames of the game's loop (the locked message step) until the pad bits of
// 0x1001 equal `expected`, for at most the platform wait; the last bits read.
int PumpUntilBits(int expected)
{
    int bits = -1;
    PollUntil([&] {
        ProcessMessagesLocked();
        bits = GetPadInputBits(0x1001);
        return bits == expected;
    });
    return bits;
}

// Starts the library in window mode and makes its window the foreground,
// active and focused one (there is no window manager on the virtual display).
void StartWithFocus()
{
    ChangeWindowMode(1);
    SetKeepRunningInBackground(1);
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_TRUE(FocusMainWindow()) << "the library's window never became the focused one";
    ReleaseAllSentKeys();
    ASSERT_EQ(0, PumpUntilBits(0));
}

// The keyboard read inside the locked message step takes no messages of its
// own: a step still dispatches at most five.
void ExpectFiveMessagesAStep()
{
    HWND window = GetMainWindowHwnd();
    CountMessagesOf(window);
    countedMessages = 0;
    for (int i = 0; i < 10; i++)
        PostMessageA(window, CountedMessage, 0, 0);
    Sleep(2);
    int reads = InputState.keyboardReads;
    ProcessMessagesLocked();
    EXPECT_EQ(reads + 1, InputState.keyboardReads);
    EXPECT_EQ(5, countedMessages);
    ProcessMessagesLocked();
    EXPECT_EQ(10, countedMessages);
    StopCountingMessagesOf(window);
}

void ExpectKeyStates(const char* keys, std::initializer_list<int> down)
{
    for (int code = 0; code < 256; code++) {
        bool expected = false;
        for (int d : down)
            expected = expected || d == code;
        EXPECT_EQ(expected ? 1 : 0, keys[code]) << "key code " << code;
    }
}

class InputScenario : public ::testing::Test {
protected:
    void TearDown() override
    {
        ReleaseAllSentKeys();
        EndLibraryLocked();
    }
};

// ---------------------------------------------------------------------------
// Stand-in joystick calls: pads 0 and 1 answer, 0 with Z and R axes.

JOYINFOEX fakePositions[2];

MMRESULT WINAPI FakeGetDevCaps(UINT_PTR id, JOYCAPSA* caps, UINT)
{
    if (id > 1)
        return JOYERR_PARMS;
    memset(caps, 0, sizeof *caps);
    caps->wCaps = id == 0 ? (JOYCAPS_HASZ | JOYCAPS_HASR) : JOYCAPS_HASZ;
    return JOYERR_NOERROR;
}

MMRESULT WINAPI FakeGetPosEx(UINT id, JOYINFOEX* info)
{
    if (id > 1)
        return JOYERR_UNPLUGGED;
    *info = fakePositions[id];
    return JOYERR_NOERROR;
}

JOYINFOEX Centred()
{
    JOYINFOEX info = {};
    info.dwSize = sizeof info;
    info.dwXpos = info.dwYpos = info.dwZpos = info.dwRpos = 32767;
    return info;
}

} // namespace

// ---------------------------------------------------------------------------
// Tables and mapping (no library start)

TEST(InputTables, KeyCodeTableMapsEnterTwiceAndTheJapaneseLayout)
{
    struct Case {
        int virtualKey;
        int keyCode;
    } cases[] = {
        {'A', DIK_A}, {'Z', DIK_Z}, {'0', DIK_0}, {VK_LEFT, DIK_LEFT}, {VK_SPACE, DIK_SPACE},
        {VK_RETURN, DIK_RETURN}, {VK_RETURN, DIK_NUMPADENTER}, {0xDC, DIK_YEN}, {0xC0, DIK_AT},
        {VK_NUMPAD4, DIK_NUMPAD4}, {VK_RSHIFT, DIK_RSHIFT}, {VK_F12, DIK_F12}, {VK_PAUSE, DIK_PAUSE},
    };
    for (const Case& c : cases) {
        bool found = false;
        for (const KeyCodePair& pair : KeyCodeTable)
            found = found || (pair.virtualKey == c.virtualKey && pair.keyCode == c.keyCode);
        EXPECT_TRUE(found) << std::hex << c.virtualKey << " > " << c.keyCode;
    }
    // Every pair is filled in: no DirectInput code 0 and no virtual key 0.
    for (const KeyCodePair& pair : KeyCodeTable) {
        EXPECT_NE(0, pair.virtualKey);
        EXPECT_NE(0, pair.keyCode);
    }
}

TEST(InputTables, JoystickAxisScalesWithADeadBand)
{
    struct Case {
        DWORD value;
        int expected;
    } cases[] = {
        {0, -1000}, {12288, -500}, {24575, 0}, {24576, 0}, {30000, 0}, {32767, 0},
        {40960, 0}, {40961, 0}, {53248, 500}, {65534, 999}, {65535, 1000}, {70000, 1000},
        {1, -999},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, MapJoystickAxis(c.value)) << c.value;
}

TEST(InputTables, JoystickPositionFillsAxesAndButtons)
{
    PadRecord pad = {};
    JOYINFOEX info = Centred();
    info.dwXpos = 0;
    info.dwZpos = 65535;
    info.dwRpos = 0;
    info.dwButtons = 0x1 | 0x800000 | 0x1000000; // buttons 0 and 23, and 24 which has no byte
    StoreJoystickPosition(&pad, &info);
    EXPECT_EQ(-1000, pad.state.lX);
    EXPECT_EQ(0, pad.state.lY);
    EXPECT_EQ(0, pad.state.lZ); // without Z and R axes
    EXPECT_EQ(0, pad.state.lRz);
    EXPECT_EQ(128, pad.state.rgbButtons[0]);
    EXPECT_EQ(128, pad.state.rgbButtons[23]);
    EXPECT_EQ(0, pad.state.rgbButtons[24]);
    EXPECT_EQ(0, pad.state.rgbButtons[1]);

    pad.hasZAndR = 1;
    StoreJoystickPosition(&pad, &info);
    EXPECT_EQ(1000, pad.state.lZ);
    EXPECT_EQ(-1000, pad.state.lRz);
}

TEST(InputTables, PadStateBitsFromStickAndButtons)
{
    struct Case {
        LONG x, y;
        int button; // -1 none
        int expected;
    } cases[] = {
        {0, 0, -1, 0},
        {-1000, 0, -1, 0x2},
        {1000, 0, -1, 0x4},
        {0, -1, -1, 0x8},
        {0, 1000, -1, 0x1},
        {-5, 7, -1, 0x2 | 0x1},
        {0, 0, 0, 0x10},
        {0, 0, 9, 0x2000},
        {0, 0, 23, 0x8000000},
        {0, 0, 24, 0}, // the pad bits carry 24 buttons
    };
    for (const Case& c : cases) {
        DIJOYSTATE state = {};
        state.lX = c.x;
        state.lY = c.y;
        state.rglSlider[0] = 500; // sliders, Z and hats decide nothing
        state.lZ = -1000;
        state.rgdwPOV[0] = 9000;
        if (c.button >= 0)
            state.rgbButtons[c.button] = 0x80;
        EXPECT_EQ(c.expected, PadStateBits(&state)) << c.x << "," << c.y << " button " << c.button;
    }
}

TEST(InputTables, DefaultKeyMapGivesOneBitPerDirectionAndButton)
{
    FillDefaultPadKeyMap();
    struct Case {
        std::initializer_list<int> keys;
        int row;
        int expected;
    } cases[] = {
        {{DIK_LEFT}, 0, 0x2},
        {{DIK_LEFT, DIK_NUMPAD4}, 0, 0x2},
        {{DIK_NUMPAD2}, 0, 0x1},
        {{DIK_RIGHT, DIK_UP}, 0, 0x4 | 0x8},
        {{DIK_Z}, 0, 0x10},
        {{DIK_X, DIK_C, DIK_A, DIK_S, DIK_D}, 0, 0x20 | 0x40 | 0x80 | 0x100 | 0x200},
        {{DIK_Q, DIK_W, DIK_ESCAPE, DIK_SPACE}, 0, 0x400 | 0x800 | 0x1000 | 0x2000},
        {{DIK_RETURN, DIK_B}, 0, 0},
        {{DIK_Z, DIK_LEFT}, 1, 0},   // rows other than 0 hold no keys by default
        {{DIK_Z, DIK_LEFT}, 15, 0},
        {{DIK_Z}, 16, 0},            // outside the map
        {{DIK_Z}, -1, 0},
    };
    for (const Case& c : cases) {
        memset(InputState.keyStates, 0, sizeof InputState.keyStates);
        for (int key : c.keys)
            InputState.keyStates[key] = 0x80;
        EXPECT_EQ(c.expected, KeyMapBits(c.row)) << "row " << c.row;
    }
    // The filler code 0 of unused entries matches no key, even a set byte.
    memset(InputState.keyStates, 0, sizeof InputState.keyStates);
    InputState.keyStates[0] = 0x80;
    InputState.keyStates[DIK_LEFT] = 0x01; // toggle bit only: not down
    EXPECT_EQ(0, KeyMapBits(0));
    EXPECT_EQ(0, KeyMapBits(3));
    memset(&InputState, 0, sizeof InputState);
}

TEST(InputTables, VibrationTimersEndTimedRequests)
{
    memset(&InputState, 0, sizeof InputState);
    InputState.padCount = 3;
    DWORD now = timeGetTime();
    PadRecord* pads = InputState.pads;
    // Pad 0: 100 ms request, 60 ms already countedMessages, last count 50 ms ago.
    pads[0].vibrationRequest = 1;
    pads[0].vibrationDuration = 100;
    pads[0].vibrationElapsed = 60;
    pads[0].vibrationLastCount = now - 50;
    // Pad 1: until stopped.
    pads[1].vibrationRequest = 1;
    pads[1].vibrationDuration = -1;
    pads[1].vibrationLastCount = now - 100000;
    // Pad 2: the clock went back; the count restarts without ending it.
    pads[2].vibrationRequest = 1;
    pads[2].vibrationDuration = 100;
    pads[2].vibrationElapsed = 10;
    pads[2].vibrationLastCount = now + 100000;

    EXPECT_EQ(0, UpdatePadVibrationTimers());
    EXPECT_EQ(0, pads[0].vibrationRequest);
    EXPECT_EQ(1, pads[1].vibrationRequest);
    EXPECT_EQ(1, pads[2].vibrationRequest);
    EXPECT_EQ(10, pads[2].vibrationElapsed);
    EXPECT_LE(pads[2].vibrationLastCount - now, 1000u);

    // A request far in the past does not overflow its elapsed count.
    pads[2].vibrationElapsed = 0;
    pads[2].vibrationDuration = 0x7FFFFFF0;
    pads[2].vibrationLastCount = timeGetTime() - 0x7FFFFFF;
    UpdatePadVibrationTimers();
    EXPECT_GT(pads[2].vibrationElapsed, 0);
    EXPECT_EQ(1, pads[2].vibrationRequest);
    memset(&InputState, 0, sizeof InputState);
}

TEST(InputBeforeWindow, ReadingCallsAnswerNothingWithoutStarting)
{
    char keys[256];
    memset(keys, 0x55, sizeof keys);
    EXPECT_EQ(-1, GetAllKeyStates(keys));
    for (char k : keys)
        EXPECT_EQ(0, k);
    EXPECT_EQ(0, GetPadInputBits(0x1001));
    EXPECT_EQ(0, CheckKeyDown(DIK_Z));
    EXPECT_EQ(-1, StopPadVibration(1));
    EXPECT_EQ(-1, GetAllKeyStates(nullptr));
    EXPECT_EQ(-1, UpdateJoypadState(16));
    EXPECT_EQ(-1, UpdateJoypadState(-1));
    EXPECT_EQ(nullptr, InputState.directInput);
}

// ---------------------------------------------------------------------------
// Keys sent to the window, read through DirectInput

class InputDirectKeys : public InputScenario {};
class InputDirectReadRate : public InputScenario {};
class InputRestart : public InputScenario {};

TEST_F(InputDirectKeys, KeysReachKeyStatesAndPadBits)
{
    InputState.alwaysDirectInputKeyboard = 1;
    StartWithFocus();
    ASSERT_TRUE(UsingDirectInput());
    ASSERT_NE(nullptr, InputState.keyboard);

    SendTestKey(VK_LEFT, true);
    SendTestKey('Z', true);
    SendTestKey(VK_SPACE, true);
    EXPECT_EQ(0x2 | 0x10 | 0x2000, PumpUntilBits(0x2 | 0x10 | 0x2000));

    char keys[256];
    EXPECT_EQ(0, GetAllKeyStates(keys));
    ExpectKeyStates(keys, {DIK_LEFT, DIK_Z, DIK_SPACE});
    EXPECT_EQ(1, CheckKeyDown(DIK_Z));
    EXPECT_EQ(0, CheckKeyDown(DIK_X));
    EXPECT_EQ(0, CheckKeyDown(256));
    EXPECT_EQ(0, CheckKeyDown(-1));
    // Keys alone: row 0 of the map, and no pad bits without the flag.
    EXPECT_EQ(0x2 | 0x10 | 0x2000, GetPadInputBits(0x1000));
    if (InputState.padCount == 0) {
        EXPECT_EQ(0, GetPadInputBits(1));
        EXPECT_EQ(0, GetPadInputBits(5));
        EXPECT_EQ(0, GetPadInputBits(0x1002)); // row 1 holds no keys
    }

    SendTestKey(VK_LEFT, false);
    SendTestKey('Z', false);
    EXPECT_EQ(0x2000, PumpUntilBits(0x2000));
    SendTestKey(VK_SPACE, false);
    EXPECT_EQ(0, PumpUntilBits(0));
    ExpectFiveMessagesAStep();
}

TEST_F(InputDirectReadRate, DeviceIsReadOncePerMillisecond)
{
    InputState.alwaysDirectInputKeyboard = 1;
    StartWithFocus();
    char keys[256];
    bool measured = false;
    for (int attempt = 0; attempt < 200 && !measured; attempt++) {
        Sleep(1);
        DWORD before = timeGetTime();
        int reads = InputState.keyboardReads;
        GetAllKeyStates(keys);
        GetAllKeyStates(keys);
        if (timeGetTime() != before)
            continue;
        measured = true;
        EXPECT_LE(InputState.keyboardReads - reads, 1);
    }
    EXPECT_TRUE(measured);
    // A new millisecond reads again.
    int reads = InputState.keyboardReads;
    Sleep(3);
    GetAllKeyStates(keys);
    EXPECT_EQ(reads + 1, InputState.keyboardReads);
}

TEST_F(InputRestart, StoppedInputStartsAgainOnTheNextRead)
{
    InputState.alwaysDirectInputKeyboard = 1;
    StartWithFocus();
    EXPECT_EQ(0, TermInputSystem());
    EXPECT_EQ(nullptr, InputState.directInput);
    EXPECT_EQ(nullptr, InputState.keyboard);
    EXPECT_EQ(0, TermInputSystem());

    // The first read only starts input, then reading goes on as before.
    EXPECT_EQ(0, GetPadInputBits(0x1001));
    EXPECT_TRUE(UsingDirectInput());
    SendTestKey('X', true);
    EXPECT_EQ(0x20, PumpUntilBits(0x20));
    SendTestKey('X', false);
    EXPECT_EQ(0, PumpUntilBits(0));

    // Activation changes give the devices up and take them again.
    EXPECT_EQ(0, UnacquireInputDevices());
    EXPECT_EQ(0, ApplyPadVibration());
    SendTestKey(VK_DOWN, true);
    EXPECT_EQ(0x1, PumpUntilBits(0x1));
}

// ---------------------------------------------------------------------------
// Keys read through the message queue (Windows Vista and later)

class InputMessageKeys : public InputScenario {};

TEST_F(InputMessageKeys, KeysReachPadBitsOnlyThroughThePump)
{
    StartWithFocus();
    SystemState.kept.osCode = 0x108;
    ASSERT_EQ(0, InputState.alwaysDirectInputKeyboard);

    SendTestKey(VK_LEFT, true);
    SendTestKey('Z', true);
    SendTestKey(VK_SPACE, true);
    // Between pumps the game sees the state of the last pump.
    Sleep(3);
    EXPECT_EQ(0, GetPadInputBits(0x1001));
    EXPECT_EQ(0x2 | 0x10 | 0x2000, PumpUntilBits(0x2 | 0x10 | 0x2000));
    char keys[256];
    EXPECT_EQ(0, GetAllKeyStates(keys));
    ExpectKeyStates(keys, {DIK_LEFT, DIK_Z, DIK_SPACE});

    // Left arrow and number-pad 4 are one direction.
    SendTestKey(VK_NUMPAD4, true);
    SendTestKey('Z', false);
    SendTestKey(VK_SPACE, false);
    EXPECT_EQ(0x2, PumpUntilBits(0x2));
    EXPECT_EQ(1, CheckKeyDown(DIK_NUMPAD4));
    SendTestKey(VK_LEFT, false);
    SendTestKey(VK_NUMPAD4, false);
    EXPECT_EQ(0, PumpUntilBits(0));

    // Enter sets both Enter codes.
    SendTestKey(VK_RETURN, true);
    // A loaded machine delivers the sent input late.
    EXPECT_TRUE(PollUntil([] {
        ProcessMessagesLocked();
        return CheckKeyDown(DIK_RETURN) == 1;
    })) << "the Enter key's press never reached the key state";
    EXPECT_EQ(0, GetAllKeyStates(keys));
    ExpectKeyStates(keys, {DIK_RETURN, DIK_NUMPADENTER});
    SendTestKey(VK_RETURN, false);
    ExpectFiveMessagesAStep();
}

// ---------------------------------------------------------------------------
// Pads through the joystick calls

class InputJoystickScenario : public InputScenario {
protected:
    void SetUp() override
    {
        JoystickApi.getDevCaps = FakeGetDevCaps;
        JoystickApi.getPosEx = FakeGetPosEx;
        fakePositions[0] = Centred();
        fakePositions[1] = Centred();
        InputState.noDirectInput = 1;
    }
};
class InputJoystickPads : public InputJoystickScenario {};
class InputJoystickWithKeys : public InputJoystickScenario {};

// Reads pad bits in a fresh millisecond, so that the pad is read anew.
int FreshBits(int type)
{
    Sleep(2);
    return GetPadInputBits(type);
}

TEST_F(InputJoystickPads, StickAndButtonsMapToPadBits)
{
    StartWithFocus();
    ASSERT_EQ(INPUT_NO_DIRECTINPUT, InputState.directInput);
    EXPECT_EQ(16, InputState.padCount);
    EXPECT_EQ(1, InputState.pads[0].hasZAndR);
    EXPECT_EQ(0, InputState.pads[1].hasZAndR);
    EXPECT_EQ(-1, SetupJoypads());

    EXPECT_EQ(0, FreshBits(1));
    fakePositions[0].dwXpos = 0;
    EXPECT_EQ(0x2, FreshBits(1));
    fakePositions[0].dwXpos = 30000; // inside the dead band
    fakePositions[0].dwYpos = 65535;
    EXPECT_EQ(0x1, FreshBits(1));
    fakePositions[0].dwYpos = 12288;
    fakePositions[0].dwButtons = 0x1 | 0x800000;
    EXPECT_EQ(0x8 | 0x10 | 0x8000000, FreshBits(1));
    EXPECT_EQ(-500, InputState.pads[0].state.lY);
    fakePositions[0] = Centred();
    fakePositions[0].dwZpos = 0;
    EXPECT_EQ(0, FreshBits(1));
    EXPECT_EQ(-1000, InputState.pads[0].state.lZ);

    // Pad 2 is pad index 1; pad 3 does not answer and reads centred.
    fakePositions[1].dwXpos = 65535;
    fakePositions[1].dwButtons = 0x2;
    EXPECT_EQ(0x4 | 0x20, FreshBits(2));
    EXPECT_EQ(0, FreshBits(3));
    InputState.pads[2].state.lX = 500; // a stale state is cleared by a failed read
    EXPECT_EQ(0, FreshBits(3));
    EXPECT_EQ(0, InputState.pads[2].state.lX);

    // Pad numbers beyond the 16 pads read nothing, with or without keys.
    EXPECT_EQ(0, FreshBits(17));
    EXPECT_EQ(0, FreshBits(0x1011));
    EXPECT_EQ(0, FreshBits(0x1FFF));
    EXPECT_EQ(0, FreshBits(-1));
}

TEST_F(InputJoystickWithKeys, StickAndKeysTogetherGiveOneBit)
{
    StartWithFocus();
    SystemState.kept.osCode = 0x108;
    fakePositions[0].dwXpos = 0;
    SendTestKey(VK_LEFT, true);
    EXPECT_EQ(0x2, PumpUntilBits(0x2));
    EXPECT_EQ(0x2, GetPadInputBits(1));
    fakePositions[0].dwButtons = 0x2;
    SendTestKey('X', true);
    EXPECT_EQ(0x2 | 0x20, PumpUntilBits(0x2 | 0x20));
    SendTestKey(VK_LEFT, false);
    SendTestKey('X', false);
    fakePositions[0] = Centred();
    EXPECT_EQ(0, PumpUntilBits(0));
    // The keys are read without the joystick calls too.
    EXPECT_EQ(0, TermInputSystem());
    EXPECT_EQ(nullptr, InputState.directInput);
}
