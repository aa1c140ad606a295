// The logo, title, area select, tally and ending scenes run headless through
// the game's own frame, with scripted keys; and the whole game from the logo
// to the ending and a game over on the demo data set.
// Argument: the demo data directory.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/contacts.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/save_data.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"
#include "tests/game/scene_driver.h"
#include "tests/game/table_files.h"
#include "tests/support/test_support.h"

void RealReadAreaLayoutCsv(int fileType) __asm__(REAL_SYMBOL("_Z17ReadAreaLayoutCsvi"));

namespace {

// Action i is on button i + 1 in the default mapping.
const int SKIP = PAD_BIT_BUTTON1 << 0;
const int DECIDE = PAD_BIT_BUTTON1 << 1;
const int CANCEL = PAD_BIT_BUTTON1 << 2;
const int SHOT = PAD_BIT_BUTTON1 << 3;
const int UP = PAD_BIT_UP, DOWN = PAD_BIT_DOWN, LEFT = PAD_BIT_LEFT, RIGHT = PAD_BIT_RIGHT;

const char* const LogoBar = "img/title/DORA/CampanyLogoBar.bmp";
const char* const DemoPicture = "img/title/Demo.bmp";

int DigitGraph(int d)
{
    char path[32];
    snprintf(path, sizeof path, "img/etc/Number%d.bmp", d);
    return GraphOf(path);
}

bool InTitle() { return sceneNo == SCENE_TITLE; }
bool InLogo() { return sceneNo == SCENE_LOGO; }
bool InPlay() { return sceneNo == SCENE_PLAY; }
bool OnMenu() { return sceneNo == SCENE_TITLE && titlePage == TITLE_MENU; }

class Scenes : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = MakeTempDir("scenes");
        ASSERT_FALSE(dir_.empty());
        StartHeadlessGame();
        SaveDirectory() = dir_;
    }
    void TearDown() override
    {
        SaveDirectory().clear();
        RemoveTree(dir_);
    }

    // The logo to the title's intro.
    void ToTitle() { ASSERT_LT(RunUntil(InTitle, 200), 200); }
    void ToMenu()
    {
        ASSERT_NO_FATAL_FAILURE(ToTitle());
        Tap(SKIP);
        ASSERT_TRUE(OnMenu());
    }
    // Menu row `row` decided.
    void MenuRow(int row)
    {
        for (int i = 0; i < row; i++)
            Tap(DOWN);
        ASSERT_EQ(row, titleCursor);
        Tap(DECIDE);
    }
    SaveDataBlock SavedFile()
    {
        SaveDataBlock block = {};
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(ReadWholeFile(dir_ + "\\SaveData.dat", &bytes));
        EXPECT_EQ(sizeof block, bytes.size());
        if (bytes.size() == sizeof block)
            memcpy(&block, bytes.data(), sizeof block);
        return block;
    }

    std::string dir_;
};

} // namespace

// ---------------------------------------------------------------------------
// Logo

TEST_F(Scenes, TheLogoBuildsItsPiecesEverySixFramesAndHandsOverOnFrame78)
{
    bgmVolume = 40;
    seVolume = 25;
    ScriptRandom({2});
    for (int frame = 0; frame < 78; frame++) {
        RunFrame();
        SCOPED_TRACE(testing::Message() << "frame " << frame);
        ASSERT_EQ(SCENE_LOGO, sceneNo);
        int shown = frame / 6 < 12 ? frame / 6 : 12;
        int pieces = 0;
        for (int i = 0; i < 12; i++) {
            std::vector<DrawCall> d = GraphDraws(logoPieces[i].handle);
            if (i < shown) {
                ASSERT_EQ(1u, d.size()) << "piece " << i;
                EXPECT_EQ(310 + IMAGE_WIDTH * i, d[0].x1);
                EXPECT_EQ(320, d[0].y1);
                EXPECT_EQ(1, d[0].trans);
                pieces++;
            }
        }
        EXPECT_EQ(shown, pieces);
        std::vector<DrawCall> bar = GraphDraws(GraphOf(LogoBar));
        if (shown == 12) {
            EXPECT_TRUE(bar.empty()) << "no bar under a finished logo";
        } else {
            ASSERT_EQ(1u, bar.size());
            EXPECT_EQ(310 + IMAGE_WIDTH * shown, bar[0].x1);
            EXPECT_EQ(400, bar[0].y1);
        }
        ASSERT_EQ(1u, TextDraws("NOW LOADING").size());
        EXPECT_EQ(1100, TextDraws("NOW LOADING")[0].x1);
        EXPECT_EQ(660, TextDraws("NOW LOADING")[0].y1);
        EXPECT_EQ(shown, (int)SoundCalls().size()) << "one jingle a step";
    }
    RunFrame();
    EXPECT_EQ(SCENE_TITLE, sceneNo);
    EXPECT_EQ(TITLE_INTRO, titlePage);

    // The jingle and voices on the first frame, then music and effects.
    std::vector<std::string>& loads = SoundLoads();
    ASSERT_EQ(7u + 16 + 32, loads.size());
    EXPECT_EQ("img/title/DORA/Sound.mp3", loads[0]);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ("sound/cv" + std::to_string(i) + ".mp3", loads[1 + i]);
    EXPECT_EQ("sound/bgm00.mp3", loads[7]);
    EXPECT_EQ("sound/se31.mp3", loads.back());
    EXPECT_EQ(25, VolumeOf(voiceHandle[5]));
    EXPECT_EQ(40, VolumeOf(BgmHandleOf(15)));
    EXPECT_EQ(25, VolumeOf(SeHandleOf(31)));
    EXPECT_EQ(2, RandomRequests().back());
    // Voice clip 2 (the scripted draw), then the opening music.
    std::vector<SoundCall>& calls = SoundCalls();
    ASSERT_EQ(14u, calls.size());
    EXPECT_EQ(voiceHandle[2], calls[12].handle);
    EXPECT_EQ(BgmHandleOf(8), calls[13].handle);
    EXPECT_EQ(1, calls[13].playType);
    EXPECT_TRUE(Waits().empty());
}

TEST_F(Scenes, IdleMenuReturnsToALogoThatLoadsNothingAgainAndWaits1200Ms)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    EXPECT_EQ(1, CountStops(BgmHandleOf(8)));
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));

    // The menu's first frame says something; 3000 idle frames later the
    // logo comes back.
    ScriptRandom({1});
    RunFrame();
    EXPECT_EQ(voiceHandle[4], SoundCalls().back().handle);
    EXPECT_EQ(3000, RunUntil(InLogo, 4000));
    EXPECT_EQ(TITLE_INTRO, titlePage);
    EXPECT_EQ(0, introTimer);
    EXPECT_EQ(0, titleCursor);
    EXPECT_EQ(1, idleVoiceReady);
    EXPECT_EQ(1, CountStops(BgmHandleOf(7)));

    size_t loads = SoundLoads().size();
    int frames = RunUntil(InTitle, 200);
    // Thirteen steps, the first in the scene's first frame.
    EXPECT_EQ(73, frames);
    EXPECT_EQ(loads, SoundLoads().size());
    EXPECT_EQ(1, LoadCount(LogoBar));
    EXPECT_EQ(std::vector<int>{1200}, Waits());
}

// ---------------------------------------------------------------------------
// Title

TEST_F(Scenes, TheIntroRunsItsStoryThenOpensTheMenu)
{
    ASSERT_NO_FATAL_FAILURE(ToTitle());
    RunFrame();
    ASSERT_EQ(1u, GraphDraws(GraphOf(DemoPicture)).size());
    EXPECT_EQ(480, GraphDraws(GraphOf(DemoPicture))[0].x1);
    EXPECT_EQ(1u, TextDraws("「ここ…どこ？　なんで、私ここにいるの？」").size());
    // The labels of the mapping page are written on the first frame.
    EXPECT_STREQ("Install & Decide", mappingLabels[1]);
    EXPECT_STREQ("BUTTON10   SPACE", buttonMap[10].buttonLabel);

    // 2310 frames unless skipped; then the title music.
    EXPECT_EQ(2310, RunUntil(OnMenu, 3000));
    EXPECT_EQ(1, CountStops(BgmHandleOf(8)));
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));
}

TEST_F(Scenes, EachSkipButtonLeavesTheIntro)
{
    for (int button : {SKIP, DECIDE, CANCEL, SHOT}) {
        StartHeadlessGame();
        ASSERT_NO_FATAL_FAILURE(ToTitle());
        RunFrames(10);
        Tap(button);
        EXPECT_TRUE(OnMenu()) << button;
        EXPECT_EQ(0, introTimer);
    }
}

TEST_F(Scenes, StartTurnsKeepRunningOffAndOpensTheAreaSelect)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    // The cursor wraps when the next frame places it.
    Tap(UP);
    RunFrame();
    EXPECT_EQ(4, titleCursor);
    Tap(DOWN);
    RunFrame();
    EXPECT_EQ(0, titleCursor);
    Tap(DECIDE);
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(std::vector<int>{0}, Library().keepRunning);
    EXPECT_EQ(1, CountStops(BgmHandleOf(7)));
    EXPECT_EQ(1, CountBgmPlays(9, 3, 1));
}

TEST_F(Scenes, AHeldVolumeRepeatsFromThe21stFrameAndStopsAt100)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    MenuRow(2);
    ASSERT_EQ(TITLE_OPTIONS, titlePage);
    Tap(DOWN);
    Tap(DECIDE);
    ASSERT_EQ(1, optionEditing);
    bgmVolume = 97;
    Tap(LEFT);
    EXPECT_EQ(96, bgmVolume);
    bgmVolume = 98;

    // The scene sees the counter one frame after the key goes down.
    std::vector<int> seen;
    for (int frame = 0; frame < 24; frame++) {
        RunFrame(RIGHT);
        seen.push_back(bgmVolume);
    }
    std::vector<int> expected(24, 99);
    expected[0] = 98;
    expected[21] = expected[22] = expected[23] = 100;
    EXPECT_EQ(expected, seen);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(100, VolumeOf(BgmHandleOf(i))) << i;

    RunFrame();
    EXPECT_EQ(0, SaveWrites());
    Tap(DECIDE);
    EXPECT_EQ(0, optionEditing);
    EXPECT_EQ(100, SavedFile().bgmVolume);
}

// The menu's texts and items slide 40 pixels into place over its first 40
// idle frames while their alpha rises by 8 a frame, and then rest.
TEST_F(Scenes, TheMenuSlidesFortyPixelsIntoPlace)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    struct Place {
        const PlacedGraph* graph;
        int x, y, dx, dy;   // resting place, and the offset per frame still to go
    } places[] = {
        {&titleTexts[0], 93, 35, 0, 1},  {&titleTexts[1], 177, 65, 0, -1}, {&titleTexts[2], 272, 62, 1, 0},
        {&titleTexts[3], 120, 161, 1, 0}, {&titleItems[0], 682, 422, 1, 0}, {&titleItems[4], 938, 614, 1, 0},
    };
    bool sawStart = false;
    for (int frame = 0; frame < 50; frame++) {
        RunFrame();
        ASSERT_TRUE(OnMenu());
        const int togo = menuIdle < 40 ? 40 - menuIdle : 0;
        sawStart = sawStart || togo >= 38;
        for (const Place& p : places) {
            std::vector<DrawCall> d = GraphDraws(p.graph->handle);
            ASSERT_EQ(1u, d.size());
            EXPECT_EQ(p.x + p.dx * togo, d[0].x1) << "frame " << frame;
            EXPECT_EQ(p.y + p.dy * togo, d[0].y1) << "frame " << frame;
            EXPECT_EQ(8 * (40 - togo), d[0].alpha) << "frame " << frame;
        }
    }
    EXPECT_TRUE(sawStart) << "the slide is seen from its start";
}

TEST_F(Scenes, OptionsUpAndDownOnlyMoveTheCursorAndALifeChoiceIsCommitted)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    MenuRow(2);
    ASSERT_EQ(TITLE_OPTIONS, titlePage);
    ASSERT_EQ(0, titleCursor);
    // Up and down are the cursor's move alone: no sound, the blink runs on.
    RunFrames(20);
    const size_t sounds = SoundCalls().size();
    const int blink = blinkCounter;
    Tap(DOWN);
    EXPECT_EQ(1, titleCursor);
    Tap(UP);
    Tap(UP);
    RunFrame();
    EXPECT_EQ(4, titleCursor) << "the next frame wraps the cursor";
    EXPECT_EQ(sounds, SoundCalls().size());
    EXPECT_EQ((blink + 7) % 60, blinkCounter);
    Tap(DOWN);

    // Row 3: 2 x setting + 3 points; a choice counts once decided, and is written.
    auto lifeShown = []() {
        for (const DrawCall& d : FrameDraws())
            if (d.kind == DrawCall::TEXT && d.x1 == 75 + 250 && d.y1 == 160 + 40 * 3)
                return d.text;
        return std::string("(none)");
    };
    for (int i = 0; i < 3; i++)
        Tap(DOWN);
    ASSERT_EQ(3, titleCursor);
    RunFrame();
    EXPECT_EQ("3", lifeShown());
    struct Step {
        int pad, setting;
        const char* shown;
    } steps[] = {{RIGHT, 1, "5"}, {LEFT, 2, "7"}, {0, 0, "3"}};
    int committed = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.shown);
        Tap(DECIDE);
        ASSERT_EQ(1, optionEditing);
        if (step.pad)
            Tap(step.pad);
        EXPECT_EQ(committed, lifeSetting) << "not before the decide";
        Tap(DECIDE);
        EXPECT_EQ(0, optionEditing);
        EXPECT_EQ(step.setting, lifeSetting);
        EXPECT_EQ(step.setting, SavedFile().lifeSetting);
        RunFrame();
        EXPECT_EQ(step.shown, lifeShown());
        committed = step.setting;
    }
}

TEST_F(Scenes, AWindowModeSwitchAndBackKeepsEveryPicture)
{
    // The logo bar and the intro's picture are loaded by their scenes.
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    ASSERT_EQ(1, LoadCount(LogoBar));
    ASSERT_EQ(1, LoadCount(DemoPicture));
    MenuRow(2);
    Tap(DECIDE);
    ASSERT_EQ(1, optionEditing);

    for (int to : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "to window mode " << to);
        Tap(to == 0 ? RIGHT : LEFT);
        ASSERT_EQ(to == 0 ? 1 : 0, optionPending);
        Tap(DECIDE);
        EXPECT_EQ(to, windowMode);
        EXPECT_EQ(to, Library().windowModes.back());
        EXPECT_EQ(1, optionEditing) << "editing goes on";
        EXPECT_EQ(0, SaveWrites()) << "a switch alone writes no file";
    }
    EXPECT_EQ(2, Library().inits);
    EXPECT_EQ(2, GraphsFreed());
    EXPECT_EQ(3, LoadCount("img/title/TitleSelectIcon.tga"));

    // Every picture drawn afterwards is one loaded after the last switch.
    RunFrame();
    EXPECT_EQ(1u, GraphDraws(GraphOf("img/title/TitleSelectIcon.tga")).size());
    Tap(CANCEL);
    EXPECT_EQ(1, SaveWrites());
    EXPECT_EQ(1, SavedFile().windowMode);
    Tap(CANCEL);
    ASSERT_TRUE(OnMenu());
    ASSERT_LT(RunUntil(InLogo, 4000), 4000);
    RunFrame();
    EXPECT_EQ(3, LoadCount(LogoBar));
    EXPECT_EQ(1u, GraphDraws(GraphOf(LogoBar)).size()) << "the bar's handle is the reloaded one";
    ASSERT_LT(RunUntil(InTitle, 200), 200);
    RunFrame();
    EXPECT_EQ(3, LoadCount(DemoPicture));
    EXPECT_EQ(1u, GraphDraws(GraphOf(DemoPicture)).size()) << "the intro's picture is the reloaded one";
}

TEST_F(Scenes, AFailedRestartAfterTheSwitchAsksForARestartAndReloadsAnyway)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    MenuRow(2);
    Tap(DECIDE);
    Tap(RIGHT);
    Library().initResult = -1;
    ScreenPrints().clear();
    Tap(DECIDE);
    ASSERT_EQ(1u, ScreenPrints().size());
    EXPECT_EQ("ERRORが発生しました。ゲームを再起動してください。", ScreenPrints()[0]);
    EXPECT_EQ(1, GraphsFreed());
    EXPECT_EQ(0, windowMode);
    EXPECT_EQ(2, LoadCount(LogoBar));
}

TEST_F(Scenes, TheMappingPageShowsNoLabelPastTheTableAndLearnsOnDecide)
{
    buttonMap[3].buttonOfAction = 16;  // stored in the settings file
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    MenuRow(1);
    ASSERT_EQ(TITLE_MAPPING, titlePage);
    RunFrame();
    auto buttonText = [](int y) {
        for (const DrawCall& d : FrameDraws())
            if (d.kind == DrawCall::TEXT && d.x1 == 400 && d.y1 == y)
                return d.text;
        return std::string("(none)");
    };
    EXPECT_EQ("BUTTON2     X", buttonText(160));
    EXPECT_EQ("BUTTON3     C", buttonText(200));
    EXPECT_EQ("", buttonText(240)) << "button 16 has no label";
    ASSERT_EQ(1u, TextDraws("PAD　　　　KEY").size());
    EXPECT_EQ(398, TextDraws("PAD　　　　KEY")[0].x1);
    EXPECT_EQ(-164, TextDraws("PAD　　　　KEY")[0].y1);

    // A learned button 16 shows no label either.
    Tap(DOWN);
    ASSERT_EQ(2, titleCursor);
    RunFrame(PAD_BIT_BUTTON1 << 15);
    RunFrame(PAD_BIT_BUTTON1 << 15);
    RunFrame();
    EXPECT_EQ(16, buttonMap[2].buttonOfAction);
    EXPECT_EQ(3, buttonMap[3].buttonOfAction) << "the swap";
    EXPECT_EQ("", buttonText(200));

    // Decide on an action row learns the decide button (a swap with the
    // action that had it) and stays on the page.
    Tap(DOWN);
    ASSERT_EQ(3, titleCursor);
    Tap(DECIDE);
    EXPECT_EQ(TITLE_MAPPING, titlePage);
    EXPECT_EQ(2, buttonMap[3].buttonOfAction);
    EXPECT_EQ(3, buttonMap[1].buttonOfAction);

    // Exit, with the key that now decides, writes the mapping.
    Tap(UP);
    Tap(UP);
    Tap(UP);
    ASSERT_EQ(10, titleCursor);
    Tap(CANCEL);
    EXPECT_TRUE(OnMenu());
    EXPECT_EQ(1, titleCursor);
    SaveDataBlock saved = SavedFile();
    EXPECT_EQ(3, saved.buttonMap[1]);
    EXPECT_EQ(16, saved.buttonMap[2]);
    EXPECT_EQ(2, saved.buttonMap[3]);
}

TEST_F(Scenes, TheSoundTestPlaysARowAndExitRestoresTheTitleMusicOnlyAfterPlaying)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    MenuRow(3);
    ASSERT_EQ(TITLE_SOUND_TEST, titlePage);
    Tap(UP);
    RunFrame();
    ASSERT_EQ(10, titleCursor);
    size_t before = SoundCalls().size();
    Tap(DECIDE);
    EXPECT_TRUE(OnMenu());
    EXPECT_EQ(3, titleCursor);
    for (size_t i = before; i < SoundCalls().size(); i++)
        EXPECT_NE(BgmHandleOf(7), SoundCalls()[i].handle) << "the title music runs on";

    Tap(DECIDE);
    Tap(DOWN);
    Tap(DOWN);
    Tap(DOWN);
    Tap(DECIDE);
    EXPECT_EQ(1, CountBgmPlays(0, 3, 1));
    EXPECT_EQ(1, CountStops(BgmHandleOf(15)));
    Tap(CANCEL);
    EXPECT_TRUE(OnMenu());
    EXPECT_EQ(2, CountBgmPlays(7, 3, 1));
}

// ---------------------------------------------------------------------------
// Area select

TEST_F(Scenes, TheAreaCursorMovesBetweenTheIcons)
{
    struct Case {
        bool fifth;
        int from, pad, to;
    } cases[] = {
        {false, 0, RIGHT, 1}, {false, 1, RIGHT, 1}, {false, 1, LEFT, 0}, {false, 0, DOWN, 2},
        {false, 3, UP, 1},    {false, 2, UP, 0},    {false, 1, DOWN, 3}, {false, 3, DOWN, 3},
        {true, 0, DOWN, 4},   {true, 3, DOWN, 4},   {true, 4, UP, 1},    {true, 2, UP, 2},
        {true, 2, RIGHT, 3},  {true, 3, RIGHT, 3},  {true, 1, LEFT, 0},  {true, 4, LEFT, 4},
        // A pad's diagonal: the sideways part moves from where down put the
        // cursor, so it never leaves the icons.
        {true, 2, DOWN | RIGHT, 4}, {true, 1, DOWN | LEFT, 4}, {false, 0, DOWN | RIGHT, 3},
        {false, 1, DOWN | LEFT, 2},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 4; i++)
            areaCleared[i] = c.fifth ? 1 : 0;
        ResetAreaSelect();
        sceneNo = SCENE_AREA_SELECT;
        areaCursor = c.from;
        Tap(c.pad);
        EXPECT_EQ(c.to, areaCursor) << c.fifth << " " << c.from << " " << c.pad;
    }
    // After a diagonal onto the fifth icon, up still leads back to area 1.
    for (int i = 0; i < 4; i++)
        areaCleared[i] = 1;
    ResetAreaSelect();
    areaCursor = 2;
    Tap(DOWN | RIGHT);
    Tap(UP);
    EXPECT_EQ(1, areaCursor);
    // The icon places.
    EXPECT_EQ(568, iconX[4]);
    EXPECT_EQ(520, iconY[4]);
    EXPECT_EQ(184, iconX[0]);
}

// The boss data line i as drawn in the last frame.
static std::string PanelLine(int i)
{
    for (const DrawCall& d : FrameDraws())
        if (d.kind == DrawCall::TEXT && d.x1 == 590 && d.y1 == 335 + 30 * i)
            return d.text;
    return "(none)";
}

TEST_F(Scenes, AChosenAreaStartsAfter250FramesWithThreeLives)
{
    GiveSoundHandles();
    ResetAreaSelect();
    sceneNo = SCENE_AREA_SELECT;
    RunFrames(3);
    ASSERT_EQ("Mir", PanelLine(0)) << "the panel types the boss's name";
    EXPECT_EQ("Wit", PanelLine(1));
    Tap(RIGHT);
    EXPECT_EQ("F", PanelLine(0)) << "a move restarts the panel";
    RunFrames(30);
    EXPECT_EQ("Frostine", PanelLine(0));
    EXPECT_EQ("Frost Scaler", PanelLine(2));

    Tap(DECIDE);
    EXPECT_EQ(1, CountBgmPlays(10, 1, 1));
    // "STAGE START" types out within its first frame, whole from then on.
    int stageStartFrames = 0;
    int frames = 0;
    while (sceneNo == SCENE_AREA_SELECT && frames < 400) {
        RunFrame();
        frames++;
        std::vector<std::string> texts;
        for (const DrawCall& d : FrameDraws())
            if (d.kind == DrawCall::TEXT && d.x1 == 560 && d.y1 == 355)
                texts.push_back(d.text);
        if (texts.empty())
            continue;
        EXPECT_EQ("STAGE START", texts.back());
        if (stageStartFrames++ > 0) {
            EXPECT_EQ(std::vector<std::string>(texts.size(), "STAGE START"), texts);
        }
    }
    EXPECT_GT(stageStartFrames, 1);
    EXPECT_EQ(251, frames);
    EXPECT_EQ(SCENE_PLAY, sceneNo);
    EXPECT_EQ(1, areaIndex);
    EXPECT_EQ(3, lives);
    EXPECT_EQ(1, areaEntries[1]);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), LayoutReads());
}

// The chosen icon glides left (10 a frame while x is above 446, 6 while above
// 246, 6 right while below 240), then vertically 3 a frame into the band 296
// to 300, where it stops.
TEST_F(Scenes, TheChosenIconGlidesIntoPlace)
{
    GiveSoundHandles();
    struct Case {
        bool fifth;
        int area;
        int steps;    // frames of gliding before the arrival's frame
        int x, y;     // where it stops
    } cases[] = {
        {false, 1, 35 + 1 + 33 + 80, 242, 296},   // from (800, 56)
        {false, 0, 15 + 80, 246, 296},            // from (336, 56)
        {true, 4, 13 + 32 + 74, 246, 298},        // from (568, 520)
        {true, 0, 10 + 80, 244, 296},             // from (184, 56)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fifth << " " << c.area);
        for (int i = 0; i < 4; i++)
            areaCleared[i] = c.fifth ? 1 : 0;
        ResetAreaSelect();
        sceneNo = SCENE_AREA_SELECT;
        areaCursor = c.area;
        Tap(DECIDE);
        ASSERT_NE(0, areaDecidedAt);
        while (iconArrived == 0 && sceneNo == SCENE_AREA_SELECT)
            RunFrame();
        EXPECT_EQ(c.steps + 1, areaSelectFrame - areaDecidedAt);
        EXPECT_EQ(c.x, iconX[c.area]);
        EXPECT_EQ(c.y, iconY[c.area]);
        areaDecidedAt = 0;
    }
}

TEST_F(Scenes, CancelReturnsToTheTitleMenu)
{
    GiveSoundHandles();
    ResetAreaSelect();
    sceneNo = SCENE_AREA_SELECT;
    titlePage = TITLE_MENU;
    Tap(RIGHT);
    Tap(CANCEL);
    EXPECT_TRUE(OnMenu());
    EXPECT_EQ(0, areaCursor);
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));
}

// ---------------------------------------------------------------------------
// Tally

namespace {

void EnterTally(int scene, int spheres)
{
    sceneNo = scene;
    areaIndex = 5;
    sphereTally = spheres;
    areaClearFrame = gameOverFrame = 0;
}

// The picture drawn at (x, y) in the last frame (0 none).
int GraphAt(int x, int y)
{
    for (const DrawCall& d : FrameDraws())
        if (d.kind == DrawCall::GRAPH && d.x1 == x && d.y1 == y)
            return d.graph;
    return 0;
}

bool CountDone() { return tallyValue == (float)sphereTally; }

} // namespace

// A black box over the heading narrows by 4 pixels a frame from each side,
// from (325, 160)-(954, 260) at frame 0, and is gone from frame 77 on; the
// game over's heading is uncovered over the same width.
TEST_F(Scenes, TheTallyHeadingIsUncoveredFromItsEdgesInward)
{
    GiveSoundHandles();
    for (int scene : {SCENE_AREA_CLEAR, SCENE_GAME_OVER}) {
        SCOPED_TRACE(scene);
        EnterTally(scene, 10);
        for (int i = 0; i < 80; i++) {
            RunFrame();
            const int f = scene == SCENE_AREA_CLEAR ? areaClearFrame : gameOverFrame;
            std::vector<DrawCall> boxes;
            for (const DrawCall& d : FrameDraws())
                if (d.kind == DrawCall::BOX && d.y1 == 160)
                    boxes.push_back(d);
            if (f >= 77) {
                EXPECT_TRUE(boxes.empty()) << "frame " << f;
                continue;
            }
            ASSERT_EQ(1u, boxes.size()) << "frame " << f;
            EXPECT_EQ(325 + 4 * f, boxes[0].x1) << "frame " << f;
            EXPECT_EQ(954 - 4 * f, boxes[0].x2) << "frame " << f;
            EXPECT_EQ(260, boxes[0].y2);
        }
    }
}

TEST_F(Scenes, A1234TallyLevelsUpAt805AndKeepsTheCountStillToGo)
{
    GiveSoundHandles();
    EnterTally(SCENE_AREA_CLEAR, 1234);
    RunFrames(150);
    EXPECT_EQ(0.0f, tallyValue);
    for (int step = 1; step <= 24; step++)
        RunFrame();
    EXPECT_EQ(240.0f, tallyValue) << "ten a frame while more than 1000 remain";
    RunFrames(112);
    EXPECT_EQ(800.0f, tallyValue);
    EXPECT_EQ(1, playerLevel);
    RunFrame();
    EXPECT_EQ(287, areaClearFrame);
    EXPECT_EQ(2, playerLevel);
    EXPECT_EQ(5.0f, tallyValue);
    EXPECT_EQ(434, sphereTally);
    EXPECT_EQ(1, CountSePlays(16));
    EXPECT_EQ(GraphOf("img/end/EndText2.bmp"), GraphAt(243 + 256, 372)) << "the level-up picture";
    RunFrame();
    EXPECT_EQ(GraphOf("img/end/EndText2.bmp"), GraphAt(243 + 256, 371));

    EXPECT_LT(RunUntil(CountDone, 500), 500);
    EXPECT_EQ(434, sphereTally);
    for (int frame = 0; frame < 100; frame++) {
        RunFrame();
        EXPECT_EQ(areaClearFrame % 100 < 50, !TextDraws("PUSH BUTTON...").empty()) << areaClearFrame;
    }
    Tap(DECIDE);
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(0, areaIndex);
    EXPECT_EQ(1, areaCleared[0]);
    EXPECT_EQ(434.0f, tallyTotal);
    EXPECT_EQ(0, areaClearFrame);
    EXPECT_EQ(1, CountBgmPlays(9, 3, 1));
}

TEST_F(Scenes, AGaugeOfExactly800StaysAtLevel1Full)
{
    EnterTally(SCENE_AREA_CLEAR, 800);
    RunFrames(121);
    EXPECT_LT(RunUntil(CountDone, 500), 500);
    EXPECT_EQ(1, playerLevel);
    RunFrame();
    bool full = false;
    for (const DrawCall& d : FrameDraws())
        full = full || (d.kind == DrawCall::BOX && d.graph == 1 && d.x1 == 200 && d.y1 == 510 && d.x2 == 1080);
    EXPECT_TRUE(full);
}

TEST_F(Scenes, TheTallyShowsItsDigitsAndBoundsWhatHasNoPicture)
{
    const int x4 = 243, y4 = 420, levelY = 420 - 65;
    struct Case {
        int spheres, level;
        int places[5];     // ten-thousands to units; -1 nothing drawn
        int levelTens, levelUnits;
    } cases[] = {
        {56, 1, {-1, 0, 0, 5, 6}, -1, 1},
        {1234, 9, {-1, 1, 2, 3, 4}, -1, 9},
        {12345, 17, {1, 2, 3, 4, 5}, 1, 7},
        {123456, 12, {9, 9, 9, 9, 9}, 1, 2},     // past five places: held at 99999
        {7, 120, {-1, 0, 0, 0, 7}, -1, 0},       // level 120: no picture for 12
    };
    const int placeX[5] = {x4 + 324, x4 + 348, x4 + 372, x4 + 396, x4 + 420};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.spheres << " at level " << c.level);
        EnterTally(SCENE_GAME_OVER, c.spheres);
        playerLevel = c.level;
        RunFrames(121);
        for (int p = 0; p < 5; p++)
            EXPECT_EQ(c.places[p] < 0 ? 0 : DigitGraph(c.places[p]), GraphAt(placeX[p], y4)) << "place " << p;
        EXPECT_EQ(c.levelTens < 0 ? 0 : DigitGraph(c.levelTens), GraphAt(x4 + 106, levelY));
        EXPECT_EQ(DigitGraph(c.levelUnits), GraphAt(x4 + 130, levelY));
    }
}

TEST_F(Scenes, LevelsPastTheTableKeepTheLastThreshold)
{
    EXPECT_EQ(800.0f, LevelThreshold(1));
    EXPECT_EQ(200000.0f, LevelThreshold(17));
    EXPECT_EQ(200000.0f, LevelThreshold(18));
    EXPECT_EQ(200000.0f, LevelThreshold(1000));
    EXPECT_EQ(800.0f, LevelThreshold(0));

    // The gauge at level 40 fills against 200000 and a count past it levels up.
    EnterTally(SCENE_AREA_CLEAR, 60);
    playerLevel = 40;
    tallyTotal = 199950.0f;
    RunFrames(121);
    bool half = false;
    for (const DrawCall& d : FrameDraws())
        half = half || (d.kind == DrawCall::BOX && d.graph == 1 && d.y1 == 510 && d.x2 == 1079);
    EXPECT_TRUE(half);
    EXPECT_LT(RunUntil(CountDone, 500), 500);
    EXPECT_EQ(41, playerLevel);
}

TEST_F(Scenes, AnEmptyTallyTakesADecideFromItsSecondFrame)
{
    // The press of the last play frame meets the previous tally's count.
    tallyValue = 434.0f;
    EnterTally(SCENE_AREA_CLEAR, 0);
    areaIndex = 6;
    actionHold[0][1] = 1;
    RunFrame();
    EXPECT_EQ(SCENE_AREA_CLEAR, sceneNo);
    EXPECT_EQ(1u, TextDraws("PUSH BUTTON...").size());
    EXPECT_EQ(1100, TextDraws("PUSH BUTTON...")[0].x1);
    Tap(DECIDE);
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(1, areaCleared[1]);
}

TEST_F(Scenes, AGameOverDecideSkipsToFrame90ThenLeavesAfterTheCount)
{
    GiveSoundHandles();
    EnterTally(SCENE_GAME_OVER, 30);
    areaIndex = 7;
    RunFrames(9);
    Tap(DECIDE);
    EXPECT_EQ(90, gameOverFrame);
    EXPECT_EQ(1, CountBgmPlays(12, 1, 1));
    EXPECT_LT(RunUntil(CountDone, 500), 500);
    Tap(DECIDE);
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(2, areaIndex);
    EXPECT_EQ(30.0f, tallyTotal);
    EXPECT_EQ(0, gameOverFrame);
}

// ---------------------------------------------------------------------------
// Ending

TEST_F(Scenes, TheRankCountsAreasPlayedInOneGoWithFewHitsInTime)
{
    struct Case {
        int area, entries, misses, frames, rank;
    } cases[] = {
        {0, 1, 2, 7999, 5}, {0, 2, 0, 100, 4},  {1, 1, 3, 100, 4},     {2, 1, 0, 8000, 4},
        {4, 1, 0, 11999, 5}, {4, 1, 0, 12000, 4}, {3, 0, 0, 0, 5},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 5; i++) {
            areaEntries[i] = 1;
            areaMisses[i] = 0;
            areaFrames[i] = 100;
        }
        // Play in the arenas does not count.
        for (int i = 5; i < 10; i++) {
            areaMisses[i] = 9;
            areaFrames[i] = 99999;
        }
        areaEntries[c.area] = c.entries;
        areaMisses[c.area] = c.misses;
        areaFrames[c.area] = c.frames;
        EXPECT_EQ(c.rank, ComputeClearRank()) << c.area << " " << c.entries << " " << c.misses << " " << c.frames;
    }
}

TEST_F(Scenes, TheFirstEndingCannotBeSkippedAndSavesItsRankOnLeaving)
{
    GiveSoundHandles();
    for (int i = 0; i < 5; i++)
        areaEntries[i] = 1;
    areaMisses[2] = 3;   // rank 4
    sceneNo = SCENE_ENDING;
    areaIndex = 4;
    RunFrames(100);
    Tap(DECIDE);
    EXPECT_EQ(102, endingFrame) << "no skip without an earlier clear";
    EXPECT_EQ(4, clearRank);
    RunFrames(219);
    ASSERT_EQ(321, endingFrame);
    // Row 1 types from frame 321 centred on its x, beside its portrait.
    RunFrames(3);
    ASSERT_EQ(1u, TextDraws("Aoi").size());
    EXPECT_EQ(340 - 15, TextDraws("Aoi")[0].x1);
    EXPECT_EQ(150, TextDraws("Aoi")[0].y1);

    RunFrames(1481 - 324);
    ASSERT_EQ(1481, endingFrame);
    EXPECT_EQ(GraphOf("img/end/Rank4.bmp"), GraphAt(720, 397));
    EXPECT_TRUE(TextDraws("Main Cast").empty()) << "the cast list is gone";

    RunFrames(1798 - 1481);
    Tap(DECIDE);
    EXPECT_EQ(SCENE_ENDING, sceneNo) << "frame 1800 is not past it";
    EXPECT_EQ(0, SaveWrites());
    Tap(DECIDE);
    EXPECT_EQ(SCENE_LOGO, sceneNo);
    EXPECT_EQ(5, SavedFile().lastRankPlus1);
    EXPECT_EQ(5, lastRankPlus1);
    EXPECT_EQ(TITLE_INTRO, titlePage);
    EXPECT_EQ(0, endingFrame);
    EXPECT_EQ(1, CountStops(BgmHandleOf(11)));
    EXPECT_EQ(1, areaCleared[4]);

    // A second ending may be skipped to frame 1600.
    sceneNo = SCENE_ENDING;
    RunFrames(50);
    Tap(DECIDE);
    EXPECT_EQ(1600, endingFrame);
}

// ---------------------------------------------------------------------------
// The whole game on the demo data

namespace {

bool PlayerHere() { return sceneNo != SCENE_PLAY || actors[0].kind == KIND_PLAYER; }
bool InAreaClear() { return sceneNo != SCENE_PLAY; }
bool TallyOver() { return tallyValue == (float)sphereTally; }

// Frames of play with the heroine kept from harm, until `done`.
int Play(bool (*done)(), int limit)
{
    int frames = 0;
    for (; frames < limit && !done(); frames++) {
        if (actors[0].kind == KIND_PLAYER) {
            actors[0].invulnFlag = 1;
            actors[0].invulnTimer = 0;
        }
        RunFrame();
    }
    return frames;
}

int FirstBoss(int subtype)
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_BOSS && actors[i].subtype == subtype && actors[i].hitPoints > 0)
            return i;
    return -1;
}

// The area from the area select to its clear: the field's entrance, the
// door placed at the heroine, the arena's boss (and for the fifth, its
// second form) brought down by the damage rule.
void WinArea(int area)
{
    static const int BossOfArena[5] = {4, 2, 3, 1, 5};
    ASSERT_EQ(SCENE_AREA_SELECT, sceneNo);
    while (areaCursor != area) {
        int pad = area == 4 ? DOWN : areaCursor < area ? RIGHT : LEFT;
        if (!fifthUnlocked && area >= 2 && areaCursor < 2)
            pad = DOWN;
        Tap(pad);
    }
    Tap(DECIDE);
    ASSERT_LT(RunUntil(InPlay, 300), 300);
    ASSERT_EQ(area, areaIndex);
    ASSERT_LT(Play(PlayerHere, 2000), 2000) << "the entrance";

    const ActorRecord& p = actors[0];
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, p.boxX1[0], p.boxY1[0], 12, 0, 0, 0, 0);
    RunFrame();
    ASSERT_EQ(area + 5, areaIndex) << "through the door";

    int boss = FirstBoss(BossOfArena[area]);
    ASSERT_GE(boss, 0);
    DamageActor(boss, actors[boss].hitPoints, 1);
    if (area == 4) {
        ASSERT_LT(Play([] { return FirstBoss(6) >= 0; }, 500), 500) << "the second form";
        DamageActor(FirstBoss(6), actors[FirstBoss(6)].hitPoints, 1);
    }
    ASSERT_LT(Play(InAreaClear, 400), 400);
    ASSERT_EQ(SCENE_AREA_CLEAR, sceneNo);
    RunFrames(2);
    ASSERT_LT(RunUntil(TallyOver, 20000), 20000);
    Tap(DECIDE);
}

} // namespace

class WholeGame : public Scenes {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_scenes <data directory>";
        EnterDataDirectory(TestArg(1));
        Scenes::SetUp();
        SetLayoutReader([](int fileType) { RealReadAreaLayoutCsv(fileType); });
        UseSeededRandom(77);
        ASSERT_TRUE(ScreenPrints().empty()) << ScreenPrints()[0];
    }
    void TearDown() override
    {
        Scenes::TearDown();
        LeaveDataDirectory();
    }
};

TEST_F(WholeGame, FromTheLogoThroughEveryAreaToTheEndingAndBack)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    Tap(DECIDE);
    ASSERT_EQ(SCENE_AREA_SELECT, sceneNo);
    for (int area = 0; area < 5; area++) {
        SCOPED_TRACE(testing::Message() << "area " << area);
        ASSERT_NO_FATAL_FAILURE(WinArea(area));
        if (area < 4) {
            EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
            EXPECT_EQ(area == 3 ? 1 : 0, fifthUnlocked);
        }
    }
    ASSERT_EQ(SCENE_ENDING, sceneNo);
    EXPECT_EQ(1, CountBgmPlays(11, 1, 1));

    // The first ending runs to its end; its rank goes to the file.
    RunFrames(1801);
    ASSERT_EQ(1801, endingFrame);
    int rank = clearRank;
    EXPECT_EQ(ComputeClearRank(), rank);
    EXPECT_EQ(5, rank) << "every area in one go, unhurt and quick";
    Tap(DECIDE);
    EXPECT_EQ(SCENE_LOGO, sceneNo);
    EXPECT_EQ(rank + 1, SavedFile().lastRankPlus1);

    // Back through the logo (no reload) to the intro.
    ASSERT_LT(RunUntil(InTitle, 200), 200);
    EXPECT_EQ(TITLE_INTRO, titlePage);
    EXPECT_EQ(std::vector<int>{1200}, Waits());
}

TEST_F(WholeGame, FourDeathsEndInAGameOverThatReturnsToTheAreaSelect)
{
    ASSERT_NO_FATAL_FAILURE(ToMenu());
    Tap(DECIDE);
    Tap(DECIDE);
    ASSERT_LT(RunUntil(InPlay, 300), 300);
    sphereTally = 25;  // gathered before the first fall
    int deaths = 0;
    for (int frame = 0; frame < 5000 && sceneNo == SCENE_PLAY; frame++) {
        ActorRecord& p = actors[0];
        if (p.kind == KIND_PLAYER && p.hitPoints > 0 && deathFlag == 0) {
            p.hitPoints = 1;
            p.invulnFlag = 0;
            HitPlayer(0);
            deaths++;
        }
        RunFrame();
    }
    ASSERT_EQ(SCENE_GAME_OVER, sceneNo);
    EXPECT_EQ(4, deaths);
    EXPECT_EQ(0, CountBgmPlays(12, 1, 1));
    Tap(DECIDE);
    EXPECT_EQ(1, CountBgmPlays(12, 1, 1)) << "the game-over music on its first frame";
    EXPECT_EQ(90, gameOverFrame);
    ASSERT_LT(RunUntil(TallyOver, 20000), 20000);
    Tap(DECIDE);
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(0, areaIndex);
}
