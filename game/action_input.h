// Pad and keys turned into the game's action hold counters.
#pragma once

void UpdateActionInput();
