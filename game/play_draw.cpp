#include "game/play_draw.h"
#include "game/scenes.h"

#include <string.h>

#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/player_control.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/font/default_font.h"
#include "graphics/shape_calls.h"
#include "runtime/library.h"
#include "runtime/timing.h"

enum { TYPEWRITER_TEXT_MAX = 255 };

void DrawTypewriterText(int x, int y, const char* text, int& counter)
{
    size_t length = strnlen(text, TYPEWRITER_TEXT_MAX);
    int shown = ClampInt(counter, 0, (int)length);
    char buffer[TYPEWRITER_TEXT_MAX + 1];
    memcpy(buffer, text, (size_t)shown);
    buffer[shown] = '\0';
    int width = GetStringWidthDefault(buffer, shown, 0);
    DrawStringDefault(x - width / 2, y, buffer, colorWhite, 0);
    if ((size_t)counter < length)
        counter++;
}

int DrawDigit(int digit, int x, int y, int trans)
{
    if (digit < 0 || digit > 9)
        return -1;
    return DrawGraphAt(x, y, digitImages[1 + digit], trans);
}

int DrawDigitPeriod(int x, int y, int trans)
{
    return DrawGraphAt(x, y, digitImages[0], trans);
}

void DrawTallyCount(int count, int x, int y)
{
    count = ClampInt(count, 0, 99999);
    int d0 = count / 10000;
    DrawDigit(count % 10, x + 420, y, 0);
    for (int i = 3, rest = count / 10; i >= 1; i--, rest /= 10)
        DrawDigit(rest % 10, x + 324 + 24 * i, y, 0);
    if (d0 != 0)
        DrawDigit(d0, x + 324, y, 0);
}

// The frame of an animation that has `frames` stored frames (1 to 16 used);
// a frame index past them starts the row again.
static int BoundFrame(int frame, int frames, int limit)
{
    int count = ClampInt(frames, 1, limit);
    return frame < 0 || frame >= count ? 0 : frame;
}

void DrawActorSprite(int kind, int row, float x, float y, int subtype)
{
    ActorRecord& a = actors[loopIndex];
    int frames = AnimFrame(kind, subtype, row, 0).rowFrames;
    a.animFrame = BoundFrame(a.animFrame, frames, ANIM_FRAMES);
    if (a.animTick == AnimFrame(kind, subtype, row, a.animFrame).ticks) {
        a.animFrame++;
        a.animTick = 0;
        a.animFrame = BoundFrame(a.animFrame, frames, ANIM_FRAMES);
    }
    if (a.hitPoints == 0)
        return;
    const AnimFrameRecord& f = AnimFrame(kind, subtype, row, a.animFrame);
    int left = (int)x - f.offsetX;
    int top = (int)y - f.offsetY;
    if (a.facing == 1)
        DrawGraphStretched(left + f.imageWidth, top, left, top + f.imageHeight, f.imageHandle, 1);
    else
        DrawGraphAt(left, top, f.imageHandle, 1);
}

void DrawAreaBlock(int type, float x, float y)
{
    BlockRecord& b = blocks[loopIndex];
    if (type == 73) {
        float cx = actors[0].centerX[0];
        if (cx - 96 < b.blockX1 && b.blockX2 < cx + 96) {
            type = 74;
        } else {
            b.blockAnimTick = 0;
            b.blockAnimFrame = 0;
        }
    }
    if (type < 0 || type >= BLOCK_TYPES)
        return;
    int frames = blockAnimFrames[type][0].rowFrames;
    b.blockAnimFrame = BoundFrame(b.blockAnimFrame, frames, BLOCK_FRAMES);
    if (b.blockAnimTick == blockAnimFrames[type][b.blockAnimFrame].ticks) {
        b.blockAnimFrame++;
        b.blockAnimTick = 0;
        b.blockAnimFrame = BoundFrame(b.blockAnimFrame, frames, BLOCK_FRAMES);
    }
    const BlockAnimFrame& f = blockAnimFrames[type][b.blockAnimFrame];
    if (b.blockX1 + f.imageWidth > -32 && b.blockX1 < screenWidth + 32)
        DrawGraphAt((int)x - f.offsetX, (int)y - f.offsetY, blockImages[type][b.blockAnimFrame], 1);
}

static void SelectAlpha(int alpha)
{
    SelectBlendMode(1, alpha);
}

static void DrawStartCurtain()
{
    if (startLinePassed != 1 || startCurtainDone != 0)
        return;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        if (actors[i].kind == KIND_EFFECT && actors[i].subtype == 50) {
            DrawBoxShape(0, 0, (int)actors[i].boxX1[0], 720, colorBlack, 1);
            return;
        }
    }
    startCurtainDone = 1;
}

static void DrawHazards()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        const int* vx = hazardVertexX[i];
        const int* vy = hazardVertexY[i];
        if (vx[0] == 0)
            continue;
        SelectAlpha(128);
        DrawTriangleShape(vx[0], vy[0], vx[1], vy[1], vx[2], vy[2], colorBlue, 1);
        SelectAlpha(255);
    }
}

static void DrawBlocks()
{
    int count = ClampInt(blockCount, 0, BLOCK_TABLE_SIZE);
    int marker = startEffectSlot >= 0 && startEffectSlot < ACTOR_SLOTS ? startEffectSlot : 0;
    for (int i = 0; i < count; i++) {
        BlockRecord& b = blocks[i];
        if (!b.active)
            continue;
        loopIndex = i;
        int type = 55;
        if (startLinePassed != 0 && (marker == 0 || !(b.blockX1 < actors[marker].boxX1[0])))
            type = b.blockType;
        DrawAreaBlock(type, b.blockX1, b.blockY1);
        if (!paused) {
            b.blockAnimTick++;
            b.beltAngle++;
        }
    }
}

static void AdvanceActorTicks()
{
    if (paused)
        return;
    for (int i = 0; i < ACTOR_SLOTS; i++)
        if (actors[i].kind != KIND_FREE && actors[i].freezeTimer == 0)
            actors[i].animTick++;
}

static void DrawInstallFlash()
{
    float r = installFlashRadius - installFlashFrames * installFlashShrink;
    float cx = actors[0].centerX[0];
    float cy = actors[0].centerY[0] + 4.0f;
    DrawGraphStretched((int)(cx - r), (int)(cy - r), (int)(cx + r), (int)(cy + r), titleSelectIcon, 1);
}

// The actor in `loopIndex` with `copies` - 1 fading copies at its earlier
// boxes; a copy shows only where the actor has moved.
static void DrawActorWithTrail(int copies)
{
    ActorRecord& a = actors[loopIndex];
    for (int k = copies; k >= 1; k--) {
        if (k > 1 && a.boxX1[k] == a.boxX1[k - 1] && a.boxY1[k] == a.boxY1[k - 1])
            continue;
        SelectAlpha(295 - 40 * k - 128 * (a.invulnTimer % 2) * a.invulnFlag);
        bool tinted = a.kind == KIND_PLAYER && a.spheres == 0;
        if (tinted) {
            int c = (frameCount % 64) * 4;
            SetBrightness(255, c, c);
        }
        DrawActorSprite(a.kind, a.animRow, a.boxX1[k - 1], a.boxY1[k - 1], a.subtype);
        if (tinted)
            SetBrightness(255, 255, 255);
        SelectAlpha(255);
    }
}

static void DrawActors()
{
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        const ActorRecord& a = actors[i];
        if (a.kind < KIND_PLAYER || a.kind > KIND_ITEM)
            continue;
        loopIndex = i;
        DrawActorWithTrail(a.kind == KIND_BOSS && a.subtype == 6 ? 5 : 1);
        if (a.kind == KIND_EFFECT && a.subtype == 53 && installFlashFrames != 0)
            DrawInstallFlash();
    }
}

static void DrawSystemEffects()
{
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        const ActorRecord& a = actors[i];
        if (a.kind != KIND_SYSTEM_EFFECT)
            continue;
        loopIndex = i;
        DrawActorWithTrail(a.subtype == 0 && a.animRow == 2 ? 10 : 1);
    }
}

static void DrawFinalBossWarning()
{
    if (finalBossPending != 1)
        return;
    DrawTypewriterText(screenWidth / 2, 300, "...DESTROY THEM ALL ", warningTextChars);
    DrawCircleShape(1049, 336, (int)(30 - (finalBossTimer % 20) * 1.5), colorWhite, 1);
}

static void DrawSphereGauge()
{
    int width = ChosenOption(4) >= 0 ? 350 : 280;
    DrawBoxShape(slotBarX, slotBarY, slotBarX + width, slotBarY + 24, ColorFromRGB(32, 32, 32), 1);
    DrawBoxShape(slotBarX, slotBarY, slotBarX + actors[0].spheres, slotBarY + 24, ColorFromRGB(159, 207, 255), 1);
}

static void DrawSlotBar()
{
    int y = slotBarY;
    int x1 = slotBarX;
    for (int r = 0; r < SLOT_ROWS; r++) {
        int option = ChosenOption(r);
        if (option < 0)
            break;
        const SlotEntry* picture = SlotAt(r, option, 0);
        int x2 = x1 + SlotCost(r, option);
        DrawBoxShape(x1, y - 16, x2, y, ColorFromRGB(64, 64, 64), 1);
        if (r < activeSlotRow) {
            DrawBoxShape(x1, y, x2, y + 24, ColorFromRGB(240, 0, 0), 1);
        } else if (r == activeSlotRow) {
            int c = (playFrame % 64) * 4;
            DrawBoxShape(x1, y, x2, y + 24, ColorFromRGB(240, c, c), 1);
            DrawBoxShape(x1, y - 16, x2, y, ColorFromRGB(255, 139, 89), 1);
        }
        DrawGraphAt(x1 + 2, y - 16, r == activeSlotRow ? picture->pictureLit : picture->pictureUnlit, 1);
        if (!SlotLevelAvailable(r, option)) {
            SelectAlpha(192);
            DrawBoxShape(x1, y - 16, x2, y + 24, colorBlack, 1);
            SelectAlpha(255);
        }
        DrawBoxShape(x1, y - 17, x2, y, colorWhite, 0);
        DrawBoxShape(x1 + 1, y - 16, x2 - 1, y - 1, colorBlack, 0);
        DrawBoxShape(x1, y, x2, y + 24, colorWhite, 0);
        DrawBoxShape(x1 + 1, y + 1, x2 - 1, y + 23, colorBlack, 0);
        x1 = x2;
    }
}

static void DrawLivesAndHitPoints()
{
    SelectAlpha(255);
    DrawGraphAt(650, slotBarY - 42, AnimFrame(KIND_PLAYER, actors[0].subtype, 0, 0).imageHandle, 1);
    // The frame that takes the last life shows no digit rather than a
    // picture outside the digits.
    DrawDigit(lives, 699, 677, 0);
    DrawDigitPeriod(699, 677, 0);
    // Icons past the screen's right edge would never show.
    for (int i = 0; i < actors[0].hitPoints; i++) {
        int x = slotBarX + 800 + 40 * i;
        if (x >= screenWidth)
            break;
        DrawGraphAt(x, slotBarY - 12, hitPointIcon, 1);
    }
}

static void DrawBossHealth()
{
    if (areaIndex < 5 || areaIndex > 9 || actors[8].kind != KIND_BOSS)
        return;
    int h = ClampInt(actors[8].hitPoints, -1000000, 1000000);
    unsigned int colour = h > 35 ? colorGreen : h > 20 ? colorYellow : colorRed;
    DrawBoxShape(1214, 2 * (100 - h), 1230, 200, colour, 1);
}

void DrawPlayScene()
{
    DrawStartCurtain();
    DrawHazards();
    DrawBlocks();
    AdvanceActorTicks();
    DrawActors();
    DrawFinalBossWarning();
    DrawBoxShape(0, 672, 1280, 720, colorBlack, 1);
    SelectAlpha(255);
    DrawSphereGauge();
    DrawSlotBar();
    DrawLivesAndHitPoints();
    DrawSystemEffects();
    if (paused == 1)
        DrawPauseMenu();
    DrawBossHealth();
}

// Pause menu.

enum { ACTION_DECIDE = 1, ACTION_PAUSE = 8, SE_MOVE = 9, SE_DECIDE = 2, SE_RESUME = 14 };

static void PlayEffect(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

static void CloseConfirmations()
{
    confirmAreaSelect = confirmTitle = confirmQuit = 0;
}

// The music that the pause stopped, from where it stopped.
static void ResumeMusic()
{
    int music;
    if (bossDefeated == 2)
        music = 7;
    else if (areaIndex >= 5 && areaIndex <= 9)
        music = 5;
    else if (startLinePassed == 0)
        music = 13;
    else
        music = ClampInt(areaIndex, 0, BGM_COUNT - 1);
    PlaySoundHandle(bgmHandle[music], 3, 0);
}

static void LeavePlay(int scene, int music)
{
    sceneNo = scene;
    paused = 0;
    if (areaIndex > 4)
        areaIndex -= 5;
    pauseCursor = 0;
    blinkCounter = 0;
    PlayEffect(SE_DECIDE);
    StopAllBgm();
    PlaySoundHandle(bgmHandle[music], 3, 1);
    carryStats = 0;
    CloseConfirmations();
    ResetAreaSelect();
}

static void DecideInPause()
{
    if (confirmAreaSelect) {
        if (pauseCursor == 1) {
            LeavePlay(SCENE_AREA_SELECT, 9);
        } else {
            confirmAreaSelect = 0;
            PlayEffect(SE_DECIDE);
        }
    } else if (confirmTitle) {
        if (pauseCursor == 1) {
            LeavePlay(SCENE_TITLE, 7);
        } else {
            confirmTitle = 0;
            PlayEffect(SE_DECIDE);
        }
    } else if (confirmQuit) {
        if (pauseCursor == 1) {
            PlayEffect(SE_DECIDE);
            WaitMilliseconds(30);
            EndLibraryLocked();
        } else {
            confirmQuit = 0;
            PlayEffect(SE_DECIDE);
        }
    } else if (pauseCursor == 0) {
        ResumeMusic();
        PlayEffect(SE_RESUME);
        paused = 0;
        CloseConfirmations();
        pauseCursor = 0;
    } else {
        if (pauseCursor == 1)
            confirmAreaSelect = 1;
        else if (pauseCursor == 2)
            confirmTitle = 1;
        else
            confirmQuit = 1;
        PlayEffect(SE_DECIDE);
        pauseCursor = 0;
    }
}

void UpdatePauseMenu()
{
    const int* action = actionHold[0];
    bool confirming = confirmAreaSelect || confirmTitle || confirmQuit;
    if (action[ACTION_DECIDE] != 0) {
        if (action[ACTION_DECIDE] == 1)
            DecideInPause();
    } else if (holdDown != 0) {
        if (holdDown == 1) {
            if (confirming)
                pauseCursor = pauseCursor == 0 ? 1 : pauseCursor;
            else if (pauseCursor < 3)
                pauseCursor++;
            PlayEffect(SE_MOVE);
        }
    } else if (holdUp == 1) {
        if (pauseCursor > 0)
            pauseCursor--;
        PlayEffect(SE_MOVE);
    }
    if (action[ACTION_PAUSE] == 1) {
        if (!confirmAreaSelect && !confirmTitle) {
            PlayEffect(SE_RESUME);
            ResumeMusic();
            paused = 0;
        }
        pauseCursor = 0;
    }
}

void DrawPauseMenu()
{
    int b = blinkCounter;
    int cursor = ClampInt(pauseCursor, 0, 3);
    SelectAlpha(192);
    DrawGraphAt(16, 471, pauseImages[0], 1);
    SelectAlpha((51 - b) * 5);
    float half = b / 2.0f;
    float cy = 502.0f + 34 * cursor;
    DrawGraphStretched((int)(71 - half), (int)(cy - half), (int)(71 + half), (int)(cy + half), titleSelectIcon, 1);
    SelectAlpha(255);
    bool confirming = confirmAreaSelect || confirmTitle || confirmQuit;
    DrawGraphAt(16, 471, pauseImages[confirming ? 2 : 1], 1);
    int text = confirmAreaSelect ? 3 : confirmTitle ? 4 : confirmQuit ? 5 : 6 + cursor;
    DrawGraphAt(16, 471, pauseImages[text], 1);
    blinkCounter = blinkCounter + 1 >= 60 ? 0 : blinkCounter + 1;
}

int AreaBackgroundGraph(int area)
{
    if (area < 0 || area >= AREA_BACKGROUNDS)
        return -1;
    return areaBackgroundImages[area];
}
