// The per-frame entries of every scene.
#pragma once

void RunLogoScene();

void PrepareTitleMenu();
void UpdateTitleScene();
void DrawTitleScene();

void ResetAreaSelect();
void AdvanceAreaSelect();
void UpdateAreaSelect();
void DrawAreaSelect();

void UpdatePauseMenu();
void UpdatePlayer(int player);
void UpdatePlayScene();
void DrawPlayScene();
// Play: the background image of an area (0 to 4).
int AreaBackgroundGraph(int area);

void UpdateAreaClear();
void DrawAreaClear();
void UpdateEndingPrelude();
void UpdateEnding();
void DrawEnding();
void UpdateGameOver();
void DrawGameOver();
