// The effect rows of the demo data set, read back through the table readers:
// every effect the rules spawn is there with the values its routine relies
// on. Argument: the data directory.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "game/actor_pool.h"
#include "game/data_tables.h"
#include "tests/game/play_world.h"
#include "tests/game/table_files.h"
#include "tests/support/test_support.h"

namespace {

// "read error" lines printed since the fixture started.
int ReadErrors()
{
    int n = 0;
    for (const std::string& text : ScreenPrints())
        n += text == "read error\n";
    return n;
}

class EffectData : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_effect_data <data directory>";
        EnterDataDirectory(TestArg(1));
        memset(animFrames, 0, sizeof animFrames);
        ScreenPrints().clear();
        char path[64];
        for (int id = 0; id < ANIM_IDS; id++) {
            snprintf(path, sizeof path, "img/effect/Effect%02dAnime.csv", id);
            ReadAnimationCsv(path, KIND_EFFECT, id);
            snprintf(path, sizeof path, "img/systemeffect/systemeffect%02dAnime.csv", id);
            ReadAnimationCsv(path, KIND_SYSTEM_EFFECT, id);
        }
        EXPECT_EQ(0, ReadErrors());
    }
    void TearDown() override { LeaveDataDirectory(); }
};

const AnimFrameRecord& First(int kind, int id, int row)
{
    return animFrames[kind][id][row][0];
}

} // namespace

TEST_F(EffectData, EverySpawnedEffectHasItsRows)
{
    struct Need {
        int id, rows;
        int hurts;   // 1 hurts the player, 0 does not, -1 either
    } needs[] = {
        // The player's own, the spheres, the door and the markers.
        {0, 6, 0}, {11, 2, 0}, {12, 1, 0}, {14, 1, 0}, {48, 1, 0}, {49, 1, 0}, {50, 1, 0},
        {52, 1, 0}, {53, 1, 0},
        // What the enemies fire.
        {1, 1, 1}, {10, 1, 1}, {13, 1, 1}, {16, 1, 1}, {17, 1, 1}, {19, 3, 1}, {21, 1, 1},
        {22, 1, 1}, {28, 3, 1}, {29, 1, 1}, {30, 2, 1}, {34, 1, 1}, {36, 1, 1}, {37, 1, 1},
        {38, 1, 1}, {44, 1, 1}, {45, 1, 1},
        // Pushes, pulls and freezes: their contact rule is the whole effect.
        {20, 1, 0}, {27, 1, 0}, {32, 1, 0}, {35, 1, 0},
        // What the bosses fire.
        {18, 1, 1}, {23, 2, 1}, {24, 2, 1}, {25, 1, 1}, {26, 1, 1}, {31, 1, 1}, {33, 3, 1},
        {39, 5, 1}, {40, 1, 1}, {41, 1, 1}, {42, 1, -1}, {43, 1, 1}, {46, 2, 1}, {47, 2, 1},
    };
    for (const Need& n : needs) {
        for (int row = 0; row < n.rows; row++) {
            SCOPED_TRACE(testing::Message() << "effect " << n.id << " row " << row);
            const AnimFrameRecord& f = First(KIND_EFFECT, n.id, row);
            ASSERT_GE(f.rowFrames, 1);
            for (int frame = 0; frame < f.rowFrames; frame++) {
                const AnimFrameRecord& g = animFrames[KIND_EFFECT][n.id][row][frame];
                EXPECT_GT(g.ticks, 0);
                if (n.hurts >= 0) {
                    EXPECT_EQ(n.hurts, g.hurtsPlayer);
                }
            }
            EXPECT_GT(f.width, 0);
            EXPECT_GT(f.height, 0);
        }
    }
}

TEST_F(EffectData, ValuesTheRoutinesReadFromTheRows)
{
    EXPECT_GT(First(KIND_EFFECT, 1, 0).moveX, 0);     // the ring's speed
    EXPECT_GT(First(KIND_EFFECT, 22, 0).moveX, 0);    // the bounce's speed
    EXPECT_GT(First(KIND_EFFECT, 29, 0).moveY, 0);    // the arc's climb
    EXPECT_GT(First(KIND_EFFECT, 47, 1).moveX, 0);    // the roll
    // Fragments of effect 25 take their random course only from gravity 1.0.
    EXPECT_EQ(1.0f, First(KIND_EFFECT, 24, 1).gravityFactor);
    // Sparks rise only against a gravity they are given.
    EXPECT_GT(First(KIND_EFFECT, 37, 0).gravityFactor, 0.9f);
    // The column of effect 35 reaches down to the top of the enemy below it
    // (spawned 384 above that top) without covering the enemy.
    EXPECT_EQ(384, First(KIND_EFFECT, 35, 0).height);
    // The companion is the 32 x 32 square its routine keeps on the player.
    EXPECT_EQ(32, First(KIND_EFFECT, 14, 0).width);
    EXPECT_EQ(32, First(KIND_EFFECT, 14, 0).height);
}

TEST_F(EffectData, RowsThatFollowOneAnotherHaveAsManyFrames)
{
    // The drawing wraps a frame number only when it reaches the row's count,
    // so a switch into a row with fewer frames must not happen.
    struct Switch {
        int kind, id, from, to;
    } switches[] = {
        {KIND_EFFECT, 30, 0, 1},
        {KIND_EFFECT, 47, 0, 1},
        {KIND_SYSTEM_EFFECT, 0, 0, 1},
        {KIND_SYSTEM_EFFECT, 0, 1, 2},
    };
    for (const Switch& s : switches) {
        int from = First(s.kind, s.id, s.from).rowFrames;
        EXPECT_GE(from, 1) << s.id;
        EXPECT_LE(from, First(s.kind, s.id, s.to).rowFrames) << s.kind << " " << s.id << " " << s.to;
    }
    // The pop-up's arrival mark.
    EXPECT_GE(First(KIND_SYSTEM_EFFECT, 1, 0).rowFrames, 1);
}
