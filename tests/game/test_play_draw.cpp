// The play drawing, HUD and pause menu, checked through the recorded draw
// calls: what is drawn where, in which colour and at which alpha, and which
// counters the drawing advances.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/play_draw.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "graphics/draw_state.h"
#include "tests/game/draw_record.h"
#include "tests/game/play_world.h"

namespace {

// Made-up graph handles, distinct per picture.
int DigitGraph(int n) { return 0x08000100 + n; }  // 0 the period, 1 + d the digit d
int PauseGraph(int n) { return 0x08000200 + n; }
const int cursorIcon = 0x08000300;
const int hitIcon = 0x08000301;
const int playerIcon = 0x08000302;
int SlotPicture(int row, int lit) { return 0x08000400 + row * 2 + lit; }
int ActorGraph(int frame) { return 0x08000500 + frame; }
int BlockGraph(int type, int frame) { return 0x08000600 + type * 16 + frame; }

class PlayDraw : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        ResetDrawRecord();
        MakeGameColors();
        for (int i = 0; i < DIGIT_IMAGES; i++)
            digitImages[i] = DigitGraph(i);
        for (int i = 0; i < PAUSE_IMAGES; i++)
            pauseImages[i] = PauseGraph(i);
        titleSelectIcon = cursorIcon;
        hitPointIcon = hitIcon;
        animFrames[KIND_PLAYER][0][0][0].imageHandle = playerIcon;
        for (int r = 0; r < SLOT_ROWS; r++) {
            slotEntries[r][0][0].pictureUnlit = SlotPicture(r, 0);
            slotEntries[r][0][0].pictureLit = SlotPicture(r, 1);
        }
        PlaceActor(0, KIND_PLAYER, 0, 100, 500, 32, 48, 3);
        lives = 3;
        startLinePassed = 1;
    }
};

bool SameBox(const DrawCall& c, int x1, int y1, int x2, int y2)
{
    return c.v[0] == x1 && c.v[1] == y1 && c.v[2] == x2 && c.v[3] == y2;
}

// The box draws with these corners, in order.
std::vector<DrawCall> BoxesAt(int x1, int y1, int x2, int y2)
{
    std::vector<DrawCall> out;
    for (const DrawCall& c : DrawsOfKind(DRAW_BOX))
        if (SameBox(c, x1, y1, x2, y2))
            out.push_back(c);
    return out;
}

// (x, digit) of every digit picture drawn, in order.
std::vector<std::pair<int, int>> DigitsDrawn()
{
    std::vector<std::pair<int, int>> out;
    for (const DrawCall& c : DrawCalls())
        if (c.kind == DRAW_GRAPH && c.graph > DigitGraph(0) && c.graph <= DigitGraph(10))
            out.push_back({c.v[0], c.graph - DigitGraph(1)});
    return out;
}

TEST_F(PlayDraw, HudShowsGaugeSlotBarLivesAndHitPoints)
{
    // Rows 0 to 2 in use (costs 40, 60, 80 at the rows' levels); row 1 is
    // the active one, row 2's level is not available.
    SetStartingSlotFlags();
    slotEntries[3][0][0].chosen = 0;
    slotLevel[1] = 2;
    slotEntries[0][0][0].cost = 40;
    slotEntries[1][0][2].cost = 60;
    slotEntries[1][0][2].available = 1;
    slotEntries[2][0][0].cost = 80;
    slotEntries[2][0][0].available = 0;
    activeSlotRow = 1;
    playFrame = 65;  // pulse c = 4
    actors[0].spheres = 57;
    actors[0].hitPoints = 2;
    DrawPlayScene();

    // The black HUD bar and the gauge: 280 wide while row 4 has no option.
    ASSERT_EQ(1u, BoxesAt(0, 672, 1280, 720).size());
    ASSERT_EQ(1u, BoxesAt(20, 694, 300, 718).size());
    EXPECT_EQ(ColorFromRGB(32, 32, 32), BoxesAt(20, 694, 300, 718)[0].colour);
    ASSERT_EQ(1u, BoxesAt(20, 694, 77, 718).size());
    EXPECT_EQ(ColorFromRGB(159, 207, 255), BoxesAt(20, 694, 77, 718)[0].colour);

    // Row 0 (20..60) lies below the active row: red; row 1 (60..120) pulses
    // and lights its label; row 2 (120..200) is dimmed; row 3 ends the bar.
    struct RowCase {
        int x1, x2;
        unsigned int lower;
        int picture;
        bool dimmed;
    } rows[] = {
        {20, 60, ColorFromRGB(240, 0, 0), SlotPicture(0, 0), false},
        {60, 120, ColorFromRGB(240, 4, 4), SlotPicture(1, 1), false},
        {120, 200, 0, SlotPicture(2, 0), true},
    };
    for (const RowCase& r : rows) {
        SCOPED_TRACE(r.x1);
        std::vector<DrawCall> lower = BoxesAt(r.x1, 694, r.x2, 718);
        std::vector<DrawCall> upper = BoxesAt(r.x1, 678, r.x2, 694);
        ASSERT_FALSE(upper.empty());
        EXPECT_EQ(ColorFromRGB(64, 64, 64), upper[0].colour);
        if (r.lower) {
            ASSERT_EQ(2u, lower.size());  // the fill, then the white outline
            EXPECT_EQ(r.lower, lower[0].colour);
            EXPECT_EQ(1, lower[0].trans);
        } else {
            ASSERT_EQ(1u, lower.size());
        }
        EXPECT_EQ(colorWhite, lower.back().colour);
        EXPECT_EQ(0, lower.back().trans);
        std::vector<DrawCall> picture = DrawsOfGraph(r.picture);
        ASSERT_EQ(1u, picture.size());
        EXPECT_EQ(r.x1 + 2, picture[0].v[0]);
        EXPECT_EQ(678, picture[0].v[1]);
        std::vector<DrawCall> veil = BoxesAt(r.x1, 678, r.x2, 718);
        ASSERT_EQ(r.dimmed ? 1u : 0u, veil.size());
        if (r.dimmed) {
            EXPECT_EQ(192, veil[0].blendParam);
            EXPECT_EQ(colorBlack, veil[0].colour);
        }
        EXPECT_EQ(1u, BoxesAt(r.x1, 677, r.x2, 694).size());       // white outline
        EXPECT_EQ(1u, BoxesAt(r.x1 + 1, 678, r.x2 - 1, 693).size()); // black outline
        EXPECT_EQ(1u, BoxesAt(r.x1 + 1, 695, r.x2 - 1, 717).size());
    }
    // The active row's label box turns orange over the grey.
    ASSERT_EQ(2u, BoxesAt(60, 678, 120, 694).size());
    EXPECT_EQ(ColorFromRGB(255, 139, 89), BoxesAt(60, 678, 120, 694)[1].colour);
    EXPECT_TRUE(DrawsOfGraph(SlotPicture(3, 0)).empty());

    // Lives: the player's icon (after the player itself), the digit 3 and
    // the period over it.
    ASSERT_EQ(2u, DrawsOfGraph(playerIcon).size());
    EXPECT_EQ(650, DrawsOfGraph(playerIcon)[1].v[0]);
    EXPECT_EQ(652, DrawsOfGraph(playerIcon)[1].v[1]);
    ASSERT_EQ(1u, DrawsOfGraph(DigitGraph(1 + 3)).size());
    const DrawCall digit = DrawsOfGraph(DigitGraph(1 + 3))[0];
    EXPECT_EQ(699, digit.v[0]);
    EXPECT_EQ(677, digit.v[1]);
    EXPECT_EQ(0, digit.trans);
    ASSERT_EQ(1u, DrawsOfGraph(DigitGraph(0)).size());
    EXPECT_EQ(699, DrawsOfGraph(DigitGraph(0))[0].v[0]);

    // Two hit points: two icons 40 pixels apart.
    std::vector<DrawCall> icons = DrawsOfGraph(hitIcon);
    ASSERT_EQ(2u, icons.size());
    EXPECT_EQ(820, icons[0].v[0]);
    EXPECT_EQ(860, icons[1].v[0]);
    EXPECT_EQ(682, icons[1].v[1]);
}

TEST_F(PlayDraw, GaugeWidensWithRowFourAndIconsStopAtTheScreenEdge)
{
    SetStartingSlotFlags();
    slotEntries[4][0][0].chosen = 1;
    actors[0].hitPoints = 1000000;
    DrawPlayScene();
    EXPECT_EQ(1u, BoxesAt(20, 694, 370, 718).size());
    // Icons from x 820 every 40 pixels while they start on the screen.
    EXPECT_EQ(12u, DrawsOfGraph(hitIcon).size());
}

TEST_F(PlayDraw, LivesDigitOnlyForZeroToNine)
{
    // -1 is the frame that takes the last life; 10 has no single picture.
    const int cases[][2] = {{-1, -1}, {0, 0}, {9, 9}, {10, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        ResetDrawRecord();
        lives = c[0];
        DrawPlayScene();
        std::vector<std::pair<int, int>> digits = DigitsDrawn();
        if (c[1] < 0) {
            EXPECT_TRUE(digits.empty());
        } else {
            ASSERT_EQ(1u, digits.size());
            EXPECT_EQ(c[1], digits[0].second);
        }
        EXPECT_EQ(1u, DrawsOfGraph(DigitGraph(0)).size());  // the period always
    }
    EXPECT_EQ(-1, DrawDigit(-1, 0, 0, 0));
    EXPECT_EQ(-1, DrawDigit(10, 0, 0, 0));
}

TEST_F(PlayDraw, TallyCountShowsAtLeastFourDigitsAndFiveAtMost)
{
    struct Case {
        int count;
        std::vector<std::pair<int, int>> digits;  // (x - label x, digit) in drawing order
    } cases[] = {
        {56, {{420, 6}, {396, 5}, {372, 0}, {348, 0}}},
        {1234, {{420, 4}, {396, 3}, {372, 2}, {348, 1}}},
        {12345, {{420, 5}, {396, 4}, {372, 3}, {348, 2}, {324, 1}}},
        {0, {{420, 0}, {396, 0}, {372, 0}, {348, 0}}},
        // Past the five places the count stays at the largest it can show.
        {100000, {{420, 9}, {396, 9}, {372, 9}, {348, 9}, {324, 9}}},
        {-5, {{420, 0}, {396, 0}, {372, 0}, {348, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        ResetDrawRecord();
        DrawTallyCount(c.count, 243, 420);
        std::vector<std::pair<int, int>> digits = DigitsDrawn();
        ASSERT_EQ(c.digits.size(), digits.size());
        for (size_t i = 0; i < digits.size(); i++) {
            EXPECT_EQ(243 + c.digits[i].first, digits[i].first);
            EXPECT_EQ(c.digits[i].second, digits[i].second);
        }
        for (const DrawCall& d : DrawCalls()) {
            EXPECT_EQ(420, d.v[1]);
            EXPECT_EQ(0, d.trans);
        }
    }
}

TEST_F(PlayDraw, FinalBossWarningTypesOutOneByteAFrame)
{
    const char* warning = "...DESTROY THEM ALL ";
    const int length = (int)strlen(warning);
    finalBossPending = 1;
    for (int frame = 0; frame < length + 3; frame++) {
        ResetDrawRecord();
        finalBossTimer = frame;
        DrawPlayScene();
        std::vector<DrawCall> texts = DrawsOfKind(DRAW_STRING);
        ASSERT_EQ(1u, texts.size());
        const DrawCall& t = texts[0];
        int n = frame < length ? frame : length;
        EXPECT_EQ(std::string(warning, (size_t)n), t.text);
        // Centred on 640 with the width the font reports.
        EXPECT_EQ(640 - n * RECORDED_CHAR_WIDTH / 2, t.v[0]);
        EXPECT_EQ(300, t.v[1]);
        EXPECT_EQ(colorWhite, t.colour);
        // The white circle shrinks 1.5 a frame from 30 over 20 frames.
        std::vector<DrawCall> circles = DrawsOfKind(DRAW_CIRCLE);
        ASSERT_EQ(1u, circles.size());
        EXPECT_EQ(1049, circles[0].v[0]);
        EXPECT_EQ(336, circles[0].v[1]);
        EXPECT_EQ((int)(30 - (frame % 20) * 1.5), circles[0].v[2]);
    }
    EXPECT_EQ(length, warningTextChars);

    finalBossPending = 0;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_TRUE(DrawsOfKind(DRAW_STRING).empty());
}

TEST_F(PlayDraw, TypewriterCountsBytesAndStopsAt255)
{
    // Two Shift-JIS characters show one whole character per two calls.
    const char* text = "\x83\x41\x83\x43";
    int counter = 0;
    std::vector<std::string> shown;
    for (int i = 0; i < 6; i++) {
        ResetDrawRecord();
        DrawTypewriterText(100, 10, text, counter);
        shown.push_back(DrawsOfKind(DRAW_STRING)[0].text);
    }
    EXPECT_EQ((std::vector<std::string>{"", "\x83", "\x83\x41", "\x83\x41\x83", text, text}), shown);
    EXPECT_EQ(4, counter);

    std::string longText(400, 'A');
    counter = 1000;
    ResetDrawRecord();
    DrawTypewriterText(640, 10, longText.c_str(), counter);
    EXPECT_EQ(255u, DrawsOfKind(DRAW_STRING)[0].text.size());
    EXPECT_EQ(1000, counter);
    counter = -3;
    ResetDrawRecord();
    DrawTypewriterText(640, 10, "ABC", counter);
    EXPECT_EQ("", DrawsOfKind(DRAW_STRING)[0].text);
}

TEST_F(PlayDraw, PausedFrameAdvancesNoAnimation)
{
    AddBlock(200, 300, 232, 332, 5);
    blocks[0].blockAnimTick = 2;
    blocks[0].beltAngle = 10;
    PlaceActor(20, KIND_ENEMY, 1, 300, 300, 32, 32);
    actors[0].animTick = 4;
    actors[20].animTick = 1;
    paused = 1;
    DrawPlayScene();
    EXPECT_EQ(2, blocks[0].blockAnimTick);
    EXPECT_EQ(10, blocks[0].beltAngle);
    EXPECT_EQ(4, actors[0].animTick);
    EXPECT_EQ(1, actors[20].animTick);
    EXPECT_FALSE(DrawsOfGraph(PauseGraph(0)).empty());

    paused = 0;
    actors[20].freezeTimer = 5;
    DrawPlayScene();
    EXPECT_EQ(3, blocks[0].blockAnimTick);
    EXPECT_EQ(11, blocks[0].beltAngle);
    EXPECT_EQ(5, actors[0].animTick);
    EXPECT_EQ(1, actors[20].animTick);  // frozen
}

TEST_F(PlayDraw, SpritesAdvanceWithinTheirStoredFramesAndMirror)
{
    // Two stored frames of 3 ticks each, with offsets and sizes.
    for (int f = 0; f < 2; f++) {
        AnimFrameRecord& r = animFrames[KIND_ENEMY][2][1][f];
        r.imageHandle = ActorGraph(f);
        r.ticks = 3;
        r.offsetX = 4;
        r.offsetY = 6;
        r.imageWidth = 40;
        r.imageHeight = 30;
    }
    animFrames[KIND_ENEMY][2][1][0].rowFrames = 2;
    ActorRecord& a = PlaceActor(30, KIND_ENEMY, 2, 100.7f, 50.2f, 32, 32);
    a.animRow = 1;
    std::vector<int> frames;
    for (int i = 0; i < 14; i++) {
        ResetDrawRecord();
        DrawPlayScene();
        std::vector<DrawCall> d = DrawsOfGraph(ActorGraph(0));
        std::vector<DrawCall> d1 = DrawsOfGraph(ActorGraph(1));
        ASSERT_EQ(1u, d.size() + d1.size());
        frames.push_back(d.empty() ? 1 : 0);
        const DrawCall& c = d.empty() ? d1[0] : d[0];
        EXPECT_EQ(DRAW_GRAPH, c.kind);
        EXPECT_EQ(96, c.v[0]);
        EXPECT_EQ(44, c.v[1]);
        EXPECT_EQ(1, c.trans);
    }
    // The tick counts up before the draw; at 3 the next frame shows.
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0}), frames);

    // A frame index past the stored frames starts the row again; a row
    // without frames never leaves frame 0.
    a.animFrame = 9;
    a.animTick = 0;
    a.facing = 1;
    ResetDrawRecord();
    DrawPlayScene();
    ASSERT_EQ(1u, DrawsOfGraph(ActorGraph(0)).size());
    EXPECT_TRUE(SameBox(DrawsOfGraph(ActorGraph(0))[0], 136, 44, 96, 74));
    EXPECT_EQ(DRAW_STRETCHED, DrawsOfGraph(ActorGraph(0))[0].kind);
    // A row claiming more frames than are stored cycles through the 16
    // stored ones; a row whose count is 0 stays on frame 0.
    for (int f = 0; f < ANIM_FRAMES; f++)
        animFrames[KIND_ENEMY][2][7][f].ticks = 1;
    animFrames[KIND_ENEMY][2][7][0].rowFrames = 40;
    animFrames[KIND_ENEMY][2][8][0].ticks = 1;
    a.animRow = 7;
    a.animTick = 0;
    int highest = 0;
    for (int i = 0; i < 40; i++) {
        DrawPlayScene();
        ASSERT_LT(a.animFrame, ANIM_FRAMES);
        highest = a.animFrame > highest ? a.animFrame : highest;
    }
    EXPECT_EQ(ANIM_FRAMES - 1, highest);
    a.animRow = 8;
    a.animTick = 0;
    for (int i = 0; i < 5; i++) {
        DrawPlayScene();
        ASSERT_EQ(0, a.animFrame);
    }

    // No hit points: the animation runs but nothing is drawn.
    a.animRow = 1;
    a.hitPoints = 0;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_TRUE(DrawsOfGraph(ActorGraph(0)).empty() && DrawsOfGraph(ActorGraph(1)).empty());
}

TEST_F(PlayDraw, BossSixTrailsFadingCopiesOnlyWhileMoving)
{
    animFrames[KIND_BOSS][6][0][0].imageHandle = ActorGraph(0);
    animFrames[KIND_BOSS][6][0][0].rowFrames = 1;
    ActorRecord& boss = PlaceActor(8, KIND_BOSS, 6, 500, 200, 64, 64, 50);
    for (int k = 1; k < TRAIL_LENGTH; k++) {
        boss.boxX1[k] = 500;
        boss.boxY1[k] = 200;
    }
    DrawPlayScene();
    ASSERT_EQ(1u, DrawsOfGraph(ActorGraph(0)).size());
    EXPECT_EQ(255, DrawsOfGraph(ActorGraph(0))[0].blendParam);

    // Moving 10 pixels a frame: copies k = 5 .. 2 at boxes 4 .. 1, then itself.
    for (int k = 0; k < TRAIL_LENGTH; k++)
        boss.boxX1[k] = 500.0f + 10 * k;
    ResetDrawRecord();
    DrawPlayScene();
    std::vector<DrawCall> d = DrawsOfGraph(ActorGraph(0));
    ASSERT_EQ(5u, d.size());
    const int alpha[] = {95, 135, 175, 215, 255};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(alpha[i], d[i].blendParam);
        EXPECT_EQ(500 + 10 * (4 - i), d[i].v[0]);
    }
    // Invulnerable on an odd frame: 128 lower.
    boss.invulnFlag = 1;
    boss.invulnTimer = 3;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_EQ(127, DrawsOfGraph(ActorGraph(0)).back().blendParam);
}

TEST_F(PlayDraw, PlayerWithoutSpheresPulsesRed)
{
    animFrames[KIND_PLAYER][0][0][0].rowFrames = 1;
    const int cases[][2] = {{0, 0}, {1, 4}, {63, 252}, {64, 0}, {130, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        ResetDrawRecord();
        frameCount = c[0];
        actors[0].spheres = 0;
        DrawPlayScene();
        // The player is drawn at its box; the HUD icon (650) comes later.
        const DrawCall p = DrawsOfGraph(playerIcon)[0];
        EXPECT_EQ(100, p.v[0]);
        EXPECT_EQ(255, p.brightR);
        EXPECT_EQ(c[1], p.brightG);
        EXPECT_EQ(c[1], p.brightB);
        EXPECT_EQ(255, DrawsOfGraph(playerIcon)[1].brightG);
    }
    actors[0].spheres = 1;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_EQ(255, DrawsOfGraph(playerIcon)[0].brightG);
}

TEST_F(PlayDraw, FieldCurtainHazardsBlocksAndInstallFlash)
{
    // The start-line marker at x 300 covers the field left of it.
    PlaceActor(40, KIND_EFFECT, 50, 300, 0, 8, 720);
    startEffectSlot = 40;
    // Blocks left of the marker are drawn as type 55, the others as their own.
    for (int t : {55, 9}) {
        blockAnimFrames[t][0].rowFrames = 1;
        blockAnimFrames[t][0].imageWidth = 32;
        blockImages[t][0] = BlockGraph(t, 0);
    }
    AddBlock(100, 400, 132, 432, 9);
    AddBlock(400, 400, 432, 432, 9);
    AddBlock(-100, 400, -68, 432, 9);  // right edge -68 + 32 > -32 is false: off screen
    hazardVertexX[50][0] = 10;
    hazardVertexY[50][0] = 20;
    hazardVertexX[50][1] = 30;
    hazardVertexY[50][1] = 40;
    hazardVertexX[50][2] = 50;
    hazardVertexY[50][2] = 60;
    DrawPlayScene();
    ASSERT_EQ(1u, BoxesAt(0, 0, 300, 720).size());
    EXPECT_EQ(colorBlack, BoxesAt(0, 0, 300, 720)[0].colour);
    std::vector<DrawCall> tri = DrawsOfKind(DRAW_TRIANGLE);
    ASSERT_EQ(1u, tri.size());
    EXPECT_EQ(128, tri[0].blendParam);
    EXPECT_EQ(colorBlue, tri[0].colour);
    EXPECT_EQ(60, tri[0].v[5]);
    ASSERT_EQ(1u, DrawsOfGraph(BlockGraph(55, 0)).size());
    EXPECT_EQ(100, DrawsOfGraph(BlockGraph(55, 0))[0].v[0]);
    ASSERT_EQ(1u, DrawsOfGraph(BlockGraph(9, 0)).size());
    EXPECT_EQ(400, DrawsOfGraph(BlockGraph(9, 0))[0].v[0]);

    // Once the marker is gone the curtain is done for good.
    actors[40].kind = KIND_FREE;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_EQ(1, startCurtainDone);
    EXPECT_TRUE(BoxesAt(0, 0, 300, 720).empty());

    // The install flash: radius 64 - 5 x 3 = 49 around the player's centre
    // (116, 524 + 4).
    PlaceActor(60, KIND_EFFECT, 53, 0, 0, 8, 8);
    installFlashFrames = 5;
    installFlashRadius = 64;
    installFlashShrink = 3.0f;
    ResetDrawRecord();
    DrawPlayScene();
    std::vector<DrawCall> ring = DrawsOfGraph(cursorIcon);
    ASSERT_EQ(1u, ring.size());
    EXPECT_TRUE(SameBox(ring[0], 67, 479, 165, 577));
}

TEST_F(PlayDraw, BlockSeventyThreeTurnsIntoSeventyFourNearThePlayer)
{
    for (int t : {73, 74}) {
        blockAnimFrames[t][0].rowFrames = 2;
        blockAnimFrames[t][0].ticks = 1;
        blockAnimFrames[t][1].ticks = 1;
        for (int f = 0; f < 2; f++)
            blockImages[t][f] = BlockGraph(t, f);
    }
    // Player centre x 116: the block 40..72 lies inside 20..212.
    BlockRecord& b = AddBlock(40, 400, 72, 432, 73);
    b.blockAnimTick = 1;
    b.blockAnimFrame = 0;
    DrawPlayScene();
    EXPECT_EQ(1u, DrawsOfGraph(BlockGraph(74, 1)).size());
    actors[0].centerX[0] = 600;
    b.blockAnimTick = 1;
    ResetDrawRecord();
    DrawPlayScene();
    // Far from the player its animation restarts and type 73 shows.
    EXPECT_EQ(1u, DrawsOfGraph(BlockGraph(73, 0)).size());
    EXPECT_EQ(0, b.blockAnimFrame);
}

TEST_F(PlayDraw, BossBarColourFollowsHitPoints)
{
    const struct {
        int hp;
        unsigned int* colour;
    } cases[] = {{36, &colorGreen}, {35, &colorYellow}, {21, &colorYellow}, {20, &colorRed}, {0, &colorRed}};
    areaIndex = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hp);
        PlaceActor(8, KIND_BOSS, 3, 800, 200, 64, 64, c.hp);
        ResetDrawRecord();
        DrawPlayScene();
        std::vector<DrawCall> bar = BoxesAt(1214, 2 * (100 - c.hp), 1230, 200);
        ASSERT_EQ(1u, bar.size());
        EXPECT_EQ(*c.colour, bar[0].colour);
    }
    // Slot 8 holding an effect, or a field area: no bar.
    PlaceActor(8, KIND_EFFECT, 3, 800, 200, 64, 64, 50);
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_TRUE(BoxesAt(1214, 100, 1230, 200).empty());
    PlaceActor(8, KIND_BOSS, 3, 800, 200, 64, 64, 50);
    areaIndex = 2;
    ResetDrawRecord();
    DrawPlayScene();
    EXPECT_TRUE(BoxesAt(1214, 100, 1230, 200).empty());
}

// Pause menu input, one frame at a time.
class PauseMenu : public PlayDraw {
protected:
    void SetUp() override
    {
        PlayDraw::SetUp();
        paused = 1;
        areaIndex = 2;
    }
    void Press(int* counter)
    {
        *counter = 1;
        UpdatePauseMenu();
        *counter = 0;
    }
    void Decide() { Press(&actionHold[0][1]); }
    void Down() { Press(&holdDown); }
    void Up() { Press(&holdUp); }
    void Pause() { Press(&actionHold[0][8]); }
};

TEST_F(PauseMenu, CursorMovesWithinItsRowsAndHeldKeysDoNothing)
{
    const int script[][2] = {{'d', 1}, {'d', 2}, {'d', 3}, {'d', 3}, {'u', 2}, {'u', 1}, {'u', 0}, {'u', 0}};
    for (const auto& step : script) {
        step[0] == 'd' ? Down() : Up();
        EXPECT_EQ(step[1], pauseCursor);
    }
    EXPECT_EQ(8, CountSePlays(9));
    holdDown = 2;
    UpdatePauseMenu();
    EXPECT_EQ(0, pauseCursor);
    EXPECT_EQ(8, CountSePlays(9));
}

TEST_F(PauseMenu, ResumeRestartsTheMusicWhereItStopped)
{
    struct Case {
        int area, passed, defeated, music;
    } cases[] = {{2, 1, 0, 2}, {2, 0, 0, 13}, {7, 1, 0, 5}, {7, 1, 2, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.music);
        SoundCalls().clear();
        paused = 1;
        areaIndex = c.area;
        startLinePassed = c.passed;
        bossDefeated = c.defeated;
        Decide();
        EXPECT_EQ(0, paused);
        EXPECT_EQ(1, CountBgmPlays(c.music, 3, 0));
        EXPECT_EQ(1, CountSePlays(14));
    }
}

TEST_F(PauseMenu, ConfirmationsLeadToAreaSelectTitleOrQuit)
{
    // Area select: open, say no, open again, say yes.
    Down();
    Decide();
    EXPECT_EQ(1, confirmAreaSelect);
    EXPECT_EQ(0, pauseCursor);
    Decide();
    EXPECT_EQ(0, confirmAreaSelect);
    EXPECT_EQ(1, paused);
    Down();
    Decide();
    ASSERT_EQ(1, confirmAreaSelect);
    Down();
    Down();  // a confirmation only has no and yes
    EXPECT_EQ(1, pauseCursor);
    areaIndex = 6;
    carryStats = 1;
    blinkCounter = 30;
    SoundCalls().clear();
    Decide();
    EXPECT_EQ(SCENE_AREA_SELECT, sceneNo);
    EXPECT_EQ(0, paused);
    EXPECT_EQ(1, areaIndex);
    EXPECT_EQ(0, carryStats);
    EXPECT_EQ(0, blinkCounter);
    EXPECT_EQ(0, confirmAreaSelect);
    EXPECT_EQ(1, CountBgmPlays(9, 3, 1));
    EXPECT_EQ(1, CountStops(BgmHandleOf(2)));  // every music stopped first
    EXPECT_EQ(1, CountSePlays(2));

    // Title.
    paused = 1;
    Down();
    Down();
    Decide();
    ASSERT_EQ(1, confirmTitle);
    Down();
    Decide();
    EXPECT_EQ(SCENE_TITLE, sceneNo);
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));

    // Quit: "no" closes, "yes" ends the library.
    paused = 1;
    for (int i = 0; i < 3; i++)
        Down();
    Decide();
    ASSERT_EQ(1, confirmQuit);
    Decide();
    EXPECT_EQ(0, confirmQuit);
    EXPECT_EQ(0, EndLibraryCount());
    for (int i = 0; i < 3; i++)
        Down();
    Decide();
    Down();
    Decide();
    EXPECT_EQ(1, EndLibraryCount());
}

TEST_F(PauseMenu, PauseKeyResumesExceptOverTheLeavingConfirmations)
{
    // Over the quit confirmation it resumes, and the confirmation stays
    // open for the next pause.
    for (int i = 0; i < 3; i++)
        Down();
    Decide();
    ASSERT_EQ(1, confirmQuit);
    Down();
    Pause();
    EXPECT_EQ(0, paused);
    EXPECT_EQ(1, confirmQuit);
    EXPECT_EQ(0, pauseCursor);
    EXPECT_EQ(1, CountBgmPlays(2, 3, 0));

    confirmQuit = 0;
    for (int* flag : {&confirmAreaSelect, &confirmTitle}) {
        paused = 1;
        *flag = 1;
        pauseCursor = 1;
        Pause();
        EXPECT_EQ(1, paused);
        EXPECT_EQ(0, pauseCursor);
        *flag = 0;
    }
}

TEST_F(PauseMenu, OverlayCursorBlinksAndTextsFollowTheState)
{
    struct Case {
        int blink, cursor;
        int* confirm;
        int x1, y1, x2, y2, alpha;
        int header, text;
    } cases[] = {
        {0, 0, nullptr, 71, 502, 71, 502, 255, 1, 6},
        {7, 2, nullptr, 67, 566, 74, 573, 220, 1, 8},
        {59, 3, nullptr, 41, 574, 100, 633, -40, 1, 9},
        {10, 1, &confirmTitle, 66, 531, 76, 541, 205, 2, 4},
        {10, 0, &confirmAreaSelect, 66, 497, 76, 507, 205, 2, 3},
        {10, 0, &confirmQuit, 66, 497, 76, 507, 205, 2, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blink * 10 + c.cursor);
        ResetDrawRecord();
        blinkCounter = c.blink;
        pauseCursor = c.cursor;
        if (c.confirm)
            *c.confirm = 1;
        DrawPauseMenu();
        const std::vector<DrawCall>& d = DrawCalls();
        ASSERT_EQ(4u, d.size());
        EXPECT_EQ(PauseGraph(0), d[0].graph);
        EXPECT_EQ(192, d[0].blendParam);
        EXPECT_EQ(16, d[0].v[0]);
        EXPECT_EQ(471, d[0].v[1]);
        EXPECT_EQ(cursorIcon, d[1].graph);
        EXPECT_TRUE(SameBox(d[1], c.x1, c.y1, c.x2, c.y2));
        EXPECT_EQ(c.alpha, d[1].blendParam);
        EXPECT_EQ(PauseGraph(c.header), d[2].graph);
        EXPECT_EQ(PauseGraph(c.text), d[3].graph);
        EXPECT_EQ(255, d[3].blendParam);
        EXPECT_EQ(1, d[3].trans);
        EXPECT_EQ(c.blink == 59 ? 0 : c.blink + 1, blinkCounter);
        if (c.confirm)
            *c.confirm = 0;
    }
}

} // namespace
