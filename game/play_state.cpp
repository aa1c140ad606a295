#include "game/play_state.h"

int keyJingleTimer;
int freezeAll;
int deathFlag;
int deathTimer;
int bossDefeated;
int bossDefeatTimer;
int finalBossPending;
int finalBossTimer;
int entranceActive;
int gateSpawned;
int startLinePassed;
int startEffectSlot;

float scrollMin, scrollMax;
int startLine;
int gateX, gateY;

float gravityStep;
int zonePush;
int innerLoopIndex;

int playerLevel;
int sphereTally;
int itemFlags[ITEM_FLAG_COUNT];
int slotLevel[SLOT_BAR_ROWS];
int activeSlotRow;
int activeSlotCost;
int slotAvailable;
int prevActiveSlotRow;
int sphereCap;

int hazardVertexX[ACTOR_SLOTS][3];
int hazardVertexY[ACTOR_SLOTS][3];

int startCurtainDone;
int hitFlashTimer;
int pauseCursor;
int confirmAreaSelect, confirmTitle, confirmQuit;
int warningTextChars;

int slotBarX, slotBarY;
int installFlashFrames;
int installFlashRadius;
float installFlashShrink;
