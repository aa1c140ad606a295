// The start-up loading on the demo data set with the library running: every
// image the game draws becomes a graph of the size the generator wrote (its
// list "image-sizes.txt"), positions, colours and constants come out as the
// game uses them, pure green is transparent, the sounds load once, and the
// same set packed into archives loads alike.
// Argument: the data directory.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_loading.h"
#include "image/raster_image.h"
#include "runtime/file/archive_files.h"
#include "runtime/library.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

namespace {

const int GRAPH_TYPE = 0x08000000, SOUND_TYPE = 0x10000000, TYPE_MASK = 0x78000000;

std::string dataDir;
std::map<std::string, std::pair<int, int>> imageSizes;
char startDirectory[MAX_PATH];

void ReadImageSizes()
{
    FILE* f = fopen((dataDir + "/image-sizes.txt").c_str(), "rb");
    ASSERT_NE(nullptr, f) << dataDir;
    char path[128];
    int w, h;
    while (fscanf(f, "%127s %d %d", path, &w, &h) == 3)
        imageSizes[path] = {w, h};
    fclose(f);
    ASSERT_GT(imageSizes.size(), 500u);
}

// The graph is valid and as large as the file the generator wrote.
void ExpectImage(int handle, const std::string& path)
{
    auto it = imageSizes.find(path);
    ASSERT_NE(imageSizes.end(), it) << path << " is not in the demo data";
    int w = -1, h = -1;
    ASSERT_EQ(GRAPH_TYPE, handle & TYPE_MASK) << path;
    ASSERT_EQ(0, GetGraphSizeOf(handle, &w, &h)) << path;
    EXPECT_EQ(it->second.first, w) << path;
    EXPECT_EQ(it->second.second, h) << path;
}

std::string Format(const char* pattern, int a, int b = 0, int c = 0)
{
    char text[128];
    snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// Every image the game's scenes draw, checked against its file.
void ExpectEveryDrawnImage()
{
    for (int i = 0; i < LOGO_PIECES; i++)
        ExpectImage(logoPieces[i].handle, Format("img/title/DORA/CampanyLogo_%02d.png", i + 1));
    for (int i = 0; i < TITLE_TEXTS; i++)
        ExpectImage(titleTexts[i].handle, Format("img/title/TitleText%d.png", i));
    for (int i = 0; i < TITLE_ITEMS; i++)
        ExpectImage(titleItems[i].handle, Format("img/title/TitleItem%d.png", i));
    ExpectImage(titleSelectIcon, "img/title/TitleSelectIcon.tga");
    ExpectImage(titlePicture, "img/title/player00_02_00.bmp");
    for (int i = 0; i < 5; i++)
        ExpectImage(areaFaceImages[i], Format("img/title/Erea/erea%dface.bmp", i));
    for (int i = 5; i < AREA_FACES; i++)
        EXPECT_EQ(-1, areaFaceImages[i]) << i;
    ExpectImage(areaSelectImages[0], "img/title/Erea/EreaSelect00.bmp");
    ExpectImage(areaSelectImages[1], "img/title/Erea/EreaSelect01.bmp");
    ExpectImage(areaClearMarks[0], "img/etc/EreaClear0.bmp");
    ExpectImage(areaClearMarks[1], "img/etc/EreaClear1.bmp");
    ExpectImage(pauseImages[0], "img/pause/PauseScreen.png");
    for (int i = 1; i < PAUSE_IMAGES; i++)
        ExpectImage(pauseImages[i], Format("img/pause/PauseScreenText%d.png", i));
    for (int i = 0; i < END_TEXTS; i++)
        ExpectImage(endTexts[i].handle, Format("img/end/EndText%d.bmp", i));
    for (int i = 0; i < RANK_IMAGES; i++)
        ExpectImage(rankImages[i], Format("img/end/Rank%d.bmp", i));
    for (int i = 0; i < AREA_BACKGROUNDS; i++)
        ExpectImage(areaBackgroundImages[i], Format("img/bg/EreaBG%d.png", i));
    ExpectImage(hitPointIcon, "img/Tri.tga");
    ExpectImage(digitImages[0], "img/etc/NumberPeriod.bmp");
    for (int i = 0; i < 10; i++)
        ExpectImage(digitImages[1 + i], Format("img/etc/Number%d.bmp", i));

    for (int row = 0; row < SLOT_ROWS; row++)
        for (int option = 0; option < SLOT_PICTURE_OPTIONS; option++) {
            const SlotEntry& e = slotEntries[row][option][0];
            ExpectImage(e.pictureUnlit, Format("img/slotsetting/Slot/Slot%02d_%02d_00.bmp", row, option));
            ExpectImage(e.pictureLit, Format("img/slotsetting/Slot/Slot%02d_%02d_01.bmp", row, option));
            auto lit = imageSizes[Format("img/slotsetting/Slot/Slot%02d_%02d_01.bmp", row, option)];
            EXPECT_EQ(lit.first, e.pictureWidth);
            EXPECT_EQ(lit.second, e.pictureHeight);
        }

    int blockFrames = 0;
    for (int type = 0; type < BLOCK_TYPES && blockAnimFrames[type][0].ticks != 0; type++) {
        const BlockAnimFrame& first = blockAnimFrames[type][0];
        ASSERT_GT(first.rowFrames, 0) << type;
        for (int frame = 0; frame < first.rowFrames; frame++, blockFrames++)
            ExpectImage(blockImages[type][frame], Format("img/block/Block%02d_%02d.bmp", type, frame));
        auto size = imageSizes[Format("img/block/Block%02d_%02d.bmp", type, 0)];
        EXPECT_EQ(size.first, first.imageWidth) << type;
        EXPECT_EQ(size.second, first.imageHeight) << type;
    }
    EXPECT_GT(blockFrames, 70);

    static const char* const patterns[ANIM_KINDS] = {
        nullptr,
        "img/chara/player/player%02d_%02d_%02d.bmp",
        "img/chara/enemy/enemy%02d_%02d_%02d.bmp",
        "img/chara/boss/boss%02d_%02d_%02d.bmp",
        "img/effect/effect%02d_%02d_%02d.bmp",
        "img/item/item%02d_%02d_%02d.bmp",
        "img/systemeffect/systemeffect%02d_%02d_%02d.bmp",
    };
    int actorFrames[ANIM_KINDS] = {};
    for (int kind = 1; kind < ANIM_KINDS; kind++)
        for (int id = 0; id < ANIM_IDS; id++)
            for (int row = 0; row < ANIM_ROWS; row++)
                for (int frame = 0; frame < animFrames[kind][id][row][0].rowFrames; frame++) {
                    const AnimFrameRecord& f = animFrames[kind][id][row][frame];
                    std::string path = Format(patterns[kind], id, row, frame);
                    ExpectImage(f.imageHandle, path);
                    auto size = imageSizes[path];
                    EXPECT_EQ(size.first, f.imageWidth) << path;
                    EXPECT_EQ(size.second, f.imageHeight) << path;
                    actorFrames[kind]++;
                }
    // Every kind of actor has pictures: the heroine, enemies, bosses,
    // effects, items and system effects.
    for (int kind = 1; kind < ANIM_KINDS; kind++)
        EXPECT_GT(actorFrames[kind], 0) << kind;
}

class AssetLoading : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_asset_loading <data directory>";
        dataDir = TestArg(1);
        ReadImageSizes();
        GetCurrentDirectoryA(sizeof startDirectory, startDirectory);
        ResetGameGlobals();
        screenWidth = 1280;
        screenHeight = 720;
        SetArchiveExtension("ukx");
        SetArchiveKeyString("KOWR");
        ChangeWindowMode(1);
        SetLogFileOutput(0);
        SetScreenMode(1280, 720, 32, 60);
        ASSERT_EQ(0, InitLibraryLocked());
        ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
        ASSERT_TRUE(SetCurrentDirectoryA(dataDir.c_str()));
        LoadGameData();
    }

    static void TearDownTestSuite()
    {
        SetCurrentDirectoryA(startDirectory);
        EndLibraryLocked();
    }
};

TEST_F(AssetLoading, EveryDrawnImageIsLoadedWithItsSize)
{
    ExpectEveryDrawnImage();
}

TEST_F(AssetLoading, PositionsColoursAndConstants)
{
    // The logo pieces follow each other from (310, 320).
    int x = 310;
    for (int i = 0; i < LOGO_PIECES; i++) {
        auto size = imageSizes[Format("img/title/DORA/CampanyLogo_%02d.png", i + 1)];
        EXPECT_EQ(x, logoPieces[i].x) << i;
        EXPECT_EQ(320, logoPieces[i].y) << i;
        EXPECT_EQ(size.first, logoPieces[i].width);
        EXPECT_EQ(size.second, logoPieces[i].height);
        x += size.first;
    }
    const int titleTextAt[TITLE_TEXTS][2] = {{93, 35}, {177, 65}, {272, 62}, {120, 161}};
    for (int i = 0; i < TITLE_TEXTS; i++) {
        EXPECT_EQ(titleTextAt[i][0], titleTexts[i].x);
        EXPECT_EQ(titleTextAt[i][1], titleTexts[i].y);
    }
    const int itemAt[TITLE_ITEMS][2] = {{682, 422}, {746, 470}, {810, 518}, {874, 566}, {938, 614}, {1002, 662}};
    for (int i = 0; i < TITLE_ITEMS; i++) {
        EXPECT_EQ(itemAt[i][0], titleItems[i].x);
        EXPECT_EQ(itemAt[i][1], titleItems[i].y);
    }
    const int mappingY[MAPPING_ROWS] = {-100, 160, 200, 240, -100, -100, -100, -100, 280, 320, 360};
    for (int i = 0; i < MAPPING_ROWS; i++) {
        EXPECT_EQ(mappingY[i], mappingActionImages[i].y) << i;
        EXPECT_EQ(mappingY[i], mappingButtonImages[i].y) << i;
        EXPECT_EQ(400, mappingButtonImages[i].x);
        EXPECT_EQ(642, mappingKeyImages[i].x);
        EXPECT_EQ(160 + 40 * i, mappingKeyImages[i].y);
    }
    const char* labels[5] = {"Change Window Mode", "Set BGM Volume", "Set Sound Volume", "Set Player's Life ", "Exit"};
    for (int i = 0; i < 5; i++) {
        EXPECT_STREQ(labels[i], optionRows[i].label);
        EXPECT_EQ(75, optionRows[i].x);
        EXPECT_EQ(160 + 40 * i, optionRows[i].y);
    }
    EXPECT_STREQ("FullScreen", optionRows[0].values[1]);
    EXPECT_STREQ("7", optionRows[3].values[2]);
    // The tally pictures on a 1280-wide screen.
    const int endAt[END_TEXTS][2] = {{325, 160}, {369, 160}, {980, 480}, {778, 420}, {243, 420}};
    for (int i = 0; i < END_TEXTS; i++) {
        EXPECT_EQ(endAt[i][0], endTexts[i].x) << i;
        EXPECT_EQ(endAt[i][1], endTexts[i].y) << i;
    }

    // X8R8G8B8 colour values with the top byte set.
    EXPECT_EQ(0xFFFFFFFFu, colorWhite);
    EXPECT_EQ(0xFF000000u, colorBlack);
    EXPECT_EQ(0xFFFF0505u, colorRed);
    EXPECT_EQ(0xFF05FF05u, colorGreen);
    EXPECT_EQ(0xFF0505FFu, colorBlue);
    EXPECT_EQ(0xFFC88005u, colorOrange);
    EXPECT_EQ(0xFFFFFF05u, colorYellow);

    EXPECT_EQ(0.5f, gravityStep);
    EXPECT_EQ(6, zonePush);
    EXPECT_EQ(20, slotBarX);
    EXPECT_EQ(694, slotBarY);
    EXPECT_EQ(1, playerLevel);
    // Exactly the starting slot flags: option 0 of rows 0 to 3 chosen, row 0
    // levels 0 and 1 and level 0 of rows 1 to 3 available.
    for (int row = 0; row < SLOT_ROWS; row++)
        for (int option = 0; option < SLOT_OPTIONS; option++)
            for (int level = 0; level < SLOT_LEVELS; level++) {
                const SlotEntry& e = slotEntries[row][option][level];
                bool first = option == 0 && row < 4;
                EXPECT_EQ(first && level == 0 ? 1 : 0, e.chosen) << row << option << level;
                EXPECT_EQ(first && (level == 0 || (row == 0 && level == 1)) ? 1 : 0, e.available)
                    << row << " " << option << " " << level;
            }
}

TEST_F(AssetLoading, PureGreenIsTransparent)
{
    // The hit-point icon's corners are pure green in its file.
    ASSERT_EQ(0, ClearDrawTarget(nullptr));
    ASSERT_EQ(0, DrawGraphAt(0, 0, hitPointIcon, 1));
    RasterImage screen;
    RECT area = {0, 0, 32, 32};
    ASSERT_EQ(0, LockScreenImage(&area, &screen));
    auto rgb = [&](int x, int y) {
        uint32_t v = 0;
        memcpy(&v, (const BYTE*)screen.pixels + (ptrdiff_t)y * screen.pitch + x * 4, 4);
        return v & 0xFFFFFFu;
    };
    uint32_t keyedCorner = rgb(0, 0), inside = rgb(12, 16);
    UnlockScreenImage();
    EXPECT_EQ(0x000000u, keyedCorner);
    EXPECT_EQ(0xFF3C5Au, inside);
}

TEST_F(AssetLoading, ReloadAfterAWindowModeSwitchGivesNewHandles)
{
    std::vector<int> before = {logoPieces[0].handle, areaBackgroundImages[4], animFrames[1][0][0][0].imageHandle,
                               blockImages[20][0]};
    FreeAllGraphs();
    LoadGameImages();
    std::vector<int> after = {logoPieces[0].handle, areaBackgroundImages[4], animFrames[1][0][0][0].imageHandle,
                              blockImages[20][0]};
    for (size_t i = 0; i < before.size(); i++)
        EXPECT_NE(before[i], after[i]) << i;
    ExpectEveryDrawnImage();
}

TEST_F(AssetLoading, FacesStopAtTheFirstMissingNumber)
{
    std::string dir = MakeTempDir("faces");
    CreateDirectoryA((dir + "/img").c_str(), nullptr);
    CreateDirectoryA((dir + "/img/title").c_str(), nullptr);
    CreateDirectoryA((dir + "/img/title/Erea").c_str(), nullptr);
    for (int face : {0, 1, 2, 4, 5}) {
        std::string name = Format("img/title/Erea/erea%dface.bmp", face % 5);
        std::string target = Format("/img/title/Erea/erea%dface.bmp", face);
        ASSERT_TRUE(CopyFileA((dataDir + "/" + name).c_str(), (dir + target).c_str(), FALSE));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    LoadGameImages();
    SetCurrentDirectoryA(dataDir.c_str());
    for (int face = 0; face < 3; face++)
        EXPECT_EQ(GRAPH_TYPE, areaFaceImages[face] & TYPE_MASK) << face;
    for (int face = 3; face < AREA_FACES; face++)
        EXPECT_EQ(-1, areaFaceImages[face]) << face;
    RemoveTree(dir);
    LoadGameImages();
}

TEST_F(AssetLoading, SoundsLoadOnceWithTheirVolumes)
{
    bgmVolume = 80;
    seVolume = 60;
    LoadGameSounds();
    std::vector<int> first;
    for (int h : bgmHandle) {
        EXPECT_EQ(SOUND_TYPE, h & TYPE_MASK);
        first.push_back(h);
    }
    for (int h : seHandle) {
        EXPECT_EQ(SOUND_TYPE, h & TYPE_MASK);
        first.push_back(h);
    }
    // A second visit keeps the handles (it only waits).
    LoadGameSounds();
    std::vector<int> second(bgmHandle, bgmHandle + BGM_COUNT);
    second.insert(second.end(), seHandle, seHandle + SE_COUNT);
    EXPECT_EQ(first, second);
}

TEST_F(AssetLoading, PackedDataLoadsAlike)
{
    std::string dir = MakeTempDir("packed");
    PackOptions options;
    options.keyString = "KOWR";
    for (const char* sub : {"img", "sound"}) {
        std::string error;
        ASSERT_TRUE(PackDirectory(dataDir + "/" + sub, dir + "/" + sub + ".ukx", options, &error)) << error;
    }
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    ResetGameGlobals();
    screenWidth = 1280;
    screenHeight = 720;
    FreeAllGraphs();
    LoadGameData();
    ExpectEveryDrawnImage();
    LoadGameSounds();
    for (int h : seHandle)
        EXPECT_EQ(SOUND_TYPE, h & TYPE_MASK);
    SetCurrentDirectoryA(dataDir.c_str());
    TerminateArchives();
    RemoveTree(dir);
}

} // namespace
