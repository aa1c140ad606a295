// The game's shared state: scene numbers and the globals that several scenes
// read. Every value starts at 0 and lives for the whole run.
#pragma once

enum SceneNo {
    SCENE_LOGO = 0,
    SCENE_TITLE = 1,
    SCENE_AREA_SELECT = 2,
    SCENE_PLAY = 3,
    SCENE_AREA_CLEAR = 4,
    SCENE_ENDING = 5,
    SCENE_GAME_OVER = 6,
};

extern int sceneNo;
extern int frameCount;
extern int keyHold[256];
extern int screenWidth, screenHeight;
extern int areaIndex;
extern float scrollX;
extern int lives;
extern int paused;
extern int playFrame;
extern int areaCleared[16];
extern int areaFrames[10];
extern int areaEntries[5];
extern int areaMisses[10];
extern int carryStats;
extern int checkpoint;
extern int lifeSetting, bgmVolume, seVolume, windowMode, lastRankPlus1;
extern int bgmHandle[16];
extern int seHandle[32];
extern int loopIndex, lastSpawnSlot;

// Frame counters of the area-clear and game-over scenes (their first frame
// is counter 0).
extern int areaClearFrame;
extern int gameOverFrame;

// Blink phase of the menu cursors (0 to 59), shared by the title menus and
// the pause menu.
extern int blinkCounter;

// Returns every game global (scene state, the actor pool, the play state, the
// data tables and the action counters) to its value at program start.
void ResetGameGlobals();

// value brought into low..high.
inline int ClampInt(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}
