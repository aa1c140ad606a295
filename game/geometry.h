// The small geometry every play rule shares: truncation toward zero, the
// truncated overlap test of boxes, and the angles that aim an actor.
#pragma once

#include "game/actor_pool.h"

// A value truncated toward zero, clamped to the int range (NaN gives 0).
int TruncateToInt(double v);

// Boxes given as (left, top, right, bottom) overlap: every coordinate is
// truncated toward zero and all four comparisons are strict, so boxes that
// only touch do not overlap.
bool BoxesOverlap(float l1, float t1, float r1, float b1, float l2, float t2, float r2, float b2);
// The same test of an actor's current box against a block's corners.
bool ActorOverlapsBlock(const ActorRecord& a, const BlockRecord& b);

// Degrees to radians the way the game turns them: with 3.14, not pi.
inline double DegreesToRadians(double degrees)
{
    return degrees * 3.14 / 180.0;
}

// atan2 from the actor's centre to (x, y), and to the player's centre.
double AngleToward(const ActorRecord& a, float x, float y);
double AngleToPlayer(const ActorRecord& a);
// Speeds that fly the actor from its centre toward the player's centre at
// `speed`; a positive vx moves it left.
void FlyTowardPlayer(ActorRecord& a, double speed);
