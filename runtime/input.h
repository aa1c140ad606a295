// Keyboard and game pads.
#pragma once

int InitInputSystem();
int TermInputSystem();
int UpdateKeyboardState();
int GetAllKeyStates(char* keys);          // 256 bytes of 1 (down) or 0
int GetPadInputBits(int padAndKeys);
int UnacquireInputDevices();
int ApplyPadVibration();
int StopPadVibration(int inputType);
int UpdatePadVibrationTimers();
