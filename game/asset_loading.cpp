#include "game/asset_loading.h"

#include "audio/sound_services.h"
#include "game/game_state.h"

unsigned int colorWhite;

// Stand-in until tables and images are loaded.
void LoadGameData() {}

void StopAllBgm()
{
    for (int handle : bgmHandle)
        StopSoundHandle(handle);
}
