#include "game/game_state.h"

int sceneNo;
int frameCount;
int keyHold[256];
int screenWidth, screenHeight;
int areaIndex;
float scrollX;
int lives;
int paused;
int playFrame;
int areaCleared[16];
int areaFrames[10];
int areaEntries[5];
int areaMisses[10];
int carryStats;
int checkpoint;
int lifeSetting, bgmVolume, seVolume, windowMode, lastRankPlus1;
int bgmHandle[16];
int seHandle[32];
int loopIndex, lastSpawnSlot;
int areaClearFrame;
int gameOverFrame;
int blinkCounter;
