// The five fields of the demo data set played headless from the entrance to
// the boss door: the heroine walks right, jumps when a step holds her and
// fires every few frames, as a player would with the keys; she takes no
// hits. Every enemy the area places must come out and run its routine, and
// nothing may flood the actor pool or leave the screen's numbers.
// Argument: the data directory.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <set>

#include "game/asset_loading.h"
#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "runtime/timing.h"
#include "tests/game/state_hash.h"
#include "tests/game/table_files.h"
#include "tests/support/test_support.h"

namespace {

enum {
    ACTION_JUMP = 2,
    ACTION_SHOT = 3,
    FRAME_LIMIT = 30000,
    SHOT_PERIOD = 6,
};

// The state the start-up loading leaves behind.
void StartUp()
{
    ResetGameGlobals();
    screenWidth = 1280;
    screenHeight = 720;
    // Headless, the images load as -1; tables and constants are the game's.
    LoadGameData();
    sceneNo = SCENE_PLAY;
    lives = 3;
}

// The play state at each field's door, recorded once: the builds of both
// architectures must end each run exactly there.
const uint64_t DoorStateHash[FIELD_AREAS] = {
    0x67acf6b71aacab89ull, 0x79bf9aefcb28f1f9ull, 0xeefa3f4adc6642d3ull,
    0xa3bde01b14dbbfb5ull, 0x25b55447379976cdull,
};

// Every frame's live actors folded together, from the entrance to the door:
// this sees enemies and shots that are gone before the door (enemies 15, 53,
// 54 and 55 among them), which the door's state alone does not.
const uint64_t FieldTraceHash[FIELD_AREAS] = {
    0xdd8bddea21ee37ffull, 0x7ee87aa01bc869c8ull, 0x7b10ec840f113eb3ull,
    0x7ce35b8758176c27ull, 0x4f046e4b231e4c85ull,
};

// Enemies whose routine acts only once the heroine is near or after a
// while: 15 charges when she is within 100 pixels, 55 fires at its 90th
// frame. She holds her fire from a screen before one of them comes out
// until it has acted, so that the run sees them act (they cannot hurt her):
// shots already flying would meet it as it comes in.
bool IsLateActor(int subtype) { return subtype == 15 || subtype == 55; }

bool WaitsToAct(const ActorRecord& a)
{
    if (a.kind != KIND_ENEMY || a.hitPoints <= 0)
        return false;
    return (a.subtype == 15 && a.animRow == 0) || (a.subtype == 55 && a.stateFrames < 90);
}

bool HoldFire()
{
    for (const EnemySpawnEntry& e : spawnList)
        if (IsLateActor(e.subtype) && e.listState == 0 && e.spawnX - scrollX < 2.0f * screenWidth)
            return true;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (WaitsToAct(actors[i]))
            return true;
    return false;
}

bool HasActed(const ActorRecord& a)
{
    return a.kind == KIND_ENEMY && a.hitPoints > 0 &&
           ((a.subtype == 15 && a.animRow == 1) || (a.subtype == 55 && a.stateFrames >= 90));
}

struct FieldRun {
    bool reachedDoor = false;
    uint64_t doorState = 0;
    uint64_t trace = 0;
    int frames = 0;
    int mostActors = 0;
    int enemiesKilled = 0;
    std::set<int> placed;     // enemy subtypes of the spawn list
    std::set<int> appeared;   // enemy subtypes seen alive in the pool
    std::set<int> acted;      // enemies 15 and 55 seen after their action
    std::string badNumbers;   // the first actor with a coordinate that is not a number
};

FieldRun PlayField(int area)
{
    FieldRun run;
    StartUp();
    SeedRandom(7919u + (uint32_t)area);
    areaIndex = area;
    StartArea();
    for (const EnemySpawnEntry& e : spawnList)
        if (e.subtype != 0)
            run.placed.insert(e.subtype);

    float lastWorldX = 0.0f;
    int lastHitPoints[ACTOR_SLOTS] = {};
    for (run.frames = 0; run.frames < FRAME_LIMIT; run.frames++) {
        ActorRecord& player = actors[0];
        if (!IsPlayerHeld()) {
            float worldX = player.boxX1[0] + scrollX;
            bool stalled = worldX - lastWorldX < 1.0f;
            lastWorldX = worldX;
            holdRight += 1;
            actionHold[0][ACTION_JUMP] = stalled && player.jumpsUsed == 0 ? 1 : 0;
            actionHold[0][ACTION_SHOT] = run.frames % SHOT_PERIOD == 0 && !HoldFire() ? 1 : 0;
            UpdatePlayer(0);
            UpdatePlayer(1);
        }
        if (player.kind == KIND_PLAYER) {
            player.invulnFlag = 1;
            player.invulnTimer = 0;
        }
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
            lastHitPoints[i] = actors[i].kind == KIND_ENEMY ? actors[i].hitPoints : 0;
        UpdatePlayScene();
        run.trace = FoldTrace(run.trace, HashLiveActors());
        if (areaIndex != area) {
            run.reachedDoor = areaIndex == area + FIELD_AREAS;
            run.doorState = HashPlayState();
            break;
        }

        int count = 0;
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
            const ActorRecord& a = actors[i];
            if (a.kind == KIND_FREE)
                continue;
            count++;
            if (a.kind == KIND_ENEMY && a.hitPoints > 0)
                run.appeared.insert(a.subtype);
            if (HasActed(a))
                run.acted.insert(a.subtype);
            if (a.kind == KIND_ENEMY && lastHitPoints[i] > 0 && a.hitPoints <= 0 && a.hitPoints > -500)
                run.enemiesKilled++;
            bool numbers = a.boxX1[0] == a.boxX1[0] && a.boxY1[0] == a.boxY1[0] && a.vx == a.vx &&
                           a.vy == a.vy;
            if (!numbers && run.badNumbers.empty())
                run.badNumbers = "kind " + std::to_string(a.kind) + " subtype " + std::to_string(a.subtype);
        }
        run.mostActors = count > run.mostActors ? count : run.mostActors;
    }
    return run;
}

class DemoFields : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_demo_fields <data directory>";
        EnterDataDirectory(TestArg(1));
    }
    void TearDown() override { LeaveDataDirectory(); }
};

} // namespace

TEST_P(DemoFields, TheHeroineWalksToTheDoorPastEveryEnemy)
{
    int area = GetParam();
    FieldRun run = PlayField(area);
    EXPECT_TRUE(run.reachedDoor) << "stopped after " << run.frames << " frames at world x "
                                 << actors[0].boxX1[0] + scrollX;
    EXPECT_TRUE(run.badNumbers.empty()) << run.badNumbers;
    EXPECT_LT(run.mostActors, ACTOR_SLOTS - RESERVED_SLOTS);
    for (int subtype : run.placed)
        EXPECT_TRUE(run.appeared.count(subtype)) << "enemy " << subtype << " never came out";
    for (int subtype : {15, 55})
        EXPECT_TRUE(!run.placed.count(subtype) || run.acted.count(subtype)) << "enemy " << subtype << " never acted";
    EXPECT_GT(run.enemiesKilled, 5);
    EXPECT_EQ(DoorStateHash[area], run.doorState)
        << "play state at the door: 0x" << std::hex << run.doorState;
    EXPECT_EQ(FieldTraceHash[area], run.trace) << "play trace to the door: 0x" << std::hex << run.trace;
    printf("area %d: %d frames, at most %d actors, %d enemies shot, %zu kinds\n", area, run.frames,
           run.mostActors, run.enemiesKilled, run.appeared.size());
}

INSTANTIATE_TEST_SUITE_P(Areas, DemoFields, testing::Range(0, (int)FIELD_AREAS));
