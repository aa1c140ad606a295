#include "game/action_input.h"

// Stand-in until the button mapping is built.
void UpdateActionInput() {}
