// Scene 0: the maker's logo built from 12 pieces, one every 6 frames, then a
// voice clip, the music and effects loaded, and the hand-over to the title.
#include <stdio.h>

#include "audio/sound_services.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "graphics/draw_calls.h"
#include "graphics/font/default_font.h"
#include "graphics/graph_loading.h"
#include "runtime/timing.h"

static const int LogoStepFrames = 5;   // a step when more frames have passed

static void LoadLogoSounds()
{
    logoBarHandle = LoadImageToGraph("img/title/DORA/CampanyLogoBar.bmp", 0);
    jingleHandle = LoadSoundFileBase("img/title/DORA/Sound.mp3", 3, -1);
    SetSoundVolume(seVolume, jingleHandle);
    char path[32];
    for (int i = 0; i < VOICE_CLIPS; i++) {
        snprintf(path, sizeof path, "sound/cv%d.mp3", i);
        voiceHandle[i] = LoadSoundFileBase(path, 3, -1);
        SetSoundVolume(seVolume, voiceHandle[i]);
    }
}

static void StepLogo()
{
    if (frameCount - logoLastStepFrame <= LogoStepFrames)
        return;
    logoLastStepFrame = frameCount;
    if (logoStep != LOGO_PIECES) {
        logoStep++;
        PlaySoundHandle(jingleHandle, 1, 1);
        return;
    }
    PlaySoundHandle(voiceHandle[GetRandomUpTo(2)], 1, 1);
    LoadGameSounds();
    PlaySoundHandle(bgmHandle[8], 1, 1);
    sceneNo = SCENE_TITLE;
    titlePage = TITLE_INTRO;
    logoStep = 0;
}

static void DrawLogo()
{
    for (int i = 0; i < logoStep && i < LOGO_PIECES; i++)
        DrawGraphAt(logoPieces[i].x, logoPieces[i].y, logoPieces[i].handle, 1);
    // The bar waits under the next piece; with all pieces shown there is none.
    if (logoStep >= 0 && logoStep < LOGO_PIECES)
        DrawGraphAt(logoPieces[logoStep].x, logoPieces[logoStep].y + 80, logoBarHandle, 1);
    DrawFormatStringDefault(screenWidth - 180, screenHeight - 60, colorWhite, "NOW LOADING");
}

void RunLogoScene()
{
    if (logoBarHandle == 0)
        LoadLogoSounds();
    StepLogo();
    DrawLogo();
}
