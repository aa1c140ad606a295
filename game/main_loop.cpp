#include "game/main_loop.h"

#include <windows.h>

#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/save_data.h"
#include "game/scenes.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "runtime/file/archive_files.h"
#include "runtime/input.h"
#include "runtime/library.h"
#include "runtime/timing.h"

static const int FrameMilliseconds = 16;

int lastFrameEnd;

int StartGame()
{
    screenWidth = 1280;
    screenHeight = 720;
    SetArchiveExtension("ukx");
    SetArchiveKeyString("KOWR");
    ReadSaveData();
    if (windowMode == 1)
        ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetWindowTitleText("星霊譚 -ENDLESS VANGUARD-");
    SetWindowIconResource(101);
    SetKeepRunningInBackground(1);
    SetScreenMode(1280, 720, 32, 60);

    if (InitLibraryLocked() == -1)
        return -1;
    if (SelectDrawTarget(DRAW_TARGET_BACK) != 0)
        return -1;

    SetDefaultFontThickness(2);
    SetDefaultFontSize(20);
    ResetAreaSelect();
    LoadGameData();
    return 0;
}

static void RunPlayStep()
{
    if (startLinePassed)
        DrawGraphAt(0, 0, AreaBackgroundGraph(areaIndex % 5), 0);
    if (paused) {
        UpdatePauseMenu();
        DrawPlayScene();
    } else if (IsPlayerHeld()) {
        UpdatePlayScene();
        playFrame++;
        DrawPlayScene();
    } else {
        UpdatePlayer(0);
        UpdatePlayer(1);
        UpdatePlayScene();
        playFrame++;
        DrawPlayScene();
    }
}

static void RunSceneStep()
{
    switch (sceneNo) {
    case SCENE_LOGO:
        RunLogoScene();
        break;
    case SCENE_TITLE:
        PrepareTitleMenu();
        UpdateTitleScene();
        DrawTitleScene();
        break;
    case SCENE_AREA_SELECT:
        AdvanceAreaSelect();
        UpdateAreaSelect();
        DrawAreaSelect();
        break;
    case SCENE_PLAY:
        RunPlayStep();
        break;
    case SCENE_AREA_CLEAR:
        areaClearFrame++;
        UpdateAreaClear();
        DrawAreaClear();
        break;
    case SCENE_ENDING:
        UpdateEndingPrelude();
        UpdateEnding();
        DrawEnding();
        break;
    case SCENE_GAME_OVER:
        if (gameOverFrame == 0)
            PlaySoundHandle(bgmHandle[12], 1, 1);
        gameOverFrame++;
        UpdateGameOver();
        DrawGameOver();
        break;
    default:
        break;
    }
}

int RunGameFrame()
{
    if (ClearDrawTarget(nullptr) != 0)
        return -1;

    char keys[256];
    GetAllKeyStates(keys);
    for (int k = 0; k < 256; k++)
        keyHold[k] = keys[k] == 1 ? keyHold[k] + 1 : 0;

    RunSceneStep();
    frameCount++;
    UpdateActionInput();
    PresentScreen();
    return 0;
}

int FrameSleepTime(int now, int last)
{
    // The millisecond clock has 31 bits; the difference is taken modulo 2^31
    // so that a frame across its wrap still measures its own length.
    int elapsed = (int)(((unsigned)now - (unsigned)last) & 0x7FFFFFFFu);
    int rest = FrameMilliseconds - elapsed;
    return rest > 0 ? rest : 0;
}

void PaceFrame()
{
    int rest = FrameSleepTime(GetMilliCount(), lastFrameEnd);
    if (rest > 0)
        Sleep((DWORD)rest);
    lastFrameEnd = GetMilliCount();
}

void RunGameLoop()
{
    if (ProcessMessagesLocked() != 0)
        return;
    for (;;) {
        if (RunGameFrame() != 0)
            break;
        PaceFrame();
        if (ProcessMessagesLocked() != 0)
            break;
    }
}
