// The movement pass of the play field: block collision of the solid actors,
// the moves, the scrolling with the player, the start line and the contacts.
#pragma once

// Once per play frame, between the actors' timers and their behaviours.
void UpdateActorPhysics();
// The response of the actor in `innerLoopIndex` to one probe point moved by
// the speeds sx, sy; the first solid block in table order that holds the
// moved point responds. A non-player's sx is in its own sense (positive left).
void CollideActorWithBlocks(float px, float py, float& sx, float& sy);
// 1 when the actor in `slot` is probed against the blocks.
int IsSolidActor(int slot);
