// State of the play scene shared by its update, the player's control, the
// physics and contact pass, the behaviour routines and the play drawing. All
// values start at 0 and are reset only where the rules say so.
#pragma once

#include "game/actor_pool.h"

enum {
    SLOT_BAR_ROWS = 6,
    ITEM_FLAG_COUNT = 256,   // flags set by keys, indexed by an item's flag index
    AREA_COUNT = 10,         // areas 0 to 4 and their boss arenas 5 to 9
    FIELD_AREAS = 5,
};

// Sequences of the play update.
extern int keyJingleTimer;   // frames left of the key jingle
extern int freezeAll;        // 1 holds every actor but the system effects
extern int deathFlag;        // the player has died
extern int deathTimer;
extern int bossDefeated;     // 1 a boss fell, 2 it was boss 5
extern int bossDefeatTimer;
extern int finalBossPending; // boss 6's warning is running
extern int finalBossTimer;
extern int entranceActive;   // the entrance gathers spheres in slot 0
extern int gateSpawned;      // the boss door has appeared in this visit
extern int startLinePassed;  // the player has crossed the area's start line
extern int startEffectSlot;  // slot of the start-line marker

// Scroll limits and markers of the current area (world x).
extern float scrollMin, scrollMax;
extern int startLine;
extern int gateX, gateY;

// Physics constants, set when the tables are loaded.
extern float gravityStep;    // 0.5
extern int zonePush;         // 6
// The slot probed by the block collision.
extern int innerLoopIndex;

// Player progress and the slot bar.
extern int playerLevel;      // adds to every sphere drop; 1 from start-up
extern int sphereTally;      // row-0 spheres picked up in the area
extern int itemFlags[ITEM_FLAG_COUNT];
extern int slotLevel[SLOT_BAR_ROWS];  // installs bought per row
extern int activeSlotRow;    // -1 none
extern int activeSlotCost;
extern int slotAvailable;
extern int prevActiveSlotRow;
extern int sphereCap;

// Triangle hazards, three vertices per actor slot; active while the first x
// is nonzero.
extern int hazardVertexX[ACTOR_SLOTS][3];
extern int hazardVertexY[ACTOR_SLOTS][3];

// Play drawing and pause menu state that an area start resets.
extern int startCurtainDone;
extern int hitFlashTimer;
extern int pauseCursor;
extern int confirmAreaSelect, confirmTitle, confirmQuit;
// Bytes typed of the final boss warning; never reset.
extern int warningTextChars;

// The HUD slot bar's anchor (20, 694 once the tables are loaded); the key
// pop-ups fly to it.
extern int slotBarX, slotBarY;
// The install flash: effect 53 keeps these, the play drawing shrinks a ring
// of radius installFlashRadius - installFlashFrames * installFlashShrink.
extern int installFlashFrames;
extern int installFlashRadius;
extern float installFlashShrink;
