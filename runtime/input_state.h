// State shared by the keyboard, pad and vibration code, its tables, and the
// seams through which tests drive the pad mapping without a device.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <mmsystem.h>
#include <dinput.h>
#include <stdint.h>

enum {
    INPUT_MAX_PADS = 16,
    PAD_MAP_ROWS = 16,
    PAD_MAP_BITS = 32,
    PAD_MAP_KEYS = 4,
    KEY_CODE_PAIR_COUNT = 99,
    PAD_AXIS_RANGE = 1000,
    PAD_DEAD_ZONE = 2500,
    PAD_VIBRATION_FULL = 10000,
};

// Devices of both DirectInput versions are used through the version 7
// interface: the version 8 device interface has the same methods in the same
// order up to the ones this library calls.
typedef IDirectInputDevice7A InputDevice;

struct PadRecord {
    InputDevice* device;
    IDirectInputEffect* constantEffect;
    IDirectInputEffect* sineEffect;
    HANDLE event;                  // manual reset; signalled by DirectInput on a change
    DIJOYSTATE state;              // axes in -1000..1000, buttons with bit 7 = pressed
    int hasZAndR;                  // joystick-call mode only
    DWORD lastReadTime;
    int vibrationRequest;          // 1 = on
    int vibrationPower;            // 0..10000
    int vibrationDuration;         // milliseconds; negative = until stopped
    int vibrationElapsed;
    DWORD vibrationLastCount;
    int constantPlaying;
    int sinePlaying;
    char instanceName[260];
    char productName[260];
};

struct InputSystemState {
    // Settings kept across starts; nothing in this program sets them.
    int noDirectInput;             // also set when DirectInput cannot be had
    int alwaysDirectInputKeyboard;

    IUnknown* directInput;         // null: not running; INPUT_NO_DIRECTINPUT: joystick calls
    int version8;
    InputDevice* mouse;
    InputDevice* keyboard;
    HANDLE keyboardEvent;
    DWORD keyboardReadTime;
    unsigned char keyStates[256];  // by DirectInput key code, bit 7 = down
    int padKeyMap[PAD_MAP_ROWS][PAD_MAP_BITS][PAD_MAP_KEYS];
    int padCount;
    PadRecord pads[INPUT_MAX_PADS];
    int keyboardReading;           // re-entry guard of the keyboard read
    int starting;

    int keyboardReads;             // device or message-queue reads taken, for tests
};

extern InputSystemState InputState;

// The marker stored as the DirectInput object while input runs without it.
#define INPUT_NO_DIRECTINPUT ((IUnknown*)(intptr_t)-1)

inline bool InputRunning() { return InputState.directInput != nullptr; }
inline bool UsingDirectInput()
{
    return InputState.directInput != nullptr && InputState.directInput != INPUT_NO_DIRECTINPUT;
}

// Win32 virtual key -> DirectInput key code, for reading the keyboard through
// the message queue.
struct KeyCodePair {
    unsigned char virtualKey;
    unsigned char keyCode;
};
extern const KeyCodePair KeyCodeTable[KEY_CODE_PAIR_COUNT];

// Every entry's first two codes -1 and the last two 0, then the default keys
// of row 0.
void FillDefaultPadKeyMap();

// The joystick calls, replaceable so that tests can stand in for a pad.
struct JoystickCalls {
    MMRESULT(WINAPI* getDevCaps)(UINT_PTR id, JOYCAPSA* caps, UINT size);
    MMRESULT(WINAPI* getPosEx)(UINT id, JOYINFOEX* info);
};
extern JoystickCalls JoystickApi;

// Joystick-call axis (0..65535) to -1000..1000 with a dead band in the middle.
int MapJoystickAxis(DWORD value);
// Stores one joyGetPosEx answer into a pad's state.
void StoreJoystickPosition(PadRecord* pad, const JOYINFOEX* info);
// Direction and button bits of one pad state.
int PadStateBits(const DIJOYSTATE* state);
// Bits of one key-map row whose keys are down (0 for a row outside the map).
int KeyMapBits(int row);

// The keyboard read behind UpdateKeyboardState; the reading calls pump
// messages first, the message pump's own call does not (it has just pumped).
int RefreshKeyStates(int pumpFirst);

BOOL CALLBACK EnumJoypadProc(LPCDIDEVICEINSTANCEA instance, LPVOID context);
// Creates a device of the running DirectInput version.
HRESULT CreateInputDevice(REFGUID guid, InputDevice** device);
