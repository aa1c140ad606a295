// The key pop-up: its rows, its flight to the slot bar and the slot level it
// unlocks on arrival.
#include <gtest/gtest.h>
#include <math.h>

#include "game/asset_loading.h"
#include "game/actor_pool.h"
#include "game/effect_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"

namespace {

const int rowCosts[5] = {40, 60, 80, 100, 70};

class ItemPopup : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        for (int r = 0; r < 5; r++)
            for (int level = 0; level < 8; level++)
                slotEntries[r][0][level].cost = rowCosts[r];
        // The flags of a new game, as the start-up loading sets them.
        SetStartingSlotFlags();
        for (int r = 0; r < 3; r++)
            SetFrame(KIND_SYSTEM_EFFECT, 0, r, 48, 48);
        SetFrame(KIND_SYSTEM_EFFECT, 1, 0, 64, 32);
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        player = &PlaceActor(0, KIND_PLAYER, 0, 600, 400, 24, 48, 3);
        player->spheres = 10;
    }
    ActorRecord* player = nullptr;
};

ActorRecord& PlacePopup(int param, float x, float y, int row, int stateFrames)
{
    ActorRecord& a = PlaceActor(20, KIND_SYSTEM_EFFECT, 0, x, y, 48, 48);
    a.param = param;
    a.animRow = row;
    a.stateFrames = stateFrames;
    return a;
}

void RunPopup(int stateFrames = -1)
{
    if (stateFrames >= 0)
        actors[20].stateFrames = stateFrames;
    loopIndex = 20;
    UpdateItemPopup();
}

int Available(int row, int level)
{
    return slotEntries[row][0][level].available;
}

} // namespace

TEST_F(ItemPopup, ShowsHoldsThenTurnsOnceTowardItsRow)
{
    ActorRecord& a = PlacePopup(4, 200, 300, 0, 90);
    RunPopup();
    EXPECT_EQ(0, a.animRow);
    RunPopup(91);
    EXPECT_EQ(1, a.animRow);
    EXPECT_EQ(0, a.stateFrames);
    RunPopup(48);
    EXPECT_EQ(1, a.animRow);
    RunPopup(49);
    EXPECT_EQ(2, a.animRow);
    EXPECT_EQ(0, a.stateFrames);
    EXPECT_FLOAT_EQ(0.0f, a.vx);   // the switch frame does not turn it yet
    EXPECT_FLOAT_EQ(0.0f, a.vy);

    struct Case {
        int param;
        float targetX;
    } cases[] = {
        {0, 55}, {1, 55}, {2, 125}, {3, 125}, {4, 195}, {5, 195}, {6, 195}, {7, 265}, {8, 265},
        {9, 335},
        {10, 224}, {-1, 224},   // no row of its own: straight down to the bar
    };
    for (const Case& c : cases) {
        ActorRecord& p = PlacePopup(c.param, 200, 300, 2, 1);   // centre (224, 324)
        p.vx = 1.0f;
        p.vy = 0.0f;
        RunPopup();
        double t = atan2(694.0 - 324.0, c.targetX - 224.0);
        EXPECT_NEAR(1.0 - 10.0 * cos(t), p.vx, 1e-4) << c.param;
        EXPECT_NEAR(10.0 * sin(t), p.vy, 1e-4) << c.param;
        float vx = p.vx, vy = p.vy;
        RunPopup(2);
        EXPECT_FLOAT_EQ(vx, p.vx) << c.param;
        EXPECT_FLOAT_EQ(vy, p.vy) << c.param;
        EXPECT_EQ(1, p.hitPoints);
    }
}

TEST_F(ItemPopup, ArrivalUnlocksTheNextLevelOfItsRow)
{
    struct Case {
        int param;
        int presetRow, presetLevels;  // levels 1 .. presetLevels of the row set first
        int row, level;               // the flag expected to change (-1: none)
    } cases[] = {
        {0, 0, 1, 0, 2},     // row 0 has levels 0 and 1: level 2 comes next
        {1, 0, 6, -1, 0},    // row 0 full up to level 6: nothing
        {2, 1, 0, 1, 1},
        {3, 1, 3, 1, 4},
        {5, 2, 2, 2, 3},
        {8, 3, 4, -1, 0},    // rows 1 to 3 stop at level 4
        {9, 4, 0, 4, 0},     // the companion row, outright
        {11, 0, 0, -1, 0},   // no row: nothing
    };
    for (const Case& c : cases) {
        SetUp();
        for (int level = 1; level <= c.presetLevels; level++)
            slotEntries[c.presetRow][0][level].available = 1;
        SlotEntry before[5][8];
        for (int r = 0; r < 5; r++)
            for (int level = 0; level < 8; level++)
                before[r][level] = slotEntries[r][0][level];

        ActorRecord& a = PlacePopup(c.param, 300, 670, 2, 9);   // centre y 694: not yet
        RunPopup();
        ASSERT_EQ(1, a.hitPoints) << c.param;
        a.boxY2[0] = 718.5f;
        a.centerY[0] = 694.5f;
        RunPopup();
        EXPECT_EQ(0, a.hitPoints) << c.param;
        for (int r = 0; r < 5; r++) {
            for (int level = 0; level < 8; level++) {
                bool changed = r == c.row && level == c.level;
                EXPECT_EQ(changed ? 1 : before[r][level].available, Available(r, level))
                    << c.param << ": row " << r << " level " << level;
                int chosen = changed && r == 4 ? 1 : before[r][level].chosen;
                EXPECT_EQ(chosen, slotEntries[r][0][level].chosen) << c.param;
            }
        }
        std::vector<int> marks = SlotsOf(KIND_SYSTEM_EFFECT, 1);
        ASSERT_EQ(1u, marks.size()) << c.param;
        EXPECT_FLOAT_EQ(286.0f, actors[marks[0]].boxX1[0]);
        EXPECT_FLOAT_EQ(654.0f, actors[marks[0]].boxY1[0]);
        EXPECT_EQ(1, CountSePlays(16)) << c.param;
        // The slot bar was brought up to date: its cap now counts row 4 too
        // once the companion row is chosen.
        EXPECT_EQ(c.param == 9 ? 350 : 280, sphereCap) << c.param;
    }
}

TEST_F(ItemPopup, AKeyFromPickUpToTheSlotBar)
{
    // A field whose screen stands still.
    areaIndex = 1;
    scrollMin = scrollMax = -1.0f;
    startLine = 1 << 30;
    gateX = -100000;
    PlaceActor(9, KIND_ITEM, 1, 600, 410, 24, 24).param = 2;
    UpdatePlayScene();
    EXPECT_EQ(1, itemFlags[2]);
    EXPECT_EQ(1, CountSePlays(15));
    std::vector<int> popups = SlotsOf(KIND_SYSTEM_EFFECT, 0);
    ASSERT_EQ(1u, popups.size());
    int slot = popups[0];
    EXPECT_EQ(2, actors[slot].param);

    int frames = 1;
    while (actors[slot].kind == KIND_SYSTEM_EFFECT && frames < 600) {
        UpdatePlayScene();
        frames++;
    }
    // 91 frames shown, 49 held, then the flight down to the bar.
    EXPECT_GT(frames, 141);
    EXPECT_LT(frames, 240);   // it arrives while the key jingle still holds the field
    EXPECT_EQ(1, Available(1, 1));
    EXPECT_EQ(0, Available(1, 2));
    EXPECT_EQ(1, CountSePlays(16));
    ASSERT_EQ(1u, SlotsOf(KIND_SYSTEM_EFFECT, 1).size());
}
