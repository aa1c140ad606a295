// Pad and keys turned into the game's action hold counters (0 released,
// 1 pressed this frame, n held for n frames), and the button mapping.
#pragma once

enum { ACTION_COUNT = 10, BUTTON_MAP_SIZE = 16 };

struct ButtonMapEntry {
    int buttonOfAction;  // button (1 to 16) assigned to action i
    int buttonHold;      // hold counter of pad button i + 1 (buttons 1 to 10)
    char buttonLabel[64];
};

extern int holdUp, holdDown, holdLeft, holdRight;
// Action counters of players 0 and 1; player 1's block is never filled.
extern int actionHold[2][ACTION_COUNT];
extern ButtonMapEntry buttonMap[BUTTON_MAP_SIZE];

void UpdateActionInput();
