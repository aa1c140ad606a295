// Block collision, movement, scrolling and the start line.
#include <gtest/gtest.h>

#include "game/actor_pool.h"
#include "game/collision.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"

namespace {

class Collision : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        SetFrame(KIND_PLAYER, 0, 2, 24, 40, 4);
        SetFrame(KIND_ENEMY, 7, 0, 24, 48, 3).solid = 1;
        SetFrame(KIND_ENEMY, 29, 0, 24, 48).solid = 1;
        SetFrame(KIND_ENEMY, 30, 0, 24, 48).solid = 1;
        SetFrame(KIND_EFFECT, 22, 0, 24, 48);
        // The screen stands still unless a test sets limits.
        scrollX = 1000.0f;
        scrollMin = scrollMax = 0.0f;
        startLine = 1 << 30;
    }
};

// Runs one probe of the actor in `slot`.
void Probe(int slot, float px, float py, float& sx, float& sy)
{
    innerLoopIndex = slot;
    CollideActorWithBlocks(px, py, sx, sy);
}

} // namespace

TEST_F(Collision, LandingByKind)
{
    struct Case {
        int kind, subtype, jumpsUsed, state;
        float syAfter;
        int jumpsAfter, stateAfter, stateFramesAfter;
    } cases[] = {
        {KIND_PLAYER, 0, 2, 8, 0.0f, 0, 0, 5},
        {KIND_PLAYER, 0, 0, 21, 0.0f, 0, 0, 5},    // a hurt player recovers on landing
        {KIND_PLAYER, 0, 0, 12, 0.0f, 0, 12, 5},
        {KIND_ENEMY, 7, 1, 4, 0.0f, 0, 0, 5},
        {KIND_ENEMY, 29, 1, 4, -6.0f, 1, 4, 5},    // bounces
        {KIND_ENEMY, 30, 1, 4, 0.0f, 0, 4, -1},    // its hop restarts
        {KIND_BOSS, 1, 1, 4, 0.0f, 0, 4, 5},
        {KIND_ITEM, 1, 1, 4, 0.0f, 0, 4, 5},
        {KIND_EFFECT, 22, 1, 4, -6.0f, 1, 4, 5},   // bounces
        {KIND_EFFECT, 5, 1, 4, 0.0f, 0, 0, 5},
    };
    for (const Case& c : cases) {
        ResetPlayWorld();
        AddBlock(90, 150, 200, 200, 10);
        ActorRecord& a = PlaceActor(8, c.kind, c.subtype, 100, 100, 24, 50);
        a.jumpsUsed = c.jumpsUsed;
        a.state = c.state;
        a.stateFrames = 5;
        float sx = 0.0f, sy = 6.0f;
        Probe(8, 101.0f, 149.0f, sx, sy);
        EXPECT_FLOAT_EQ(100.0f, a.boxY1[0]) << c.kind << "/" << c.subtype;  // height kept
        EXPECT_FLOAT_EQ(150.0f, a.boxY2[0]);
        EXPECT_FLOAT_EQ(c.syAfter, sy) << c.kind << "/" << c.subtype;
        EXPECT_EQ(c.jumpsAfter, a.jumpsUsed) << c.kind << "/" << c.subtype;
        EXPECT_EQ(c.stateAfter, a.state) << c.kind << "/" << c.subtype;
        EXPECT_EQ(c.stateFramesAfter, a.stateFrames) << c.kind << "/" << c.subtype;
        EXPECT_EQ(1, a.onConveyor);
        EXPECT_FLOAT_EQ(0.0f, sx);
    }
}

TEST_F(Collision, CeilingSetsTheFrameHeightPlusOne)
{
    AddBlock(90, 40, 200, 97);
    ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 100, 100, 24, 48);
    p.animRow = 2;
    float sx = 0.0f, sy = -5.0f;
    Probe(0, 101.0f, 101.0f, sx, sy);
    EXPECT_FLOAT_EQ(98.0f, p.boxY1[0]);
    EXPECT_FLOAT_EQ(98.0f + 40.0f + 1.0f, p.boxY2[0]);
    EXPECT_FLOAT_EQ(0.0f, sy);

    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 29, 100, 100, 24, 48);
    sy = -5.0f;
    Probe(8, 101.0f, 101.0f, sx, sy);
    EXPECT_FLOAT_EQ(98.0f, e.boxY1[0]);
    EXPECT_FLOAT_EQ(5.0f, sy);
}

TEST_F(Collision, ProbeBoundsAreInclusiveAndTheFirstBlockWins)
{
    AddBlock(0, 150, 200, 200);
    AddBlock(0, 140, 200, 200);  // holds the point too, but comes later
    ActorRecord& a = PlaceActor(8, KIND_ITEM, 0, 100, 100, 24, 50);
    float sx = 0.0f, sy = 1.0f;
    Probe(8, 101.0f, 149.0f, sx, sy);  // 149 + 1 lies exactly on the top edge
    EXPECT_FLOAT_EQ(150.0f, a.boxY2[0]);
    EXPECT_FLOAT_EQ(0.0f, sy);

    blocks[0].solid = 0;  // not solid: the next block responds
    sy = 1.0f;
    Probe(8, 101.0f, 139.5f, sx, sy);
    EXPECT_FLOAT_EQ(140.0f, a.boxY2[0]);

    // A box resting exactly on a block does not touch it.
    blocks[0].solid = 1;
    blockCount = 1;
    PlaceActor(9, KIND_ITEM, 0, 100, 100, 24, 50);
    actors[9].vy = 0.0f;
    UpdateActorPhysics();
    EXPECT_FLOAT_EQ(150.0f, actors[9].boxY2[0]);
    EXPECT_FLOAT_EQ(0.0f, actors[9].vy);
}

TEST_F(Collision, PlayerIsPushedOutOfWalls)
{
    AddBlock(125, 0, 200, 300);
    AddBlock(0, 0, 80, 300);
    ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 101, 100, 24, 48);
    float sx = 3.0f, sy = 0.0f;
    Probe(0, 124.0f, 101.0f, sx, sy);
    EXPECT_FLOAT_EQ(100.0f, p.boxX1[0]);   // 25 left of the block
    EXPECT_FLOAT_EQ(124.0f, p.boxX2[0]);
    EXPECT_FLOAT_EQ(0.0f, sx);

    PlaceActor(0, KIND_PLAYER, 0, 82, 100, 24, 48);
    sx = -3.0f;
    Probe(0, 83.0f, 101.0f, sx, sy);
    EXPECT_FLOAT_EQ(81.0f, p.boxX1[0]);    // 1 right of the block
    EXPECT_FLOAT_EQ(105.0f, p.boxX2[0]);
    EXPECT_FLOAT_EQ(0.0f, sx);
    EXPECT_EQ(0, p.wallTurn);
}

TEST_F(Collision, WalkersTurnBackAtWalls)
{
    AddBlock(0, 0, 98, 300);
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 24, 48);
    e.vx = 3.0f;  // walking left
    UpdateActorPhysics();
    EXPECT_EQ(1, e.facing);
    EXPECT_EQ(3, e.wallTurn);
    EXPECT_FLOAT_EQ(102.0f, e.boxX1[0]);  // the gap, away from the wall
    EXPECT_FLOAT_EQ(-3.0f, e.vx);
    e.wallTurn = 0;  // the play update clears it each frame
    UpdateActorPhysics();
    EXPECT_FLOAT_EQ(105.0f, e.boxX1[0]);
    EXPECT_FLOAT_EQ(-3.0f, e.vx);

    // Walking right into a wall on its right.
    SetUp();
    AddBlock(126, 0, 300, 300);
    ActorRecord& f = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 24, 48);
    f.vx = -3.0f;
    f.facing = 1;
    UpdateActorPhysics();
    EXPECT_EQ(0, f.facing);
    EXPECT_EQ(-3, f.wallTurn);
    EXPECT_FLOAT_EQ(98.0f, f.boxX1[0]);
    EXPECT_FLOAT_EQ(3.0f, f.vx);
}

TEST_F(Collision, SlowWalkersFlipWithoutTurning)
{
    // Below 1 pixel a frame the wall must reach into the box to be met.
    AddBlock(123.25f, 0, 300, 300);
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 24, 48);
    e.vx = -0.5f;  // walking right
    e.facing = 1;
    UpdateActorPhysics();
    EXPECT_EQ(0, e.facing);
    EXPECT_EQ(0, e.wallTurn);
    EXPECT_FLOAT_EQ(123.25f, e.boxX2[0]);  // moved out of the wall
    EXPECT_FLOAT_EQ(0.75f, e.vx);          // and on at that speed
}

TEST_F(Collision, ConveyorsCarryThePlayerByTheirAngle)
{
    struct Case {
        int angle, speed;
    } cases[] = {{0, 3}, {179, 3}, {180, -3}, {359, -3}, {540, -3}, {-180, 3}};
    for (const Case& c : cases) {
        ResetPlayWorld();
        BlockRecord& b = AddBlock(0, 150, 300, 200, 10);
        b.beltSpeed = 3.7f;
        b.beltAngle = c.angle;
        ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 100, 100, 24, 50);
        float sx = 0.0f, sy = 2.0f;
        Probe(0, 101.0f, 149.0f, sx, sy);
        EXPECT_EQ(c.speed, p.conveyorSpeed) << c.angle;
        EXPECT_EQ(1, p.onConveyor);
    }
}

TEST_F(Collision, AJumpClearsTheConveyor)
{
    ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 100, 100, 24, 48);
    p.conveyorSpeed = 3;
    p.jumpsUsed = 1;
    UpdateActorPhysics();
    EXPECT_EQ(0, p.conveyorSpeed);
}

TEST_F(Collision, TheFieldScrollsInsteadOfThePlayer)
{
    scrollX = 1000.0f;
    scrollMin = 750.0f;
    scrollMax = 24928.0f;
    BlockRecord& moving = AddBlock(500, 600, 532, 632);
    BlockRecord& empty = AddBlock(0, 0, 0, 0);
    empty.widthCells = 0;
    ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 100, 100, 24, 48);
    p.vx = 4.0f;
    p.conveyorSpeed = 2;
    ActorRecord& enemy = PlaceActor(8, KIND_ENEMY, 8, 500, 100, 20, 20);
    enemy.vx = 1.0f;
    ActorRecord& popup = PlaceActor(9, KIND_SYSTEM_EFFECT, 0, 300, 100, 20, 20);
    popup.vx = 1.0f;
    ActorRecord& frozen = PlaceActor(10, KIND_ENEMY, 8, 700, 100, 20, 20);
    frozen.vx = 1.0f;
    frozen.freezeTimer = 1;

    UpdateActorPhysics();
    EXPECT_FLOAT_EQ(100.0f, p.boxX1[0]);
    EXPECT_FLOAT_EQ(500.0f - 1.0f - 6.0f, enemy.boxX1[0]);
    EXPECT_FLOAT_EQ(510.0f - 7.0f, enemy.centerX[0]);
    EXPECT_FLOAT_EQ(299.0f, popup.boxX1[0]);   // kind 6 moves only by itself
    EXPECT_FLOAT_EQ(700.0f, frozen.boxX1[0]);
    EXPECT_FLOAT_EQ(494.0f, moving.blockX1);
    EXPECT_FLOAT_EQ(526.0f, moving.blockX2);
    EXPECT_FLOAT_EQ(0.0f, empty.blockX1);
    EXPECT_FLOAT_EQ(1006.0f, scrollX);

    // Past the end of the field the screen stands and the player moves.
    scrollX = 24926.0f;
    p.conveyorSpeed = 0;
    UpdateActorPhysics();
    EXPECT_FLOAT_EQ(104.0f, p.boxX1[0]);
    EXPECT_FLOAT_EQ(492.0f, enemy.boxX1[0]);
    EXPECT_FLOAT_EQ(494.0f, moving.blockX1);
    EXPECT_FLOAT_EQ(24930.0f, scrollX);

    // A frozen player neither moves nor scrolls.
    p.freezeTimer = 1;
    UpdateActorPhysics();
    EXPECT_FLOAT_EQ(104.0f, p.boxX1[0]);
    EXPECT_FLOAT_EQ(24930.0f, scrollX);
}

TEST_F(Collision, CrossingTheStartLine)
{
    SetFrame(KIND_EFFECT, 50, 0, 16, 720);
    areaIndex = 2;
    startLine = 9184;
    scrollX = 9000.0f;
    PlaceActor(0, KIND_PLAYER, 0, 184, 100, 24, 48);
    UpdateActorPhysics();
    EXPECT_EQ(0, startLinePassed);  // 184 + 9000 is not beyond the line

    actors[0].boxX1[0] = 184.5f;
    UpdateActorPhysics();
    EXPECT_EQ(1, startLinePassed);
    std::vector<int> markers = SlotsOf(KIND_EFFECT, 50);
    ASSERT_EQ(1u, markers.size());
    EXPECT_FLOAT_EQ(1280.0f, actors[markers[0]].boxX1[0]);
    EXPECT_EQ(markers[0], startEffectSlot);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(1, CountStops(BgmHandleOf(i)));
    EXPECT_EQ(1, CountBgmPlays(2, 3, 1));

    // Once only.
    UpdateActorPhysics();
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 50).size());
}

TEST_F(Collision, RestingActorsSinkHalfAPixelAndAreSetBack)
{
    areaIndex = 5;  // an arena: no entrance, no scrolling
    AddBlock(0, 150, 300, 200);
    ActorRecord& item = PlaceActor(8, KIND_ITEM, 1, 100, 100, 24, 50);
    item.gravityFactor = 1.0f;
    UpdatePlayScene();
    EXPECT_FLOAT_EQ(150.0f, item.boxY2[0]);
    EXPECT_FLOAT_EQ(0.5f, item.vy);
    UpdatePlayScene();
    EXPECT_FLOAT_EQ(150.5f, item.boxY2[0]);
    EXPECT_FLOAT_EQ(1.0f, item.vy);
    UpdatePlayScene();
    EXPECT_FLOAT_EQ(150.0f, item.boxY2[0]);
    EXPECT_FLOAT_EQ(0.5f, item.vy);
}
