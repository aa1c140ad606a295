// Scenes that are not built yet run as empty steps.
#include "game/scenes.h"

void RunLogoScene() {}
void PrepareTitleMenu() {}
void UpdateTitleScene() {}
void DrawTitleScene() {}
void ResetAreaSelect() {}
void AdvanceAreaSelect() {}
void UpdateAreaSelect() {}
void DrawAreaSelect() {}
void UpdateAreaClear() {}
void DrawAreaClear() {}
void UpdateEndingPrelude() {}
void UpdateEnding() {}
void DrawEnding() {}
void UpdateGameOver() {}
void DrawGameOver() {}
