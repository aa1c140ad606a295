// Bosses 4 and 2: the ring, the hopping pairs, the clouds and the floater;
// the two volleys, the leap and the wave.
#include <gtest/gtest.h>

#include "game/boss_routines.h"
#include "game/game_state.h"
#include "tests/game/boss_arena.h"
#include "tests/game/play_world.h"

TEST(Boss4, RingsCloseAroundThePlayersCornerAsItStandsAtEachSpawn)
{
    SetUpBossArena(5, 4);
    ActorRecord& player = Heroine();
    // The heroine walks 3 pixels a frame: each ring piece takes her corner of
    // its own frame.
    AttackRun run = RunAttack(1, KIND_EFFECT, 39, 400, [&](int s) {
        player.boxX1[0] = 200.0f + 3.0f * s;
        player.boxY1[0] = 560.0f - (float)(s % 7);
    });
    EXPECT_EQ(240, run.endFrame);
    EXPECT_EQ(0, Boss().state);
    EXPECT_EQ(0, Boss().stateFrames);
    ASSERT_EQ(20u, run.spawns.size());
    const float dx[5] = {170, 120, 0, -120, -170};
    const float dy[5] = {0, -120, -170, -120, 0};
    for (size_t k = 0; k < run.spawns.size(); k++) {
        int ring = (int)k / 5, row = (int)k % 5;
        int s = 70 * ring + 1 + 5 * row;
        EXPECT_EQ(s, run.frames[k]);
        EXPECT_EQ(row, run.spawns[k].row);
        EXPECT_FLOAT_EQ(200.0f + 3.0f * s + dx[row], run.spawns[k].x) << k;
        EXPECT_FLOAT_EQ(560.0f - (float)(s % 7) + dy[row], run.spawns[k].y) << k;
    }
    EXPECT_EQ(20, CountSePlays(11));

    // A fallen heroine gets no ring; the attack still ends on time.
    SetUpBossArena(5, 4);
    Heroine().hitPoints = 0;
    run = RunAttack(1, KIND_EFFECT, 39);
    EXPECT_EQ(240, run.endFrame);
    EXPECT_TRUE(run.spawns.empty());
    EXPECT_EQ(0, CountSePlays(11));
}

TEST(Boss4, PairsCloudsAndTheFloater)
{
    struct Case {
        int state, kind, subtype;
        std::vector<int> frames;
        int end;
        float dx;
    } cases[] = {
        {2, KIND_EFFECT, 41, {0, 40, 80, 120}, 120, -32.0f},
        {3, KIND_EFFECT, 42, {0, 0, 0, 0, 0, 0}, 1, 0.0f},
        {4, KIND_ENEMY, 46, {0}, 1, 0.0f},
    };
    for (const Case& c : cases) {
        SetUpBossArena(5, 4);
        SetFrame(KIND_ENEMY, 46, 0, 32, 32, 0, 0, 3);
        AttackRun run = RunAttack(c.state, c.kind, c.subtype);
        EXPECT_EQ(c.end, run.endFrame) << c.state;
        EXPECT_EQ(c.frames, run.frames) << c.state;
        for (const Spawned& s : run.spawns) {
            EXPECT_FLOAT_EQ(1040.0f + c.dx, s.x);
            EXPECT_FLOAT_EQ(512.0f, s.y);
            EXPECT_EQ(0, s.row);
            EXPECT_EQ(0, s.facing);
        }
    }
}

TEST(Boss4, NeverMovesByItself)
{
    SetUpBossArena(5, 4);
    UseSeededRandom(4);
    Boss().hitPoints = 10;
    for (int n = 0; n < 1000; n++) {
        StepBoss(1);
        ClearField();
        ASSERT_EQ(0.0f, Boss().vx);
        ASSERT_EQ(0.0f, Boss().vy);
    }
}

TEST(Boss2, VolleysFromTheLowerBody)
{
    // Attack 1: shots every 6 frames after 30 until the end at 60, each in a
    // random row; attack 2: every 7 frames until 100.
    SetUpBossArena(6, 2);
    Boss().facing = 0;
    Heroine().boxX1[0] = Heroine().boxX2[0] = 1500.0f;  // to the right: facing 1
    Heroine().centerX[0] = 1512.0f;
    ScriptRandom({1, 0, 1, 1, 0});
    AttackRun run = RunAttack(1, KIND_EFFECT, 23);
    EXPECT_EQ(60, run.endFrame);
    EXPECT_EQ((std::vector<int>{36, 42, 48, 54, 60}), run.frames);
    const int rows[] = {1, 0, 1, 1, 0};
    for (size_t k = 0; k < run.spawns.size(); k++) {
        EXPECT_EQ(rows[k], run.spawns[k].row);
        EXPECT_EQ(1, run.spawns[k].facing);
        EXPECT_FLOAT_EQ(1040.0f, run.spawns[k].x);
        EXPECT_FLOAT_EQ(520.0f, run.spawns[k].y);
    }
    EXPECT_EQ(5, CountSePlays(11));
    EXPECT_EQ(0, Boss().animRow);

    SetUpBossArena(6, 2);
    run = RunAttack(2, KIND_EFFECT, 24);
    EXPECT_EQ(100, run.endFrame);
    EXPECT_EQ((std::vector<int>{35, 42, 49, 56, 63, 70, 77, 84, 91, 98}), run.frames);
    EXPECT_EQ(10, CountSePlays(11));
    for (const Spawned& s : run.spawns) {
        EXPECT_FLOAT_EQ(1040.0f, s.x);
        EXPECT_FLOAT_EQ(512.0f, s.y);
        EXPECT_EQ(0, s.facing);
    }
    EXPECT_EQ(0, Boss().animRow);
}

TEST(Boss2, RowsOfTheVolleys)
{
    for (int state : {1, 2}) {
        SetUpBossArena(6, 2);
        Boss().animTick = 5;
        Boss().animFrame = 2;
        Boss().state = state;
        Boss().stateFrames = 0;
        RunBossRoutine();
        EXPECT_EQ(1, Boss().animRow);
        EXPECT_EQ(0, Boss().animTick);
        EXPECT_EQ(0, Boss().animFrame);
    }
}

TEST(Boss2, TheLeapHangsInTheAirAndRainsShots)
{
    SetUpBossArena(6, 2);
    std::vector<float> vy(300, 99.0f);
    std::vector<int> rows(300, -1);
    AttackRun run = RunAttack(3, KIND_EFFECT, 25, 400, [&](int s) {
        if (s > 0) {
            vy[s - 1] = Boss().vy;
            rows[s - 1] = Boss().animRow;
        }
        Boss().vy += 0.5f;   // gravity between the frames
    });
    EXPECT_EQ(230, run.endFrame);
    EXPECT_EQ(-17.0f, vy[0]);
    EXPECT_EQ(1, Boss().jumpsUsed);
    EXPECT_EQ(2, rows[0]);
    EXPECT_EQ(-17.0f + 0.5f * 35, vy[35]);  // still rising
    EXPECT_EQ(0.0f, vy[36]);
    EXPECT_EQ(0.0f, vy[229]);
    EXPECT_EQ(2, rows[179]);
    EXPECT_EQ(3, rows[180]);
    EXPECT_EQ(0, Boss().animRow);
    // Gravity from the end frame on: the clock is 0 again.
    EXPECT_EQ(0.5f, Boss().vy);
    std::vector<int> expected;
    for (int s = 61; s <= 89; s++)
        expected.push_back(s);
    EXPECT_EQ(expected, run.frames);
    EXPECT_EQ(29, CountSePlays(11));
    EXPECT_EQ(1, CountSePlays(0));
}

TEST(Boss2, TheWaveRunsLeftWithARandomWalk)
{
    SetUpBossArena(6, 2);
    std::initializer_list<int> draws = {0, 60, 30, 45, 10, 59, 1};
    ScriptRandom(draws);
    AttackRun run = RunAttack(4, KIND_EFFECT, 26, 400, [&](int s) {
        if (s == 1) {
            EXPECT_EQ(2, Boss().animRow);
        }
    });
    EXPECT_EQ(160, run.endFrame);
    ASSERT_EQ(60u, run.spawns.size());
    int drift = 0;
    std::vector<int> values(draws);
    for (size_t k = 0; k < run.spawns.size(); k++) {
        int s = 2 * (int)k;
        drift += 30 - (k < values.size() ? values[k] : 0);
        EXPECT_EQ(s, run.frames[k]);
        EXPECT_FLOAT_EQ(1040.0f - 12.0f * s, run.spawns[k].x) << k;
        EXPECT_FLOAT_EQ(512.0f - 32.0f + drift, run.spawns[k].y) << k;
    }
    for (int bound : RandomRequests())
        EXPECT_EQ(60, bound);
    EXPECT_EQ(60, CountSePlays(9));
    EXPECT_EQ(0, waveDrift);
    EXPECT_EQ(0, Boss().animRow);
}

TEST(Boss2, AWaveStepIntoAFullPoolStillSounds)
{
    SetUpBossArena(6, 2);
    for (int i = BOSS_SLOT + 1; i < ACTOR_SLOTS; i++)
        PlaceActor(i, KIND_EFFECT, 51, 0, 0, 1, 1);
    Boss().state = 4;
    Boss().stateFrames = 0;
    ScriptRandom({10});
    RunBossRoutine();
    EXPECT_EQ(1, CountSePlays(9));
    EXPECT_EQ(20, waveDrift);
    EXPECT_TRUE(SpawnedActors(KIND_EFFECT, 26).empty());
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
}
