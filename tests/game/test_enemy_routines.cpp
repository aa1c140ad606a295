// The enemy dispatcher and the per-subtype routines: what each spawns at
// which frame, where and how, and how each steers.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "game/actor_pool.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "tests/game/enemy_stage.h"
#include "tests/game/play_world.h"

namespace {

class EnemyRoutines : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        for (int subtype = 1; subtype < 64; subtype++) {
            SetFrame(KIND_ENEMY, subtype, 0, 32, 32, 2, 0, 3);
            for (int row = 0; row < 4; row++)
                SetFrame(KIND_EFFECT, subtype, row, 16, 16, 5, -1);
        }
        // The player stands to the right of the enemy, level with it.
        PlacePlayerAt(1012.0f, 316.0f);
    }
};

struct Spawned {
    int kind, subtype;
    float x, y;
    int row, facing;
    int param2;
};

Spawned Effect(int subtype, float x, float y, int facing = 0, int row = 0, int param2 = 0)
{
    return {KIND_EFFECT, subtype, x, y, row, facing, param2};
}

Spawned Enemy(int subtype, float x, float y, int facing = 0)
{
    return {KIND_ENEMY, subtype, x, y, 0, facing, 0};
}

void ExpectSpawns(const std::vector<Spawned>& expected, const std::vector<int>& slots, const char* what)
{
    ASSERT_EQ(expected.size(), slots.size()) << what;
    for (size_t n = 0; n < expected.size(); n++) {
        const Spawned& e = expected[n];
        const ActorRecord& a = actors[slots[n]];
        EXPECT_EQ(e.kind, a.kind) << what << " #" << n;
        EXPECT_EQ(e.subtype, a.subtype) << what << " #" << n;
        EXPECT_FLOAT_EQ(e.x, a.boxX1[0]) << what << " #" << n;
        EXPECT_FLOAT_EQ(e.y, a.boxY1[0]) << what << " #" << n;
        EXPECT_EQ(e.row, a.animRow) << what << " #" << n;
        EXPECT_EQ(e.facing, a.facing) << what << " #" << n;
        if (e.kind == KIND_EFFECT && e.subtype == 1) {
            EXPECT_EQ(e.param2, a.param2) << what << " #" << n;
        }
    }
}

} // namespace

TEST_F(EnemyRoutines, FarOffScreenEnemiesLeaveWithoutDrops)
{
    struct Case {
        int subtype;
        float cx, cy;
        bool removed;
    } cases[] = {
        {4, 1780.0f, 300.0f, false},   // exactly 500 right of the screen
        {4, 1781.0f, 300.0f, true},
        {4, -500.0f, 300.0f, false},
        {4, -501.0f, 300.0f, true},
        {4, 600.0f, -1000.0f, false},
        {4, 600.0f, -1001.0f, true},
        {4, 600.0f, 1720.0f, false},
        {4, 600.0f, 1721.0f, true},
        {12, 1781.0f, 300.0f, true},   // after its routine, whatever the subtype
        {58, 1781.0f, 300.0f, true},   // no routine, still removed
        {27, 9000.0f, 300.0f, false},  // the hazard's corners never leave
        {28, 9000.0f, -5000.0f, false},
        {-1, 1781.0f, 300.0f, true},     // subtypes without a routine, from data
        {100000, 600.0f, 300.0f, false},
    };
    for (const Case& c : cases) {
        SetUp();
        spawnList[40] = {1000, 300, c.subtype, 1, 0, 4, 0, 1};
        ActorRecord& a = PlaceEnemy(c.subtype, 5, c.cx - 16.0f, c.cy - 16.0f);
        a.spawnIndex = 40;
        StepEnemy();
        EXPECT_EQ(c.removed ? 3 - 4999 : 3, a.hitPoints) << c.subtype << " " << c.cx << "," << c.cy;
        EXPECT_EQ(c.removed ? 0 : 1, spawnList[40].listState) << c.subtype;  // re-armed
        EXPECT_EQ(0, CountSePlays(4));
        EXPECT_TRUE(SlotsOf(KIND_EFFECT, 11).empty());
    }

    // One that comes back no more is marked dead.
    SetUp();
    spawnList[41] = {1000, 300, 4, 1, 0, 4, 0, 0};
    PlaceEnemy(4, 5, 2000.0f, 300.0f).spawnIndex = 41;
    StepEnemy();
    EXPECT_EQ(2, spawnList[41].listState);
}

TEST_F(EnemyRoutines, TimedSpawns)
{
    // The enemy's box is (600, 300) to (632, 332), its centre (616, 316);
    // the player is to its right, so the enemies that face it take facing 1.
    struct Case {
        const char* what;
        int subtype;
        int stateFrames;
        std::vector<int> random;
        std::vector<Spawned> spawns;
        int rowAfter;  // -1: not checked
        std::function<void(ActorRecord&)> preset;
    };
    const std::vector<Case> cases = {
        {"3 throws", 3, 121, {96}, {Effect(10, 600, 300, 1)}, -1, nullptr},
        {"3 holds back", 3, 121, {95}, {}, -1, nullptr},
        {"3 too early", 3, 120, {}, {}, -1, nullptr},
        {"6 throws", 6, 500, {100}, {Effect(13, 600, 300, 1)}, -1, nullptr},
        {"10 at 29", 10, 29, {}, {Effect(16, 602, 302)}, -1, nullptr},
        {"10 at 59", 10, 119, {}, {Effect(16, 602, 302)}, -1, nullptr},
        {"10 quiet", 10, 30, {}, {}, -1, nullptr},
        {"12 first shot", 12, 109, {}, {Effect(17, 608, 308, 1)}, 1, nullptr},
        {"12 second shot", 12, 234, {}, {Effect(17, 608, 308, 1)}, 3, [](ActorRecord& a) { a.animRow = 3; }},
        {"12 third shot", 12, 119, {}, {Effect(17, 608, 308, 1)}, -1, nullptr},
        {"12 back to idle", 12, 160, {}, {}, 0, [](ActorRecord& a) { a.animRow = 1; a.animFrame = 2; }},
        {"17 drops", 17, 119, {}, {Enemy(18, 600, 300)}, -1, nullptr},
        {"19 launches", 19, 234, {}, {Enemy(20, 584, 312, 1)}, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"21 trails", 21, 15, {}, {Effect(20, 568, 300, 1)}, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"21 between", 21, 16, {}, {}, -1, nullptr},
        {"22 aims", 22, 110, {}, {}, 1, nullptr},
        {"22 fires", 22, 140, {}, {}, 2, nullptr},
        {"22 first of twelve", 22, 355, {}, {Effect(21, 592, 292, 1)}, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"22 last of twelve", 22, 188, {}, {Effect(21, 592, 292)}, -1, nullptr},
        {"22 after the twelve", 22, 191, {}, {}, -1, nullptr},
        {"22 between shots", 22, 156, {}, {}, -1, nullptr},
        {"22 rests", 22, 199, {}, {}, 0, [](ActorRecord& a) { a.animRow = 2; }},
        {"33 pushes", 33, 60, {}, {Effect(27, 544, 302)}, -1, nullptr},
        {"34 rolls", 34, 40, {2}, {Effect(28, 592, 302, 0, 2)}, -1, nullptr},
        {"35 at 49", 35, 49, {}, {Effect(29, 600, 300)}, -1, nullptr},
        {"35 at 54", 35, 54, {}, {Effect(29, 600, 300)}, -1, nullptr},
        {"35 at 59", 35, 119, {}, {Effect(29, 600, 300)}, -1, nullptr},
        {"35 quiet", 35, 50, {}, {}, -1, nullptr},
        {"36 at 54", 36, 54, {}, {Effect(30, 600, 300)}, -1, nullptr},
        {"41 strikes from above", 41, 100, {}, {Effect(35, 602, -84)}, -1, nullptr},
        {"43 at 120", 43, 120, {}, {Effect(36, 600, 300, 1)}, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"43 only once", 43, 240 + 120, {}, {}, -1, nullptr},
        {"45 in row 2", 45, 40, {}, {Effect(38, 608, 308, 1)}, 2, [](ActorRecord& a) { a.animRow = 2; }},
        {"45 in row 1", 45, 40, {}, {}, 1, [](ActorRecord& a) { a.animRow = 1; }},
        {"46 at 19", 46, 79, {}, {Effect(44, 600, 300)}, -1, nullptr},
        {"47 at 0", 47, 24, {}, {Enemy(48, 609, 300)}, -1, nullptr},
        {"51 at 100", 51, 100, {}, {Enemy(52, 616, 300)}, -1, nullptr},
        {"51 at 115", 51, 235, {}, {Enemy(52, 616, 300)}, -1, nullptr},
        {"51 quiet", 51, 120, {}, {}, -1, nullptr},
        {"52 aims", 52, 119, {}, {Effect(1, 600, 300, 0, 0, 8)}, -1, nullptr},
        {"53 aims", 53, 59, {1}, {Effect(1, 600, 300, 0, 0, 8)}, -1, nullptr},
        {"53 holds", 53, 59, {2}, {}, -1, nullptr},
        {"54 aims", 54, 89, {}, {Effect(1, 616, 302, 0, 0, 8)}, 1, nullptr},
        {"55 aims", 55, 179, {}, {Effect(1, 616, 324, 0, 0, 8)}, 1, nullptr},
        {"56 volley", 56, 199, {}, {Effect(45, 600, 306), Effect(45, 600, 322), Effect(45, 616, 286),
                                    Effect(45, 616, 342)}, -1, [](ActorRecord&) { volleyCounter = 51; }},
        {"56 too soon", 56, 199, {}, {}, -1, [](ActorRecord&) { volleyCounter = 50; }},
    };
    for (const Case& c : cases) {
        SetUp();
        PlaceActor(8, KIND_BOSS, 4, 900, 100, 64, 64, 30);  // an arena's boss, for 46
        ActorRecord& a = PlaceEnemy(c.subtype, c.stateFrames);
        if (c.preset)
            c.preset(a);
        ScriptRandomList(c.random);
        SpawnWatch watch;
        StepEnemy();
        ExpectSpawns(c.spawns, watch.NewSlots(), c.what);
        if (c.rowAfter >= 0) {
            EXPECT_EQ(c.rowAfter, a.animRow) << c.what;
        }
        EXPECT_EQ(c.random.size(), RandomRequests().size()) << c.what;
    }
}

TEST_F(EnemyRoutines, SpeedPatterns)
{
    // vx is positive to the left. The player stands right of the enemy
    // unless a case moves it.
    struct Case {
        const char* what;
        int subtype;
        int stateFrames;
        float vx, vy;          // before
        std::vector<int> random;
        float vxAfter, vyAfter;
        int rowAfter;          // -1: not checked
        std::function<void(ActorRecord&)> preset;
    };
    auto playerLeft = [](ActorRecord&) { PlacePlayerAt(216.0f, 316.0f); };
    const std::vector<Case> cases = {
        {"5 hops on landing", 5, 9, 1, 0, {}, 1, -8, -1, [](ActorRecord& a) {
             a.jumpsUsed = 0; a.jumpPower = 8; a.animFrame = 3; a.animTick = 2; }},
        {"5 in the air", 5, 9, 1, 2, {}, 1, 2, -1, [](ActorRecord& a) { a.jumpPower = 8; }},
        {"7 sinks from 20", 7, 20, 1, 1, {}, 1, 1.3f, -1, nullptr},
        {"7 to 59", 7, 139, 1, 1, {}, 1, 1.3f, -1, nullptr},
        {"7 rises before", 7, 19, 1, 1, {}, 1, 0.7f, -1, nullptr},
        {"7 rises after", 7, 60, 1, 1, {}, 1, 0.7f, -1, nullptr},
        {"11 the other way", 11, 20, 1, 1, {}, 1, 0.7f, -1, nullptr},
        {"11 before", 11, 79, 1, 1, {}, 1, 1.3f, -1, nullptr},
        {"13 both grow", 13, 59, 1, 1, {}, 1.2f, 1.2f, -1, nullptr},
        {"13 both shrink", 13, 80, 1, 1, {}, 0.8f, 0.8f, -1, nullptr},
        {"14 aims at frame 0", 14, 0, -3, -1, {20, 20}, 4, 0, -1, [](ActorRecord& a) {
             a.speed = 4; PlacePlayerAt(216.0f, 316.0f); }},
        // Each component turned by its own 20 degrees, counted with 3.14.
        {"14 turned", 14, 0, -3, -1, {40, 0}, 3.7590125f, 1.3674154f, -1, [](ActorRecord& a) {
             a.speed = 4; PlacePlayerAt(216.0f, 316.0f); }},
        {"14 keeps its speed later", 14, 1, -3, -1, {}, -3, -1, -1, [](ActorRecord& a) { a.speed = 4; }},
        {"15 charges", 15, 9, 1, 0, {}, 8, 0, 1, [](ActorRecord&) { PlacePlayerAt(517.0f, 316.0f); }},
        {"15 waits", 15, 9, 1, 0, {}, 1, 0, 0, [](ActorRecord&) { PlacePlayerAt(516.0f, 316.0f); }},
        // The distance is signed: a player anywhere to the right is near.
        {"15 charges at a player behind", 15, 9, 1, 0, {}, 8, 0, 1, [](ActorRecord&) {
             PlacePlayerAt(1616.0f, 316.0f); }},
        {"15 charges once", 15, 9, 1, 0, {}, 1, 0, 2, [](ActorRecord& a) {
             a.animRow = 2; PlacePlayerAt(600.0f, 316.0f); }},
        {"16 homes", 16, 9, 1, 1, {}, 0, 3, -1, [](ActorRecord& a) { a.speed = 3; PlacePlayerAt(616, 516); }},
        {"21 sinks", 21, 0, 0, 1, {}, 0, 1.1f, -1, nullptr},
        {"21 rises", 21, 59, 0, 1, {}, 0, 0.9f, -1, nullptr},
        {"23 jumps near", 23, 9, 0, 0, {}, 0, -10, -1, [](ActorRecord& a) {
             a.jumpsUsed = 0; PlacePlayerAt(700.0f, 316.0f); }},
        {"23 not at 100", 23, 9, 0, 0, {}, 0, 0, -1, [](ActorRecord& a) {
             a.jumpsUsed = 0; PlacePlayerAt(716.0f, 316.0f); }},
        {"23 not in the air", 23, 9, 0, 0, {}, 0, 0, -1, [](ActorRecord&) { PlacePlayerAt(700.0f, 316.0f); }},
        {"30 hops right", 30, 0, 0, 0, {}, -4, -4, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"30 hops left", 30, 0, 0, 0, {}, 4, -4, -1, nullptr},
        {"30 stamps", 30, 31, 3, -2, {}, 0, 16, -1, nullptr},
        {"30 flies", 30, 30, 3, -2, {}, 3, -2, -1, nullptr},
        {"38 hops back", 38, 0, 0, 0, {80}, -3, 3, -1, nullptr},
        {"38 leaps", 38, 20, 0, 0, {40}, -12, 2, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"38 hops back facing right", 38, 0, 0, 0, {0}, 3, -5, -1, [](ActorRecord& a) { a.facing = 1; }},
        {"40 wakes", 40, 7, 2, 2, {}, 0.03f, -0.475f, 1, [](ActorRecord&) { PlacePlayerAt(767, 316); }},
        {"40 recoils", 40, 50, 1, 0, {}, -1.37f, -1.775f, 1, [](ActorRecord& a) { a.animRow = 1; }},
        {"40 asleep floats", 40, 50, 1, 0, {}, 1, -0.475f, 0, nullptr},
        {"42 pulls", 42, 5, 0, 0, {}, 1, 0, -1, playerLeft},
        {"42 clamps", 42, 11, 7.5f, -9, {}, 8, -8, -1, playerLeft},
        {"42 not yet", 42, 10, 7.5f, -9, {}, 8.5f, -9, -1, playerLeft},
        {"42 player down", 42, 11, 7.5f, -9, {}, 7.5f, -9, -1, [](ActorRecord&) { actors[0].hitPoints = 0; }},
        {"48 flung", 48, 1, 0, 0, {150}, 7.5f, -10, -1, nullptr},
        {"48 flung right", 48, 1, 0, 0, {0}, -7.5f, -10, -1, nullptr},
        {"48 then falls", 48, 2, 1, 1, {}, 1, 1, -1, nullptr},
        {"49 climbs", 49, 1, 0, 0, {}, 0, -2, 1, [](ActorRecord&) { PlacePlayerAt(1012, 299); }},
        {"49 sinks", 49, 1, 0, 0, {}, 0, 2, 2, [](ActorRecord&) { PlacePlayerAt(1012, 333); }},
        {"49 holds", 49, 1, 0, 5, {}, 0, 0, 0, [](ActorRecord& a) { a.animRow = 2; PlacePlayerAt(1012, 332); }},
        {"52 sways", 52, 0, 1, 0, {}, 1.2f, 0, -1, nullptr},
        {"52 back at 11", 52, 11, 1, 0, {}, 0.8f, 0, -1, nullptr},
        {"52 to 30", 52, 30, 1, 0, {}, 0.8f, 0, -1, nullptr},
        {"52 again at 31", 52, 31, 1, 0, {}, 1.2f, 0, -1, nullptr},
    };
    for (const Case& c : cases) {
        SetUp();
        ActorRecord& a = PlaceEnemy(c.subtype, c.stateFrames);
        a.vx = c.vx;
        a.vy = c.vy;
        if (c.preset)
            c.preset(a);
        ScriptRandomList(c.random);
        StepEnemy();
        EXPECT_NEAR(c.vxAfter, a.vx, 1e-5) << c.what;
        EXPECT_NEAR(c.vyAfter, a.vy, 1e-5) << c.what;
        if (c.rowAfter >= 0) {
            EXPECT_EQ(c.rowAfter, a.animRow) << c.what;
        }
        EXPECT_EQ(c.random.size(), RandomRequests().size()) << c.what;
    }
}

TEST_F(EnemyRoutines, Enemies53To55TurnToThePlayerByTheirMargins)
{
    // The enemy's centre x is 616; dx puts the player's centre that far
    // right of it (left when negative).
    struct Case {
        int subtype;
        float dx;
        int stateFrames;
        std::vector<int> random;
        int rowAfter;  // -1: not checked
        int facingBefore, facingAfter;
    } cases[] = {
        // 54 and 55: row 2 more than 48 to the left, row 1 more than 48 to
        // the right, row 0 within.
        {54, -48.5f, 10, {}, 2, 0, 0},
        {54, -48.0f, 10, {}, 0, 0, 0},
        {54, 0.0f, 10, {}, 0, 0, 0},
        {54, 48.0f, 10, {}, 0, 0, 0},
        {54, 48.5f, 10, {}, 1, 0, 0},   // 54 never turns
        {55, -48.5f, 10, {}, 2, 1, 0},
        {55, -48.0f, 10, {}, 0, 1, 0},
        {55, 48.0f, 10, {}, 0, 0, 1},
        {55, 48.5f, 10, {}, 1, 0, 1},
        // 55 faces a player level with it or to its right.
        {55, 0.0f, 10, {}, 0, 0, 1},
        {55, -0.5f, 10, {}, 0, 1, 0},
        // 53 turns by the same rule, only when it stops to fire.
        {53, 0.0f, 59, {1}, -1, 0, 1},
        {53, -0.5f, 59, {1}, -1, 1, 0},
        {53, 0.5f, 59, {1}, -1, 0, 1},
        {53, 300.0f, 59, {2}, -1, 0, 0},
        {53, 300.0f, 58, {}, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        ActorRecord& a = PlaceEnemy(c.subtype, c.stateFrames);
        a.animRow = 3;
        a.facing = c.facingBefore;
        PlacePlayerAt(616.0f + c.dx, 316.0f);
        ScriptRandomList(c.random);
        StepEnemy();
        if (c.rowAfter >= 0) {
            EXPECT_EQ(c.rowAfter, a.animRow) << c.subtype << " " << c.dx;
        }
        EXPECT_EQ(c.facingAfter, a.facing) << c.subtype << " " << c.dx;
    }
}

TEST_F(EnemyRoutines, Enemy22ShootsIntoTheSlotsAboveItsOwn)
{
    PlaceEnemy(22, 155);
    PlaceActor(21, KIND_ITEM, 0, 0, 0, 8, 8);
    SpawnWatch watch;
    StepEnemy();
    std::vector<int> slots = watch.NewSlots();
    ASSERT_EQ(1u, slots.size());
    EXPECT_EQ(22, slots[0]);  // the first free slot above its own, not 8
    EXPECT_EQ(21, actors[22].subtype);

    // Twelve shots in one cycle, every three frames from 155.
    ResetPlayWorld();
    PlacePlayerAt(1012.0f, 316.0f);
    PlaceEnemy(22, 0);
    RunEnemyFrames(200);
    EXPECT_EQ(12u, SlotsOf(KIND_EFFECT, 21).size());
    EXPECT_EQ(0, actors[ENEMY_SLOT].animRow);
}

TEST_F(EnemyRoutines, Enemy24BurstsWhenItDies)
{
    ActorRecord& a = PlaceEnemy(24, 40);
    StepEnemy();
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 22).empty());
    a.hitPoints = 0;
    StepEnemy();
    std::vector<int> bursts = SlotsOf(KIND_EFFECT, 22);
    ASSERT_EQ(3u, bursts.size());
    for (int slot : bursts) {
        EXPECT_FLOAT_EQ(600.0f, actors[slot].boxX1[0]);
        EXPECT_FLOAT_EQ(300.0f, actors[slot].boxY1[0]);
    }
}

TEST_F(EnemyRoutines, Enemy25DropsWhenThePlayerComesNear)
{
    SetFrame(KIND_ENEMY, 25, 1, 32, 32, 0, 0, 3, 1.0f);
    ActorRecord& a = PlaceEnemy(25, 9);
    a.animFrame = 1;
    PlacePlayerAt(716.0f, 500.0f);  // 100 away: not yet
    StepEnemy();
    EXPECT_EQ(0, a.animRow);
    EXPECT_FLOAT_EQ(0.0f, a.gravityFactor);
    PlacePlayerAt(517.0f, 500.0f);
    StepEnemy();
    EXPECT_EQ(1, a.animRow);
    EXPECT_EQ(0, a.animFrame);
    EXPECT_FLOAT_EQ(1.0f, a.gravityFactor);
    // Row 1 falls by the table: the drop happens once.
    a.animFrame = 2;
    StepEnemy();
    EXPECT_EQ(2, a.animFrame);
}

TEST_F(EnemyRoutines, Enemy29SwitchesRowsAndChargesInTheArenas)
{
    struct Case {
        const char* what;
        int area, stateFrames, row;
        float vy;
        std::vector<int> random;
        int rowAfter;
        float vx, vyAfter;
        size_t draws;
    } cases[] = {
        {"arena charge", 7, 121, 0, 0, {1}, 3, 6, -2, 1},
        {"arena no charge", 7, 121, 0, 0, {2}, 0, 1, 0, 1},
        {"arena too early", 7, 120, 0, 0, {}, 0, 1, 0, 0},
        {"charge at 39 too", 7, 159, 1, -3, {1}, 3, 6, -2, 1},
        {"field never charges", 2, 159, 0, 0, {1, 1}, 2, 1, 3, 2},   // 159 is 39 of 40
        {"up from row 0", 2, 39, 0, 0, {1, 0}, 1, 1, -3, 2},
        {"keeps its row", 2, 39, 0, 0, {0}, 0, 1, 0, 1},
        {"back to row 0", 2, 79, 2, 3, {1}, 0, 1, 0, 1},
        {"a bounce shows", 2, 40, 2, -3, {}, 1, 1, -3, 0},
        {"row 3 stays", 7, 159, 3, 4, {5}, 3, 1, 4, 1},
    };
    for (const Case& c : cases) {
        SetUp();
        SetFrame(KIND_ENEMY, 29, 0, 24, 24, 2, 0, 1);
        SetFrame(KIND_ENEMY, 29, 1, 24, 24, 2, -3, 1);
        SetFrame(KIND_ENEMY, 29, 2, 24, 24, 2, 3, 1);
        SetFrame(KIND_ENEMY, 29, 3, 24, 24, 6, -2, 1);
        areaIndex = c.area;
        ActorRecord& a = PlaceEnemy(29, c.stateFrames);
        a.animRow = c.row;
        a.vx = 1;
        a.vy = c.vy;
        ScriptRandomList(c.random);
        StepEnemy();
        EXPECT_EQ(c.rowAfter, a.animRow) << c.what;
        EXPECT_FLOAT_EQ(c.vx, a.vx) << c.what;
        EXPECT_FLOAT_EQ(c.vyAfter, a.vy) << c.what;
        EXPECT_EQ(c.draws, RandomRequests().size()) << c.what;
    }
}

TEST_F(EnemyRoutines, Enemy39ChargesAndKeepsJumping)
{
    SetFrame(KIND_ENEMY, 39, 1, 32, 32, 5, -7, 9);
    ActorRecord& a = PlaceEnemy(39, 9);
    a.facing = 1;
    a.jumpsUsed = 0;
    StepEnemy();  // the player is 396 away
    EXPECT_EQ(0, a.animRow);
    PlacePlayerAt(765.0f, 316.0f);
    StepEnemy();
    EXPECT_EQ(1, a.animRow);
    EXPECT_EQ(9, a.hitPoints);
    EXPECT_EQ(1, a.jumpsUsed);
    EXPECT_FLOAT_EQ(-5.0f, a.vx);
    EXPECT_FLOAT_EQ(0.0f, a.vy);
    a.jumpsUsed = 0;  // landed
    StepEnemy();
    EXPECT_EQ(1, a.jumpsUsed);
    EXPECT_FLOAT_EQ(-7.0f, a.vy);
    EXPECT_EQ(9, a.hitPoints);
}

TEST_F(EnemyRoutines, Enemy43FiresOnceAndLeaves)
{
    ActorRecord& a = PlaceEnemy(43, 0);
    RunEnemyFrames(239);
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 36).size());
    EXPECT_EQ(3, a.hitPoints);
    RunEnemyFrames(1);
    EXPECT_EQ(3 - 999, a.hitPoints);
    EXPECT_EQ(0, CountSePlays(4));  // far below zero: silent
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 11).empty());  // no drops
}

TEST_F(EnemyRoutines, Enemy45TurnsIntoACannonWhenThePlayerIsAhead)
{
    ActorRecord& a = PlaceEnemy(45, 50);
    PlacePlayerAt(862.0f, 316.0f);  // left edges 250 apart: not yet
    StepEnemy();
    EXPECT_EQ(0, a.animRow);
    EXPECT_EQ(1, a.facing);
    PlacePlayerAt(863.0f, 316.0f);
    StepEnemy();
    EXPECT_EQ(1, a.animRow);
    EXPECT_EQ(0, a.stateFrames);
    RunEnemyFrames(9);
    EXPECT_EQ(1, a.animRow);
    RunEnemyFrames(1);
    EXPECT_EQ(2, a.animRow);
    RunEnemyFrames(50);  // shots at 20, 40 and 60
    std::vector<int> shots = SlotsOf(KIND_EFFECT, 38);
    ASSERT_EQ(3u, shots.size());
    EXPECT_EQ(1, actors[shots[0]].facing);
}

TEST_F(EnemyRoutines, Enemy46LivesOnlyWithTheArenasBoss)
{
    struct Case {
        int kind, hitPoints;
        bool lives;
    } cases[] = {
        {KIND_BOSS, 1, true},
        {KIND_BOSS, 0, false},
        {KIND_FREE, 0, false},
        {KIND_EFFECT, 1, true},   // whatever slot 8 holds
        {KIND_EFFECT, -3, false},
    };
    for (const Case& c : cases) {
        SetUp();
        PlaceActor(8, c.kind, 4, 900, 100, 64, 64, c.hitPoints);
        ActorRecord& a = PlaceEnemy(46, 3);
        a.vy = 1.0f;
        StepEnemy();
        EXPECT_EQ(c.lives ? 3 : 0, a.hitPoints) << c.kind << " " << c.hitPoints;
        EXPECT_NEAR(0.95f, a.vy, 1e-6);
    }
    // It stops rising at frame 59.
    SetUp();
    PlaceActor(8, KIND_BOSS, 4, 900, 100, 64, 64, 30);
    ActorRecord& a = PlaceEnemy(46, 59);
    a.vy = 1.0f;
    StepEnemy();
    EXPECT_FLOAT_EQ(1.0f, a.vy);
}

TEST_F(EnemyRoutines, Enemy38PlaysItsLeap)
{
    PlaceEnemy(38, 20);
    StepEnemy();
    EXPECT_EQ(1, CountSePlays(11));
    PlaceEnemy(38, 21);
    StepEnemy();
    EXPECT_EQ(1, CountSePlays(11));
}
