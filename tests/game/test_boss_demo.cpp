// Every boss arena of the demo data set, played as the game plays it (area
// start, the heroine's control, the play update) with the data's own rows and
// blocks: a heroine firing from the ground and now and then from a jump beats
// each boss and reaches the area clear, the last arena through both forms.
// Argument: the data directory.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/action_input.h"
#include "game/area_start.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"
#include "tests/game/table_files.h"
#include "tests/game/state_hash.h"
#include "tests/support/test_support.h"

// The real layout reader behind the recording stand-in.
void RealReadAreaLayoutCsv(int fileType) __asm__(REAL_SYMBOL("_Z17ReadAreaLayoutCsvi"));

namespace {

const int ACTION_JUMP = 2;
const int ACTION_SHOT = 3;

int FreeSlots()
{
    int n = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_FREE)
            n++;
    return n;
}

// The arena `area` as the area start leaves it, with the data's tables and
// blocks.
void StartArena(int area)
{
    ResetPlayWorld();
    ReadAllTables();
    ASSERT_TRUE(ScreenPrints().empty());
    SetLayoutReader([](int fileType) { RealReadAreaLayoutCsv(fileType); });
    UseSeededRandom(1000 + area);
    areaIndex = area;
    scrollMin = 750.0f;
    lives = 3;
    StartArea();
    ASSERT_GT(blockCount, 0);
}

// The top of the highest solid block under the whole width of the box.
float GroundUnder(const ActorRecord& a)
{
    float top = 100000.0f;
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (b.active && b.solid && b.blockX1 < a.boxX2[0] && a.boxX1[0] < b.blockX2)
            top = std::min(top, b.blockY1);
    }
    return top;
}

// One play frame as the game runs it, with no key pressed and the heroine
// kept unhurt.
void PlayFrame()
{
    actors[0].invulnFlag = 1;
    actors[0].invulnTimer = 0;
    if (!IsPlayerHeld()) {
        UpdatePlayer(0);
        UpdatePlayer(1);
    }
    UpdatePlayScene();
}

class DemoArenas : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_boss_demo <data directory>";
        EnterDataDirectory(TestArg(1));
    }
    void TearDown() override { LeaveDataDirectory(); }
};

} // namespace

// The play state at each arena's clear, recorded once: the builds of both
// architectures must end each fight exactly there.
const uint64_t ClearStateHash[5] = {
    0x2539c37809fce39full, 0x3f264ec1aaf447dcull, 0x4a9c8e95038283e6ull,
    0x24c6e620bf1f2b0bull, 0x87b1f86593a9067bull,
};

TEST_F(DemoArenas, EveryBossFallsToTheHeroinesShots)
{
    const int arenaBoss[5] = {4, 2, 3, 1, 5};
    for (int area = 5; area < 10; area++) {
        SCOPED_TRACE(testing::Message() << "arena " << area);
        ASSERT_NO_FATAL_FAILURE(StartArena(area));
        ASSERT_EQ(KIND_PLAYER, actors[0].kind);
        ASSERT_EQ(KIND_BOSS, actors[8].kind);
        ASSERT_EQ(arenaBoss[area - 5], actors[8].subtype);

        bool secondForm = false;
        int frame = 0;
        for (; frame < 60000 && sceneNo != SCENE_AREA_CLEAR; frame++) {
            ActorRecord& player = actors[0];
            // Kept out of harm's way: the test is of the bosses' reach, not
            // of the heroine's survival.
            player.invulnFlag = 1;
            player.invulnTimer = 0;
            player.facing = 1;
            // Spheres are swept, and everything else but the bosses and
            // their body when the pool fills up, so that the run does not
            // depend on how long shots and enemies live.
            bool crowded = FreeSlots() < 64;
            for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
                ActorRecord& a = actors[i];
                if ((a.kind == KIND_EFFECT && (a.subtype == 11 || crowded)) ||
                    (a.kind == KIND_ENEMY && a.subtype != 57 && crowded))
                    a.hitPoints = 0;
                if (a.kind == KIND_BOSS && a.subtype == 6)
                    secondForm = true;
            }
            actionHold[0][ACTION_SHOT] = frame % 8 == 0 ? 1 : 0;
            actionHold[0][ACTION_JUMP] = frame % 90 == 45 ? 1 : 0;
            if (!IsPlayerHeld()) {
                UpdatePlayer(0);
                UpdatePlayer(1);
            }
            UpdatePlayScene();
            ASSERT_GT(actors[0].hitPoints, 0);
        }
        EXPECT_EQ(SCENE_AREA_CLEAR, sceneNo) << "after " << frame << " frames";
        EXPECT_EQ(area == 9, secondForm);
        EXPECT_EQ(1, CountBgmPlays(6, 1, 1));
        uint64_t state = HashPlayState();
        EXPECT_EQ(ClearStateHash[area - 5], state) << "play state at the clear: 0x" << std::hex << state;
        RecordProperty(("frames" + std::to_string(area)).c_str(), frame);
    }
}

TEST_F(DemoArenas, Boss3DancesOnItsArenaFloor)
{
    ASSERT_NO_FATAL_FAILURE(StartArena(7));
    ActorRecord& boss = actors[8];
    ASSERT_EQ(3, boss.subtype);
    for (int frame = 0; frame < 60; frame++)
        PlayFrame();
    // Standing under gravity, an actor's bottom sinks half a pixel into the
    // ground every other frame before the landing lifts it back.
    ASSERT_NEAR(GroundUnder(boss), boss.boxY2[0], 1.0f) << "the boss has not landed";

    // The dance from its first frame. Each jump down (top 612) must land the
    // boss on the floor, where it stays until the next jump up, and after
    // the dance when gravity returns.
    const struct {
        int from, to;
    } bottomStays[] = {{90, 119}, {150, 164}, {180, 194}, {210, 219},
                       {230, 239}, {250, 259}, {270, 279}, {290, 340}};
    boss.state = 4;
    boss.stateFrames = 0;
    int frame = 0;
    for (const auto& stay : bottomStays) {
        while (frame < stay.from - 1)
            frame++, PlayFrame();
        for (; frame < stay.to; frame++) {
            PlayFrame();
            SCOPED_TRACE(testing::Message() << "frame " << frame + 1 << ", left " << boss.boxX1[0]);
            ASSERT_NEAR(612.0f, boss.boxY1[0], 1.0f);
            ASSERT_NEAR(GroundUnder(boss), boss.boxY2[0], 1.0f);
        }
        EXPECT_EQ(GroundUnder(boss), boss.boxY2[0]) << "end of the stay from " << stay.from;
    }
    EXPECT_EQ(0, boss.state);
    for (int after = 0; after < 20; after++) {
        PlayFrame();
        ASSERT_NEAR(612.0f, boss.boxY1[0], 1.0f) << after;
    }
}
