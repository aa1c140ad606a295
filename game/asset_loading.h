// Start-up loading of the game's tables and images.
#pragma once

void LoadGameData();
