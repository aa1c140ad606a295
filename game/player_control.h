// The heroine's control (walk, jump, shot, install, pause), her animation row
// and the slot bar's selection of what the carried spheres can buy.
#pragma once

struct SlotEntry;

// UpdatePlayer(p) is declared with the scene entries (game/scenes.h).

// Keeps slot 0's animation row in step with its state and ends timed states.
void SelectPlayerAnimRow();
// Selects the slot-bar row that the player's spheres reach, with its cost and
// availability, and recomputes the sphere cap.
void UpdateSlotLevel();

// The first option of a slot-bar row in use (row 0 to 5), or -1.
int ChosenOption(int row);
// The entry of (row, option, level); null outside the table.
const SlotEntry* SlotAt(int row, int option, int level);
// Cost and availability of a row's option at the row's current level; 0 when
// outside the table.
int SlotCost(int row, int option);
int SlotLevelAvailable(int row, int option);
