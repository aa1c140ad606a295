#include "game/actor_pool.h"

#include "game/game_state.h"
#include "game/play_state.h"
#include "runtime/screen_print.h"
#include "runtime/timing.h"

ActorRecord actors[ACTOR_SLOTS];

// Set only while the spawn-list loop spawns an entry's enemy.
static int spawningFromList;

static const AnimFrameRecord noAnimFrame = {};

const AnimFrameRecord& AnimFrame(int kind, int id, int row, int frame)
{
    if (kind < 0 || kind >= ANIM_KINDS || id < 0 || id >= ANIM_IDS || row < 0 ||
        row >= ANIM_ROWS || frame < 0 || frame >= ANIM_FRAMES)
        return noAnimFrame;
    return animFrames[kind][id][row][frame];
}

static bool IsSpawnableKind(int kind, int subtype, int row)
{
    return kind >= KIND_PLAYER && kind <= KIND_SYSTEM_EFFECT && subtype >= 0 &&
           subtype < ANIM_IDS && row >= 0 && row < ANIM_ROWS;
}

static bool IsBossArena()
{
    return areaIndex >= FIELD_AREAS;
}

// The part both spawns share: box, speeds and clock from frame 0 of the row.
static void SetUpFromFrame(ActorRecord& a, int kind, int subtype, int row, float x, float y,
                           int facing)
{
    const AnimFrameRecord& f = animFrames[kind][subtype][row][0];
    a.kind = kind;
    a.subtype = subtype;
    a.animRow = row;
    a.boxX1[0] = x;
    a.boxY1[0] = y;
    a.boxX2[0] = x + (float)f.width;
    a.boxY2[0] = y + (float)f.height;
    a.centerX[0] = (a.boxX1[0] + a.boxX2[0]) * 0.5f;
    a.centerY[0] = (a.boxY1[0] + a.boxY2[0]) * 0.5f;
    a.speed = f.moveX;
    a.vx = (float)((1 - 2 * facing) * f.moveX);
    a.vy = (float)f.moveY;
    a.stateFrames = 0;
    a.animTick = 0;
    a.facing = facing;
    a.gravityFactor = f.gravityFactor;
}

static int RandomSign()
{
    return 2 * GetRandomUpTo(1) - 1;
}

static void SetUpEnemy(ActorRecord& a, int subtype, int row, int extra1)
{
    switch (subtype) {
    case 14: case 38: case 52:
        a.spheres = 1;
        a.spawnIndex = SPAWN_INDEX_NONE;
        break;
    case 18: case 20: case 28:
        a.spheres = 10;
        a.spawnIndex = SPAWN_INDEX_NONE;
        break;
    case 57: {
        int count = 0;
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
            if (actors[i].subtype == 57)
                count++;
        a.siblingCount = count;
        // Its spheres stay as the slot held them, but not an earlier
        // occupant's list entry: only the list loop links an enemy to one.
        a.spawnIndex = spawningFromList ? loopIndex : SPAWN_INDEX_NONE;
        break;
    }
    default:
        if ((subtype == 9 || subtype == 29 || subtype == 48) && IsBossArena()) {
            a.spheres = 1;
            a.spawnIndex = SPAWN_INDEX_NONE;
            break;
        }
        // The drop count comes from the entry the caller iterates with; only
        // the spawn-list loop ties the enemy to that entry.
        a.spheres = loopIndex >= 0 && loopIndex < SPAWN_LIST_SIZE ? spawnList[loopIndex].dropCount : 0;
        a.spawnIndex = spawningFromList ? loopIndex : SPAWN_INDEX_NONE;
        break;
    }
    if (subtype == 5 && (areaIndex == 2 || areaIndex == 4)) {
        a.spawnIndex = SPAWN_INDEX_NONE;
        a.spheres = 1;
        int r = GetRandomUpTo(10);
        a.vy = (float)(a.vy * ((r + 5) * 0.1));
    }
    if (subtype == 28)
        a.linkId = extra1;
    a.hitPoints = animFrames[KIND_ENEMY][subtype][row][0].hitPoints;
    a.jumpsUsed = 1;
}

static void SetUpEffect(ActorRecord& a, int slot, int subtype, int row, int extra2)
{
    a.hitPoints = 1;
    switch (subtype) {
    case 0:
        // The shot's number within a volley spreads it vertically.
        switch (loopIndex) {
        case 1: a.vy = -2.0f; break;
        case 2: a.vy = 2.0f; break;
        case 3: a.vy = -4.0f; break;
        case 4: a.vy = 4.0f; break;
        default: break;
        }
        break;
    case 1:
        a.param2 = extra2;
        break;
    case 10:
    case 13:
        if (loopIndex >= 0 && loopIndex < ACTOR_SLOTS)
            a.facing = actors[loopIndex].facing;
        break;
    case 11:
        a.jumpsUsed = 1;
        if (row == 0) {
            int s = RandomSign();
            a.vy = (float)(s * GetRandomUpTo(200) * 0.1);
            s = RandomSign();
            a.vx = (float)(s * GetRandomUpTo(150) * 0.1);
        } else {
            int m = GetRandomUpTo(50);
            int s = RandomSign();
            a.vy = (float)(s * (m - 40) * 0.1);
            s = RandomSign();
            a.vx = (float)(s * GetRandomUpTo(60) * 0.1);
        }
        break;
    case 50:
        startEffectSlot = slot;
        break;
    default:
        break;
    }
}

void SpawnActor(int firstSlot, int kind, float x, float y, int subtype, int row,
                int facing, int extra1, int extra2)
{
    lastSpawnSlot = ACTOR_SLOTS;
    if (!IsSpawnableKind(kind, subtype, row))
        return;
    int slot = firstSlot < 0 ? 0 : firstSlot;
    while (slot < ACTOR_SLOTS && actors[slot].kind != KIND_FREE)
        slot++;
    if (slot >= ACTOR_SLOTS)
        return;
    lastSpawnSlot = slot;

    ActorRecord& a = actors[slot];
    SetUpFromFrame(a, kind, subtype, row, x, y, facing);
    a.jumpPower = animFrames[kind][subtype][row][0].moveY;

    switch (kind) {
    case KIND_ENEMY:
        SetUpEnemy(a, subtype, row, extra1);
        break;
    case KIND_BOSS:
        a.hitPoints = animFrames[kind][subtype][row][0].hitPoints;
        a.spheres = 100;
        a.jumpsUsed = 1;
        a.state = 0;
        break;
    case KIND_EFFECT:
        SetUpEffect(a, slot, subtype, row, extra2);
        break;
    case KIND_ITEM:
        a.state = 0;
        a.itemIndex = loopIndex;
        a.hitPoints = 1;
        if (subtype != 0)
            a.param = extra1;
        break;
    case KIND_SYSTEM_EFFECT:
        a.param = extra1;
        a.hitPoints = 1;
        break;
    default:
        break;
    }
}

void SpawnReservedActor(int kind, int subtype, float x, float y, int facing, int slot)
{
    if (!IsSpawnableKind(kind, subtype, 0) || slot < -1 || slot >= ACTOR_SLOTS) {
        lastSpawnSlot = ACTOR_SLOTS;
        return;
    }
    if (slot == -1) {
        slot = 0;
        while (slot < RESERVED_SLOTS && actors[slot].kind != KIND_FREE)
            slot++;
        lastSpawnSlot = slot;
        if (slot >= RESERVED_SLOTS) {
            ScreenPrintf("生成オーバー");
            return;
        }
    }
    lastSpawnSlot = slot;

    ActorRecord& a = actors[slot];
    SetUpFromFrame(a, kind, subtype, 0, x, y, facing);
    int lifePoints = 2 * lifeSetting + 3;
    a.hitPoints = lifePoints;
    if (kind != KIND_PLAYER)
        return;

    a.state = 8;
    a.jumpPower = 10;
    a.jumpsUsed = 1;
    if (carryStats == 0) {
        a.maxJumps = 1;
        a.shotRow = 0;
        a.shotCount = 1;
        a.shotPower = 1;
        a.spheres = IsBossArena() ? 0 : 20;
    } else {
        // Through the door: the bought stats stay, the speed installs too.
        a.speed = animFrames[kind][subtype][0][0].moveX + slotLevel[0];
    }
}

void SpawnListEnemy(int entry)
{
    if (entry < 0 || entry >= SPAWN_LIST_SIZE)
        return;
    const EnemySpawnEntry& e = spawnList[entry];
    loopIndex = entry;
    spawningFromList = 1;
    SpawnActor(RESERVED_SLOTS, KIND_ENEMY, (float)e.spawnX - scrollX, (float)e.spawnY, e.subtype, 0,
               e.facing, 0, 0);
    spawningFromList = 0;
}

void FreeActorSlot(int slot)
{
    if (slot < 0 || slot >= ACTOR_SLOTS)
        return;
    ActorRecord& a = actors[slot];
    for (int k = 0; k < TRAIL_LENGTH; k++) {
        a.boxX1[k] = a.boxY1[k] = a.boxX2[k] = a.boxY2[k] = 0.0f;
        a.centerX[k] = a.centerY[k] = 0.0f;
    }
    a.stateFrames = 0;
    a.animTick = 0;
    a.animFrame = 0;
    a.invulnFlag = 0;
    a.vx = a.vy = 0.0f;
    a.kind = KIND_FREE;
}

void ResetActorPool()
{
    for (ActorRecord& a : actors) {
        for (int k = 0; k < TRAIL_LENGTH; k++)
            a.boxX1[k] = a.boxY1[k] = a.boxX2[k] = a.boxY2[k] = -50.0f;
        for (int k = 0; k < CENTER_HISTORY; k++)
            a.centerX[k] = a.centerY[k] = -50.0f;
        a.kind = a.subtype = a.animRow = a.stateFrames = 0;
        a.vx = a.vy = 0.0f;
        a.speed = a.jumpPower = a.animFrame = a.invulnFlag = a.hitPoints = 0;
        a.state = a.jumpsUsed = a.animTick = a.spheres = a.linkId = 0;
        a.spawnIndex = -1;
    }
}
