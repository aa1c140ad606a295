// The fixed pool of actors of the play scene: player, enemies, bosses,
// effects, items and system effects, with the two spawn operations that fill
// a slot from the animation table and the rule that frees it again.
#pragma once

#include "game/data_tables.h"

enum {
    ACTOR_SLOTS = 512,
    RESERVED_SLOTS = 8,      // slots 0 to 7; slot 0 is the player
    TRAIL_LENGTH = 16,       // current box and the boxes of 15 earlier frames
    CENTER_HISTORY = 128,    // centre history kept for boss 6's body
    SPAWN_INDEX_NONE = 999,  // an enemy that no spawn-list entry owns
};

enum ActorKind {
    KIND_FREE = 0,
    KIND_PLAYER = 1,
    KIND_ENEMY = 2,
    KIND_BOSS = 3,
    KIND_EFFECT = 4,
    KIND_ITEM = 5,
    KIND_SYSTEM_EFFECT = 6,
};

struct ActorRecord {
    float boxX1[TRAIL_LENGTH];
    float boxY1[TRAIL_LENGTH];
    float boxX2[TRAIL_LENGTH];
    float boxY2[TRAIL_LENGTH];
    float centerX[CENTER_HISTORY];
    float centerY[CENTER_HISTORY];
    int kind;
    int subtype;
    int animRow;
    int animTick;
    int animFrame;
    int facing;          // 1 draws mirrored; for the player 1 faces right
    int wallTurn;        // speed a non-player had when it met a wall this frame
    int state;
    int prevState;       // player: the state seen by the last row selection
    int stateFrames;
    float vx;            // player: positive moves right; others: positive moves left
    float vy;            // positive moves down
    int speed;
    int jumpPower;
    int shotCount;
    int shotPower;
    int hitPoints;
    int jumpsUsed;
    int spawnIndex;      // enemy: its spawn-list entry, SPAWN_INDEX_NONE, or -1
    int itemIndex;       // item: its item-list entry, -1 for none
    int param;
    int linkId;
    int spheres;
    int invulnTimer;
    int invulnFlag;
    float gravityFactor;
    int onConveyor;
    int conveyorSpeed;
    int maxJumps;
    int shotRow;
    int inZone;
    int freezeTimer;
    int param2;
    int siblingCount;
};

extern ActorRecord actors[ACTOR_SLOTS];

// Fills the first free slot from firstSlot to 511; `lastSpawnSlot` receives
// the slot, or ACTOR_SLOTS when none was free (then nothing changes).
// `loopIndex` is read as an implicit argument (see the kinds in the source).
void SpawnActor(int firstSlot, int kind, float x, float y, int subtype, int row,
                int facing, int extra1, int extra2);
// A reserved slot: slot -1 takes the first free one of 0 to 7, any other slot
// is overwritten as it stands. `lastSpawnSlot` receives the slot (8 when the
// reserved slots are all taken).
void SpawnReservedActor(int kind, int subtype, float x, float y, int facing, int slot);
// Spawns the enemy of spawn-list entry `entry` (0 to 1023) into the general
// pool at its place on the screen; the only spawn that links an enemy to its
// entry, so that its death re-arms or retires that entry.
void SpawnListEnemy(int entry);
// Frees a slot whose hit points have run out.
void FreeActorSlot(int slot);
// Empties the whole pool at an area start; the player's bought stats stay.
void ResetActorPool();

// The animation frame record of (kind, id, row, frame); an all-zero record
// when one of them lies outside the table.
const AnimFrameRecord& AnimFrame(int kind, int id, int row, int frame);
