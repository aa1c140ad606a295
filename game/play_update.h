// The play scene's frame: timers and sequences (death, boss defeat, the final
// boss, the key jingle), ageing and freeing, the entrance, spawning from the
// spawn list, the boss door, physics, behaviours and trails.
#pragma once

// UpdatePlayScene is declared with the scene entries (game/scenes.h).

// 1 while the player cannot act: dying, the entrance running or frozen.
int IsPlayerHeld();
