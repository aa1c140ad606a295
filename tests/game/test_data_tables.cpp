// The CSV table readers on small fixtures, read through the library's file
// layer: header lines, comments, 64-byte fields, CR LF, a missing final line
// feed, the end byte, indices that fall outside the tables, and tables packed
// into the "img" archive.
#include <gtest/gtest.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "game/data_tables.h"
#include "game/game_state.h"
#include "tests/game/table_files.h"
#include "tests/game/play_world.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

namespace {

// One frame line of an animation file: columns 0 and 1, the twelve used
// columns 2 to 13, and columns 14 to 18.
std::string Frame(int ticks, int offX, int offY, int w, int h, int moveX, int moveY, int hp,
                  int hurts, int hittable, const char* gravity, int solid, const char* eol = "\n")
{
    char line[256];
    snprintf(line, sizeof line, "x,y,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s,%d,0,0,0,0,0%s", ticks, offX,
             offY, w, h, moveX, moveY, hp, hurts, hittable, gravity, solid, eol);
    return line;
}

const char AnimHeader[] = "name,id,ticks,ox,oy,w,h,mx,my,hp,hurt,hit,grav,solid,a,b,c,d,e\n"
                          "// frames of one set\n";
const char LayoutHeader[] = "layout\nx,y,...\n---\n";

class Tables : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeTempDir("tables");
        ASSERT_FALSE(root.empty());
        EnterDataDirectory(root);
        ScreenPrints().clear();
        memset(animFrames, 0, sizeof animFrames);
        memset(blockAnimFrames, 0, sizeof blockAnimFrames);
        memset(slotEntries, 0, sizeof slotEntries);
        memset(blocks, 0, sizeof blocks);
        memset(spawnList, 0, sizeof spawnList);
        memset(itemList, 0, sizeof itemList);
        blockCount = BLOCK_TABLE_SIZE;
        scrollX = 0.0f;
        areaIndex = 0;
    }
    void TearDown() override
    {
        LeaveDataDirectory();
        RemoveTree(root);
    }
    void Write(const std::string& relative, const std::string& text)
    {
        ASSERT_TRUE(WriteTableFile(root, relative, text)) << relative;
    }
    std::string root;
};

} // namespace

TEST_F(Tables, AnimationFramesRowsAndColumns)
{
    Write("img/a.csv", std::string(AnimHeader) +
                           Frame(8, 1, 2, 24, 48, 4, -3, 5, 0, 1, "1.0", 1) +
                           Frame(6, -1, -2, 25, 49, 0, 0, 0, 1, 0, "0.25", 0) +
                           "//next row\n" +
                           Frame(3, 0, 0, 16, 16, 12, 0, 1, 1, 1, "0", 0));
    ReadAnimationCsv("img/a.csv", 4, 7);
    const AnimFrameRecord(*set)[ANIM_FRAMES] = animFrames[4][7];
    EXPECT_EQ(2, set[0][0].rowFrames);
    EXPECT_EQ(8, set[0][0].ticks);
    EXPECT_EQ(1, set[0][0].offsetX);
    EXPECT_EQ(2, set[0][0].offsetY);
    EXPECT_EQ(24, set[0][0].width);
    EXPECT_EQ(48, set[0][0].height);
    EXPECT_EQ(4, set[0][0].moveX);
    EXPECT_EQ(-3, set[0][0].moveY);
    EXPECT_EQ(5, set[0][0].hitPoints);
    EXPECT_EQ(0, set[0][0].hurtsPlayer);
    EXPECT_EQ(1, set[0][0].hittable);
    EXPECT_FLOAT_EQ(1.0f, set[0][0].gravityFactor);
    EXPECT_EQ(1, set[0][0].solid);
    EXPECT_EQ(-2, set[0][1].offsetY);
    EXPECT_FLOAT_EQ(0.25f, set[0][1].gravityFactor);
    EXPECT_EQ(1, set[1][0].rowFrames);
    EXPECT_EQ(12, set[1][0].moveX);
    EXPECT_EQ(0, set[2][0].rowFrames);
    // Nothing else was touched, and a missing animation file says nothing.
    EXPECT_EQ(0, animFrames[4][6][0][0].rowFrames);
    ReadAnimationCsv("img/none.csv", 4, 8);
    EXPECT_TRUE(ScreenPrints().empty());
}

TEST_F(Tables, SlashInsideALineEndsTheRowAndTheColumnCountGoesOn)
{
    // The second line stops at its slash after columns 0 to 4; the next frame
    // goes to row 1, and the third line's first field is column 5.
    Write("img/a.csv", std::string(AnimHeader) + Frame(8, 0, 0, 10, 10, 0, 0, 1, 0, 0, "0", 0) +
                           "x,y,5,1,2,3/ comment, 4, 5\n" +
                           "40,50,6,7,8,1,1,2.5,1,0,0,0,0,0\n");
    ReadAnimationCsv("img/a.csv", 2, 3);
    const AnimFrameRecord(*set)[ANIM_FRAMES] = animFrames[2][3];
    EXPECT_EQ(1, set[0][0].rowFrames);
    EXPECT_EQ(5, set[0][1].ticks);
    EXPECT_EQ(1, set[0][1].offsetX);
    EXPECT_EQ(2, set[0][1].offsetY);
    EXPECT_EQ(0, set[0][1].width);
    EXPECT_EQ(1, set[1][0].rowFrames);
    EXPECT_EQ(0, set[1][0].ticks);
    EXPECT_EQ(40, set[1][0].width);
    EXPECT_EQ(50, set[1][0].height);
    EXPECT_EQ(6, set[1][0].moveX);
    EXPECT_EQ(8, set[1][0].hitPoints);
    EXPECT_FLOAT_EQ(2.5f, set[1][0].gravityFactor);
}

TEST_F(Tables, SixtyFourByteFieldsSplitAndShiftTheColumns)
{
    std::string field64(64, 'a');
    std::string field70(70, 'b');
    // A 64-byte field followed by its comma: the comma ends a second, empty
    // field, so every later value moves one column to the right.
    Write("img/a.csv", std::string(AnimHeader) + field64 + ",11,22,33,44,55,66,77,88,1,1,1,1,0,0,0,0,0\n" +
                           // 70 bytes make two fields; the value after them is column 2.
                           field70 + ",9,8,7,6,5,4,3,2,1,0,0,0,0,0,0,0,0\n");
    ReadAnimationCsv("img/a.csv", 1, 0);
    const AnimFrameRecord(*set)[ANIM_FRAMES] = animFrames[1][0];
    EXPECT_EQ(2, set[0][0].rowFrames);
    EXPECT_EQ(11, set[0][0].ticks);
    EXPECT_EQ(22, set[0][0].offsetX);
    EXPECT_EQ(44, set[0][0].width);
    EXPECT_EQ(9, set[0][1].ticks);
    EXPECT_EQ(8, set[0][1].offsetX);

    // A number of exactly 64 bytes keeps its value.
    std::string number64 = std::string(61, '0') + "123";
    Write("img/b.csv", std::string(AnimHeader) + "x,y," + number64 + ",0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n");
    ReadAnimationCsv("img/b.csv", 1, 1);
    EXPECT_EQ(123, animFrames[1][1][0][0].ticks);
}

TEST_F(Tables, CarriageReturnsAndAMissingFinalLineFeed)
{
    Write("img/a.csv", "header\r\nsecond\r\n" + Frame(4, 0, 0, 8, 8, 1, 2, 3, 0, 1, "0.5", 1, "\r\n") +
                           Frame(5, 0, 0, 8, 8, 1, 2, 3, 0, 1, "0.5", 1, "\r\n") +
                           "//\r\n" + Frame(7, 0, 0, 8, 8, 1, 2, 3, 0, 1, "0.5", 1, ""));
    ReadAnimationCsv("img/a.csv", 3, 1);
    const AnimFrameRecord(*set)[ANIM_FRAMES] = animFrames[3][1];
    EXPECT_EQ(2, set[0][0].rowFrames);
    EXPECT_EQ(5, set[0][1].ticks);
    EXPECT_FLOAT_EQ(0.5f, set[0][1].gravityFactor);
    EXPECT_EQ(1, set[1][0].rowFrames);
    EXPECT_EQ(7, set[1][0].ticks);
    EXPECT_EQ(1, set[1][0].solid);

    // The last value of a file without its line feed, with a CR before it.
    Write("img/b.csv", "h\nh\n" + Frame(4, 0, 0, 8, 8, 1, 2, 3, 0, 1, "0.5", 1, "") + "\r");
    ReadAnimationCsv("img/b.csv", 3, 2);
    EXPECT_EQ(1, animFrames[3][2][0][0].rowFrames);
}

TEST_F(Tables, FramesAndRowsBeyondTheTableAreDropped)
{
    std::string text = AnimHeader;
    for (int f = 0; f < 20; f++)
        text += Frame(f + 1, 0, 0, 8, 8, 0, 0, 1, 0, 0, "0", 0);
    for (int r = 1; r < 70; r++)
        text += "//\n" + Frame(100 + r, 0, 0, 8, 8, 0, 0, 1, 0, 0, "0", 0);
    Write("img/a.csv", text);
    ReadAnimationCsv("img/a.csv", 6, 63);
    const AnimFrameRecord(*set)[ANIM_FRAMES] = animFrames[6][63];
    // The count covers only the kept frames, so nothing steps past the row.
    EXPECT_EQ(ANIM_FRAMES, set[0][0].rowFrames);
    EXPECT_EQ(16, set[0][15].ticks);
    EXPECT_EQ(1, set[63][0].rowFrames);
    EXPECT_EQ(163, set[63][0].ticks);
    // The neighbouring set is untouched.
    EXPECT_EQ(0, animFrames[6][62][63][15].ticks);

    // Kinds and ids outside the table read nothing.
    const int bad[][2] = {{-1, 0}, {7, 0}, {0, -1}, {0, 64}};
    for (const auto& b : bad)
        ReadAnimationCsv("img/a.csv", b[0], b[1]);
    ReadAnimationCsv(nullptr, 1, 0);
    EXPECT_EQ(0, animFrames[0][0][0][0].rowFrames);
}

TEST_F(Tables, ByteFFEndsTheReading)
{
    std::string text = std::string(AnimHeader) + Frame(3, 0, 0, 8, 8, 0, 0, 1, 0, 0, "0", 0) +
                       "x,y,4,0,0,8\xff,8,0,0,1,0,0,0,0,0,0,0,0,0\n" + Frame(5, 0, 0, 8, 8, 0, 0, 1, 0, 0, "0", 0);
    Write("img/a.csv", text);
    ReadAnimationCsv("img/a.csv", 5, 0);
    EXPECT_EQ(1, animFrames[5][0][0][0].rowFrames);
    EXPECT_EQ(4, animFrames[5][0][0][1].ticks);
    EXPECT_EQ(0, animFrames[5][0][0][2].ticks);
}

TEST_F(Tables, HeaderOrCommentCutByTheEndOfTheFile)
{
    Write("img/a.csv", "only a header line without its end");
    Write("img/b.csv", std::string(AnimHeader) + Frame(3, 0, 0, 8, 8, 0, 0, 1, 0, 0, "0", 0) + "// no end");
    ReadAnimationCsv("img/a.csv", 1, 0);
    ReadAnimationCsv("img/b.csv", 1, 1);
    EXPECT_EQ(0, animFrames[1][0][0][0].rowFrames);
    EXPECT_EQ(1, animFrames[1][1][0][0].rowFrames);
    EXPECT_EQ(0, animFrames[1][1][1][0].rowFrames);
}

TEST_F(Tables, BlockAnimationTypesAndSolidFlags)
{
    Write("img/Block/BlockAnime.csv",
          "h\nh\n"
          "0,0,8,1,2,x,1\n"
          "0,0,9,0,0,x,0\n"
          "// type 1\n"
          "1,0,5,0,-4,x,0\n");
    ReadBlockAnimeCsv();
    EXPECT_EQ(2, blockAnimFrames[0][0].rowFrames);
    EXPECT_EQ(8, blockAnimFrames[0][0].ticks);
    EXPECT_EQ(1, blockAnimFrames[0][0].offsetX);
    EXPECT_EQ(2, blockAnimFrames[0][0].offsetY);
    EXPECT_EQ(1, blockAnimFrames[0][0].solid);
    EXPECT_EQ(9, blockAnimFrames[0][1].ticks);
    EXPECT_EQ(1, blockAnimFrames[1][0].rowFrames);
    EXPECT_EQ(-4, blockAnimFrames[1][0].offsetY);
    EXPECT_TRUE(ScreenPrints().empty());

    // Types past the table are dropped.
    std::string text = "h\nh\n";
    for (int t = 0; t < 140; t++)
        text += std::to_string(t) + ",0," + std::to_string(t + 1) + ",0,0,0,1\n//\n";
    Write("img/Block/BlockAnime.csv", text);
    ReadBlockAnimeCsv();
    EXPECT_EQ(128, blockAnimFrames[BLOCK_TYPES - 1][0].ticks);
    EXPECT_EQ(1, blockAnimFrames[BLOCK_TYPES - 1][0].rowFrames);
}

TEST_F(Tables, MissingFilesReportReadErrorAndKeepTheTables)
{
    blockAnimFrames[3][0].ticks = 5;
    slotEntries[1][0][0].cost = 40;
    blocks[0].blockX1 = 12.0f;
    blockCount = 1;
    spawnList[0].subtype = 4;
    itemList[0].itemX = 300;
    ReadBlockAnimeCsv();
    ReadSlotCsv();
    for (int type = 0; type < 3; type++)
        ReadAreaLayoutCsv(type);
    ASSERT_EQ(5u, ScreenPrints().size());
    for (const std::string& m : ScreenPrints())
        EXPECT_EQ("read error\n", m);
    EXPECT_EQ(5, blockAnimFrames[3][0].ticks);
    EXPECT_EQ(40, slotEntries[1][0][0].cost);
    EXPECT_EQ(12.0f, blocks[0].blockX1);
    EXPECT_EQ(1, blockCount);
    EXPECT_EQ(4, spawnList[0].subtype);
    EXPECT_EQ(300, itemList[0].itemX);

    // An unknown layout type reads nothing and says nothing.
    ReadAreaLayoutCsv(3);
    ReadAreaLayoutCsv(-1);
    EXPECT_EQ(5u, ScreenPrints().size());
}

TEST_F(Tables, SlotCostsNamesAndTheNextLevel)
{
    Write("img/slotsetting/Slot/Slot.csv",
          "row,option,level,cost,name,x\n"
          "// costs\n"
          "3,0,1,25,Shot Level,0\n"
          "0,0,15,70,Top,0\n"          // no level 16 to copy to
          "6,0,0,99,Row six,0\n"       // outside the table
          "0,16,0,99,Option 16,0\n"
          "0,0,-1,99,Level -1,0\n"
          "/ a comment changes nothing\n"
          "5,1,0,30,Front,0\n");
    ReadSlotCsv();
    EXPECT_EQ(25, slotEntries[3][0][1].cost);
    EXPECT_STREQ("Shot Level", slotEntries[3][0][1].name);
    EXPECT_EQ(25, slotEntries[3][0][2].cost);
    EXPECT_EQ(0, slotEntries[3][0][3].cost);
    EXPECT_EQ(70, slotEntries[0][0][15].cost);
    EXPECT_STREQ("Top", slotEntries[0][0][15].name);
    EXPECT_STREQ("", slotEntries[0][0][0].name);
    EXPECT_EQ(0, slotEntries[0][0][0].cost);
    EXPECT_EQ(30, slotEntries[5][1][0].cost);
    EXPECT_EQ(30, slotEntries[5][1][1].cost);
    EXPECT_TRUE(ScreenPrints().empty());

    // A 64-byte name is kept whole; a longer one is cut at 64 bytes.
    std::string name64(64, 'n');
    Write("img/slotsetting/Slot/Slot.csv", "h\nh\n2,0,0,10," + name64 + "\n");
    ReadSlotCsv();
    EXPECT_EQ(10, slotEntries[2][0][0].cost);
    EXPECT_STREQ(name64.c_str(), slotEntries[2][0][0].name);
    EXPECT_EQ(10, slotEntries[2][0][1].cost);
    Write("img/slotsetting/Slot/Slot.csv", "h\nh\n2,0,1,11," + std::string(64, 'm') + "tail!!\n");
    ReadSlotCsv();
    EXPECT_STREQ(std::string(64, 'm').c_str(), slotEntries[2][0][1].name);
    EXPECT_EQ(11, slotEntries[2][0][2].cost);
}

TEST_F(Tables, BlockLayoutRelativeToTheScroll)
{
    scrollX = 767.0f;
    blockAnimFrames[1][0].solid = 1;
    blockAnimFrames[10][0].solid = 1;
    Write("img/block/BlockPosition03.csv",
          std::string(LayoutHeader) +
              "767,0,1,8,8,0,0,0,0,0\n"        // x at the scroll, y 0: inactive
              "831,608,1,8,16,0,0,0,0,0\n"
              "895.5,600,10,8,2,0,0,0,-3,0\n"  // a conveyor
              "// skipped index 3\n"
              "767,300,2,4,4,0,0,0,0,0\n"      // x at the scroll, y 300: active, not solid
              "959,500,200,4,4,0,0,0,0,0\n"    // type outside the table
              "1023,400,-1,4,4,0,0,0,0,0\n"
              "767,0,1,4,4,0,0,0,0,0\r\n");    // last record: x 0, not counted
    areaIndex = 3;
    ReadAreaLayoutCsv(LAYOUT_BLOCKS);
    ASSERT_EQ(7, blockCount);
    EXPECT_EQ(0, blocks[0].active);
    EXPECT_EQ(0, blocks[0].solid);
    EXPECT_EQ(64.0f, blocks[1].blockX1);
    EXPECT_EQ(608.0f, blocks[1].blockY1);
    EXPECT_EQ(128.0f, blocks[1].blockX2);
    EXPECT_EQ(736.0f, blocks[1].blockY2);
    EXPECT_EQ(1, blocks[1].active);
    EXPECT_EQ(1, blocks[1].solid);
    EXPECT_EQ(128.5f, blocks[2].blockX1);
    EXPECT_EQ(-3.0f, blocks[2].beltSpeed);
    EXPECT_EQ(10, blocks[2].blockType);
    EXPECT_EQ(1, blocks[2].solid);
    EXPECT_EQ(0, blocks[3].active);
    EXPECT_EQ(1, blocks[4].active);
    EXPECT_EQ(0, blocks[4].solid);
    EXPECT_EQ(0.0f, blocks[4].blockX1);
    EXPECT_EQ(300.0f, blocks[4].blockY1);
    for (int i = 5; i <= 6; i++) {
        EXPECT_EQ(0, blocks[i].active) << i;
        EXPECT_EQ(0, blocks[i].solid) << i;
        EXPECT_EQ(0, blocks[i].blockType) << i;
    }

    // A file in which no record has a nonzero x leaves no blocks.
    Write("img/block/BlockPosition03.csv", std::string(LayoutHeader) + "767,100,1,4,4,0,0,0,0,0\n");
    ReadAreaLayoutCsv(LAYOUT_BLOCKS);
    EXPECT_EQ(0, blockCount);
}

TEST_F(Tables, BlockLayoutLongerThanTheTable)
{
    std::string text = LayoutHeader;
    for (int i = 0; i < BLOCK_TABLE_SIZE + 8; i++)
        text += std::to_string(64 + i) + ",608,1,1,1,0,0,0,0,0\n";
    Write("img/block/BlockPosition00.csv", text);
    spawnList[0].subtype = 33;
    ReadAreaLayoutCsv(LAYOUT_BLOCKS);
    EXPECT_EQ(BLOCK_TABLE_SIZE, blockCount);
    EXPECT_EQ(float(64 + BLOCK_TABLE_SIZE - 1), blocks[BLOCK_TABLE_SIZE - 1].blockX1);
    EXPECT_EQ(33, spawnList[0].subtype);
}

TEST_F(Tables, EnemySpawnList)
{
    areaIndex = 9;
    Write("img/chara/enemy/EnemyPosition09.csv",
          std::string(LayoutHeader) +
              "2000,560,4,0,3,0,1\n"
              "2100,560,12,1,5,2,0\n"
              "2200,560,64,0,3,0,0\n"           // id outside the table: empty entry
              "2300,560,-1,0,3,0,0\n"
              "2400,560,5,0,2000000000,0,0\n"  // more spheres than the pool holds
              "2500,560,5,0,-4,7,0");          // no final line feed
    ReadAreaLayoutCsv(LAYOUT_ENEMIES);
    const EnemySpawnEntry& a = spawnList[0];
    EXPECT_EQ(2000, a.spawnX);
    EXPECT_EQ(560, a.spawnY);
    EXPECT_EQ(4, a.subtype);
    EXPECT_EQ(0, a.facing);
    EXPECT_EQ(3, a.dropCount);
    EXPECT_EQ(0, a.group);
    EXPECT_EQ(1, a.rearm);
    EXPECT_EQ(12, spawnList[1].subtype);
    EXPECT_EQ(1, spawnList[1].facing);
    EXPECT_EQ(2, spawnList[1].group);
    EXPECT_EQ(0, spawnList[2].subtype);
    EXPECT_EQ(0, spawnList[3].subtype);
    EXPECT_EQ(512, spawnList[4].dropCount);
    EXPECT_EQ(0, spawnList[5].dropCount);
    EXPECT_EQ(7, spawnList[5].group);
    EXPECT_EQ(5, spawnList[5].subtype);
    EXPECT_EQ(0, spawnList[6].subtype);
}

TEST_F(Tables, CommentsInTheEnemyListAndTheSlotFile)
{
    // A comment line in the enemy list takes a record index of its own, whose
    // entry keeps what it held; a slash inside a record ends the record after
    // the fields before it.
    spawnList[1].subtype = 33;
    spawnList[1].spawnX = 1234;
    spawnList[3].group = 9;
    spawnList[3].rearm = 1;
    Write("img/chara/enemy/EnemyPosition00.csv",
          std::string(LayoutHeader) +
              "2000,560,4,0,3,0,1\n"
              "// index 1 is left alone\n"
              "2100,560,12,1,5,2,0\n"
              "2200,570,7,1,/ the rest of this record is lost,4,5\n"
              "2300,580,8,0,1,0,0\n");
    ReadAreaLayoutCsv(LAYOUT_ENEMIES);
    EXPECT_EQ(2000, spawnList[0].spawnX);
    EXPECT_EQ(4, spawnList[0].subtype);
    EXPECT_EQ(33, spawnList[1].subtype);
    EXPECT_EQ(1234, spawnList[1].spawnX);
    EXPECT_EQ(2100, spawnList[2].spawnX);
    EXPECT_EQ(12, spawnList[2].subtype);
    EXPECT_EQ(2, spawnList[2].group);
    EXPECT_EQ(2200, spawnList[3].spawnX);
    EXPECT_EQ(570, spawnList[3].spawnY);
    EXPECT_EQ(7, spawnList[3].subtype);
    EXPECT_EQ(1, spawnList[3].facing);
    EXPECT_EQ(9, spawnList[3].group);
    EXPECT_EQ(1, spawnList[3].rearm);
    EXPECT_EQ(2300, spawnList[4].spawnX);
    EXPECT_EQ(8, spawnList[4].subtype);
    EXPECT_EQ(0, spawnList[5].subtype);

    // In the slot file a comment changes nothing else: a comment line sits
    // between two entries, and after a slash inside a line the field holding
    // it is lost and the column count goes on, so the next line's first
    // field is the level.
    Write("img/slotsetting/Slot/Slot.csv",
          "h\nh\n"
          "1,0,2,60,Jump,0\n"
          "// a comment line\n"
          "1,0,3,65,Jump more,0\n"
          "4,0,7/ this level is lost\n"
          "1,90,Option,0\n");
    ReadSlotCsv();
    EXPECT_EQ(60, slotEntries[1][0][2].cost);
    EXPECT_STREQ("Jump", slotEntries[1][0][2].name);
    EXPECT_EQ(65, slotEntries[1][0][3].cost);
    EXPECT_STREQ("Jump more", slotEntries[1][0][3].name);
    EXPECT_EQ(65, slotEntries[1][0][4].cost);
    EXPECT_EQ(90, slotEntries[4][0][1].cost);
    EXPECT_STREQ("Option", slotEntries[4][0][1].name);
    EXPECT_EQ(90, slotEntries[4][0][2].cost);
    EXPECT_EQ(0, slotEntries[4][0][7].cost);
    EXPECT_TRUE(ScreenPrints().empty());
}

TEST_F(Tables, ItemListEndsWithTheFileAndDropsUnusableRecords)
{
    Write("img/item/ItemPosition00.csv",
          std::string(LayoutHeader) +
              "3000,500,0,0,0,0,0\n"
              "4000,500,0,1,1,0,0\n"
              "5000,500,1,0,2,0,0\n"
              "6000,500,0,0,3,0,0\n");
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
    EXPECT_EQ(4000, itemList[1].itemX);
    EXPECT_EQ(1, itemList[1].itemFacing);
    EXPECT_EQ(1, itemList[1].flagIndex);
    EXPECT_EQ(1, itemList[2].subtype);
    EXPECT_EQ(0, itemList[4].itemX);
    itemList[1].taken = 1;

    // A second area with a shorter list: nothing of the first stays behind;
    // records with an item id or flag index outside the tables take no place.
    areaIndex = 1;
    Write("img/item/ItemPosition01.csv",
          std::string(LayoutHeader) +
              "3100,400,0,0,4,0,0\n"
              "3200,400,99,0,0,0,0\n"
              "3300,400,0,0,256,0,0\n"
              "3400,400,0,0,-1,0,0\n"
              "3500,400,1,1,9,0,0\n");
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
    EXPECT_EQ(3100, itemList[0].itemX);
    EXPECT_EQ(4, itemList[0].flagIndex);
    EXPECT_EQ(3500, itemList[1].itemX);
    EXPECT_EQ(9, itemList[1].flagIndex);
    EXPECT_EQ(1, itemList[1].taken);  // taken flags stay until the area select
    EXPECT_EQ(0, itemList[2].itemX);

    // A comment line leaves no entry of the longer list behind, and a last
    // line cut short by the end of the file still places its item.
    areaIndex = 0;
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
    areaIndex = 2;
    Write("img/item/ItemPosition02.csv",
          std::string(LayoutHeader) +
              "3100,400,0,0,4,0,0\n"
              "// the second chest comes later\n"
              "3600,410,0,1,5/ fields after the slash are lost\n"
              "3700,420,1,0,6");
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
    EXPECT_EQ(3100, itemList[0].itemX);
    EXPECT_EQ(3600, itemList[1].itemX);
    EXPECT_EQ(410, itemList[1].itemY);
    EXPECT_EQ(1, itemList[1].itemFacing);
    EXPECT_EQ(3700, itemList[2].itemX);
    EXPECT_EQ(6, itemList[2].flagIndex);
    EXPECT_EQ(0, itemList[3].itemX);
}

TEST_F(Tables, NumbersTheRulesComputeWithAreClampedToStatedRanges)
{
    // Each text is read as a facing (spawn and item lists: within 1000), a
    // speed, size or draw offset (animation speeds, width and height, block
    // cells, animation and block draw offsets: within 100000), hit points and
    // a slot cost (within 1000000), and a belt speed (float, within 100000).
    struct Case {
        const char* text;
        int facing, speed, points;
        float belt;
    } cases[] = {
        {"2147483647", 1000, 100000, 1000000, 100000.0f},
        {"-2147483648", -1000, -100000, -1000000, -100000.0f},
        {"99999999999", 1000, 100000, 1000000, 100000.0f},
        {"-99999999999", -1000, -100000, -1000000, -100000.0f},
        {"1e39", 1, 1, 1, 100000.0f},
        {"-1e39", -1, -1, -1, -100000.0f},
        {"100001", 1000, 100000, 100001, 100000.0f},
        {"-1000001", -1000, -100000, -1000000, -100000.0f},
        {"1001", 1000, 1001, 1001, 1001.0f},
        {"-1000", -1000, -1000, -1000, -1000.0f},
        {"-3.5", -3, -3, -3, -3.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string t = c.text;
        Write("img/a.csv", std::string(AnimHeader) + "x,y,4," + t + "," + t + "," + t + "," + t + "," + t +
                               "," + t + "," + t + ",1,1,1.0,1,0,0,0,0,0\n");
        ReadAnimationCsv("img/a.csv", 2, 9);
        const AnimFrameRecord& f = animFrames[2][9][0][0];
        EXPECT_EQ(c.speed, f.offsetX);
        EXPECT_EQ(c.speed, f.offsetY);
        Write("img/Block/BlockAnime.csv", "h\nh\n0,0,8," + t + "," + t + ",x,1\n");
        ReadBlockAnimeCsv();
        EXPECT_EQ(c.speed, blockAnimFrames[0][0].offsetX);
        EXPECT_EQ(c.speed, blockAnimFrames[0][0].offsetY);
        EXPECT_EQ(c.speed, f.width);
        EXPECT_EQ(c.speed, f.height);
        EXPECT_EQ(c.speed, f.moveX);
        EXPECT_EQ(c.speed, f.moveY);
        EXPECT_EQ(c.points, f.hitPoints);

        Write("img/block/BlockPosition00.csv",
              std::string(LayoutHeader) + "64,600,1," + t + "," + t + ",0,0,0," + t + ",0\n");
        ReadAreaLayoutCsv(LAYOUT_BLOCKS);
        EXPECT_EQ(c.speed, blocks[0].widthCells);
        EXPECT_EQ(c.speed, blocks[0].heightCells);
        EXPECT_EQ(c.belt, blocks[0].beltSpeed);

        Write("img/chara/enemy/EnemyPosition00.csv", std::string(LayoutHeader) + "2000,560,4," + t + ",3,0,0\n");
        ReadAreaLayoutCsv(LAYOUT_ENEMIES);
        EXPECT_EQ(c.facing, spawnList[0].facing);

        Write("img/item/ItemPosition00.csv", std::string(LayoutHeader) + "3000,500,0," + t + ",0,0,0\n");
        ReadAreaLayoutCsv(LAYOUT_ITEMS);
        EXPECT_EQ(c.facing, itemList[0].itemFacing);

        Write("img/slotsetting/Slot/Slot.csv", "h\nh\n2,0,3," + t + ",Name,0\n");
        ReadSlotCsv();
        EXPECT_EQ(c.points, slotEntries[2][0][3].cost);
        EXPECT_EQ(c.points, slotEntries[2][0][4].cost);
    }
}

TEST_F(Tables, PlacedBlocksTakeTheFirstUnusedEntry)
{
    blockCount = 3;
    blocks[0].active = 1;
    blocks[0].solid = 1;
    blocks[1].solid = 1;
    AddPlacedBlock(100.0f, 200.0f);
    const BlockRecord& b = blocks[2];
    EXPECT_EQ(1, b.active);
    EXPECT_EQ(1, b.solid);
    EXPECT_EQ(14, b.blockType);
    EXPECT_EQ(100.0f, b.blockX1);
    EXPECT_EQ(200.0f, b.blockY1);
    EXPECT_EQ(132.0f, b.blockX2);
    EXPECT_EQ(232.0f, b.blockY2);
    EXPECT_EQ(4, b.widthCells);

    AddPlacedBlock(5.0f, 5.0f);   // none left below the count
    EXPECT_EQ(0, blocks[3].active);
    EXPECT_EQ(100.0f, blocks[2].blockX1);
}

TEST_F(Tables, TablesPackedIntoTheImageArchive)
{
    auto file = [](const char* path, const std::string& text) {
        PackFile f;
        f.path = path;
        f.data.assign(text.begin(), text.end());
        return f;
    };
    std::string frames = std::string(AnimHeader);
    for (int i = 0; i < 40; i++)
        frames += Frame(i % 15 + 1, 0, 0, 24, 48, 4, 0, 3, 0, 0, "1.0", 1) + (i % 5 == 4 ? "//\n" : "");
    std::vector<PackFile> files = {
        file("block/BlockAnime.csv", "h\nh\n0,0,6,0,0,0,1\n"),
        file("chara/player/Player0Anime.csv", frames),
        file("item/ItemPosition00.csv", std::string(LayoutHeader) + "900,576,1,0,3,0,0\n"),
    };
    PackOptions options;
    options.keyString = "KOWR";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(BuildArchive(files, options, bytes));
    ASSERT_TRUE(WriteWholeFile(root + "/img.ukx", bytes.data(), bytes.size()));
    // A loose file beside the archive is not read: the archive serves "img".
    Write("img/block/BlockAnime.csv", "h\nh\n0,0,99,0,0,0,0\n");

    ReadBlockAnimeCsv();
    ReadAnimationCsv("img/chara/player/Player0Anime.csv", 1, 0);
    ReadAreaLayoutCsv(LAYOUT_ITEMS);
    ReadSlotCsv();  // not in the archive

    EXPECT_EQ(6, blockAnimFrames[0][0].ticks);
    EXPECT_EQ(1, blockAnimFrames[0][0].solid);
    for (int row = 0; row < 8; row++)
        EXPECT_EQ(5, animFrames[1][0][row][0].rowFrames) << row;
    EXPECT_EQ(15, animFrames[1][0][2][4].ticks);
    EXPECT_EQ(900, itemList[0].itemX);
    EXPECT_EQ(1, itemList[0].subtype);
    EXPECT_EQ(0, itemList[1].itemX);
    ASSERT_EQ(1u, ScreenPrints().size());
    EXPECT_EQ("read error\n", ScreenPrints()[0]);
}
