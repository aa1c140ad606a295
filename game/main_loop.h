// The game's start-up, its frame and the frame pacing.
#pragma once

// Configures and starts the library and loads the game's data; 0, or -1 when
// the library could not be started (nothing is to be ended then).
int StartGame();
// One frame without the pacing and the message step: clear, keys, scene,
// actions, present. 0 = go on; nonzero = the draw target could not be cleared.
int RunGameFrame();
// Milliseconds to sleep after a frame that ended at `now` when the previous
// one ended at `last`, on the 31-bit millisecond clock (0 = no sleep).
int FrameSleepTime(int now, int last);
// Sleeps for what remains of the frame's 16 ms and stores the time.
void PaceFrame();
// When the previous frame ended (GetMilliCount); 0 before the first.
extern int lastFrameEnd;
// The main loop: runs frames until the window is gone.
void RunGameLoop();
