#include "game/asset_loading.h"

// Stand-in until tables and images are loaded.
void LoadGameData() {}
