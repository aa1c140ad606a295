// Start-up loading of the game's tables and images, and the music handles.
#pragma once

void LoadGameData();
// Stops every music handle.
void StopAllBgm();

// Colour values made once from red, green and blue.
extern unsigned int colorWhite;
