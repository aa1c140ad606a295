// The heroine's control, her animation row and the slot bar.
#include <gtest/gtest.h>

#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/player_control.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"

namespace {

// Rows 0 to 3 in use with costs 10, 20, 30, 40 at every level; levels 0 and
// 1 of each available.
void SetUpSlotBar()
{
    const int cost[4] = {10, 20, 30, 40};
    for (int r = 0; r < 4; r++) {
        slotEntries[r][0][0].chosen = 1;
        for (int level = 0; level < SLOT_LEVELS; level++)
            slotEntries[r][0][level].cost = cost[r];
        slotEntries[r][0][0].available = 1;
        slotEntries[r][0][1].available = 1;
    }
}

class PlayerControl : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        SetFrame(KIND_EFFECT, 0, 0, 8, 8, 12, 1);
        SetFrame(KIND_EFFECT, 0, 2, 8, 8, 12, 1);
        player = &PlaceActor(0, KIND_PLAYER, 0, 500, 400, 24, 48, 3);
        player->speed = 4;
        player->maxJumps = 1;
        player->jumpPower = 10;
        player->shotCount = 1;
        player->shotPower = 1;
        areaIndex = 1;
        lives = 3;
    }
    ActorRecord* player = nullptr;
};

void Press(int action)
{
    actionHold[0][action] = 1;
}

} // namespace

TEST_F(PlayerControl, WalkingStandingAndConveyors)
{
    struct Case {
        int left, right, state, onConveyor, conveyor, inZone;
        float vx;
        int stateAfter, facing;
    } cases[] = {
        {1, 0, 0, 0, 0, 0, -4.0f, 3, 0},
        {0, 1, 0, 0, 0, 0, 4.0f, 3, 1},
        {3, 5, 8, 0, 0, 0, -4.0f, 8, 0},     // left wins; airborne stays airborne
        {1, 0, 0, 1, 3, 1, -11.0f, 3, 0},    // -2 - 6 - 3
        {0, 1, 0, 1, 3, 1, -1.0f, 3, 1},     // 3 + 2 - 6
        {0, 1, 0, 0, 0, 1, -2.0f, 3, 1},     // 4 - 6
        {1, 0, 21, 0, 0, 0, 7.0f, 21, 1},    // hurt: nothing
        {0, 0, 3, 0, 0, 1, -6.0f, 0, 1},     // released: stands, pushed by the zone
        {0, 0, 8, 0, 0, 0, 0.0f, 8, 1},
        {0, 0, 12, 0, 0, 0, 7.0f, 12, 1},    // shooting keeps its slide
    };
    for (const Case& c : cases) {
        holdLeft = c.left;
        holdRight = c.right;
        player->state = c.state;
        player->onConveyor = c.onConveyor;
        player->conveyorSpeed = c.conveyor;
        player->inZone = c.inZone;
        player->vx = 7.0f;
        player->facing = 1;
        UpdatePlayer(0);
        EXPECT_FLOAT_EQ(c.vx, player->vx) << c.left << c.right << " state " << c.state;
        EXPECT_EQ(c.stateAfter, player->state);
        EXPECT_EQ(c.facing, player->facing);
    }
}

TEST_F(PlayerControl, AFrozenPlayerIgnoresEverything)
{
    holdLeft = 1;
    Press(2);
    player->freezeTimer = 1;
    player->jumpsUsed = 0;
    UpdatePlayer(0);
    EXPECT_FLOAT_EQ(0.0f, player->vx);
    EXPECT_EQ(0, player->jumpsUsed);
}

TEST_F(PlayerControl, JumpsUpToMaxJumpsBeforeLanding)
{
    player->maxJumps = 2;
    player->jumpsUsed = 0;
    for (int n = 0; n < 3; n++) {
        player->vy = 3.0f;
        Press(2);
        UpdatePlayer(0);
        EXPECT_FLOAT_EQ(n < 2 ? -10.0f : 3.0f, player->vy) << n;
    }
    EXPECT_EQ(2, player->jumpsUsed);
    EXPECT_EQ(2, CountSePlays(0));

    // Holding the button is not a press; a hurt player cannot jump.
    player->jumpsUsed = 0;
    actionHold[0][2] = 2;
    UpdatePlayer(0);
    EXPECT_EQ(0, player->jumpsUsed);
    player->state = 21;
    Press(2);
    UpdatePlayer(0);
    EXPECT_EQ(0, player->jumpsUsed);
}

TEST_F(PlayerControl, AVolleyFansOutFromTheCentre)
{
    player->shotCount = 3;
    player->shotRow = 2;
    player->facing = 1;
    player->state = 0;
    Press(3);
    UpdatePlayer(0);
    std::vector<int> shots = SlotsOf(KIND_EFFECT, 0);
    ASSERT_EQ(3u, shots.size());
    const float vy[] = {1.0f, -2.0f, 2.0f};
    for (int n = 0; n < 3; n++) {
        const ActorRecord& s = actors[shots[n]];
        EXPECT_FLOAT_EQ(512.0f - 4.0f, s.boxX1[0]);  // centre - 8 + 2 x 2
        EXPECT_FLOAT_EQ(424.0f - 8.0f, s.boxY1[0]);
        EXPECT_EQ(2, s.animRow);
        EXPECT_EQ(1, s.facing);
        EXPECT_FLOAT_EQ(vy[n], s.vy);
    }
    EXPECT_EQ(12, player->state);
    EXPECT_EQ(1, CountSePlays(1));
    EXPECT_TRUE(RandomRequests().empty());
}

TEST_F(PlayerControl, ShootingChangesTheState)
{
    SetFrame(KIND_EFFECT, 52, 0, 24, 48);
    player->state = 8;
    Press(3);
    UpdatePlayer(0);
    EXPECT_EQ(19, player->state);

    // Walking: the front flash goes into slot 1 whatever is there.
    PlaceActor(1, KIND_EFFECT, 14, 0, 0, 4, 4);
    player->state = 3;
    player->facing = 0;
    holdLeft = 1;
    Press(3);
    UpdatePlayer(0);
    EXPECT_EQ(3, player->state);
    EXPECT_EQ(52, actors[1].subtype);
    EXPECT_FLOAT_EQ(player->boxX1[0], actors[1].boxX1[0]);

    actors[1].kind = KIND_FREE;
    player->state = 21;
    Press(3);
    int before = CountSePlays(1);
    UpdatePlayer(0);
    EXPECT_EQ(before, CountSePlays(1));
}

TEST_F(PlayerControl, TheLastStandFiresHomingShotsByChance)
{
    SetFrame(KIND_EFFECT, 49, 0, 16, 16, 5, -3);
    areaIndex = 8;
    lives = 0;
    player->hitPoints = 1;
    player->facing = 1;
    ScriptRandom({1});
    Press(3);
    UpdatePlayer(0);
    std::vector<int> homing = SlotsOf(KIND_EFFECT, 49);
    ASSERT_EQ(5u, homing.size());
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 0).empty());
    EXPECT_FLOAT_EQ(500.0f - 16.0f, actors[homing[0]].boxX1[0]);
    EXPECT_FLOAT_EQ(-5.0f, actors[homing[0]].vx);
    EXPECT_FLOAT_EQ(-3.0f, actors[homing[0]].vy);
    EXPECT_EQ(std::vector<int>{512}, RandomRequests());

    // Any other draw fires the volley.
    ScriptRandom({0});
    Press(3);
    UpdatePlayer(0);
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 0).size());
}

TEST_F(PlayerControl, PauseStopsTheMusic)
{
    Press(8);
    UpdatePlayer(0);
    EXPECT_EQ(1, paused);
    EXPECT_EQ(1, CountSePlays(14));
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(1, CountStops(BgmHandleOf(i)));
}

TEST_F(PlayerControl, PlayerTwoOnlyStopsSlotOne)
{
    // Player 1's counters are never filled: slot 1 gets the no-direction rule.
    holdLeft = 1;
    actionHold[1][8] = 1;
    ActorRecord& other = PlaceActor(1, KIND_EFFECT, 52, 0, 0, 4, 4);
    other.state = 3;
    other.vx = 5.0f;
    other.inZone = 1;
    UpdatePlayer(1);
    EXPECT_FLOAT_EQ(-6.0f, other.vx);
    EXPECT_EQ(0, other.state);
    EXPECT_EQ(0, paused);
}

TEST_F(PlayerControl, AnimationRowFollowsTheState)
{
    struct Case {
        int state, row;
    } cases[] = {{0, 0}, {3, 5}, {8, 2}, {12, 1}, {19, 3}, {21, 8}, {4, 6}};
    for (const Case& c : cases) {
        player->prevState = 99;
        player->state = c.state;
        player->animRow = 6;
        player->stateFrames = 30;
        player->animTick = 2;
        player->animFrame = 3;
        player->jumpsUsed = 0;
        SelectPlayerAnimRow();
        EXPECT_EQ(c.row, player->animRow) << c.state;
        EXPECT_EQ(0, player->stateFrames);
        EXPECT_EQ(0, player->animTick);
        EXPECT_EQ(0, player->animFrame);
        EXPECT_EQ(c.state, player->prevState);
    }
}

TEST_F(PlayerControl, TimedStatesEndAndTheAirborneStateReturns)
{
    player->state = player->prevState = 12;
    player->stateFrames = 6;
    SelectPlayerAnimRow();
    EXPECT_EQ(12, player->state);
    player->stateFrames = 7;
    SelectPlayerAnimRow();
    EXPECT_EQ(0, player->state);

    player->state = player->prevState = 19;
    player->stateFrames = 11;
    player->jumpsUsed = 1;
    SelectPlayerAnimRow();
    EXPECT_EQ(8, player->state);

    // In the air the state turns airborne unless action 7 is held.
    player->state = player->prevState = 3;
    player->jumpsUsed = 1;
    actionHold[0][7] = 4;
    SelectPlayerAnimRow();
    EXPECT_EQ(3, player->state);
    actionHold[0][7] = 0;
    SelectPlayerAnimRow();
    EXPECT_EQ(8, player->state);

    player->state = player->prevState = 21;
    SelectPlayerAnimRow();
    EXPECT_EQ(21, player->state);
}

TEST_F(PlayerControl, SlotBarBandsBySphereCount)
{
    SetUpSlotBar();
    slotEntries[2][0][0].available = 0;
    struct Case {
        int spheres, row, cost, available;
    } cases[] = {
        {1, -1, 0, 0},
        {9, -1, 0, 0},
        {10, 0, 10, 1},
        {29, 0, 10, 1},
        {30, 1, 30, 1},
        {60, 2, 60, 0},    // row 2's level is not available
        {99, 2, 60, 0},
        // Exactly the cap selects the last row, judged by that row's own
        // level, so it can be bought.
        {100, 3, 100, 1},
        {0, -1, 0, 0},
    };
    UpdateSlotLevel();  // the cap of the previous call is what step 3 reads
    EXPECT_EQ(100, sphereCap);
    for (const Case& c : cases) {
        player->spheres = c.spheres;
        slotAvailable = 0;
        UpdateSlotLevel();
        EXPECT_EQ(c.row, activeSlotRow) << c.spheres;
        if (c.row >= 0) {
            EXPECT_EQ(c.cost, activeSlotCost) << c.spheres;
            EXPECT_EQ(c.available, slotAvailable) << c.spheres;
        }
    }
}

TEST_F(PlayerControl, ReachingABandPlaysTheArrivalSoundTwice)
{
    SetUpSlotBar();
    prevActiveSlotRow = -1;
    player->spheres = 12;
    UpdateSlotLevel();
    EXPECT_EQ(2, CountSePlays(5));
    player->spheres = 35;
    UpdateSlotLevel();
    EXPECT_EQ(4, CountSePlays(5));
    player->spheres = 15;  // falling back plays nothing
    UpdateSlotLevel();
    EXPECT_EQ(4, CountSePlays(5));
}

TEST_F(PlayerControl, NoSpheresMarksThePlayer)
{
    SetUpSlotBar();
    SetFrame(KIND_SYSTEM_EFFECT, 2, 0, 16, 16);
    player->spheres = 0;
    UpdateSlotLevel();
    std::vector<int> marks = SlotsOf(KIND_SYSTEM_EFFECT, 2);
    ASSERT_EQ(1u, marks.size());
    EXPECT_FLOAT_EQ(460.0f, actors[marks[0]].boxX1[0]);
    EXPECT_FLOAT_EQ(370.0f, actors[marks[0]].boxY1[0]);
}

TEST_F(PlayerControl, InstallingBuysTheSelectedRow)
{
    struct Case {
        int spheres, row;
    } cases[] = {{10, 0}, {30, 1}, {60, 2}, {100, 3}, {170, 4}};
    for (const Case& c : cases) {
        SetUp();
        SetUpSlotBar();
        // Row 4, the companion, in use as an item pop-up leaves it.
        slotEntries[4][0][0].chosen = 1;
        slotEntries[4][0][0].cost = 70;
        slotEntries[4][0][0].available = 1;
        SetFrame(KIND_EFFECT, 14, 0, 32, 32);
        player->spheres = c.spheres;
        UpdateSlotLevel();
        UpdateSlotLevel();
        ASSERT_EQ(c.row, activeSlotRow) << c.spheres;
        Press(1);
        UpdatePlayer(0);
        EXPECT_EQ(0, player->spheres) << c.row;
        EXPECT_EQ(1, slotLevel[c.row]);
        EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 53).size());
        EXPECT_EQ(1, CountSePlays(6));
        EXPECT_EQ(-1, activeSlotRow);  // nothing left to buy
        EXPECT_EQ(c.row == 0 ? 5 : 4, player->speed);
        EXPECT_EQ(c.row == 1 ? 2 : 1, player->maxJumps);
        EXPECT_EQ(c.row == 2 ? 2 : 1, player->shotCount);
        EXPECT_EQ(c.row == 3 ? 1 : 0, player->shotRow);
        EXPECT_EQ(c.row == 3 ? 2 : 1, player->shotPower);
        std::vector<int> companions = SlotsOf(KIND_EFFECT, 14);
        EXPECT_EQ(c.row == 4 ? 1u : 0u, companions.size());
        if (!companions.empty()) {
            EXPECT_FLOAT_EQ(512.0f - 16.0f, actors[companions[0]].boxX1[0]);
            EXPECT_FLOAT_EQ(424.0f - 16.0f, actors[companions[0]].boxY1[0]);
        }
    }
}

TEST_F(PlayerControl, NothingIsBoughtWhenTheLevelIsNotAvailable)
{
    SetUpSlotBar();
    slotEntries[0][0][0].available = 0;
    player->spheres = 15;
    UpdateSlotLevel();
    ASSERT_EQ(0, activeSlotRow);
    Press(1);
    UpdatePlayer(0);
    EXPECT_EQ(15, player->spheres);
    EXPECT_EQ(0, slotLevel[0]);
    EXPECT_EQ(0, CountSePlays(6));
}
