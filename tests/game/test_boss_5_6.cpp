// Bosses 5 and 6: the fire by hit points on the clock's rhythm, boss 6's
// segments firing with it, and the dashes.
#include <gtest/gtest.h>

#include <map>

#include "game/boss_routines.h"
#include "game/game_state.h"
#include "tests/game/boss_arena.h"
#include "tests/game/play_world.h"

namespace {

struct Shot {
    int m, subtype, row, facing;
    float x, y;
};

// One waiting window of 60 frames (no choice falls in it); the shots of each
// frame are collected and freed, the segments stay.
std::vector<Shot> FireWindow()
{
    std::vector<Shot> shots;
    Boss().state = 0;
    Boss().stateFrames = -1;
    for (int n = 0; n < 60; n++) {
        StepBoss(1);
        for (int i = BOSS_SLOT + 1; i < ACTOR_SLOTS; i++) {
            ActorRecord& a = actors[i];
            if (a.kind != KIND_EFFECT)
                continue;
            shots.push_back({n, a.subtype, a.animRow, a.facing, a.boxX1[0], a.boxY1[0]});
            FreeActorSlot(i);
        }
    }
    return shots;
}

std::map<int, int> CountByFrame(const std::vector<Shot>& shots)
{
    std::map<int, int> counts;
    for (const Shot& s : shots)
        counts[s.m]++;
    return counts;
}

// Segment k of boss 6 with its centre at (100 + 50k, 300 + 10k); the last
// was killed earlier in the frame and fires all the same until it is freed.
void PlaceSegments()
{
    for (int k = 0; k < 4; k++)
        PlaceActor(20 + 3 * k, KIND_ENEMY, 57, 84.0f + 50.0f * k, 284.0f + 10.0f * k, 32, 32, k == 3 ? 0 : 10);
    // A freed slot that still carries the subtype is no segment.
    PlaceActor(40, KIND_ENEMY, 57, 0, 0, 32, 32, 10);
    FreeActorSlot(40);
}

} // namespace

TEST(Boss5, FireHardensAsItsHitPointsFall)
{
    struct Case {
        int hitPoints;
        std::map<int, int> perFrame;
        int rowOne, rolls;
    } cases[] = {
        {40, {{36, 1}, {46, 1}, {56, 1}}, 0, 0},
        {35, {{36, 1}, {46, 1}, {56, 1}}, 0, 0},
        {34, {{36, 1}, {45, 1}, {46, 1}, {55, 1}, {56, 1}}, 0, 2},
        {20, {{36, 1}, {45, 1}, {46, 1}, {55, 1}, {56, 1}}, 0, 2},
        {19, {{36, 2}, {45, 1}, {46, 2}, {55, 1}, {56, 2}}, 3, 2},
    };
    for (const Case& c : cases) {
        SetUpBossArena(9, 5);
        Boss().hitPoints = c.hitPoints;
        std::vector<Shot> shots = FireWindow();
        EXPECT_EQ(c.perFrame, CountByFrame(shots)) << c.hitPoints;
        int rowOne = 0, rolls = 0;
        for (const Shot& s : shots) {
            EXPECT_FLOAT_EQ(1066.0f, s.x);
            EXPECT_FLOAT_EQ(554.0f, s.y);
            if (s.subtype == 46 && s.row == 1)
                rowOne++;
            if (s.subtype == 47) {
                rolls++;
                EXPECT_EQ(Boss().facing, s.facing);
            } else {
                EXPECT_EQ(46, s.subtype);
                EXPECT_EQ(0, s.facing);
            }
        }
        EXPECT_EQ(c.rowOne, rowOne) << c.hitPoints;
        EXPECT_EQ(c.rolls, rolls) << c.hitPoints;
        EXPECT_EQ(3, CountSePlays(11));
        EXPECT_TRUE(RandomRequests().empty());
    }
}

TEST(Boss56, SegmentsFireWithTheBossFiveTimesOver)
{
    for (int hitPoints : {40, 34, 19}) {
        SetUpBossArena(9, 5);
        Boss().hitPoints = hitPoints;
        size_t alone = FireWindow().size();

        SetUpBossArena(9, 6);
        Boss().hitPoints = hitPoints;
        PlaceSegments();
        std::vector<Shot> shots = FireWindow();
        EXPECT_EQ(5 * alone, shots.size()) << hitPoints;
        EXPECT_EQ(3, CountSePlays(11));
        // Below 35 a die is cast at each fan; 0 keeps the aimed shots.
        EXPECT_EQ(hitPoints < 35 ? 3u : 0u, RandomRequests().size());
        for (int bound : RandomRequests())
            EXPECT_EQ(3, bound);
    }
}

TEST(Boss6, EachSegmentFiresFromItsCentreInSlotOrder)
{
    SetUpBossArena(9, 6);
    Boss().hitPoints = 30;
    PlaceSegments();
    // Heroine to the left: facing 0; the die: 3 at the first fan, then not.
    ScriptRandom({3, 2, 0});
    std::vector<Shot> shots = FireWindow();
    std::vector<Shot> first, second, rolls;
    for (const Shot& s : shots) {
        if (s.m == 36)
            first.push_back(s);
        if (s.m == 46)
            second.push_back(s);
        if (s.m == 45)
            rolls.push_back(s);
    }
    ASSERT_EQ(5u, first.size());
    ASSERT_EQ(5u, second.size());
    ASSERT_EQ(5u, rolls.size());
    // The boss first, then the segments in slot order, each at its centre
    // plus the boss's offset.
    EXPECT_EQ(45, first[0].subtype);
    EXPECT_FLOAT_EQ(1072.0f - 12.0f, first[0].x);
    EXPECT_FLOAT_EQ(560.0f - 2.0f, first[0].y);
    EXPECT_EQ(46, second[0].subtype);
    EXPECT_FLOAT_EQ(1066.0f, second[0].x);
    for (int k = 0; k < 4; k++) {
        float cx = 100.0f + 50.0f * k, cy = 300.0f + 10.0f * k;
        EXPECT_EQ(45, first[k + 1].subtype);
        EXPECT_FLOAT_EQ(cx - 12.0f, first[k + 1].x);
        EXPECT_FLOAT_EQ(cy - 2.0f, first[k + 1].y);
        EXPECT_EQ(Boss().facing, first[k + 1].facing);
        EXPECT_EQ(46, second[k + 1].subtype);
        EXPECT_FLOAT_EQ(cx - 6.0f, second[k + 1].x);
        EXPECT_FLOAT_EQ(cy - 6.0f, second[k + 1].y);
        EXPECT_EQ(47, rolls[k + 1].subtype);
        EXPECT_FLOAT_EQ(cx - 6.0f, rolls[k + 1].x);
        EXPECT_EQ(Boss().facing, rolls[k + 1].facing);
    }

    // Facing the heroine on the right, the segments' rolls turn with the boss.
    SetUpBossArena(9, 6);
    Boss().hitPoints = 30;
    PlaceSegments();
    ActorRecord& p = Heroine();
    p.boxX1[0] = 1400.0f;
    p.boxX2[0] = 1424.0f;
    p.centerX[0] = 1412.0f;
    for (const Shot& s : FireWindow())
        if (s.subtype == 47) {
            EXPECT_EQ(1, s.facing);
        }
}

TEST(Boss56, AFallenHeroineStopsTheFireButNotTheDashes)
{
    for (int subtype : {5, 6}) {
        SetUpBossArena(9, subtype);
        Boss().hitPoints = 10;
        Heroine().hitPoints = 0;
        EXPECT_TRUE(FireWindow().empty());
        Boss().boxY1[0] = 100.0f;
        Boss().state = 1;
        Boss().stateFrames = 0;
        StepBoss(1);
        EXPECT_EQ(4.0f, Boss().vy);
    }
}

TEST(Boss56, DashesTowardTheMiddleOfTheArena)
{
    struct Case {
        int state;
        float place;   // top for state 1, left for state 2
        int die;       // scripted rand(1)
        float speed;
        bool random;
    } cases[] = {
        {1, 299.0f, 1, 4.0f, false},
        {1, 551.0f, 1, -4.0f, false},
        {1, 300.0f, 1, 4.0f, true},
        {1, 550.0f, 0, -4.0f, true},
        {2, 841.0f, 0, 11.0f, false},   // a positive speed moves it left
        {2, 439.0f, 1, -11.0f, false},
        {2, 840.0f, 1, 11.0f, true},    // exactly 200 right of the middle
        {2, 840.0f, 0, -11.0f, true},
        {2, 440.0f, 0, -11.0f, true},
    };
    for (int subtype : {5, 6})
        for (const Case& c : cases) {
            SetUpBossArena(9, subtype);
            ActorRecord& boss = Boss();
            if (c.state == 1)
                boss.boxY1[0] = c.place;
            else
                boss.boxX1[0] = c.place;
            ScriptRandom({c.die});
            boss.state = c.state;
            boss.stateFrames = 0;
            RunBossRoutine();
            StepBoss(1);
            float& v = c.state == 1 ? boss.vy : boss.vx;
            EXPECT_EQ(c.speed, v) << subtype << " " << c.state << " " << c.place;
            EXPECT_EQ(c.random ? 1u : 0u, RandomRequests().size());
            StepBoss(18);
            EXPECT_EQ(c.speed, v);
            StepBoss(1);
            EXPECT_EQ(c.speed * 0.5f, v);
            StepBoss(9);
            EXPECT_EQ(c.state, boss.state);
            StepBoss(1);
            EXPECT_EQ(0.0f, v);
            EXPECT_EQ(0, boss.state);
            EXPECT_EQ(0, boss.stateFrames);
        }
}
