// The generated demo data set read back through the game's table readers and
// the library's file layer, loose and packed into "img.ukx": every table is
// there, and its values make the game playable from the first area to the
// ending. Argument: the data directory.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "game/data_tables.h"
#include "game/game_state.h"
#include "tests/game/play_world.h"
#include "tests/game/table_files.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

// The data set as the game finds it: the generated directory itself, or a
// directory holding only "img.ukx" packed from its "img".
enum DemoDataSource { LOOSE, PACKED };

namespace {

const int FloorTop = 608;     // the fields' ground
const int HudTop = 672;
const int JumpHeight = 100;   // jump speed 10 under gravity 0.5

struct AreaFacts {
    int restart[3];
    int restartCount;
    int scrollMin, scrollMax;
    int gateX, gateY;
    int entranceY;
};

// The area start's constants for areas 0 to 4.
const AreaFacts areas[5] = {
    {{767, 16383}, 2, 750, 24928, 26080, 192, 320},
    {{553, 15499}, 2, 552, 24990, 26080, 192, 512},
    {{767, 16159}, 2, 750, 26912, 27808, 128, 320},
    {{767, 16479}, 2, 750, 25728, 26560, 544, 320},
    {{767, 17311, 27647}, 3, 750, 37824, 38816, 512, 64},
};
const int ArenaScroll = 767;
const int arenaBoss[5] = {4, 2, 3, 1, 5};
// Boss 3's arena: its ground lies where the dance's floor places (top 612)
// set the 60-high boss down.
const int arenaFloor[5] = {FloorTop, FloorTop, 672, FloorTop, FloorTop};

const AnimFrameRecord& First(int kind, int id, int row)
{
    return animFrames[kind][id][row][0];
}

// The highest solid surface over world x (at or above the floor), or a big
// value where there is none.
int SurfaceAt(float worldX)
{
    int top = 100000;
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (!b.active || !b.solid)
            continue;
        if (b.blockX1 + scrollX <= worldX && worldX < b.blockX2 + scrollX)
            top = std::min(top, (int)b.blockY1);
    }
    return top;
}

bool HasFloorAt(float worldX, int floorTop = FloorTop)
{
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (b.active && b.solid && b.blockY1 == floorTop && b.blockY2 - b.blockY1 >= 64 &&
            b.blockX1 + scrollX <= worldX && worldX < b.blockX2 + scrollX)
            return true;
    }
    return false;
}

// Whether a solid block covers the point at world x, screen y.
bool SolidAt(float worldX, float y)
{
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (b.active && b.solid && b.blockX1 + scrollX <= worldX && worldX < b.blockX2 + scrollX &&
            b.blockY1 <= y && y < b.blockY2)
            return true;
    }
    return false;
}

// Whether an actor placed at world (x, y) would start inside a solid block.
bool InsideBlock(int x, int y, const AnimFrameRecord& frame)
{
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (b.active && b.solid && b.blockX1 + scrollX < x + frame.width && x < b.blockX2 + scrollX &&
            b.blockY1 < y + frame.height && y < b.blockY2)
            return true;
    }
    return false;
}

void ReadLayouts(int area, float scroll)
{
    memset(blocks, 0, sizeof blocks);
    memset(spawnList, 0, sizeof spawnList);
    blockCount = BLOCK_TABLE_SIZE;
    areaIndex = area;
    scrollX = scroll;
    ReadAreaLayoutCsv(LAYOUT_BLOCKS);
    ReadAreaLayoutCsv(LAYOUT_ENEMIES);
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
}

// "read error" lines printed since the fixture started.
int ReadErrors()
{
    int n = 0;
    for (const std::string& text : ScreenPrints())
        n += text == "read error\n";
    return n;
}

class DemoData : public ::testing::TestWithParam<DemoDataSource> {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_demo_data <data directory>";
        std::string data = TestArg(1);
        if (GetParam() == PACKED) {
            packed = MakeTempDir("demo");
            ASSERT_FALSE(packed.empty());
            PackOptions options;
            options.keyString = "KOWR";
            std::string error;
            ASSERT_TRUE(PackDirectory(data + "/img", packed + "/img.ukx", options, &error)) << error;
            data = packed;
        }
        EnterDataDirectory(data);
        memset(animFrames, 0, sizeof animFrames);
        memset(blockAnimFrames, 0, sizeof blockAnimFrames);
        memset(slotEntries, 0, sizeof slotEntries);
        memset(itemList, 0, sizeof itemList);
        ScreenPrints().clear();
        ReadAllTables();
        EXPECT_EQ(0, ReadErrors());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, ReadErrors());
        LeaveDataDirectory();
        if (!packed.empty())
            RemoveTree(packed);
    }
    std::string packed;
};

} // namespace

TEST_P(DemoData, BlockTypesFollowOneAnotherFromZero)
{
    int t = 0;
    while (t < BLOCK_TYPES && blockAnimFrames[t][0].ticks != 0) {
        EXPECT_GE(blockAnimFrames[t][0].rowFrames, 1) << t;
        t++;
    }
    // The image loader takes sizes up to the first undefined type: every
    // type the layouts and the drawing use lies before it.
    EXPECT_GT(t, 74);
    EXPECT_EQ(2, blockAnimFrames[10][0].rowFrames);
    EXPECT_EQ(1, blockAnimFrames[55][0].solid);
}

TEST_P(DemoData, SlotCostsFillTheGauge)
{
    int sum = 0;
    for (int row = 0; row < 4; row++) {
        EXPECT_GT(slotEntries[row][0][0].cost, 0) << row;
        sum += slotEntries[row][0][0].cost;
    }
    EXPECT_EQ(280, sum);
    EXPECT_EQ(70, slotEntries[4][0][0].cost);
    // Every level the keys can unlock, and the one after, has its cost.
    for (int level = 0; level <= 7; level++)
        EXPECT_GT(slotEntries[0][0][level].cost, 0) << level;
    for (int row = 1; row < 4; row++)
        for (int level = 0; level <= 5; level++)
            EXPECT_GT(slotEntries[row][0][level].cost, 0) << row << " " << level;
    EXPECT_STRNE("", slotEntries[3][0][0].name);
}

TEST_P(DemoData, PlayerRows)
{
    const int rows[] = {0, 1, 2, 3, 5, 8};
    for (int row : rows) {
        const AnimFrameRecord& f = First(1, 0, row);
        EXPECT_GE(f.rowFrames, 1) << row;
        EXPECT_EQ(24, f.width) << row;
        EXPECT_EQ(48, f.height) << row;
    }
    // The title's intro shows frames 0 to 6 of row 0 and 0 to 5 of row 5.
    EXPECT_GE(First(1, 0, 0).rowFrames, 7);
    EXPECT_GE(First(1, 0, 5).rowFrames, 6);
    EXPECT_GT(First(1, 0, 0).moveX, 0);
    EXPECT_EQ(0, First(1, 0, 0).hurtsPlayer);
}

TEST_P(DemoData, EveryActorTheRulesSpawnHasItsRows)
{
    struct Need {
        int kind, id, rows;
    } needs[] = {
        {4, 0, 6}, {4, 11, 2}, {4, 12, 1}, {4, 14, 1}, {4, 48, 1}, {4, 49, 1}, {4, 50, 1},
        {4, 52, 1}, {4, 53, 1},
        {3, 1, 5}, {3, 2, 4}, {3, 3, 1}, {3, 4, 1}, {3, 5, 1}, {3, 6, 1},
        {2, 9, 1}, {2, 29, 4}, {2, 46, 1}, {2, 57, 1},
        {4, 18, 1}, {4, 23, 2}, {4, 24, 2}, {4, 25, 1}, {4, 26, 1}, {4, 31, 1}, {4, 32, 1},
        {4, 33, 3}, {4, 38, 1}, {4, 39, 5}, {4, 40, 1}, {4, 41, 1}, {4, 42, 1}, {4, 43, 1},
        {4, 44, 1}, {4, 45, 1}, {4, 46, 2}, {4, 47, 2}, {4, 10, 1}, {4, 17, 1},
        {5, 0, 1}, {5, 1, 1}, {6, 0, 3}, {6, 1, 1}, {6, 2, 1},
    };
    for (const Need& n : needs) {
        for (int row = 0; row < n.rows; row++) {
            const AnimFrameRecord& f = First(n.kind, n.id, row);
            SCOPED_TRACE(testing::Message() << "kind " << n.kind << " id " << n.id << " row " << row);
            ASSERT_GE(f.rowFrames, 1);
            for (int frame = 0; frame < f.rowFrames; frame++)
                EXPECT_GT(animFrames[n.kind][n.id][row][frame].ticks, 0);
            EXPECT_GT(f.width, 0);
            EXPECT_GT(f.height, 0);
        }
    }
    // Bosses can be hit and hurt the player in every row; effect 47's roll
    // and the shots have speeds.
    for (int id = 1; id <= 6; id++) {
        EXPECT_GT(First(3, id, 0).hitPoints, 0) << id;
        EXPECT_LE(First(3, id, 0).hitPoints, 100) << id;  // the health bar's scale
        for (int row = 0; row < ANIM_ROWS && First(3, id, row).rowFrames; row++) {
            EXPECT_EQ(1, First(3, id, row).hittable) << id << " " << row;
            EXPECT_EQ(1, First(3, id, row).hurtsPlayer) << id << " " << row;
        }
    }
    EXPECT_GT(First(4, 0, 0).moveX, 0);
    EXPECT_GT(First(4, 47, 1).moveX, 0);
    EXPECT_GT(First(4, 50, 0).moveX, 0);
    // Boss 5 and 6 fly; the door floats where it is placed.
    EXPECT_EQ(0.0f, First(3, 5, 0).gravityFactor);
    EXPECT_EQ(0.0f, First(4, 12, 0).gravityFactor);
    // Nothing of the player's own hurts the player.
    const int own[] = {0, 11, 12, 14, 48, 49, 50, 52, 53};
    for (int id : own)
        EXPECT_EQ(0, First(4, id, 0).hurtsPlayer) << id;
}

TEST_P(DemoData, FieldsHaveGroundWallsAndAWayToTheDoor)
{
    int flagsSeen[10] = {};
    const AnimFrameRecord& door = First(4, 12, 0);
    for (int a = 0; a < 5; a++) {
        const AreaFacts& area = areas[a];
        for (int c = 0; c < area.restartCount; c++) {
            SCOPED_TRACE(testing::Message() << "area " << a << " restart " << area.restart[c]);
            ReadLayouts(a, (float)area.restart[c]);
            ASSERT_GT(blockCount, 0);
            // Ground from the left end of the scroll to the right end of the screen.
            for (int x = area.scrollMin - 100; x < area.scrollMax + 1280; x += 16)
                ASSERT_TRUE(HasFloorAt((float)x)) << "no ground at " << x;
            // Walls beyond both ends, too high to jump over.
            EXPECT_LT(SurfaceAt((float)(area.scrollMin - 32)), -200);
            EXPECT_LT(SurfaceAt((float)(area.scrollMax + 1280 + 32)), -200);
            // The player appears over ground.
            EXPECT_EQ(FloorTop, SurfaceAt((float)(area.restart[c] + 562 + 12)));
        }

        // Standing on the surface under the door puts the player inside it,
        // and the way there rises by less than a jump at every step.
        int landing = SurfaceAt((float)(area.gateX + door.width / 2));
        EXPECT_GT(landing, area.gateY);
        EXPECT_LT(landing - 48, area.gateY + door.height);
        int previous = FloorTop;
        for (int x = area.gateX - 1200; x <= area.gateX + door.width / 2; x += 8) {
            int top = SurfaceAt((float)x);
            ASSERT_LT(previous - top, JumpHeight) << "step at " << x;
            previous = top;
        }

        // Enemies: known kinds standing above the ground.
        int enemies = 0;
        for (int i = 0; i < SPAWN_LIST_SIZE; i++) {
            const EnemySpawnEntry& e = spawnList[i];
            if (e.subtype == 0)
                continue;
            enemies++;
            const AnimFrameRecord& f = First(2, e.subtype, 0);
            EXPECT_GT(f.hitPoints, 0) << e.subtype;
            EXPECT_EQ(1, f.hittable) << e.subtype;
            EXPECT_LE(e.spawnY + f.height, FloorTop) << e.subtype;
            EXPECT_FALSE(InsideBlock(e.spawnX, e.spawnY, f)) << e.spawnX;
            EXPECT_GT(e.dropCount, 0);
            EXPECT_GT(e.spawnX, area.restart[0] + 1280);
            EXPECT_LT(e.spawnX, area.gateX);
        }
        EXPECT_GE(enemies, 10);

        // Items: chests with keys for the slot rows, ending the list.
        int i = 0;
        for (; i < ITEM_LIST_SIZE && itemList[i].itemX != 0; i++) {
            const ItemPlacement& item = itemList[i];
            EXPECT_GE(First(5, item.subtype, 0).rowFrames, 1);
            ASSERT_GE(item.flagIndex, 0);
            ASSERT_LT(item.flagIndex, 10);
            flagsSeen[item.flagIndex]++;
            EXPECT_TRUE(HasFloorAt((float)(item.itemX + 16)));
            EXPECT_FALSE(InsideBlock(item.itemX, item.itemY, First(5, item.subtype, 0)));
        }
        EXPECT_GT(i, 0);
    }
    for (int flag = 0; flag < 10; flag++)
        EXPECT_EQ(1, flagsSeen[flag]) << flag;
}

TEST_P(DemoData, FieldEnemiesHaveTheRowsTheirRoutinesUse)
{
    // The rows each routine switches to; all of one enemy's rows have as many
    // frames, since a row switch may keep the frame number.
    int rowsUsed[ANIM_IDS] = {};
    for (int id = 0; id < ANIM_IDS; id++)
        rowsUsed[id] = 1;
    rowsUsed[12] = rowsUsed[15] = rowsUsed[25] = rowsUsed[39] = rowsUsed[40] = 2;
    rowsUsed[22] = rowsUsed[37] = rowsUsed[45] = rowsUsed[49] = rowsUsed[54] = rowsUsed[55] = 3;
    rowsUsed[29] = 4;
    // What the placed enemies bring along.
    int children[ANIM_IDS] = {};
    children[13] = 14;
    children[17] = 18;
    children[19] = 20;
    children[25] = 26;
    children[27] = 28;
    children[37] = 5;
    children[47] = 48;
    children[51] = 52;

    bool present[ANIM_IDS] = {};
    int kinds = 0;
    for (int a = 0; a < 5; a++) {
        ReadLayouts(a, (float)areas[a].restart[0]);
        for (const EnemySpawnEntry& e : spawnList) {
            if (e.subtype <= 0 || e.subtype >= ANIM_IDS)
                continue;
            kinds += present[e.subtype] ? 0 : 1;
            present[e.subtype] = true;
            if (children[e.subtype] != 0)
                present[children[e.subtype]] = true;
        }
    }
    EXPECT_GE(kinds, 30);
    for (int id = 1; id < ANIM_IDS; id++) {
        if (!present[id])
            continue;
        SCOPED_TRACE(testing::Message() << "enemy " << id);
        const AnimFrameRecord& base = First(2, id, 0);
        EXPECT_GT(base.hitPoints, 0);
        for (int row = 0; row < rowsUsed[id]; row++) {
            const AnimFrameRecord& f = First(2, id, row);
            EXPECT_EQ(base.rowFrames, f.rowFrames) << "row " << row;
            EXPECT_GT(f.width, 0) << "row " << row;
            EXPECT_EQ(1, f.hittable) << "row " << row;
        }
    }
    // Enemies that end on blocks pass into them; those that hop need landings.
    for (int id : {13, 18, 20, 25, 48})
        EXPECT_EQ(0, First(2, id, 0).solid) << id;
    for (int id : {5, 30, 37, 50})
        EXPECT_EQ(1, First(2, id, 0).solid) << id;
    EXPECT_GT(First(2, 5, 0).moveY, 0);         // the hop's speed, upward
    EXPECT_EQ(0.0f, First(2, 25, 0).gravityFactor);  // hangs until the player comes
    EXPECT_LT(First(2, 39, 1).moveY, 0);        // the charge's jumps
    EXPECT_GT(First(2, 39, 1).hitPoints, 0);    // its hit points while charging
}

TEST_P(DemoData, ArenasAreWalledWithRoomForTheBoss)
{
    for (int a = 5; a < 10; a++) {
        SCOPED_TRACE(testing::Message() << "arena " << a);
        ReadLayouts(a, (float)ArenaScroll);
        int floor = arenaFloor[a - 5];
        // The heroine standing on the ground is above the HUD.
        EXPECT_LE(floor, HudTop);
        for (int x = 0; x < 1280; x += 16)
            ASSERT_TRUE(HasFloorAt((float)(ArenaScroll + x), floor)) << x;
        // Walls too high to jump over, down to the ground with no gap below.
        for (float wallX : {ArenaScroll - 32.0f, ArenaScroll + 1280 + 32.0f}) {
            EXPECT_LT(SurfaceAt(wallX), -200);
            for (int y = -200; y < floor; y += 8)
                ASSERT_TRUE(SolidAt(wallX, (float)y)) << wallX << " " << y;
        }
        // The boss appears at (1040, 512) and the player at (200, 512).
        const AnimFrameRecord& boss = First(3, arenaBoss[a - 5], 0);
        EXPECT_LE(1040 + boss.width, 1280);
        EXPECT_LE(512 + boss.height, floor + 8);
        EXPECT_LE(512 + First(1, 0, 0).height, floor);
        EXPECT_EQ(0, spawnList[0].subtype);
        EXPECT_EQ(0, itemList[0].itemX);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, DemoData, ::testing::Values(LOOSE, PACKED),
                         [](const ::testing::TestParamInfo<DemoDataSource>& info) {
                             return info.param == LOOSE ? "Loose" : "Packed";
                         });
