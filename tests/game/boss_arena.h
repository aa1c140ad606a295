// A boss arena for the boss tests: the heroine standing on the floor on the
// left, the boss of a subtype spawned into slot 8 on the right, and helpers
// that run the boss's routine as the play update would.
#pragma once

#include <functional>
#include <vector>

#include "game/actor_pool.h"

const int BOSS_SLOT = 8;
const float ARENA_FLOOR = 608.0f;

// Rows 0 to 4 of a boss: 64 x 96 with 40 hit points, hittable and hurting;
// bosses 5 and 6 float, the others fall under gravity 1.0.
void SetBossFrames(int subtype);
// Resets the world and sets up the arena `area` (5 to 9) with boss `subtype`
// (for boss 5 also the frames of boss 6 and its segments).
void SetUpBossArena(int area, int subtype);
ActorRecord& Boss();
ActorRecord& Heroine();

// The boss's routine once, with its slot in `loopIndex`.
void RunBossRoutine();
// `frames` frames of the routine alone, with the clock advancing first as
// the play update's ageing does.
void StepBoss(int frames);
// Frees every slot from 9 on.
void ClearField();

// What spawned into slots 9 to 511, in slot order.
struct Spawned {
    int kind, subtype, row, facing;
    float x, y;
};
std::vector<Spawned> SpawnedActors(int kind, int subtype);

// Attack `state` started as the choice starts it (clock 0, frame-0 actions
// at once) and run until it ends or `limit` frames have passed; what spawned
// of (kind, subtype) is collected with the clock value of its frame, and the
// field is emptied after every frame. `beforeFrame` runs before each frame
// with the clock value that frame will see.
struct AttackRun {
    std::vector<int> frames;
    std::vector<Spawned> spawns;
    int endFrame = -1;   // the clock value of the frame in which it ended
};
AttackRun RunAttack(int state, int kind, int subtype, int limit = 400,
                    std::function<void(int)> beforeFrame = nullptr);
