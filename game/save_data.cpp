#include "game/save_data.h"

#include "game/game_state.h"

// Stand-in until the settings file is read: the defaults, window mode first.
void ReadSaveData()
{
    windowMode = 1;
    bgmVolume = 30;
    seVolume = 30;
    lastRankPlus1 = 0;
    lifeSetting = 0;
}

void WriteSaveData() {}
