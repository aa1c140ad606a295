// Enemy routines that run over many frames or tie actors together: the
// caller of hoppers and its cap, the shared counters, boss 6's body, and the
// triangle hazard of enemies 27 and 28 with its chain kill.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include <vector>

#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/contacts.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "tests/game/enemy_stage.h"
#include "tests/game/play_world.h"

namespace {

class EnemySequences : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        for (int subtype = 1; subtype < 64; subtype++)
            SetFrame(KIND_ENEMY, subtype, 0, 32, 32, 2, 0, 3);
        SetFrame(KIND_ENEMY, 5, 0, 32, 32, 2, 8, 2);
        SetFrame(KIND_EFFECT, 1, 0, 16, 16, 5);
        SetFrame(KIND_EFFECT, 11, 0, 8, 8);
        SetFrame(KIND_EFFECT, 11, 1, 8, 8);
        PlacePlayerAt(1012.0f, 316.0f);
    }
};

int CountEnemies(int subtype)
{
    return (int)SlotsOf(KIND_ENEMY, subtype).size();
}

} // namespace

TEST_F(EnemySequences, Enemy37JumpsThenCallsHoppers)
{
    ActorRecord& a = PlaceEnemy(37, 0);
    a.facing = 1;
    a.vx = 5.0f;
    ScriptRandomList({10, 0, 3, 7, 1});
    RunEnemyFrames(59);
    EXPECT_EQ(0, a.animRow);
    EXPECT_FLOAT_EQ(5.0f, a.vx);
    RunEnemyFrames(1);  // 60: the jump
    EXPECT_EQ(1, a.animRow);
    EXPECT_FLOAT_EQ(0.0f, a.vx);
    EXPECT_FLOAT_EQ(-8.0f, a.vy);
    RunEnemyFrames(31);
    EXPECT_EQ(1, a.animRow);
    RunEnemyFrames(1);  // 92 = 60 + 16 / 0.5: landed
    EXPECT_EQ(2, a.animRow);
    EXPECT_EQ(0, CountEnemies(5));

    // Hoppers at 96, 102, 108, 114 and 120, at (left + rand(10) - 32, centre y).
    RunEnemyFrames(29);
    std::vector<int> hoppers = SlotsOf(KIND_ENEMY, 5);
    ASSERT_EQ(5u, hoppers.size());
    const float xs[] = {578.0f, 568.0f, 571.0f, 575.0f, 569.0f};
    for (int n = 0; n < 5; n++) {
        EXPECT_FLOAT_EQ(xs[n], actors[hoppers[n]].boxX1[0]) << n;
        EXPECT_FLOAT_EQ(316.0f, actors[hoppers[n]].boxY1[0]) << n;
    }
    EXPECT_EQ(121, a.stateFrames);
    RunEnemyFrames(1);  // 122: walks on, facing right
    EXPECT_EQ(0, a.stateFrames);
    EXPECT_EQ(0, a.animRow);
    EXPECT_FLOAT_EQ(-2.0f, a.vx);
}

TEST_F(EnemySequences, Enemy37CallsNoMoreThanFifteenHoppers)
{
    struct Case {
        int present;
        int after;
    } cases[] = {{0, 5}, {13, 15}, {14, 15}, {15, 15}, {20, 20}};
    for (const Case& c : cases) {
        SetUp();
        for (int n = 0; n < c.present; n++)
            PlaceActor(100 + n, KIND_ENEMY, 5, 100, 600, 32, 32, 2);
        PlaceEnemy(37, 0);
        RunEnemyFrames(122);
        EXPECT_EQ(c.after, CountEnemies(5)) << c.present;
    }
    // Cycle after cycle, the hoppers it called stay at fifteen.
    SetUp();
    PlaceEnemy(37, 0);
    RunEnemyFrames(122 * 5);
    EXPECT_EQ(15, CountEnemies(5));
}

TEST_F(EnemySequences, Enemy50BurstsAtTheTopOfItsJump)
{
    ActorRecord& a = PlaceEnemy(50, 9);
    a.jumpsUsed = 0;
    StepEnemy();
    EXPECT_FLOAT_EQ(-10.0f, a.vy);
    EXPECT_EQ(1, a.jumpsUsed);
    EXPECT_FLOAT_EQ(0.0f, a.vx);  // still inside the hang after start-up
    EXPECT_EQ(1, burstCounter);

    // At the top with the counter past 30, a draw of 5 bursts.
    struct Case {
        float vy;
        int counter, draw;
        bool burst;
        size_t draws;
    } cases[] = {
        {0.0f, 31, 5, true, 1},
        {0.0f, 31, 4, false, 1},
        {0.0f, 30, 5, false, 0},
        {0.5f, 31, 5, false, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        ActorRecord& b = PlaceEnemy(50, 9);
        b.vy = c.vy;
        b.vx = 3.7f;
        b.gravityFactor = 1.0f;
        burstCounter = c.counter;
        ScriptRandom({c.draw});
        SpawnWatch watch;
        StepEnemy();
        EXPECT_EQ(c.draws, RandomRequests().size()) << c.counter << " " << c.vy;
        std::vector<int> ring = watch.NewSlots();
        if (!c.burst) {
            EXPECT_TRUE(ring.empty());
            continue;
        }
        EXPECT_FLOAT_EQ(0.0f, b.gravityFactor);
        EXPECT_EQ(3, burstSpeed);
        EXPECT_EQ(1, burstCounter);
        ASSERT_EQ(8u, ring.size());
        for (int k = 0; k < 8; k++) {
            EXPECT_EQ(1, actors[ring[k]].subtype);
            EXPECT_EQ(k, actors[ring[k]].param2);
            EXPECT_FLOAT_EQ(606.0f, actors[ring[k]].boxX1[0]);
            EXPECT_FLOAT_EQ(302.0f, actors[ring[k]].boxY1[0]);
        }
        // It hangs for 30 frames, then falls and moves on at its old speed.
        for (int n = 2; n < 30; n++) {
            StepEnemy();
            EXPECT_FLOAT_EQ(0.0f, b.vx) << n;
        }
        EXPECT_EQ(29, burstCounter);
        StepEnemy();
        EXPECT_FLOAT_EQ(0.0f, b.gravityFactor);
        EXPECT_EQ(30, burstCounter);
        StepEnemy();
        EXPECT_FLOAT_EQ(1.0f, b.gravityFactor);
        EXPECT_FLOAT_EQ(3.0f, b.vx);
        EXPECT_EQ(31, burstCounter);
    }
}

TEST_F(EnemySequences, EnemiesOfOneKindShareOneRhythm)
{
    // Enemy 50: one burst holds every enemy 50 in the air.
    ActorRecord& first = PlaceEnemy(50, 9, 600.0f, 300.0f, 20);
    ActorRecord& second = PlaceEnemy(50, 9, 800.0f, 300.0f, 21);
    first.vy = 0.0f;
    second.vx = 4.0f;
    second.vy = 2.0f;
    burstCounter = 40;
    ScriptRandom({5});
    StepEnemy(20);
    StepEnemy(21);
    EXPECT_FLOAT_EQ(0.0f, second.vx);
    EXPECT_EQ(2, burstCounter);

    // Enemy 53: one stop restarts the pause of all of them.
    ResetPlayWorld();
    PlacePlayerAt(1012.0f, 316.0f);
    ActorRecord& a = PlaceEnemy(53, 59, 600.0f, 300.0f, 20);
    ActorRecord& b = PlaceEnemy(53, 58, 800.0f, 300.0f, 21);
    a.vx = 2.0f;
    b.vx = 2.0f;
    pauseCounter = 200;
    ScriptRandom({1});
    StepEnemy(20);
    EXPECT_FLOAT_EQ(0.0f, a.vx);
    EXPECT_EQ(1, a.facing);
    EXPECT_EQ(1, pauseCounter);
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 1).size());
    StepEnemy(21);
    EXPECT_EQ(2, pauseCounter);
}

TEST_F(EnemySequences, Enemy53WalksOnAfterItsPause)
{
    struct Case {
        int draw;
        float vx;
    } cases[] = {{1, 3.0f}, {0, -3.0f}};
    for (const Case& c : cases) {
        SetUp();
        SetFrame(KIND_ENEMY, 53, 2, 32, 32, 3, 0, 3);
        ActorRecord& a = PlaceEnemy(53, 0);
        a.animRow = 2;
        a.vx = 0.0f;
        pauseCounter = 1;
        for (int n = 1; n < 30; n++)
            StepEnemy();
        EXPECT_FLOAT_EQ(0.0f, a.vx);
        EXPECT_EQ(30, pauseCounter);
        ScriptRandom({c.draw});
        StepEnemy();
        EXPECT_FLOAT_EQ(c.vx, a.vx);
        EXPECT_EQ(31, pauseCounter);
    }
}

TEST_F(EnemySequences, Enemy56DriftsKeepsPaceAndLeaves)
{
    struct Drift {
        float top, playerCy;
        float vy;
    } drifts[] = {
        {449.0f, 316.0f, -4.0f},   // centre 465: low on the screen
        {448.0f, 900.0f, 4.0f},    // centre 464: follows the player
        {448.0f, 463.0f, -4.0f},
        {95.0f, 0.0f, 4.0f},       // centre 111: high up
        {112.0f, 0.0f, -4.0f},     // centre 128
    };
    for (const Drift& d : drifts) {
        SetUp();
        PlacePlayerAt(1012.0f, d.playerCy);
        ActorRecord& a = PlaceEnemy(56, 10, 600.0f, d.top);
        volleyCounter = 50;
        StepEnemy();
        EXPECT_FLOAT_EQ(d.vy, a.vy) << d.top << " " << d.playerCy;
        EXPECT_EQ(51, volleyCounter);
    }

    // Within 400 pixels it moves with the player.
    struct Pace {
        float playerCx;
        float vx;
    } paces[] = {{216.0f, -3.5f}, {215.0f, 0.0f}};
    for (const Pace& p : paces) {
        SetUp();
        PlacePlayerAt(p.playerCx, 316.0f).vx = 3.5f;
        ActorRecord& a = PlaceEnemy(56, 10);
        a.vx = 1.0f;
        StepEnemy();
        EXPECT_FLOAT_EQ(p.vx, a.vx) << p.playerCx;
    }

    // The volley ends the frame with the counter at 1.
    SetUp();
    ActorRecord& v = PlaceEnemy(56, 99);
    v.vy = 3.0f;
    volleyCounter = 80;
    StepEnemy();
    EXPECT_EQ(4u, SlotsOf(KIND_EFFECT, 45).size());
    EXPECT_FLOAT_EQ(0.0f, v.vy);
    EXPECT_EQ(1, volleyCounter);

    // After 2400 frames it leaves, silently, with row-1 spheres.
    SetUp();
    ActorRecord& l = PlaceEnemy(56, 2400);
    l.spheres = 3;
    StepEnemy();
    EXPECT_EQ(3 - 4999, l.hitPoints);
    EXPECT_EQ(0, CountSePlays(4));
    std::vector<int> spheres = SlotsOf(KIND_EFFECT, 11);
    ASSERT_EQ(3u, spheres.size());
    EXPECT_EQ(1, actors[spheres[0]].animRow);
}

TEST_F(EnemySequences, Enemy57TrailsBoss6AlongItsHistory)
{
    ActorRecord& boss = PlaceActor(9, KIND_BOSS, 6, 900, 200, 96, 80, 40);
    for (int k = 0; k < CENTER_HISTORY; k++) {
        boss.centerX[k] = 1000.0f - k;
        boss.centerY[k] = 200.0f + 2 * k;
    }
    struct Case {
        int siblings;
        int step;
    } cases[] = {
        {1, 16}, {2, 32}, {3, 48}, {4, 64}, {7, 112},
        {8, 127}, {9, 127}, {INT_MAX, 127},   // beyond the history: its oldest entry
        {0, 0}, {-3, 0}, {INT_MIN, 0},
    };
    for (const Case& c : cases) {
        ActorRecord& a = PlaceEnemy(57, 5);
        a.siblingCount = c.siblings;
        StepEnemy();
        EXPECT_FLOAT_EQ(1000.0f - c.step - 16.0f, a.boxX1[0]) << c.siblings;
        EXPECT_FLOAT_EQ(1000.0f - c.step + 16.0f, a.boxX2[0]) << c.siblings;
        EXPECT_FLOAT_EQ(200.0f + 2 * c.step - 16.0f, a.boxY1[0]) << c.siblings;
        EXPECT_FLOAT_EQ(200.0f + 2 * c.step + 16.0f, a.boxY2[0]) << c.siblings;
    }

    // Without boss 6 (a boss 5 is no match) a segment stays where it is.
    boss.subtype = 5;
    ActorRecord& a = PlaceEnemy(57, 5);
    a.siblingCount = 1;
    StepEnemy();
    EXPECT_FLOAT_EQ(600.0f, a.boxX1[0]);
    EXPECT_FLOAT_EQ(300.0f, a.boxY1[0]);
}

// The triangle hazard: an enemy 27 and the two enemies 28 it sends out.
class Hazard : public EnemySequences {
protected:
    void SetUp() override
    {
        EnemySequences::SetUp();
        SetFrame(KIND_ENEMY, 27, 0, 32, 32, 0, 0, 3).hittable = 1;
        SetFrame(KIND_ENEMY, 28, 0, 16, 16, 0, 0, 1).hittable = 1;
        SetFrame(KIND_EFFECT, 0, 0, 12, 8, 12);
        PlacePlayerAt(750.0f, 316.0f);
    }
    // The emitter in slot 20, near the player, sends out its corners.
    ActorRecord& Emit()
    {
        ActorRecord& e = PlaceEnemy(27, 1);
        e.spheres = 2;
        // Own speeds from 0 and 90 degrees, the corners' from 180, 270 and 45, 360.
        ScriptRandom({0, 90, 180, 270, 45, 360});
        StepEnemy();
        return e;
    }
};

TEST_F(Hazard, TheEmitterSendsOutTwoCornersAndSpansTheTriangle)
{
    ActorRecord& e = Emit();
    std::vector<int> corners = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ(2u, corners.size());
    ActorRecord& c1 = actors[corners[0]];
    ActorRecord& c2 = actors[corners[1]];
    EXPECT_EQ(20, c1.linkId);
    EXPECT_EQ(20, c2.linkId);
    EXPECT_FLOAT_EQ(600.0f, c1.boxX1[0]);
    EXPECT_FLOAT_EQ(300.0f, c2.boxY1[0]);
    EXPECT_EQ(1, linkActive[20]);
    EXPECT_EQ(1, linkCounter[20]);
    // Speeds of 26 in directions counted with 3.14 for pi.
    EXPECT_NEAR(-26.0f, e.vx, 1e-4);
    EXPECT_NEAR(25.9999918f, e.vy, 1e-4);
    EXPECT_NEAR(25.999967f, c1.vx, 1e-4);
    EXPECT_NEAR(-25.9999258f, c1.vy, 1e-4);
    EXPECT_NEAR(-18.392095f, c2.vx, 1e-4);
    EXPECT_NEAR(-0.0828178f, c2.vy, 1e-4);

    // Once out, it sends no more.
    StepEnemy();
    EXPECT_EQ(2u, SlotsOf(KIND_ENEMY, 28).size());
    EXPECT_EQ(2, linkCounter[20]);

    // At 5 the three stop; from 11 the triangle follows their centres.
    for (int n = 3; n <= 5; n++)
        StepEnemy();
    EXPECT_FLOAT_EQ(0.0f, e.vx);
    EXPECT_FLOAT_EQ(0.0f, c1.vy);
    EXPECT_FLOAT_EQ(0.0f, c2.vx);
    PlaceActor(corners[0], KIND_ENEMY, 28, 400.5f, 100.5f, 16, 16, 1);
    PlaceActor(corners[1], KIND_ENEMY, 28, 700.0f, 120.0f, 16, 16, 1);
    for (int n = 6; n <= 10; n++)
        StepEnemy();
    EXPECT_EQ(0, hazardVertexX[20][0]);
    StepEnemy();
    EXPECT_EQ(11, linkCounter[20]);
    EXPECT_EQ(616, hazardVertexX[20][0]);
    EXPECT_EQ(316, hazardVertexY[20][0]);
    EXPECT_EQ(408, hazardVertexX[20][1]);
    EXPECT_EQ(108, hazardVertexY[20][1]);
    EXPECT_EQ(708, hazardVertexX[20][2]);
    EXPECT_EQ(128, hazardVertexY[20][2]);
    actors[corners[1]].centerX[0] = 900.9f;
    StepEnemy();
    EXPECT_EQ(900, hazardVertexX[20][2]);
}

TEST_F(Hazard, AFarPlayerWakesNothing)
{
    PlacePlayerAt(816.0f, 316.0f);  // 200 away
    PlaceEnemy(27, 1);
    StepEnemy();
    EXPECT_EQ(0, CountEnemies(28));
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_TRUE(RandomRequests().empty());
}

TEST_F(Hazard, KillingACornerKillsTheOtherTwo)
{
    ActorRecord& e = Emit();
    for (int n = 0; n < 11; n++)
        StepEnemy();
    std::vector<int> corners = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ(2u, corners.size());
    ASSERT_NE(0, hazardVertexX[20][0]);
    actors[corners[1]].hitPoints = 0;
    StepEnemy(corners[1]);
    EXPECT_EQ(3 - 999, e.hitPoints);
    EXPECT_EQ(1 - 999, actors[corners[0]].hitPoints);
    EXPECT_EQ(0, actors[corners[0]].linkId);
    EXPECT_EQ(0, actors[corners[1]].linkId);
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_EQ(0, linkCounter[20]);
    for (int v = 0; v < 3; v++) {
        EXPECT_EQ(0, hazardVertexX[20][v]);
        EXPECT_EQ(0, hazardVertexY[20][v]);
    }
    // Both killed with their drops: 2 of the emitter, 10 of the corner.
    EXPECT_EQ(12u, SlotsOf(KIND_EFFECT, 11).size());

    // The other corner's routine in the same frame finds nothing more to do.
    StepEnemy(corners[0]);
    EXPECT_EQ(12u, SlotsOf(KIND_EFFECT, 11).size());
    EXPECT_EQ(2u, SlotsOf(KIND_ENEMY, 28).size());
    // The dead emitter's last call finds its link cleared with the player
    // near: it sends out a new pair, which its death kills at once with
    // their drops (10 each).
    StepEnemy();
    std::vector<int> all = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ(4u, all.size());
    for (int slot : all) {
        EXPECT_LE(actors[slot].hitPoints, 0) << slot;
        EXPECT_EQ(0, actors[slot].linkId) << slot;
    }
    EXPECT_EQ(32u, SlotsOf(KIND_EFFECT, 11).size());
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_EQ(0, linkCounter[20]);
}

TEST_F(Hazard, KillingTheEmitterKillsItsCorners)
{
    ActorRecord& e = Emit();
    std::vector<int> corners = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ(2u, corners.size());
    e.hitPoints = 0;
    StepEnemy();
    for (int slot : corners) {
        EXPECT_EQ(1 - 999, actors[slot].hitPoints);
        EXPECT_EQ(0, actors[slot].linkId);
    }
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_EQ(20u, SlotsOf(KIND_EFFECT, 11).size());
}

TEST_F(Hazard, AShotOnOneCornerKillsTheTrioInThatFrame)
{
    // A field whose screen stands still.
    areaIndex = 1;
    scrollMin = scrollMax = -1.0f;
    startLine = 1 << 30;
    gateX = -100000;
    lives = 3;
    actors[0].jumpsUsed = 1;
    actors[0].shotPower = 1;
    // The corners in slots 8 and 9 run before the emitter, which then finds
    // them dead.
    PlaceEnemy(27, 30).spheres = 1;
    linkActive[20] = 1;
    linkCounter[20] = 30;
    PlaceActor(8, KIND_ENEMY, 28, 300, 100, 16, 16, 1).linkId = 20;
    PlaceActor(9, KIND_ENEMY, 28, 900, 100, 16, 16, 1).linkId = 20;
    actors[8].spawnIndex = actors[9].spawnIndex = SPAWN_INDEX_NONE;
    actors[8].spheres = actors[9].spheres = 1;
    actors[9].vx = 3.0f;
    PlaceActor(30, KIND_EFFECT, 0, 904, 104, 12, 8, 1);  // a shot in the second corner
    actors[30].vx = 0.0f;
    UpdatePlayScene();
    EXPECT_LE(actors[8].hitPoints, 0);
    EXPECT_LE(actors[9].hitPoints, 0);
    EXPECT_LE(actors[20].hitPoints, 0);
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_EQ(0, hazardVertexX[20][0]);
    UpdatePlayScene();
    EXPECT_EQ(KIND_FREE, actors[8].kind);
    EXPECT_EQ(KIND_FREE, actors[9].kind);
    EXPECT_EQ(KIND_FREE, actors[20].kind);
}

TEST_F(Hazard, NoTriangleWithoutBothCorners)
{
    // Room for one corner only.
    PlaceEnemy(27, 1);
    FillPool();
    actors[300].kind = KIND_FREE;
    ScriptRandom({0, 90, 180, 270});
    StepEnemy();
    std::vector<int> corners = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ(1u, corners.size());
    EXPECT_EQ(300, corners[0]);
    EXPECT_NEAR(25.999967f, actors[300].vx, 1e-4);
    EXPECT_EQ(4u, RandomRequests().size());
    for (int n = 0; n < 20; n++)
        StepEnemy();
    EXPECT_EQ(21, linkCounter[20]);
    EXPECT_EQ(0, hazardVertexX[20][0]);

    // With no room at all nothing is sent, yet the emitter counts on.
    SetUp();
    PlaceEnemy(27, 1);
    FillPool();
    for (int n = 0; n < 20; n++)
        StepEnemy();
    EXPECT_EQ(0, CountEnemies(28));
    EXPECT_EQ(20, linkCounter[20]);
    EXPECT_EQ(0, hazardVertexX[20][0]);
    // Its death still clears the emitter's state.
    actors[20].hitPoints = 0;
    StepEnemy();
    EXPECT_EQ(0, linkActive[20]);
    EXPECT_EQ(0, linkCounter[20]);
}

TEST_F(Hazard, CornersAreTiedByTheirLinkWhateverItHolds)
{
    // Corners placed by the spawn list carry link 0 and go together like an
    // emitter's pair; links that name no slot tie corners all the same.
    struct Case {
        int linkId;
    } cases[] = {{0}, {5}, {-7}, {ACTOR_SLOTS}, {INT_MAX}, {40}};
    for (const Case& c : cases) {
        SetUp();
        // Slot 40 no longer holds an emitter: an effect took it.
        PlaceActor(40, KIND_EFFECT, 3, 100, 100, 8, 8, 1);
        ActorRecord& other = PlaceActor(41, KIND_ENEMY, 28, 100, 100, 16, 16, 1);
        other.linkId = c.linkId;
        other.spheres = 10;
        ActorRecord& third = PlaceActor(43, KIND_ENEMY, 28, 100, 100, 16, 16, 1);
        third.linkId = c.linkId;
        ActorRecord& stranger = PlaceActor(44, KIND_ENEMY, 28, 100, 100, 16, 16, 1);
        stranger.linkId = c.linkId == 0 ? 1 : 0;
        ActorRecord& a = PlaceActor(42, KIND_ENEMY, 28, 100, 100, 16, 16, 0);
        a.linkId = c.linkId;
        StepEnemy(42);
        EXPECT_EQ(0, a.linkId) << c.linkId;
        // The first other corner of the link goes, with its drops; only one.
        EXPECT_EQ(1 - 999, other.hitPoints) << c.linkId;
        EXPECT_EQ(0, other.linkId) << c.linkId;
        EXPECT_EQ(10u, SlotsOf(KIND_EFFECT, 11).size()) << c.linkId;
        EXPECT_EQ(1, third.hitPoints) << c.linkId;
        EXPECT_EQ(1, stranger.hitPoints) << c.linkId;
        // Not the actor that took the slot the link names.
        EXPECT_EQ(1, actors[40].hitPoints) << c.linkId;
        EXPECT_EQ(3, actors[0].hitPoints);
    }
}

TEST_F(Hazard, ACornerOfTheListClearsTheTablesOfItsLink)
{
    // The tables of slot 0 belong to no emitter; a corner of link 0 clears
    // them as any corner clears those of its link, and leaves the others.
    linkActive[0] = linkCounter[0] = 1;
    hazardVertexX[0][1] = 7;
    linkActive[20] = 1;
    linkCounter[20] = 3;
    PlaceActor(41, KIND_ENEMY, 28, 100, 100, 16, 16, 0).linkId = 0;
    StepEnemy(41);
    EXPECT_EQ(0, linkActive[0]);
    EXPECT_EQ(0, linkCounter[0]);
    EXPECT_EQ(0, hazardVertexX[0][1]);
    EXPECT_EQ(1, linkActive[20]);
    EXPECT_EQ(3, linkCounter[20]);
}

TEST_F(Hazard, OtherActorsCarryingTheLinkAreNoCorners)
{
    // Slots keep a freed corner's link; an effect 28 and an item spawned
    // there since are not the emitter's corners.
    PlaceActor(8, KIND_EFFECT, 28, 100, 100, 16, 16, 1).linkId = 20;
    PlaceActor(9, KIND_ITEM, 28, 130, 100, 16, 16, 1).linkId = 20;
    ActorRecord& e = Emit();
    std::vector<int> corners = SlotsOf(KIND_ENEMY, 28);
    ASSERT_EQ((std::vector<int>{10, 11}), corners);
    EXPECT_NEAR(25.999967f, actors[10].vx, 1e-4);
    EXPECT_NEAR(-18.392095f, actors[11].vx, 1e-4);
    for (int slot : {8, 9}) {
        EXPECT_FLOAT_EQ(0.0f, actors[slot].vx) << slot;
        EXPECT_FLOAT_EQ(0.0f, actors[slot].vy) << slot;
    }
    for (int n = 0; n < 10; n++)
        StepEnemy();
    EXPECT_EQ(TruncateToInt(actors[10].centerX[0]), hazardVertexX[20][1]);
    EXPECT_EQ(TruncateToInt(actors[11].centerY[0]), hazardVertexY[20][2]);
    e.hitPoints = 0;
    StepEnemy();
    EXPECT_EQ(1 - 999, actors[10].hitPoints);
    EXPECT_EQ(1 - 999, actors[11].hitPoints);
    EXPECT_EQ(1, actors[8].hitPoints);
    EXPECT_EQ(1, actors[9].hitPoints);
}

TEST_F(Hazard, TheLinkStateOutlivesAnAreaRestart)
{
    Emit();
    ASSERT_EQ(1, linkActive[20]);
    areaIndex = 5;
    StartArea();
    EXPECT_EQ(0, CountEnemies(28));
    EXPECT_EQ(0, hazardVertexX[20][0]);
    EXPECT_EQ(1, linkActive[20]);
    // An emitter in the same slot never sends out its pair.
    PlacePlayerAt(750.0f, 316.0f);
    PlaceEnemy(27, 1);
    StepEnemy();
    EXPECT_EQ(0, CountEnemies(28));
}

TEST_F(EnemySequences, SplitEnemy14sAimInTheFrameTheyAppear)
{
    // Enemy 13 meets a block in the physics pass and splits; the five
    // enemies 14 are aimed in that frame's behaviour pass.
    areaIndex = 1;
    scrollMin = scrollMax = -1.0f;
    startLine = 1 << 30;
    gateX = -100000;
    lives = 3;
    SetFrame(KIND_ENEMY, 13, 0, 32, 32, 0, 0, 3);
    SetFrame(KIND_ENEMY, 14, 0, 0, 0, 4, 0, 1);
    PlacePlayerAt(616.0f, 516.0f).jumpsUsed = 1;  // straight below
    PlaceEnemy(13, 5, 600.0f, 300.0f);
    AddBlock(620.0f, 320.0f, 700.0f, 400.0f);
    // Place, then aim: r1 = r2 = 1 keeps every split on the centre; the
    // turns are 0 degrees.
    ScriptRandom({1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0,
                  20, 20, 20, 20, 20, 20, 20, 20, 20, 20});
    UpdatePlayScene();
    std::vector<int> splits = SlotsOf(KIND_ENEMY, 14);
    ASSERT_EQ(5u, splits.size());
    for (int slot : splits) {
        EXPECT_FLOAT_EQ(616.0f, actors[slot].boxX1[0]);
        // Straight down at the player, no longer at the spawn speed (4, 0).
        EXPECT_NEAR(0.0f, actors[slot].vx, 1e-5);
        EXPECT_NEAR(4.0f, actors[slot].vy, 1e-5);
    }
}
