#include "game/scene_state.h"

#include <string.h>

int logoStep, logoLastStepFrame, logoBarHandle, jingleHandle;
int voiceHandle[VOICE_CLIPS];

int titlePage, titleCursor, cursorX, cursorY, introTimer, menuIdle;
int idleVoiceReady = 1;
int optionEditing, optionPending, soundTestPlaying, demoPicture;
float introFallY;
const char* mappingLabels[16];

int areaCursor, fifthUnlocked, areaDecidedAt, areaSelectFrame, iconArrived, blinkSelector;
int iconX[AREA_ICONS], iconY[AREA_ICONS];
char panelText[BOSS_PANEL_LINES][PANEL_TEXT_CHARS];
int panelChars[BOSS_PANEL_LINES];
char stageStartText[PANEL_TEXT_CHARS];
int stageStartChars;

float tallyValue, tallyTotal;
int levelUpFlash, endingFrame, clearRank;
char endingText[ENDING_TEXT_ROWS][ENDING_TEXT_CHARS];
int endingTextChars[ENDING_TEXT_ROWS];

void ResetSceneGlobals()
{
    logoStep = logoLastStepFrame = logoBarHandle = jingleHandle = 0;
    memset(voiceHandle, 0, sizeof voiceHandle);

    titlePage = titleCursor = cursorX = cursorY = introTimer = menuIdle = 0;
    idleVoiceReady = 1;
    optionEditing = optionPending = soundTestPlaying = demoPicture = 0;
    introFallY = 0.0f;
    memset(mappingLabels, 0, sizeof mappingLabels);

    areaCursor = fifthUnlocked = areaDecidedAt = areaSelectFrame = iconArrived = blinkSelector = 0;
    memset(iconX, 0, sizeof iconX);
    memset(iconY, 0, sizeof iconY);
    memset(panelText, 0, sizeof panelText);
    memset(panelChars, 0, sizeof panelChars);
    memset(stageStartText, 0, sizeof stageStartText);
    stageStartChars = 0;

    tallyValue = tallyTotal = 0.0f;
    levelUpFlash = endingFrame = clearRank = 0;
    memset(endingText, 0, sizeof endingText);
    memset(endingTextChars, 0, sizeof endingTextChars);
}
