// Every boss arena of the demo data set, played as the game plays it (area
// start, the heroine's control, the play update) with the data's own rows and
// blocks: a heroine firing from the ground and now and then from a jump beats
// each boss and reaches the area clear, the last arena through both forms.
// Argument: the data directory.
#include <gtest/gtest.h>

#include "game/action_input.h"
#include "game/area_start.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"
#include "tests/game/table_files.h"
#include "tests/support/test_support.h"

// The real layout reader behind the recording stand-in.
void RealReadAreaLayoutCsv(int fileType) __asm__("___real__Z17ReadAreaLayoutCsvi");

namespace {

const int ACTION_JUMP = 2;
const int ACTION_SHOT = 3;

void LoadTables()
{
    char path[64];
    ReadBlockAnimeCsv();
    ReadSlotCsv();
    ReadAnimationCsv("img/chara/player/Player0Anime.csv", 1, 0);
    for (int id = 0; id < ANIM_IDS; id++) {
        snprintf(path, sizeof path, "img/chara/enemy/Enemy%02dAnime.csv", id);
        ReadAnimationCsv(path, 2, id);
        snprintf(path, sizeof path, "img/chara/Boss/Boss%02dAnime.csv", id);
        ReadAnimationCsv(path, 3, id);
        snprintf(path, sizeof path, "img/effect/Effect%02dAnime.csv", id);
        ReadAnimationCsv(path, 4, id);
        snprintf(path, sizeof path, "img/systemeffect/systemeffect%02dAnime.csv", id);
        ReadAnimationCsv(path, 6, id);
    }
}

int FreeSlots()
{
    int n = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_FREE)
            n++;
    return n;
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

TEST_F(DemoArenas, EveryBossFallsToTheHeroinesShots)
{
    const int arenaBoss[5] = {4, 2, 3, 1, 5};
    for (int area = 5; area < 10; area++) {
        SCOPED_TRACE(testing::Message() << "arena " << area);
        ResetPlayWorld();
        LoadTables();
        ASSERT_TRUE(ScreenPrints().empty());
        SetLayoutReader([](int fileType) { RealReadAreaLayoutCsv(fileType); });
        UseSeededRandom(1000 + area);
        areaIndex = area;
        scrollMin = 750.0f;
        lives = 3;
        StartArea();
        ASSERT_GT(blockCount, 0);
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
        RecordProperty(("frames" + std::to_string(area)).c_str(), frame);
    }
}
