// A stage for the enemy routines' tests: one enemy under test, the player,
// and a record of what a routine call spawned.
#pragma once

#include <vector>

#include "game/actor_pool.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "tests/game/play_world.h"

enum {
    ENEMY_SLOT = 20,  // the enemy under test; spawns from 8 land below it
};

// The enemy under test: a 32 x 32 box at (x, y), 3 hit points, its clock at
// `stateFrames`.
inline ActorRecord& PlaceEnemy(int subtype, int stateFrames = 0, float x = 600.0f, float y = 300.0f,
                               int slot = ENEMY_SLOT)
{
    ActorRecord& a = PlaceActor(slot, KIND_ENEMY, subtype, x, y, 32.0f, 32.0f, 3);
    a.stateFrames = stateFrames;
    a.jumpsUsed = 1;
    a.spawnIndex = SPAWN_INDEX_NONE;
    return a;
}

// The player: a 24 x 48 box whose centre is (cx, cy).
inline ActorRecord& PlacePlayerAt(float cx, float cy, int hitPoints = 3)
{
    return PlaceActor(0, KIND_PLAYER, 0, cx - 12.0f, cy - 24.0f, 24.0f, 48.0f, hitPoints);
}

// One behaviour call as the play update makes it: centre, then the routine.
inline void StepEnemy(int slot = ENEMY_SLOT)
{
    ActorRecord& a = actors[slot];
    a.centerX[0] = (a.boxX2[0] + a.boxX1[0]) * 0.5f;
    a.centerY[0] = (a.boxY2[0] + a.boxY1[0]) * 0.5f;
    loopIndex = slot;
    UpdateEnemy(a.subtype);
}

// Frames of the clock and the routine alone (no physics, no gravity).
inline void RunEnemyFrames(int frames, int slot = ENEMY_SLOT)
{
    for (int n = 0; n < frames; n++) {
        actors[slot].stateFrames += 1;
        StepEnemy(slot);
    }
}

// The slots that a call fills, in slot order.
class SpawnWatch {
public:
    SpawnWatch()
    {
        for (int i = 0; i < ACTOR_SLOTS; i++)
            before[i] = actors[i].kind;
    }
    std::vector<int> NewSlots() const
    {
        std::vector<int> slots;
        for (int i = 0; i < ACTOR_SLOTS; i++)
            if (before[i] == KIND_FREE && actors[i].kind != KIND_FREE)
                slots.push_back(i);
        return slots;
    }

private:
    int before[ACTOR_SLOTS];
};

// Fills every free slot from 8 with an inert effect.
inline void FillPool()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_FREE)
            PlaceActor(i, KIND_EFFECT, 51, -40.0f, -40.0f, 1.0f, 1.0f);
}
