// Preparing the play scene for the area in `areaIndex`: a fresh pool and
// lists, the scroll limits, the opening actors, the layout files and music.
#pragma once

// Runs at an area chosen on the area select, through the boss door, and after
// a lost life with lives left.
void StartArea();
// The y at which the heroine enters area `area` (0 to 9).
int AreaEntranceY(int area);
