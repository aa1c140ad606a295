// State of the logo, title, area-select and closing scenes that other scenes
// or the main loop set or read. Every value starts at 0 and lives for the
// whole run.
#pragma once

enum TitlePage {
    TITLE_INTRO = 0,
    TITLE_MENU = 1,
    TITLE_MAPPING = 2,
    TITLE_OPTIONS = 3,
    TITLE_SOUND_TEST = 4,
};

enum {
    VOICE_CLIPS = 6,
    AREA_ICONS = 5,
    BOSS_PANEL_LINES = 3,
    PANEL_TEXT_CHARS = 256,
    ENDING_TEXT_ROWS = 16,
    ENDING_TEXT_CHARS = 256,
    LEVEL_TABLE_TOP = 17,   // the highest level with a gauge threshold
};

// Logo scene.
extern int logoStep;            // pieces shown, 0 to 12
extern int logoLastStepFrame;   // frameCount of the last step
extern int logoBarHandle;       // 0 until the scene's first run
extern int jingleHandle;
extern int voiceHandle[VOICE_CLIPS];

// Title scene.
extern int titlePage;
extern int titleCursor;
extern int cursorX, cursorY;    // the cursor image's centre
extern int introTimer;
extern int menuIdle;
extern int idleVoiceReady;      // 1 at start (set by the reset)
extern int optionEditing;
extern int optionPending;
extern int soundTestPlaying;
extern int demoPicture;         // 0 until the title's first drawing
extern float introFallY;        // the intro's falling picture's offset
extern const char* mappingLabels[16];  // the mapping page's action labels

// Area select scene.
extern int areaCursor;
extern int fifthUnlocked;
extern int areaDecidedAt;
extern int areaSelectFrame;
extern int iconArrived;
extern int blinkSelector;
extern int iconX[AREA_ICONS], iconY[AREA_ICONS];
extern char panelText[BOSS_PANEL_LINES][PANEL_TEXT_CHARS];
extern int panelChars[BOSS_PANEL_LINES];
extern char stageStartText[PANEL_TEXT_CHARS];
extern int stageStartChars;

// Area clear, game over and ending.
extern float tallyValue;
extern float tallyTotal;
extern int levelUpFlash;
extern int endingFrame;
extern int clearRank;
extern char endingText[ENDING_TEXT_ROWS][ENDING_TEXT_CHARS];
extern int endingTextChars[ENDING_TEXT_ROWS];

// The ending's rank, 0 to 5: areas played in one go, with few hits, in time.
int ComputeClearRank();

// Every value above back to its start value.
void ResetSceneGlobals();

// Area select: the boss data lines start typing again from empty.
void RestartBossPanel();
// The area clear's and game over's tally screen: heading picture and frame.
void DrawTallyScreen(int heading, int frame);
// Spheres that fill the level gauge at `level`; levels past the table keep
// the last threshold.
float LevelThreshold(int level);
// Title: after a window-mode switch deleted every graph, the pictures the
// scenes load themselves are loaded again.
void ReloadScenePictures();
