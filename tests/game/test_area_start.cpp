// Starting an area: the reset, the opening actors, the limits, the layout
// files, the items and the music.
#include <gtest/gtest.h>

#include "game/actor_pool.h"
#include "game/boss_routines.h"
#include "game/area_start.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "tests/game/play_world.h"

namespace {

class AreaStart : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        SetFrame(KIND_EFFECT, 48, 0, 32, 32);
        SetFrame(KIND_EFFECT, 11, 0, 8, 8);
    }
};

} // namespace

TEST_F(AreaStart, FieldStartsAtTheCheckpointsScrollWithTheEntrance)
{
    struct Case {
        int area, checkpoint;
        float scroll, scrollMax, scrollMin;
        int startLine, gateX, gateY, entranceY;
    } cases[] = {
        {0, 0, 767.0f, 24928.0f, 750.0f, 8576, 26080, 192, 320},
        {1, 0, 553.0f, 24990.0f, 552.0f, 9024, 26080, 192, 512},
        {2, 1, 16159.0f, 26912.0f, 750.0f, 9184, 27808, 128, 320},
        {3, 1, 16479.0f, 25728.0f, 750.0f, 8832, 26560, 544, 320},
        {4, 2, 27647.0f, 37824.0f, 750.0f, 10080, 38816, 512, 64},
    };
    for (const Case& c : cases) {
        ResetActorPool();
        areaIndex = c.area;
        checkpoint = c.checkpoint;
        StartArea();
        EXPECT_FLOAT_EQ(c.scroll, scrollX) << c.area;
        EXPECT_FLOAT_EQ(c.scrollMax, scrollMax);
        EXPECT_FLOAT_EQ(c.scrollMin, scrollMin);
        EXPECT_EQ(c.startLine, startLine);
        EXPECT_EQ(c.gateX, gateX);
        EXPECT_EQ(c.gateY, gateY);
        EXPECT_EQ(c.entranceY, AreaEntranceY(c.area));
        // The entrance effect gathers spheres in slot 0; 20 float around it.
        EXPECT_EQ(KIND_EFFECT, actors[0].kind);
        EXPECT_EQ(48, actors[0].subtype);
        EXPECT_FLOAT_EQ(560.0f, actors[0].boxX1[0]);
        EXPECT_FLOAT_EQ((float)c.entranceY, actors[0].boxY1[0]);
        EXPECT_EQ(20u, SlotsOf(KIND_EFFECT, 11).size());
        EXPECT_EQ(1, entranceActive);
    }
}

TEST_F(AreaStart, EntranceSpheresArePlacedYThenX)
{
    areaIndex = 0;
    ScriptRandom({500, 1000});
    StartArea();
    EXPECT_FLOAT_EQ(1100.0f, actors[8].boxX1[0]);
    EXPECT_FLOAT_EQ(550.0f, actors[8].boxY1[0]);
    ASSERT_GE(RandomRequests().size(), 2u);
    EXPECT_EQ(550, RandomRequests()[0]);
    EXPECT_EQ(1080, RandomRequests()[1]);
}

TEST_F(AreaStart, ResetsThePerLifeStateAndTheLists)
{
    areaIndex = 1;
    deathFlag = 1;
    deathTimer = 180;
    bossDefeated = 2;
    bossDefeatTimer = 50;
    finalBossPending = 1;
    playFrame = 999;
    pauseCursor = 2;
    confirmQuit = 1;
    startCurtainDone = 1;
    gateSpawned = 1;  // a restart after the door appeared brings it back
    waveDrift = 90;   // boss 2's wave cut short by a death: only the wave's end resets it
    hazardVertexX[40][0] = 5;
    startLinePassed = 1;
    checkpoint = 1;
    spawnList[10] = {900, 300, 7, 2, 1, 4, 3, 1};
    blockCount = 3;
    blocks[2] = {1.0f, 2.0f, 3.0f, 4.0f, 2.5f, 4, 4, 10, 1, 0, 0, 0, 1};
    blocks[3] = {1.0f, 2.0f, 3.0f, 4.0f, 2.5f, 4, 4, 10, 1, 0, 0, 0, 1};

    StartArea();

    EXPECT_EQ(0, deathFlag);
    EXPECT_EQ(0, deathTimer);
    EXPECT_EQ(0, bossDefeated);
    EXPECT_EQ(0, bossDefeatTimer);
    EXPECT_EQ(0, finalBossPending);
    EXPECT_EQ(0, playFrame);
    EXPECT_EQ(0, pauseCursor);
    EXPECT_EQ(0, confirmQuit);
    EXPECT_EQ(0, startCurtainDone);
    EXPECT_EQ(0, gateSpawned);
    EXPECT_EQ(0, hazardVertexX[40][0]);
    EXPECT_EQ(1, ClearScreenPrintCount());
    // Progress marks stay for the restart.
    EXPECT_EQ(1, startLinePassed);
    EXPECT_EQ(1, checkpoint);
    EXPECT_EQ(90, waveDrift);
    // The spawn list keeps only its drop counts.
    EXPECT_EQ(0, spawnList[10].spawnX);
    EXPECT_EQ(0, spawnList[10].subtype);
    EXPECT_EQ(0, spawnList[10].listState);
    EXPECT_EQ(0, spawnList[10].group);
    EXPECT_EQ(0, spawnList[10].rearm);
    EXPECT_EQ(4, spawnList[10].dropCount);
    // Blocks below the old count are emptied; the rest is left.
    EXPECT_FLOAT_EQ(0.0f, blocks[2].blockX2);
    EXPECT_EQ(0, blocks[2].widthCells);
    EXPECT_EQ(0, blocks[2].active);
    EXPECT_FLOAT_EQ(3.0f, blocks[3].blockX2);
}

TEST_F(AreaStart, ReadsTheLayoutsAndPlacesTheItemsNotYetTaken)
{
    areaIndex = 2;
    SetFrame(KIND_ITEM, 0, 0, 16, 16);
    SetFrame(KIND_ITEM, 3, 0, 16, 16);
    int readsBefore = 0;
    SetLayoutReader([&](int fileType) {
        if (fileType != 2)
            return;
        readsBefore = (int)SlotsOf(KIND_ITEM, 0).size();
        itemList[0] = {1000, 400, 0, 1, 2, 0};
        itemList[1] = {1100, 300, 3, 0, 7, 1};   // taken earlier
        itemList[2] = {1200, 200, 3, 0, 9, 0};   // its key flag is set
        itemList[3] = {1300, 100, 3, 1, 0, 0};
        itemList[5] = {1400, 100, 3, 0, 0, 0};   // after the end of the list
    });
    itemFlags[9] = 1;
    StartArea();

    EXPECT_EQ((std::vector<int>{0, 1, 2}), LayoutReads());
    EXPECT_EQ(0, readsBefore);
    std::vector<int> chests = SlotsOf(KIND_ITEM, 0);
    std::vector<int> others = SlotsOf(KIND_ITEM, 3);
    ASSERT_EQ(1u, chests.size());
    ASSERT_EQ(1u, others.size());
    const ActorRecord& chest = actors[chests[0]];
    EXPECT_FLOAT_EQ(1000.0f - 767.0f, chest.boxX1[0]);
    EXPECT_FLOAT_EQ(400.0f, chest.boxY1[0]);
    EXPECT_EQ(1, chest.facing);
    EXPECT_EQ(0, chest.itemIndex);
    EXPECT_EQ(3, actors[others[0]].itemIndex);
}

TEST_F(AreaStart, MusicFollowsTheStartLine)
{
    areaIndex = 3;
    StartArea();
    EXPECT_EQ(1, CountBgmPlays(13, 3, 1));
    SoundCalls().clear();
    startLinePassed = 1;
    StartArea();
    EXPECT_EQ(1, CountBgmPlays(3, 3, 1));
    EXPECT_EQ(1u, SoundCalls().size());
}

TEST_F(AreaStart, ArenaStartsWithThePlayerAndItsBoss)
{
    const int bossOfArena[] = {4, 2, 3, 1, 5};
    for (int area = 5; area < 10; area++) {
        ResetActorPool();
        SoundCalls().clear();
        SetFrame(KIND_BOSS, bossOfArena[area - 5], 0, 96, 96, 0, 0, 50);
        areaIndex = area;
        scrollMin = 750.0f;
        StartArea();
        EXPECT_FLOAT_EQ(767.0f, scrollX);
        EXPECT_FLOAT_EQ(0.0f, scrollMax);
        EXPECT_FLOAT_EQ(750.0f, scrollMin);  // kept
        EXPECT_EQ(KIND_PLAYER, actors[0].kind);
        EXPECT_FLOAT_EQ(200.0f, actors[0].boxX1[0]);
        EXPECT_FLOAT_EQ(512.0f, actors[0].boxY1[0]);
        EXPECT_EQ(1, actors[0].facing);
        EXPECT_EQ(0, actors[0].spheres);
        EXPECT_EQ(KIND_BOSS, actors[8].kind);
        EXPECT_EQ(bossOfArena[area - 5], actors[8].subtype);
        EXPECT_FLOAT_EQ(1040.0f, actors[8].boxX1[0]);
        EXPECT_FLOAT_EQ(512.0f, actors[8].boxY1[0]);
        EXPECT_EQ(0, entranceActive);
        EXPECT_EQ(1, CountBgmPlays(5, 3, 1));
    }
}

TEST_F(AreaStart, ThroughTheDoorTheBoughtLevelsStay)
{
    areaIndex = 7;
    actors[0].shotRow = 2;
    slotLevel[0] = 1;
    slotLevel[3] = 2;
    carryStats = 1;
    StartArea();
    EXPECT_EQ(1, slotLevel[0]);
    EXPECT_EQ(2, slotLevel[3]);
    EXPECT_EQ(2, actors[0].shotRow);
    EXPECT_EQ(0, actors[0].spheres);

    carryStats = 0;
    StartArea();
    EXPECT_EQ(0, slotLevel[0]);
    EXPECT_EQ(0, slotLevel[3]);
    EXPECT_EQ(0, actors[0].shotRow);
}
