// Pad and keys turned into the game's action hold counters (0 released,
// 1 pressed this frame, n held for n frames), and the button mapping.
#pragma once

#include "runtime/input.h"

enum { ACTION_COUNT = 10, BUTTON_MAP_SIZE = 16 };

// Buttons in the pad-bits word (runtime/input.h): button b is the bit
// PAD_BIT_BUTTON1 << (b - 1).
enum {
    PAD_BUTTON_COUNTERS = 10,       // buttons 1 to 10 have hold counters
    PAD_BUTTON_NUMBERS = 16,        // buttons 1 to 16 can be assigned
};

// The argument of the pad-bits call: pad 1 alone, or pad 1 with the
// keyboard's pad keys.
enum { PAD1_ONLY = 1, PAD1_WITH_KEYS = 1 | INPUT_TYPE_WITH_KEYS };

struct ButtonMapEntry {
    int buttonOfAction;  // button (1 to 16) assigned to action i; 0 none
    int buttonHold;      // hold counter of pad button i + 1 (buttons 1 to 10)
    char buttonLabel[64]; // display text of button i (buttons 1 to 10)
};

extern int holdUp, holdDown, holdLeft, holdRight;
// Action counters of players 0 and 1; player 1's block is never filled.
extern int actionHold[2][ACTION_COUNT];
extern ButtonMapEntry buttonMap[BUTTON_MAP_SIZE];
// 1 once the mapping page has seen a frame without pad input.
extern int learnArmed;

// Where the pad bits come from: the input layer's GetPadInputBits, or a
// stand-in that a test drives.
typedef int (*PadBitsSource)(int padAndKeys);

// Once a frame after the scene step: directions, buttons 1 to 10 and the
// actions through the mapping.
void UpdateActionInput();
void UpdateActionInputFrom(PadBitsSource source);

// The mapping page's learning (the title scene calls these each frame the
// page is shown): arming waits for a frame without pad input; learning gives
// the single button held to the action under the cursor (rows 0 to 8),
// swapping with the action that had it.
void ArmButtonLearning();
void ArmButtonLearningFrom(PadBitsSource source);
void LearnHeldButton(int cursorRow);
void LearnHeldButtonFrom(int cursorRow, PadBitsSource source);

// The page's Default row: action i back to button i + 1.
void ResetButtonMap();

// Writes the labels of buttons 1 to 10 into the table; the others stay empty.
void WriteButtonLabels();
// The label of a button number; "" for a number without a label.
const char* ButtonLabelOf(int button);
