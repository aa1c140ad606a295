#include "runtime/input.h"

#include <string.h>

// Stand-ins until keyboard and pads are read.
int InitInputSystem() { return 0; }
int TermInputSystem() { return 0; }
int UpdateKeyboardState() { return 0; }
int GetAllKeyStates(char* keys) { memset(keys, 0, 256); return 0; }
int GetPadInputBits(int) { return 0; }
int UnacquireInputDevices() { return 0; }
int ApplyPadVibration() { return 0; }
int StopPadVibration(int) { return 0; }
int UpdatePadVibrationTimers() { return 0; }
