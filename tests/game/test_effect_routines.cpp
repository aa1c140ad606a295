// Effect behaviours: each routine driven from a preset state and frame, the
// off-screen removal, and lifetimes run through the play update.
#include <gtest/gtest.h>
#include <math.h>

#include "game/actor_pool.h"
#include "game/effect_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"

namespace {

const double degree = 3.14 / 180.0;

class EffectRoutines : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        // The player's centre is (612, 424).
        player = &PlaceActor(0, KIND_PLAYER, 0, 600, 400, 24, 48, 3);
        player->speed = 4;
    }
    ActorRecord* player = nullptr;
};

// An effect placed straight into a slot (16 x 16 unless given).
ActorRecord& PlaceEffect(int slot, int subtype, float x, float y, int stateFrames = 0, int row = 0,
                         float size = 16.0f)
{
    ActorRecord& a = PlaceActor(slot, KIND_EFFECT, subtype, x, y, size, size);
    a.stateFrames = stateFrames;
    a.animRow = row;
    return a;
}

void RunSlot(int slot)
{
    loopIndex = slot;
    UpdateEffect(actors[slot].subtype);
}

// Runs the slot's routine once with stateFrames = frame.
void RunAt(int slot, int frame)
{
    actors[slot].stateFrames = frame;
    RunSlot(slot);
}

struct Spawned {
    float x, y;
    int row;
};

std::vector<Spawned> SpawnedEffects(int subtype)
{
    std::vector<Spawned> out;
    for (int slot : SlotsOf(KIND_EFFECT, subtype))
        if (actors[slot].hitPoints > 0)
            out.push_back({actors[slot].boxX1[0], actors[slot].boxY1[0], actors[slot].animRow});
    return out;
}

// Where the player stands relative to an aimed effect, and the speed that
// moves the effect straight at her at speed 1 (a positive vx moves left):
// the four axes and a 3-4-5 triangle, worked out by hand.
struct Aim {
    const char* where;
    float dx, dy;
    double vx, vy;
};
const Aim aims[] = {
    {"right", 300, 0, -1, 0},
    {"left", -300, 0, 1, 0},
    {"below", 0, 300, 0, 1},
    {"above", 0, -300, 0, -1},
    {"right and below, 3-4-5", 300, 400, -0.6, 0.8},
};

// The player with her centre at (cx, cy).
void PutPlayerCentre(float cx, float cy)
{
    PlaceActor(0, KIND_PLAYER, 0, cx - 12.0f, cy - 24.0f, 24, 48, 3).speed = 4;
}

} // namespace

TEST_F(EffectRoutines, LeavingTheScreenRemovesEveryEffectButTheDoor)
{
    struct Case {
        float cx, cy;
        bool removed;
    } cases[] = {
        {640, 360, false},
        {-256.0f, 360, false},   // exactly 256 left of the screen stays
        {-256.5f, 360, true},
        {1408.0f, 360, false},   // screenWidth + 128
        {1408.5f, 360, true},
        {640, -100.0f, false},
        {640, -100.5f, true},
        {640, 820.0f, false},    // screenHeight + 100
        {640, 820.5f, true},
    };
    for (int subtype : {0, 17, 45}) {
        for (const Case& c : cases) {
            ActorRecord& a = PlaceEffect(20, subtype, c.cx - 8, c.cy - 8, 3);
            RunSlot(20);
            EXPECT_EQ(c.removed ? 0 : 1, a.hitPoints) << subtype << " at " << c.cx << "," << c.cy;
        }
    }
    // The door stays wherever it stands.
    ActorRecord& door = PlaceEffect(20, 12, -5000, -5000, 3);
    RunSlot(20);
    EXPECT_EQ(1, door.hitPoints);
}

TEST_F(EffectRoutines, EnemyShotOneFormsARingOrAims)
{
    SetFrame(KIND_EFFECT, 1, 0, 16, 16, 5);
    for (int direction = 0; direction < 8; direction++) {
        ActorRecord& a = PlaceEffect(20, 1, 300, 200, 1);
        a.param2 = direction;
        a.vx = a.vy = 0.5f;
        RunSlot(20);
        // Steps of 45 degrees from 0: cos and sin of 45 are 0.7071068.
        const double ring[8][2] = {{5, 0}, {3.5355339, 3.5355339}, {0, 5}, {-3.5355339, 3.5355339},
                                   {-5, 0}, {-3.5355339, -3.5355339}, {0, -5}, {3.5355339, -3.5355339}};
        EXPECT_NEAR(ring[direction][0], a.vx, 1e-4) << direction;
        EXPECT_NEAR(ring[direction][1], a.vy, 1e-4) << direction;
    }
    // Aimed at the player at speed 4.
    for (const Aim& aim : aims) {
        ActorRecord& aimed = PlaceEffect(20, 1, 300, 200, 1);
        aimed.param2 = 8;
        PutPlayerCentre(308 + aim.dx, 208 + aim.dy);
        RunSlot(20);
        EXPECT_NEAR(4 * aim.vx, aimed.vx, 1e-4) << aim.where;
        EXPECT_NEAR(4 * aim.vy, aimed.vy, 1e-4) << aim.where;
    }
    PutPlayerCentre(612, 424);
    // Only its first routine frame sets a course.
    for (int frame : {0, 2}) {
        ActorRecord& a = PlaceEffect(20, 1, 300, 200, frame);
        a.param2 = 8;
        a.vx = 1.5f;
        a.vy = -2.5f;
        RunSlot(20);
        EXPECT_FLOAT_EQ(1.5f, a.vx);
        EXPECT_FLOAT_EQ(-2.5f, a.vy);
    }
}

TEST_F(EffectRoutines, KillSpheresHomeInAndScatteredSpheresFloat)
{
    // The player straight to the right: every frame pulls 2 to the right.
    player->centerY[0] = 208;
    ActorRecord& a = PlaceEffect(20, 11, 292, 200, 1);
    a.vx = a.vy = 0.0f;
    for (int frame = 1; frame <= 12; frame++)
        RunAt(20, frame);
    EXPECT_NEAR(-24.0f, a.vx, 1e-4);
    EXPECT_NEAR(0.0f, a.vy, 1e-4);
    RunAt(20, 13);   // from the 13th frame it settles at 6 at most
    EXPECT_FLOAT_EQ(-6.0f, a.vx);
    a.vy = 9.0f;
    RunAt(20, 14);
    EXPECT_FLOAT_EQ(-6.0f, a.vx);
    EXPECT_NEAR(6.0f, a.vy, 1e-4);

    // A dead player draws nothing.
    player->hitPoints = 0;
    a.vx = 1.0f;
    a.vy = 2.0f;
    RunAt(20, 20);
    EXPECT_FLOAT_EQ(1.0f, a.vx);
    EXPECT_FLOAT_EQ(2.0f, a.vy);

    // Row 1 rises by 0.1 on every even frame and is not drawn to anyone.
    ActorRecord& b = PlaceEffect(21, 11, 292, 200, 0, 1);
    b.vx = 3.0f;
    b.vy = 1.0f;
    for (int frame = 1; frame <= 6; frame++)
        RunAt(21, frame);
    EXPECT_FLOAT_EQ(3.0f, b.vx);
    EXPECT_NEAR(0.7f, b.vy, 1e-5);
}

TEST_F(EffectRoutines, AimedShotsFireOnTheirFrame)
{
    struct Case {
        int subtype, frame;
        double speed;
    } cases[] = {
        {13, 30, 6.0},   // 1.5 x the player's speed 4, not its own
        {33, 0, 10.0},
        {34, 1, 10.0},
        {44, 1, 10.0},
        {46, 1, 12.0},
    };
    for (const Case& c : cases) {
        for (int frame : {c.frame - 1, c.frame + 1}) {
            if (frame < 0)
                continue;
            ActorRecord& a = PlaceEffect(20, c.subtype, 500, 300, frame);
            a.speed = 9;
            a.vx = 2.0f;
            a.vy = 0.0f;
            RunSlot(20);
            EXPECT_FLOAT_EQ(2.0f, a.vx) << c.subtype << " frame " << frame;
            EXPECT_FLOAT_EQ(0.0f, a.vy) << c.subtype << " frame " << frame;
        }
        // The effect's centre is (508, 308).
        for (const Aim& aim : aims) {
            PutPlayerCentre(508 + aim.dx, 308 + aim.dy);
            ActorRecord& a = PlaceEffect(20, c.subtype, 500, 300, c.frame);
            a.speed = 9;
            RunSlot(20);
            EXPECT_NEAR(c.speed * aim.vx, a.vx, 1e-4) << c.subtype << " " << aim.where;
            EXPECT_NEAR(c.speed * aim.vy, a.vy, 1e-4) << c.subtype << " " << aim.where;
        }
        PutPlayerCentre(612, 424);
    }
}

TEST_F(EffectRoutines, CompanionAndWalkingFlashRideOnThePlayer)
{
    ActorRecord& companion = PlaceEffect(20, 14, 0, 0, 7, 0, 32);
    RunSlot(20);
    EXPECT_FLOAT_EQ(596.0f, companion.boxX1[0]);
    EXPECT_FLOAT_EQ(408.0f, companion.boxY1[0]);
    EXPECT_FLOAT_EQ(628.0f, companion.boxX2[0]);
    EXPECT_FLOAT_EQ(440.0f, companion.boxY2[0]);
    EXPECT_EQ(1, companion.hitPoints);

    ActorRecord& flash = PlaceEffect(1, 52, 0, 0, 4);
    RunSlot(1);
    EXPECT_FLOAT_EQ(600.0f, flash.boxX1[0]);
    EXPECT_FLOAT_EQ(400.0f, flash.boxY1[0]);
    EXPECT_FLOAT_EQ(624.0f, flash.boxX2[0]);
    EXPECT_FLOAT_EQ(448.0f, flash.boxY2[0]);
    EXPECT_EQ(1, flash.hitPoints);
    RunAt(1, 5);
    EXPECT_EQ(-998, flash.hitPoints);
}

TEST_F(EffectRoutines, ZoneMarksWhatItCovers)
{
    ActorRecord& zone = PlaceEffect(30, 20, 500, 300, 1, 0, 200);
    zone.inZone = 5;
    ActorRecord& inside = PlaceActor(9, KIND_ENEMY, 4, 550, 350, 32, 32);
    ActorRecord& outside = PlaceActor(10, KIND_ENEMY, 4, 50, 50, 32, 32);
    outside.inZone = 7;   // recomputed: not yet 1
    ActorRecord& marked = PlaceActor(11, KIND_ENEMY, 4, 50, 50, 32, 32);
    marked.inZone = 1;    // already in another zone: kept
    ActorRecord& freeSlot = actors[12];
    freeSlot.inZone = 5;
    freeSlot.boxX1[0] = 550;
    freeSlot.boxY1[0] = 350;
    freeSlot.boxX2[0] = 560;
    freeSlot.boxY2[0] = 360;
    RunSlot(30);
    EXPECT_EQ(1, inside.inZone);
    EXPECT_EQ(0, outside.inZone);
    EXPECT_EQ(1, marked.inZone);
    EXPECT_EQ(5, freeSlot.inZone);
    EXPECT_EQ(1, player->inZone);   // the player's walk reads it
    EXPECT_EQ(5, zone.inZone);
}

TEST_F(EffectRoutines, TimedEffectsExpireOnTheirFrame)
{
    struct Case {
        int subtype, frame, hitPointsAfter;
    } cases[] = {
        {21, 39, 1}, {21, 40, -998}, {21, 41, 1},
        {26, 119, 1}, {26, 120, -998},
        {27, 3, 1}, {27, 4, -3998},
        {29, 39, -3998},
        {32, 120, -998}, {32, 121, 1},
        {40, 37, -998},
        {42, 240, -998}, {42, 239, 1},
        {49, 120, -998},
        {52, 5, -998},
    };
    for (const Case& c : cases) {
        ActorRecord& a = PlaceEffect(20, c.subtype, 400, 300, c.frame);
        RunSlot(20);
        EXPECT_EQ(c.hitPointsAfter, a.hitPoints) << c.subtype << " at " << c.frame;
    }
}

TEST_F(EffectRoutines, BouncingShotTakesARandomCourseAndDiesAtNinety)
{
    ActorRecord& a = PlaceEffect(20, 22, 400, 300, 0);
    a.speed = 5;
    ScriptRandom({60, 30});
    RunSlot(20);
    EXPECT_EQ((std::vector<int>{360, 360}), RandomRequests());
    EXPECT_NEAR(-cos(60 * degree) * 5, a.vx, 1e-4);
    EXPECT_NEAR(sin(30 * degree) * 5, a.vy, 1e-4);

    // An earlier enemy in the slot left its spawn-list entry behind; the
    // effect's death must not re-arm that entry.
    spawnList[3] = {1000, 300, 4, 1, 0, 2, 0, 1};
    a.spawnIndex = 3;
    RunAt(20, 89);
    EXPECT_EQ(1, a.hitPoints);
    RunAt(20, 90);
    EXPECT_EQ(-998, a.hitPoints);
    EXPECT_EQ(1, spawnList[3].listState);
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 11).empty());
}

TEST_F(EffectRoutines, ThrownShotAndFragments)
{
    struct Case {
        int row, facing;
        float vx, gravity;
        int random;
        float vxAfter, vyAfter, gravityAfter;
        size_t draws;
    } cases[] = {
        {0, 0, 0.0f, 1.0f, 10, 14.0f, 2.0f, 1.0f, 1},     // (10 + 4) leftward
        {0, 1, 0.0f, 1.0f, 0, -4.0f, 2.0f, 1.0f, 1},
        {0, 0, 0.5f, 1.0f, 10, 0.5f, 2.0f, 1.0f, 0},      // already moving
        {1, 0, 3.0f, 1.0f, 90, (float)(cos(90 * degree) * 6), (float)(sin(90 * degree) * 6), 0.0f, 1},
        {1, 1, 3.0f, 1.0f, 0, -6.0f, 0.0f, 0.0f, 1},
        {1, 0, 3.0f, 0.0f, 0, 3.0f, 2.0f, 0.0f, 0},       // set up already
    };
    for (const Case& c : cases) {
        RandomRequests().clear();
        ActorRecord& a = PlaceEffect(20, 24, 400, 300, 5, c.row);
        a.facing = c.facing;
        a.vx = c.vx;
        a.vy = 2.0f;
        a.gravityFactor = c.gravity;
        ScriptRandom({c.random});
        RunSlot(20);
        EXPECT_NEAR(c.vxAfter, a.vx, 1e-4) << c.row << " " << c.facing;
        EXPECT_NEAR(c.vyAfter, a.vy, 1e-4) << c.row << " " << c.facing;
        EXPECT_FLOAT_EQ(c.gravityAfter, a.gravityFactor);
        EXPECT_EQ(c.draws, RandomRequests().size());
        if (c.draws) {
            EXPECT_EQ(c.row == 0 ? 14 : 360, RandomRequests()[0]);
        }
    }
}

TEST_F(EffectRoutines, BombFliesStopsAndBursts)
{
    ActorRecord& a = PlaceEffect(20, 25, 400, 300, 0, 0, 32);
    ScriptRandom({44, 3});
    RunSlot(20);
    EXPECT_EQ((std::vector<int>{45, 20}), RandomRequests());
    EXPECT_FLOAT_EQ(45.0f, a.vx);
    EXPECT_FLOAT_EQ(-7.0f, a.vy);
    RunAt(20, 20);
    EXPECT_FLOAT_EQ(0.0f, a.vx);
    EXPECT_FLOAT_EQ(0.0f, a.vy);
    RunAt(20, 119);
    EXPECT_TRUE(SpawnedEffects(24).empty());
    a.boxX1[0] = 410;
    a.boxY1[0] = 305;
    RunAt(20, 120);
    EXPECT_EQ(1, CountSePlays(11));
    EXPECT_EQ(-998, a.hitPoints);
    std::vector<Spawned> fragments = SpawnedEffects(24);
    ASSERT_EQ(4u, fragments.size());
    for (const Spawned& s : fragments) {
        EXPECT_FLOAT_EQ(410.0f, s.x);
        EXPECT_FLOAT_EQ(305.0f, s.y);
        EXPECT_EQ(1, s.row);
    }
}

TEST_F(EffectRoutines, ArcRisesThenFallsAndTurnsBack)
{
    struct Case {
        int frame;
        float vy, vx;
    } cases[] = {
        {1, -3.0f, 5.0f}, {9, -3.0f, 5.0f}, {10, 3.0f, 5.0f}, {19, 3.0f, -5.0f},
        {30, 3.0f, 5.0f}, {31, -3.0f, 5.0f},
    };
    for (const Case& c : cases) {
        ActorRecord& a = PlaceEffect(20, 29, 400, 300, c.frame);
        a.jumpPower = 3;
        a.vx = 5.0f;
        RunSlot(20);
        EXPECT_FLOAT_EQ(c.vy, a.vy) << c.frame;
        EXPECT_FLOAT_EQ(c.vx, a.vx) << c.frame;
        EXPECT_EQ(1, a.hitPoints) << c.frame;
    }
}

TEST_F(EffectRoutines, DropTurnsItsRowWhenFalling)
{
    ActorRecord& a = PlaceEffect(20, 30, 400, 300, 1);
    a.vy = -1.0f;
    ScriptRandom({6});
    RunSlot(20);
    EXPECT_FLOAT_EQ(8.0f, a.vx);
    EXPECT_EQ(0, a.animRow);
    a.vy = 0.0f;
    RunAt(20, 2);
    EXPECT_EQ(0, a.animRow);
    a.vy = 0.5f;
    RunAt(20, 3);
    EXPECT_EQ(1, a.animRow);
    EXPECT_FLOAT_EQ(8.0f, a.vx);
    EXPECT_EQ((std::vector<int>{6}), RandomRequests());
}

TEST_F(EffectRoutines, WobblingShotLeavesAFreezingCloud)
{
    ActorRecord& a = PlaceEffect(20, 31, 400, 300, 1);
    ScriptRandom({12, 0});
    RunSlot(20);
    EXPECT_FLOAT_EQ(14.0f, a.vx);
    EXPECT_FLOAT_EQ(-10.0f, a.vy);

    struct Step {
        float vy;
        int random;
        float vyAfter;
    } steps[] = {
        {-10.0f, 1, -9.0f}, {-10.0f, 0, -10.0f}, {0.0f, 1, -1.0f}, {2.0f, 1, 1.0f}, {-0.5f, 1, 0.5f},
    };
    for (const Step& s : steps) {
        a.vy = s.vy;
        ScriptRandom({s.random});
        RunAt(20, 30);
        EXPECT_FLOAT_EQ(s.vyAfter, a.vy) << s.vy << " " << s.random;
    }
    RandomRequests().clear();
    RunAt(20, 0);   // frame 0 draws nothing
    EXPECT_TRUE(RandomRequests().empty());

    a.boxX1[0] = 420;
    a.boxY1[0] = 310;
    RunAt(20, 70);
    EXPECT_EQ(-998, a.hitPoints);
    std::vector<Spawned> clouds = SpawnedEffects(32);
    ASSERT_EQ(1u, clouds.size());
    EXPECT_FLOAT_EQ(420.0f, clouds[0].x);
    EXPECT_FLOAT_EQ(310.0f, clouds[0].y);
}

TEST_F(EffectRoutines, PullDownBeamClearsTheEnemiesItCovers)
{
    PlaceEffect(30, 35, 400, 0, 3, 0, 64);
    ActorRecord& covered = PlaceActor(9, KIND_ENEMY, 41, 410, 20, 32, 32, 3);
    ActorRecord& apart = PlaceActor(10, KIND_ENEMY, 41, 600, 20, 32, 32, 3);
    ActorRecord& otherKind = PlaceActor(11, KIND_ENEMY, 40, 410, 20, 32, 32, 3);
    ActorRecord& notEnemy = PlaceActor(12, KIND_ITEM, 41, 410, 20, 32, 32, 3);
    ActorRecord& reserved = PlaceActor(3, KIND_ENEMY, 41, 410, 20, 32, 32, 3);
    RunSlot(30);
    EXPECT_EQ(-996, covered.hitPoints);
    EXPECT_EQ(3, apart.hitPoints);
    EXPECT_EQ(3, otherKind.hitPoints);
    EXPECT_EQ(3, notEnemy.hitPoints);
    EXPECT_EQ(3, reserved.hitPoints);
}

TEST_F(EffectRoutines, ShellBurstsIntoRisingSparks)
{
    ActorRecord& shell = PlaceEffect(8, 36, 400, 300, 29);
    RunSlot(8);
    EXPECT_TRUE(SpawnedEffects(37).empty());
    RunAt(8, 30);
    EXPECT_EQ(-998, shell.hitPoints);
    std::vector<int> sparks = SlotsOf(KIND_EFFECT, 37);
    ASSERT_EQ(10u, sparks.size());
    for (int slot : sparks) {
        EXPECT_FLOAT_EQ(400.0f, actors[slot].boxX1[0]);
        EXPECT_FLOAT_EQ(300.0f, actors[slot].boxY1[0]);
    }

    // A spark's first frame: a random spread; every frame: a lift of 0.45.
    ActorRecord& spark = actors[sparks[0]];
    ScriptRandom({45, 7});
    RunSlot(sparks[0]);
    EXPECT_NEAR(1.5f, spark.vx, 1e-5);
    EXPECT_NEAR(-0.7f - 0.45f, spark.vy, 1e-5);
    RunAt(sparks[0], 1);
    EXPECT_NEAR(1.5f, spark.vx, 1e-5);
    EXPECT_NEAR(-0.7f - 0.9f, spark.vy, 1e-5);
    EXPECT_EQ((std::vector<int>{60, 10}), RandomRequests());
}

TEST_F(EffectRoutines, KnifeRisesOrFallsAtRandom)
{
    ActorRecord& a = PlaceEffect(20, 38, 400, 300, 1);
    a.vx = 9.0f;
    ScriptRandom({12});
    RunSlot(20);
    EXPECT_NEAR(-1.8f, a.vy, 1e-5);
    EXPECT_FLOAT_EQ(9.0f, a.vx);
    ScriptRandom({60});
    RunAt(20, 2);
    EXPECT_NEAR(-1.8f, a.vy, 1e-5);
}

TEST_F(EffectRoutines, RingEffectsDashToTheMiddleAtFifty)
{
    struct Case {
        int row;
        float vx, vy;
    } cases[] = {
        {0, 10.0f, 0.5f}, {1, 7.0f, 7.0f}, {2, 0.5f, 10.0f}, {3, -7.0f, 7.0f}, {4, -10.0f, 0.5f},
        {5, 0.5f, 0.5f},
    };
    for (const Case& c : cases) {
        ActorRecord& a = PlaceEffect(20, 39, 400, 300, 49, c.row);
        a.vx = a.vy = 0.5f;
        RunSlot(20);
        EXPECT_FLOAT_EQ(0.5f, a.vx);
        RunAt(20, 50);
        EXPECT_FLOAT_EQ(c.vx, a.vx) << c.row;
        EXPECT_FLOAT_EQ(c.vy, a.vy) << c.row;
    }
}

TEST_F(EffectRoutines, HoppingPairReplacesItself)
{
    struct Case {
        int frame, random;
        float vy;
    } cases[] = {
        {0, 0, -4.0f}, {30, 1, 4.0f}, {60, 0, -4.0f}, {15, 0, 1.0f},
    };
    for (const Case& c : cases) {
        ActorRecord& a = PlaceEffect(20, 41, 400, 300, c.frame);
        a.vy = 1.0f;
        ScriptRandom({c.random});
        RunSlot(20);
        EXPECT_FLOAT_EQ(c.vy, a.vy) << c.frame;
        EXPECT_EQ(1, a.hitPoints);
    }
    ActorRecord& half = PlaceEffect(20, 41, 400, 300, 38);
    RunSlot(20);
    EXPECT_EQ(-998, half.hitPoints);
    std::vector<Spawned> next = SpawnedEffects(40);
    ASSERT_EQ(1u, next.size());
    EXPECT_FLOAT_EQ(400.0f, next[0].x);
    EXPECT_FLOAT_EQ(302.0f, next[0].y);

    ActorRecord& other = PlaceEffect(30, 40, 500, 200, 37);
    RunSlot(30);
    EXPECT_EQ(-998, other.hitPoints);
    std::vector<Spawned> back = SpawnedEffects(41);
    ASSERT_EQ(1u, back.size());
    EXPECT_FLOAT_EQ(500.0f, back[0].x);
    EXPECT_FLOAT_EQ(198.0f, back[0].y);
}

TEST_F(EffectRoutines, RainCloudRisesStopsAndRains)
{
    ActorRecord& a = PlaceEffect(20, 42, 400, 300, 0, 0, 64);
    ScriptRandom({75});
    RunSlot(20);
    EXPECT_NEAR(8.5f, a.vx, 1e-5);
    EXPECT_NEAR(-0.2f, a.vy, 1e-5);
    RunAt(20, 57);   // rains only after 60
    EXPECT_NEAR(-0.4f, a.vy, 1e-5);
    RunAt(20, 60);
    EXPECT_FLOAT_EQ(0.0f, a.vx);
    EXPECT_FLOAT_EQ(0.0f, a.vy);
    EXPECT_TRUE(SpawnedEffects(43).empty());
    for (int frame = 61; frame <= 70; frame++) {
        ScriptRandom({155});
        RunAt(20, frame);
    }
    std::vector<Spawned> drops = SpawnedEffects(43);
    ASSERT_EQ(3u, drops.size());   // 61, 65, 69
    for (const Spawned& d : drops) {
        EXPECT_NEAR(415.5f, d.x, 1e-4);
        EXPECT_FLOAT_EQ(324.0f, d.y);
    }
    EXPECT_FLOAT_EQ(0.0f, a.vy);
}

TEST_F(EffectRoutines, FallingBallRollsOnTheFirstSolidBlock)
{
    struct Case {
        float top;
        int facing;
        bool rolls;
        float vx;
    } cases[] = {
        {270, 0, false, 0.0f},   // above both blocks
        {280, 0, true, 6.0f},    // reaches the upper block only
        {290, 1, true, -6.0f},   // in both: lifted once all the same
        {620, 0, false, 0.0f},   // only a block that is not solid
    };
    for (const Case& c : cases) {
        SetUp();
        SetFrame(KIND_EFFECT, 47, 1, 24, 24, 6);
        AddBlock(0, 600, 1280, 700).solid = 0;
        AddBlock(380, 310, 480, 400);
        AddBlock(380, 300, 480, 400);
        ActorRecord& a = PlaceEffect(20, 47, 400, c.top, 5, 0, 24);
        a.facing = c.facing;
        a.vx = 0.0f;
        a.vy = 3.0f;
        RunSlot(20);
        EXPECT_EQ(c.rolls ? 1 : 0, a.animRow) << c.top;
        EXPECT_FLOAT_EQ(c.vx, a.vx) << c.top;
        EXPECT_FLOAT_EQ(c.rolls ? 0.0f : 3.0f, a.vy) << c.top;
        float lift = c.rolls ? 4.0f : 0.0f;
        EXPECT_FLOAT_EQ(c.top - lift, a.boxY1[0]) << c.top;
        EXPECT_FLOAT_EQ(c.top + 24 - lift, a.boxY2[0]) << c.top;
    }
}

TEST_F(EffectRoutines, HomingShotSteersToTheBossInSlotEight)
{
    // The boss's centre (708, -92) lies 300 right of and 400 above the
    // shot's (408, 308): cos 0.6, sin -0.8.
    ActorRecord& boss = PlaceActor(8, KIND_BOSS, 3, 676, -124, 64, 64, 20);
    ActorRecord& a = PlaceEffect(20, 49, 400, 300, 1);
    a.vx = -8.0f;
    ScriptRandom({80});
    RunSlot(20);
    EXPECT_NEAR(3.0f, a.vy, 1e-5);
    EXPECT_FLOAT_EQ(-8.0f, a.vx);

    RunAt(20, 40);
    // The pull at frame 40 is 2.0 - 40 x 0.005 = 1.8.
    EXPECT_NEAR(-8.0 - 0.6 * 1.8, a.vx, 1e-4);
    EXPECT_NEAR(3.0 - 0.8 * 1.8, a.vy, 1e-4);

    // The pull never takes it beyond 18 across or 8 up and down.
    a.vx = -17.9f;
    a.vy = -7.9f;
    RunAt(20, 41);
    EXPECT_FLOAT_EQ(-18.0f, a.vx);
    EXPECT_FLOAT_EQ(-8.0f, a.vy);

    // Without a live boss it flies on.
    boss.hitPoints = 0;
    a.vx = -5.0f;
    a.vy = 1.0f;
    RunAt(20, 42);
    EXPECT_FLOAT_EQ(-5.0f, a.vx);
    EXPECT_FLOAT_EQ(1.0f, a.vy);
}

TEST_F(EffectRoutines, StartLineMarkerReleasesItsSlot)
{
    ActorRecord& marker = PlaceEffect(20, 50, -256, 0, 9, 0, 32);
    startEffectSlot = 20;
    RunSlot(20);
    EXPECT_EQ(20, startEffectSlot);
    marker.boxX1[0] = -256.5f;
    marker.boxX2[0] = -224.5f;
    RunSlot(20);
    EXPECT_EQ(0, startEffectSlot);
}

TEST_F(EffectRoutines, InstallFlashShrinksForTwentyTwoFrames)
{
    ActorRecord& a = PlaceEffect(20, 53, 0, 0, 1, 0, 8);
    for (int frame = 1; frame <= 21; frame++) {
        RunAt(20, frame);
        ASSERT_EQ(1, a.hitPoints) << frame;
        EXPECT_EQ(frame, installFlashFrames);
    }
    EXPECT_EQ(64, installFlashRadius);
    EXPECT_FLOAT_EQ(3.0f, installFlashShrink);
    RunAt(20, 22);
    EXPECT_EQ(-998, a.hitPoints);
    EXPECT_EQ(0, installFlashFrames);

    // Two flashes at once share the counter and end each other early.
    ActorRecord& b = PlaceEffect(21, 53, 0, 0, 1, 0, 8);
    ActorRecord& c = PlaceEffect(22, 53, 0, 0, 1, 0, 8);
    int frames = 0;
    while (b.hitPoints > 0 && c.hitPoints > 0 && frames < 40) {
        frames++;
        RunAt(21, frames);
        RunAt(22, frames);
    }
    EXPECT_EQ(11, frames);
    EXPECT_EQ(1, b.hitPoints);
    EXPECT_EQ(-998, c.hitPoints);
}

TEST_F(EffectRoutines, SubtypesWithoutRoutinesOnlyFaceTheEdges)
{
    for (int subtype : {0, 2, 3, 9, 10, 15, 23, 28, 43, 45, 48, 51, 54, 63, -1, 1000}) {
        ActorRecord& a = PlaceEffect(20, subtype, 400, 300, 30);
        a.vx = 1.0f;
        a.vy = 2.0f;
        loopIndex = 20;
        UpdateEffect(subtype);
        EXPECT_FLOAT_EQ(1.0f, a.vx) << subtype;
        EXPECT_FLOAT_EQ(2.0f, a.vy) << subtype;
        EXPECT_EQ(1, a.hitPoints) << subtype;
    }
    EXPECT_TRUE(RandomRequests().empty());
    EXPECT_TRUE(SoundCalls().empty());
    // A loop index outside the pool touches nothing.
    loopIndex = ACTOR_SLOTS;
    UpdateEffect(53);
    loopIndex = -1;
    UpdateEffect(14);
    EXPECT_EQ(0, installFlashFrames);
}

// Lifetimes through the play update: spawns, ageing and freeing together.
class EffectLifetimes : public EffectRoutines {
protected:
    void SetUp() override
    {
        EffectRoutines::SetUp();
        areaIndex = 1;
        scrollMin = scrollMax = -1.0f;
        startLine = 1 << 30;
        gateX = -100000;
        lives = 3;
    }
};

TEST_F(EffectLifetimes, InstallFlashLivesTwentyTwoFrames)
{
    SetFrame(KIND_EFFECT, 53, 0, 8, 8);
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, 0, 0, 53, 0, 0, 0, 0);
    int slot = lastSpawnSlot;
    int frames = 0;
    while (actors[slot].kind == KIND_EFFECT && frames < 100) {
        UpdatePlayScene();
        frames++;
    }
    EXPECT_EQ(23, frames);   // freed at the start of the frame after its 22nd
    EXPECT_EQ(0, installFlashFrames);
}

TEST_F(EffectLifetimes, HoppingPairAlwaysHasOneHalf)
{
    SetFrame(KIND_EFFECT, 40, 0, 24, 24, 3);
    SetFrame(KIND_EFFECT, 41, 0, 24, 24, 3);
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, 1200, 400, 41, 0, 0, 0, 0);
    int handovers = 0;
    int lastSubtype = 41;
    for (int frame = 0; frame < 200; frame++) {
        UpdatePlayScene();
        int alive = 0, subtype = 0;
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
            const ActorRecord& a = actors[i];
            if (a.kind == KIND_EFFECT && a.hitPoints > 0) {
                alive++;
                subtype = a.subtype;
            }
        }
        if (alive == 0)
            break;   // it has hopped off the screen
        ASSERT_EQ(1, alive) << frame;
        if (subtype != lastSubtype)
            handovers++;
        lastSubtype = subtype;
    }
    EXPECT_GE(handovers, 4);
}

TEST_F(EffectLifetimes, WobblingShotHandsOverToTheCloud)
{
    SetFrame(KIND_EFFECT, 31, 0, 16, 16);
    SetFrame(KIND_EFFECT, 32, 0, 48, 48);
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, 300, 200, 31, 0, 0, 0, 0);
    int slot = lastSpawnSlot;
    ScriptRandom({0, 1});   // 2 a frame to the left, 10 down, then no wobble
    UpdatePlayScene();
    EXPECT_FLOAT_EQ(2.0f, actors[slot].vx);
    EXPECT_FLOAT_EQ(10.0f, actors[slot].vy);
    actors[slot].vy = 0.0f;   // kept level, so that it stays on the screen
    int frames = 1;
    while (SlotsOf(KIND_EFFECT, 32).empty() && frames < 100) {
        UpdatePlayScene();
        frames++;
    }
    EXPECT_EQ(70, frames);
    std::vector<int> cloud = SlotsOf(KIND_EFFECT, 32);
    ASSERT_EQ(1u, cloud.size());
    UpdatePlayScene();
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 31).empty());
    for (int n = 0; n < 118; n++)
        UpdatePlayScene();
    EXPECT_EQ(1, actors[cloud[0]].hitPoints);
    UpdatePlayScene();   // its frame 120
    EXPECT_EQ(-998, actors[cloud[0]].hitPoints);
}
