// Scenes 4 and 6: the area clear and the game over share one tally screen,
// where the spheres of the area flow into the level gauge; both return to
// the area select (the clear of the fifth area goes on to the ending).
#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/play_draw.h"
#include "game/play_state.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/font/default_font.h"
#include "graphics/shape_calls.h"

namespace {

enum {
    HEADING_WIDTH = 629,
    HEADING_COVER_FRAMES = 77,
    SHOW_FROM = 120,
    COUNT_FROM = 150,
    LEVEL_UP_FRAMES = 60,
    SE_COUNT_STEP = 2,
    SE_LEVEL_UP = 16,
    BGM_AREA_SELECT = 9,
    BGM_ENDING = 11,
    GAME_OVER_SKIP_TO = 90,
    FINAL_AREA = 4,
};

// Spheres that fill the gauge at levels 1 to 17 (index 0 unused).
const float LevelTable[LEVEL_TABLE_TOP + 1] = {
    0.0f,     800.0f,   1400.0f,  2200.0f,  3200.0f,  4400.0f,   5800.0f,   7400.0f,   9200.0f,
    11200.0f, 14000.0f, 16100.0f, 20000.0f, 45000.0f, 70000.0f, 100000.0f, 150000.0f, 200000.0f,
};

bool DecidePressed() { return actionHold[0][1] == 1; }
bool CountFinished() { return tallyValue == (float)sphereTally; }

// Screen x of the gauge's filled end; a far-off value is held near the
// screen so that the conversion stays in range.
int GaugeEnd()
{
    float end = (tallyTotal + tallyValue) / LevelThreshold(playerLevel) * 880.0f + 200.0f;
    if (end > 100000.0f)
        end = 100000.0f;
    if (end < -100000.0f)
        end = -100000.0f;
    return (int)end;
}

void DrawTallyFigures()
{
    const int x4 = endTexts[4].x, y4 = endTexts[4].y, y3 = endTexts[3].y;
    // Two places: a level past 99 has no picture for its tens (DrawDigit
    // draws nothing outside 0 to 9).
    DrawDigit(playerLevel % 10, x4 + 130, y3 - 65, 0);
    if (playerLevel > 9)
        DrawDigit(playerLevel / 10, x4 + 106, y3 - 65, 0);
    DrawGraphAt(x4, y3 - 64, endTexts[3].handle, 0);

    DrawTallyCount((int)((float)sphereTally - tallyValue), x4, y4);
    DrawGraphAt(x4, y4, endTexts[4].handle, 0);

    DrawBoxShape(200, 510, GaugeEnd(), 540, ColorFromRGB(159, 207, 255), 1);
    DrawBoxShape(201, 511, screenWidth - 201, 539, colorBlack, 0);
    DrawBoxShape(200, 510, screenWidth - 200, 540, colorWhite, 0);
    DrawLineShape(x4, y4 - 22, x4 + 208, y4 - 22, colorWhite, 1);
    DrawLineShape(x4, y4 + 42, x4 + 502, y4 + 42, colorWhite, 1);
}

void CountStep()
{
    const float total = (float)sphereTally;
    const float left = total - tallyValue;
    tallyValue += left > 1000.0f ? 10.0f : left > 50.0f ? 5.0f : 1.0f;
    const float threshold = LevelThreshold(playerLevel);
    if (tallyTotal + tallyValue > threshold) {
        tallyValue -= threshold;
        sphereTally = (int)(total - threshold);
        playerLevel++;
        PlaySoundHandle(seHandle[SE_LEVEL_UP], 1, 1);
        levelUpFlash = LEVEL_UP_FRAMES;
    }
    PlaySoundHandle(seHandle[SE_COUNT_STEP], 1, 1);
}

void DrawLevelUpFlash()
{
    if (levelUpFlash <= 0)
        return;
    SelectBlendMode(1, 5 * levelUpFlash);
    DrawGraphAt(endTexts[4].x + 256, endTexts[3].y - 108 + levelUpFlash, endTexts[2].handle, 0);
    SelectBlendMode(1, 255);
    levelUpFlash--;
}

} // namespace

float LevelThreshold(int level)
{
    return LevelTable[ClampInt(level, 1, LEVEL_TABLE_TOP)];
}

void DrawTallyScreen(int heading, int frame)
{
    const int w = screenWidth, h = screenHeight;
    const PlacedGraph& title = endTexts[heading];
    DrawGraphAt(title.x, title.y, title.handle, 0);
    if (frame < HEADING_COVER_FRAMES)
        DrawBoxShape((int)((w - HEADING_WIDTH) / 2.0 + 4 * frame), 160,
                     (int)((w + HEADING_WIDTH) / 2.0 - 4 * frame), 260, colorBlack, 1);
    if (frame == 1) {
        tallyValue = 0.0f;
    } else {
        if (frame > SHOW_FROM)
            DrawTallyFigures();
        if (frame > COUNT_FROM && (float)sphereTally > tallyValue)
            CountStep();
    }
    DrawLevelUpFlash();
    if (CountFinished() && frame % 100 < 50)
        DrawFormatStringDefault(w - 180, h - 60, colorWhite, "PUSH BUTTON...");
}

void UpdateAreaClear()
{
    if (!DecidePressed() || !CountFinished())
        return;
    areaIndex -= 5;
    const int area = ClampInt(areaIndex, 0, 15);
    areaCleared[area] = 1;
    if (areaIndex == FINAL_AREA) {
        sceneNo = SCENE_ENDING;
        PlaySoundHandle(bgmHandle[BGM_ENDING], 1, 1);
    } else {
        checkpoint = 0;
        sceneNo = SCENE_AREA_SELECT;
        PlaySoundHandle(bgmHandle[BGM_AREA_SELECT], 3, 1);
    }
    areaClearFrame = 0;
    tallyTotal += tallyValue;
    if (areaIndex != FINAL_AREA)
        ResetAreaSelect();
}

void DrawAreaClear()
{
    DrawTallyScreen(0, areaClearFrame);
}

void UpdateGameOver()
{
    if (!DecidePressed())
        return;
    if (gameOverFrame <= GAME_OVER_SKIP_TO)
        gameOverFrame = GAME_OVER_SKIP_TO;
    if (!CountFinished())
        return;
    sceneNo = SCENE_AREA_SELECT;
    if (areaIndex > 4)
        areaIndex -= 5;
    PlaySoundHandle(bgmHandle[BGM_AREA_SELECT], 3, 1);
    tallyTotal += tallyValue;
    gameOverFrame = 0;
    ResetAreaSelect();
}

void DrawGameOver()
{
    DrawTallyScreen(1, gameOverFrame);
}
