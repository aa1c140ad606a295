// What the enemy routines share: the routine's own actor, the player, the
// clock and the spawn and aiming conventions.
#pragma once

#include "game/actor_pool.h"
#include "game/geometry.h"

// In a namespace of their own: the effect and boss routines keep helpers of
// the same kind; the geometry all of them share is in geometry.h.
namespace enemy {

// The enemy whose routine runs (slot `loopIndex`) and slot 0, whatever it holds.
ActorRecord& Self();
ActorRecord& Player();

// `stateFrames` mod p as the routines' period tests see it.
int PhaseOf(const ActorRecord& a, int period);
// `facing` = 1 when the enemy's centre x is left of the player's, else 0.
void FacePlayer(ActorRecord& a);
// Horizontal distance between the enemy's centre and the player's.
float PlayerDistanceX(const ActorRecord& a);

// A new row with its animation started from the first frame.
void SwitchRow(ActorRecord& a, int row);
// The row the enemy should show; restarts the animation only on a change.
void FollowRow(ActorRecord& a, int row);
// Frame 0 of a row of the enemy's own animation set.
const AnimFrameRecord& RowFrame(const ActorRecord& a, int row);

void SpawnEffect(int subtype, float x, float y, int facing = 0, int row = 0, int extra2 = 0);
void SpawnEnemy(int subtype, float x, float y, int facing = 0);
void PlaySe(int n);

} // namespace enemy
