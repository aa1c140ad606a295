#include "game/save_data.h"

#include <stdio.h>
#include <string.h>

#include "game/action_input.h"
#include "game/game_state.h"
#include "runtime/screen_print.h"

static const char SaveFileName[] = "SaveData.dat";

SaveDataBlock saveData;

// A damaged file must not hand later code a table index or a count it cannot
// use: every field is brought into its range. A button number of 0 (no
// button) is kept; one outside 0 to 16 goes back to the action's default.
static void BringIntoRange(SaveDataBlock& block)
{
    if (block.windowMode != 0)
        block.windowMode = 1;
    block.bgmVolume = ClampInt(block.bgmVolume, 0, 100);
    block.seVolume = ClampInt(block.seVolume, 0, 100);
    for (int i = 0; i < BUTTON_MAP_SIZE; i++) {
        if (block.buttonMap[i] < 0 || block.buttonMap[i] > PAD_BUTTON_NUMBERS)
            block.buttonMap[i] = i + 1;
    }
    block.lastRankPlus1 = ClampInt(block.lastRankPlus1, 0, 6);
    block.lifeSetting = ClampInt(block.lifeSetting, 0, 2);
}

static void TakeBlock(const SaveDataBlock& block)
{
    windowMode = block.windowMode;
    bgmVolume = block.bgmVolume;
    seVolume = block.seVolume;
    lastRankPlus1 = block.lastRankPlus1;
    lifeSetting = block.lifeSetting;
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        buttonMap[i].buttonOfAction = block.buttonMap[i];
}

// The settings of a first start: window mode, both volumes 30, action i on
// button i + 1, never cleared, 3 hit points a life.
static SaveDataBlock DefaultBlock()
{
    SaveDataBlock block = {};
    block.windowMode = 1;
    block.bgmVolume = 30;
    block.seVolume = 30;
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        block.buttonMap[i] = i + 1;
    block.lastRankPlus1 = 0;
    block.lifeSetting = 0;
    return block;
}

void TakeSaveDataBytes(const void* bytes, size_t size)
{
    // A short file gives the whole fields it covers; every other field keeps
    // its default, so that the actions still have their buttons.
    SaveDataBlock block = DefaultBlock();
    if (size > sizeof block)
        size = sizeof block;
    memcpy(&block, bytes, size / sizeof(int32_t) * sizeof(int32_t));
    BringIntoRange(block);
    saveData = block;
    TakeBlock(saveData);
}

void ReadSaveData()
{
    FILE* file = fopen(SaveFileName, "rb");
    if (file) {
        unsigned char bytes[sizeof(SaveDataBlock)];
        size_t got = fread(bytes, 1, sizeof bytes, file);
        fclose(file);
        TakeSaveDataBytes(bytes, got);
        return;
    }
    TakeBlock(DefaultBlock());
    WriteSaveData();
}

void WriteSaveData()
{
    FILE* file = fopen(SaveFileName, "wb");
    if (!file) {
        ScreenPrintf("ファイルオープンエラー\n");
        return;
    }
    saveData.windowMode = windowMode;
    saveData.bgmVolume = bgmVolume;
    saveData.seVolume = seVolume;
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        saveData.buttonMap[i] = buttonMap[i].buttonOfAction;
    saveData.lastRankPlus1 = lastRankPlus1;
    saveData.lifeSetting = lifeSetting;
    fwrite(&saveData, sizeof saveData, 1, file);
    fclose(file);
}
