// Scene 2: the area icons on a tiled background with the boss data panel;
// a choice glides the icon, closes the bars and starts the area 250 frames
// later.
#include <string.h>

#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/area_start.h"
#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/font/default_font.h"
#include "graphics/shape_calls.h"

namespace {

enum {
    ICON_SIZE = 144,
    START_DELAY = 250,
    SE_DECIDE = 2,
    SE_CANCEL = 5,
    SE_MOVE = 9,
    BGM_TITLE = 7,
    BGM_AREA_SELECT = 9,
    BGM_AREA_CHOSEN = 10,
};

const char* const BossData[AREA_ICONS][BOSS_PANEL_LINES] = {
    {"Mirabel Tome", "Witch", "Ninth Wyvern"},
    {"Frostine", "Fairy", "Frost Scaler"},
    {"Shizuka Tokiwa", "Human", "Clock Panic"},
    {"Kaede Hoshimura", "Human", "Arcane Cascade"},
    {"???????", "???????", "???????"},
};

const char StageStart[] = "STAGE START";

bool Pressed(int counter) { return counter == 1; }
bool Chosen() { return areaDecidedAt != 0; }
int IconCount() { return fifthUnlocked ? 5 : 4; }
int CursorArea() { return ClampInt(areaCursor, 0, AREA_ICONS - 1); }

void MoveTo(int area)
{
    areaCursor = area;
    PlaySoundHandle(seHandle[SE_MOVE], 1, 1);
    RestartBossPanel();
}

void GlideChosenIcon()
{
    const int a = CursorArea();
    if (iconX[a] < 240)
        iconX[a] += 6;
    else if (iconX[a] > 446)
        iconX[a] -= 10;
    else if (iconX[a] > 246)
        iconX[a] -= 6;
    else if (iconY[a] > 300)
        iconY[a] -= 3;
    else if (iconY[a] < 296)
        iconY[a] += 3;
    else if (iconArrived == 0)
        iconArrived = 1;
}

// Appends the next character of `text` to `buffer` while any remain.
void TypeNext(char* buffer, int& counter, const char* text)
{
    if (counter < 0 || counter >= PANEL_TEXT_CHARS - 1 || text[counter] == 0)
        return;
    buffer[counter] = text[counter];
    buffer[counter + 1] = 0;
    counter++;
}

void DrawIcons()
{
    const int cursor = CursorArea();
    SelectBlendMode(1, 64);
    DrawBoxShape(iconX[cursor], iconY[cursor], iconX[cursor] + ICON_SIZE, iconY[cursor] + ICON_SIZE, colorRed, 1);
    SelectBlendMode(1, 255);
    for (int a = 0; a < IconCount(); a++) {
        if (Chosen() && a != cursor)
            continue;
        if (!Chosen()) {
            SelectBlendMode(1, 64);
            DrawBoxShape(iconX[a], iconY[a], iconX[a] + ICON_SIZE, iconY[a] + ICON_SIZE, colorWhite, 1);
        }
        SelectBlendMode(1, 128);
        DrawGraphAt(iconX[a], iconY[a], areaFaceImages[a], 1);
        SelectBlendMode(1, 255);
    }
    if (areaSelectFrame % 20 == 0)
        blinkSelector = 1 - blinkSelector;
    DrawGraphAt(iconX[cursor], iconY[cursor], areaFaceImages[cursor], 1);
    DrawGraphAt(iconX[cursor], iconY[cursor], areaSelectImages[blinkSelector & 1], 1);
}

void DrawPanel()
{
    const int w = screenWidth, h = screenHeight;
    DrawGraphFromFile(w / 2 - 176, h / 2 - 125, "img/etc/StageSelect.bmp", 0);
    DrawGraphFromFile(w / 2 - 200, h / 2 - 80, "img/title/Erea/EreaSelectTextBG.bmp", 0);
    DrawFormatStringDefault(w / 2 - 150, 300, colorWhite, "-BOSS CHARACTER DATA-");
    DrawFormatStringDefault(w / 2 - 150, 335, colorWhite, "NAME ...");
    DrawFormatStringDefault(w / 2 - 150, 365, colorWhite, "TYPE ...");
    DrawFormatStringDefault(w / 2 - 150, 395, colorWhite, "JOB  ...");
    for (int i = 0; i < BOSS_PANEL_LINES; i++) {
        TypeNext(panelText[i], panelChars[i], BossData[CursorArea()][i]);
        DrawStringDefault(w / 2 - 50, 335 + 30 * i, panelText[i], colorWhite, 0);
    }
    DrawGraphAt((w - 352) / 2, 430, areaClearMarks[areaCleared[CursorArea()] ? 1 : 0], 0);
}

void DrawClosingBars()
{
    if (iconArrived == 0)
        return;
    const int w = screenWidth, h = screenHeight;
    const int k = iconArrived;
    for (int j = 0; j < k; j++) {
        int g = 64 - j / 2;
        unsigned int grey = ColorFromRGB(g, g, g);
        DrawBoxShape(0, 8 * j - 8, w, 8 * j - 4, grey, 1);
        DrawBoxShape(0, h - 8 * j + 4, w, h - 8 * j + 8, grey, 1);
        if (k > 45) {
            TypeNext(stageStartText, stageStartChars, StageStart);
            DrawStringDefault(w / 2 - 80, 355, stageStartText, colorWhite, 0);
        }
    }
    iconArrived++;
}

} // namespace

void RestartBossPanel()
{
    memset(panelText, 0, sizeof panelText);
    memset(panelChars, 0, sizeof panelChars);
}

void ResetAreaSelect()
{
    SetDefaultFontSize(20);
    carryStats = checkpoint = gateSpawned = iconArrived = 0;
    menuIdle = blinkCounter = titleCursor = areaCursor = 0;
    const int cx = screenWidth / 2, cy = screenHeight / 2;
    if (areaCleared[0] && areaCleared[1] && areaCleared[2] && areaCleared[3]) {
        fifthUnlocked = 1;
        const int x[AREA_ICONS] = {cx - 216 - 240, cx - 240 + 16, cx + 80, cx + 240 + 144, cx - 72};
        const int y[AREA_ICONS] = {cy - 160 - 144, cy - 160 - 144, cy - 160 - 144, cy - 160 - 144, cy + 160};
        memcpy(iconX, x, sizeof iconX);
        memcpy(iconY, y, sizeof iconY);
    } else {
        fifthUnlocked = 0;
        const int x[AREA_ICONS] = {cx - 216 - 88, cx + 160, cx - 216 - 88, cx + 160, 0};
        const int y[AREA_ICONS] = {cy - 160 - 144, cy - 160 - 144, cy + 160, cy + 160, 0};
        memcpy(iconX, x, sizeof iconX);
        memcpy(iconY, y, sizeof iconY);
    }
    for (ItemPlacement& item : itemList)
        item.taken = 0;
}

void AdvanceAreaSelect()
{
    areaSelectFrame++;
    if (Chosen() && areaSelectFrame - areaDecidedAt > START_DELAY) {
        areaEntries[CursorArea()]++;
        sceneNo = SCENE_PLAY;
        areaIndex = CursorArea();
        startEffectSlot = 0;
        startLinePassed = 0;
        lives = 3;
        sphereTally = 0;
        StartArea();
        areaDecidedAt = 0;
    }
    if (Chosen())
        GlideChosenIcon();
}

void UpdateAreaSelect()
{
    if (Chosen())
        return;
    const int a = areaCursor;
    if (Pressed(holdUp)) {
        if (fifthUnlocked ? a == 4 : (a == 2 || a == 3))
            MoveTo(fifthUnlocked ? 1 : a - 2);
    }
    if (Pressed(holdDown)) {
        if (fifthUnlocked ? (a >= 0 && a <= 3) : (a == 0 || a == 1))
            MoveTo(fifthUnlocked ? 4 : a + 2);
    }
    // Left and right move from where up or down left the cursor: a diagonal
    // must not test one area and then step from another (down and right from
    // area 2 would reach a fifth area 5 that does not exist).
    const int b = areaCursor;
    if (holdLeft != 0) {
        if (Pressed(holdLeft) && (fifthUnlocked ? (b >= 1 && b <= 3) : (b == 1 || b == 3)))
            MoveTo(b - 1);
    } else if (Pressed(holdRight)) {
        if (fifthUnlocked ? (b >= 0 && b <= 2) : (b == 0 || b == 2))
            MoveTo(b + 1);
    }
    if (Pressed(actionHold[0][1])) {
        PlaySoundHandle(seHandle[SE_DECIDE], 1, 1);
        areaDecidedAt = areaSelectFrame;
        StopSoundHandle(bgmHandle[BGM_AREA_SELECT]);
        PlaySoundHandle(bgmHandle[BGM_AREA_CHOSEN], 1, 1);
        return;
    }
    if (Pressed(actionHold[0][2])) {
        RestartBossPanel();
        PlaySoundHandle(seHandle[SE_CANCEL], 1, 1);
        StopSoundHandle(bgmHandle[BGM_AREA_SELECT]);
        PlaySoundHandle(bgmHandle[BGM_TITLE], 3, 1);
        areaCursor = 0;
        menuIdle = 0;
        sceneNo = SCENE_TITLE;
    }
}

void DrawAreaSelect()
{
    const int tile = blockImages[0][0];
    for (int row = 0; row < 32; row++)
        for (int col = 0; col < 40; col++)
            DrawGraphAt(32 * col, 32 * row, tile, 0);
    DrawIcons();
    DrawPanel();
    DrawClosingBars();
}
