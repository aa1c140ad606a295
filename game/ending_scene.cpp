// Scene 5: the cast list typed out with portraits, the closing lines and the
// rank, which is saved when the player leaves for the logo.
#include <string.h>

#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/play_draw.h"
#include "game/save_data.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "graphics/draw_calls.h"

namespace {

enum {
    LEAVE_AFTER = 1800,
    SKIP_TO = 1600,
    CAST_UNTIL = 1270,
    BGM_ENDING = 11,
    CAST_ROWS = 7,
};

const char* const EndingLines[10] = {
    "Main Cast", "Aoi Tsukishiro", "Kaede Hoshimura", "Mirabel Tome", "Frostine",
    "Shizuka Tokiwa", "Star Lancer", "PRESENTED BY KESTREL WORKS", "THANK YOU FOR PLAYING",
    "YOUR RANK IS ...",
};

// A cast row: from which frame it types, where, and the portraits beside it
// (kind 0 = none) as offsets from the screen's centre.
struct CastRow {
    int from;
    int dx, y;
    int kind[2], id[2], px[2], py;
};

const CastRow Cast[CAST_ROWS] = {
    {101, 0, 50, {0, 0}, {0, 0}, {0, 0}, 0},
    {321, -300, 150, {KIND_PLAYER, 0}, {0, 0}, {-332, 0}, 182},
    {331, 300, 150, {KIND_BOSS, 0}, {1, 0}, {268, 0}, 182},
    {641, -400, 350, {KIND_BOSS, 0}, {4, 0}, {-432, 0}, 382},
    {651, 0, 350, {KIND_BOSS, 0}, {2, 0}, {-32, 0}, 382},
    {661, 400, 350, {KIND_BOSS, 0}, {3, 0}, {368, 0}, 382},
    {961, 0, 550, {KIND_BOSS, KIND_BOSS}, {5, 6}, {-96, 32}, 582},
};

const int AreaFrameLimit[5] = {8000, 8000, 8000, 8000, 12000};

void TypeRow(int row, int x, int y)
{
    DrawTypewriterText(x, y, endingText[row], endingTextChars[row]);
}

void DrawCast(int e)
{
    const int half = screenWidth / 2;
    for (int row = 0; row < CAST_ROWS; row++) {
        const CastRow& c = Cast[row];
        if (e < c.from)
            continue;
        TypeRow(row, half + c.dx, c.y);
        for (int p = 0; p < 2; p++)
            if (c.kind[p] != 0)
                DrawGraphAt(half + c.px[p], c.py, AnimFrame(c.kind[p], c.id[p], 0, 0).imageHandle, 1);
    }
}

void DrawClosing(int e)
{
    const int half = screenWidth / 2, middle = screenHeight / 2;
    if (e >= 1281)
        TypeRow(7, half, middle - 64);
    if (e >= 1361)
        TypeRow(8, half, middle - 32);
    if (e >= 1441)
        TypeRow(9, half - 20, middle + 48);
    if (e >= 1481)
        DrawGraphAt(720, 397, rankImages[ClampInt(clearRank, 0, RANK_IMAGES - 1)], 1);
}

void LeaveEnding()
{
    lastRankPlus1 = clearRank + 1;
    WriteSaveData();
    endingFrame = 0;
    areaCleared[ClampInt(areaIndex, 0, 15)] = 1;
    checkpoint = 0;
    sceneNo = SCENE_LOGO;
    titlePage = TITLE_INTRO;
    introTimer = 0;
    StopSoundHandle(bgmHandle[BGM_ENDING]);
    memset(endingTextChars, 0, sizeof endingTextChars);
    // Blank rows, each still ending within its row.
    for (char* row : endingText) {
        memset(row, ' ', ENDING_TEXT_CHARS - 1);
        row[ENDING_TEXT_CHARS - 1] = 0;
    }
    RestartBossPanel();
    ResetAreaSelect();
}

} // namespace

int ComputeClearRank()
{
    int rank = 0;
    for (int i = 0; i < 5; i++)
        if (areaEntries[i] <= 1 && areaMisses[i] < 3 && areaFrames[i] < AreaFrameLimit[i])
            rank++;
    return rank;
}

void UpdateEndingPrelude()
{
    if (endingFrame == 1)
        clearRank = ComputeClearRank();
    endingFrame++;
}

void UpdateEnding()
{
    if (actionHold[0][1] != 1)
        return;
    if (endingFrame > LEAVE_AFTER)
        LeaveEnding();
    else if (endingFrame < SKIP_TO && lastRankPlus1 != 0)
        endingFrame = SKIP_TO;
}

void DrawEnding()
{
    const int e = endingFrame;
    if (e == 1) {
        for (int row = 0; row < 10; row++) {
            strncpy(endingText[row], EndingLines[row], ENDING_TEXT_CHARS - 1);
            endingText[row][ENDING_TEXT_CHARS - 1] = 0;
        }
        return;
    }
    if (e >= 2 && e < CAST_UNTIL)
        DrawCast(e);
    else if (e >= CAST_UNTIL)
        DrawClosing(e);
}
