// The heroine's control (walk, jump, shot, install, pause), her animation row
// and the slot bar's selection of what the carried spheres can buy.
#pragma once

// UpdatePlayer(p) is declared with the scene entries (game/scenes.h).

// Keeps slot 0's animation row in step with its state and ends timed states.
void SelectPlayerAnimRow();
// Selects the slot-bar row that the player's spheres reach, with its cost and
// availability, and recomputes the sphere cap.
void UpdateSlotLevel();
