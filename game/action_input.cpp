#include "game/action_input.h"

int holdUp, holdDown, holdLeft, holdRight;
int actionHold[2][ACTION_COUNT];
ButtonMapEntry buttonMap[BUTTON_MAP_SIZE];

// Stand-in until the button mapping is built.
void UpdateActionInput() {}
