// Play drawing: the field, the actors, the HUD and the pause menu, with the
// typewriter text and the digit pictures that the closing scenes share.
#pragma once

// One play frame's drawing after the update; while `paused` it draws the
// same picture but advances no animation.
void DrawPlayScene();
// Runs in place of the play update while `paused` is set.
void UpdatePauseMenu();
void DrawPauseMenu();

// Draws the actor in `loopIndex` with the animation row (kind, subtype, row)
// at (x, y), advancing its frame.
void DrawActorSprite(int kind, int row, float x, float y, int subtype);
// Draws the block in `loopIndex` with the images of block type `type`.
void DrawAreaBlock(int type, float x, float y);

// The first `counter` bytes of `text` (at most 255) centred on x in the
// default font, white; `counter` then grows by one byte while the text is
// longer, so the text types out over the frames.
void DrawTypewriterText(int x, int y, const char* text, int& counter);

// The picture of one decimal digit at (x, y); a value outside 0 to 9 draws
// nothing and returns -1.
int DrawDigit(int digit, int x, int y, int trans);
// The period picture.
int DrawDigitPeriod(int x, int y, int trans);
// The tally's sphere count with (x, y) the position of the label before it:
// units at x + 420, the next three places at x + 324 + 24 i, and the
// ten-thousands at x + 324 only when not 0, so at least four digits show.
// The count is held to 0 to 99999, the five places there are pictures for.
void DrawTallyCount(int count, int x, int y);
