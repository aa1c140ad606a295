// The per-frame message step and the inactive-window hold.
#pragma once

// 0 = go on; -1 = the window is gone (the quit flag is set).
int RunMessagePump();
// Holds the caller while the window is inactive and the game is not to run
// in the background; returns 0.
int WaitWhileInactive();
