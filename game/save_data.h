// The settings and progress file "SaveData.dat": 84 bytes in the current
// directory, read and written with the C runtime's file calls (never through
// the library's file layer or an archive).
#pragma once

#include <stddef.h>
#include <stdint.h>

// The file, byte for byte (little-endian 32-bit integers).
struct SaveDataBlock {
    int32_t windowMode;     // 1 window, 0 full screen
    int32_t bgmVolume;      // 0 to 100
    int32_t seVolume;       // 0 to 100
    int32_t buttonMap[16];  // button number of actions 0 to 15
    int32_t lastRankPlus1;  // 0 never cleared, else the last clear's rank + 1
    int32_t lifeSetting;    // 0 to 2: lives start with 2 x setting + 3 points
};
static_assert(sizeof(SaveDataBlock) == 84, "SaveData.dat is 84 bytes");

// The block as last read or written; the game works on its globals
// (windowMode, bgmVolume, seVolume, lastRankPlus1, lifeSetting, and the
// button mapping's buttonOfAction), which reading and writing copy.
extern SaveDataBlock saveData;

// Once at start-up: reads the file, or writes the defaults when it is missing.
// Fields a short file does not wholly cover take their defaults.
void ReadSaveData();
// The reading's core: takes the file's first size bytes as ReadSaveData
// takes the file (a file longer than the block is read only that far).
void TakeSaveDataBytes(const void* bytes, size_t size);
// Writes the current settings; prints "ファイルオープンエラー\n" as on-screen
// debug text when the file cannot be opened for writing.
void WriteSaveData();
