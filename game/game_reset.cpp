// Every game global back to its start value. Each unit with globals of its own
// adds them here.
#include <string.h>

#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/boss_routines.h"
#include "game/data_tables.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/play_state.h"
#include "game/save_data.h"
#include "game/scene_state.h"

template <typename T>
static void Zero(T& value)
{
    memset(&value, 0, sizeof value);
}

static void ResetSceneState()
{
    sceneNo = frameCount = 0;
    Zero(keyHold);
    screenWidth = screenHeight = 0;
    areaIndex = 0;
    scrollX = 0.0f;
    lives = paused = playFrame = 0;
    Zero(areaCleared);
    Zero(areaFrames);
    Zero(areaEntries);
    Zero(areaMisses);
    carryStats = checkpoint = 0;
    lifeSetting = bgmVolume = seVolume = windowMode = lastRankPlus1 = 0;
    Zero(bgmHandle);
    Zero(seHandle);
    loopIndex = lastSpawnSlot = 0;
    areaClearFrame = gameOverFrame = 0;
    blinkCounter = 0;
    lastFrameEnd = 0;
    ResetAssetTables();
}

static void ResetPlayState()
{
    keyJingleTimer = freezeAll = deathFlag = deathTimer = 0;
    bossDefeated = bossDefeatTimer = finalBossPending = finalBossTimer = 0;
    entranceActive = gateSpawned = startLinePassed = startEffectSlot = 0;
    scrollMin = scrollMax = 0.0f;
    startLine = gateX = gateY = 0;
    gravityStep = 0.0f;
    zonePush = innerLoopIndex = 0;
    playerLevel = sphereTally = 0;
    Zero(itemFlags);
    Zero(slotLevel);
    activeSlotRow = activeSlotCost = slotAvailable = prevActiveSlotRow = sphereCap = 0;
    Zero(hazardVertexX);
    Zero(hazardVertexY);
    startCurtainDone = hitFlashTimer = pauseCursor = 0;
    confirmAreaSelect = confirmTitle = confirmQuit = 0;
    warningTextChars = 0;
    slotBarX = slotBarY = 0;
    installFlashFrames = installFlashRadius = 0;
    installFlashShrink = 0.0f;
    Zero(actors);
    beamTipX = beamTipY = waveDrift = 0;
}

static void ResetEnemyCounters()
{
    burstCounter = burstSpeed = pauseCounter = volleyCounter = 0;
    Zero(linkActive);
    Zero(linkCounter);
}

static void ResetTables()
{
    Zero(animFrames);
    Zero(blockAnimFrames);
    Zero(slotEntries);
    Zero(blocks);
    blockCount = BLOCK_TABLE_SIZE;
    Zero(spawnList);
    Zero(itemList);
}

static void ResetActionInput()
{
    holdUp = holdDown = holdLeft = holdRight = 0;
    Zero(actionHold);
    Zero(buttonMap);
    learnArmed = 0;
    Zero(saveData);
}

void ResetGameGlobals()
{
    ResetSceneState();
    ResetPlayState();
    ResetEnemyCounters();
    ResetTables();
    ResetActionInput();
    ResetSceneGlobals();
}
