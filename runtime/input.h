// Keyboard and game pads: 256 key states indexed by DirectInput key code, up
// to 16 pads read through DirectInput (7, else 8) or the joystick calls, and
// the pad-bits word that merges a pad with the keys mapped onto it.
#pragma once

// Input type of GetPadInputBits and StopPadVibration: the pad number (1 to
// 16, 0 for none) plus this flag to add the keys mapped to the pad.
enum { INPUT_TYPE_WITH_KEYS = 0x1000 };

// Bits of the pad-bits word; buttons 1 to 24 follow from bit 4 up.
enum {
    PAD_BIT_DOWN = 0x1,
    PAD_BIT_LEFT = 0x2,
    PAD_BIT_RIGHT = 0x4,
    PAD_BIT_UP = 0x8,
    PAD_BIT_BUTTON1 = 0x10,
};

int InitInputSystem();                  // 0, or -1 when the keyboard notification fails
int TermInputSystem();                  // 0
int SetupJoypads();                     // 0, or -1 without DirectInput
int ReleaseJoypads();                   // 0

int UpdateKeyboardState();              // 1 when the key states were read, else 0
int UpdateJoypadState(int padIndex);    // 0; -1 for a bad index or a lost device with the window closing
int CheckKeyDown(int keyCode);          // 1 while the key is down, else 0
int GetAllKeyStates(char* keys);        // 256 bytes of 1 (down) or 0; 0
int GetPadInputBits(int inputType);

int UnacquireInputDevices();            // follows a change of window activation
int ApplyPadVibration();
int StopPadVibration(int inputType);
int UpdatePadVibrationTimers();
