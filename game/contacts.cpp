#include "game/contacts.h"

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"
#include "game/player_control.h"
#include "runtime/timing.h"

namespace {

void PlaySe(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

bool IsSlot(int slot)
{
    return slot >= 0 && slot < ACTOR_SLOTS;
}

// Spheres (effect 11) of one row at (x, y); stops once the pool is full.
void SpawnSpheres(int count, float x, float y, int row)
{
    for (int n = 0; n < count; n++) {
        SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, 11, row, 0, 0, 0);
        if (lastSpawnSlot >= ACTOR_SLOTS)
            break;
    }
}

bool IsListLink(int spawnIndex)
{
    return spawnIndex >= 0 && spawnIndex < SPAWN_LIST_SIZE && spawnIndex != SPAWN_INDEX_NONE;
}

int FirstCompanion()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_EFFECT && actors[i].subtype == 14 && actors[i].hitPoints > 0)
            return i;
    return -1;
}

int RowIsHittable(const ActorRecord& a)
{
    return AnimFrame(a.kind, a.subtype, a.animRow, 0).hittable;
}

// Step 1: the player's shots and attacks against enemies and bosses.
void CheckShots()
{
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        ActorRecord& target = actors[i];
        if (target.kind != KIND_ENEMY && target.kind != KIND_BOSS)
            continue;
        for (int j = 0; j < ACTOR_SLOTS; j++) {
            ActorRecord& shot = actors[j];
            if (shot.kind != KIND_EFFECT)
                continue;
            if (target.hitPoints <= 0 || !TestActorOverlap(i, j) || RowIsHittable(target) != 1 ||
                shot.invulnFlag != 0)
                continue;
            if (shot.subtype == 0) {
                if (target.kind == KIND_BOSS && target.invulnFlag == 0) {
                    target.invulnFlag = 1;
                    target.invulnTimer = 100;
                    DamageActor(i, actors[0].shotPower, 1);
                    SpawnSpheres(20, target.centerX[0], target.centerY[0], 0);
                } else if (!(target.kind == KIND_BOSS && target.invulnFlag == 1)) {
                    DamageActor(i, actors[0].shotPower, 1);
                }
                shot.hitPoints -= 1;
            } else if (shot.subtype == 49) {
                // The homing shot is never used up; it hits again 6 frames later.
                shot.invulnFlag = 1;
                shot.invulnTimer = 175;
                DamageActor(i, 1, 1);
                SpawnSpheres(20, target.centerX[0], target.centerY[0], 0);
            }
        }
    }
}

bool DiesOnBlocks(const ActorRecord& a)
{
    if (a.kind == KIND_EFFECT) {
        switch (a.subtype) {
        case 0: case 1: case 10: case 13: case 15: case 16: case 17: case 19:
        case 23: case 24: case 25: case 28: case 30: case 43: case 46:
            return true;
        default:
            return false;
        }
    }
    if (a.kind == KIND_ENEMY) {
        switch (a.subtype) {
        case 9: case 13: case 18: case 20: case 25: case 29: case 48:
            return true;
        default:
            return false;
        }
    }
    return false;
}

// The first solid block near the screen that the actor overlaps, or -1.
int FindTouchedBlock(const ActorRecord& a)
{
    int limit = blockCount < 0 ? 0 : blockCount < BLOCK_TABLE_SIZE ? blockCount : BLOCK_TABLE_SIZE;
    for (int k = 0; k < limit; k++) {
        const BlockRecord& b = blocks[k];
        if (!(b.blockX1 > -100.0f && b.blockX1 < (float)(screenWidth + 100)))
            continue;
        if (b.solid == 1 && ActorOverlapsBlock(a, b))
            return k;
    }
    return -1;
}

// Step 2: shots and some enemies end (or split) on solid blocks.
void CheckBlockHits()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        ActorRecord& a = actors[i];
        if (!DiesOnBlocks(a))
            continue;
        int k = FindTouchedBlock(a);
        if (k < 0)
            continue;
        if (a.kind == KIND_EFFECT) {
            a.hitPoints -= 1000;
            if (a.subtype == 15)
                AddPlacedBlock(a.boxX1[0] - 2.0f, blocks[k].blockY1 - 32.0f);
            continue;
        }
        float left = a.boxX1[0], top = a.boxY1[0];
        if (a.subtype == 18) {
            for (int row = 0; row < 3; row++)
                SpawnActor(RESERVED_SLOTS, KIND_EFFECT, left, top - 16.0f, 19, row, 0, 0, 0);
        } else if (a.subtype == 13) {
            for (int n = 0; n < 5; n++) {
                int r1 = GetRandomUpTo(2);
                int r2 = GetRandomUpTo(2);
                int r3 = GetRandomUpTo(16);
                int r4 = GetRandomUpTo(32);
                SpawnActor(RESERVED_SLOTS, KIND_ENEMY, actors[i].centerX[0] + (float)(r4 * (r2 - 1)),
                           actors[i].centerY[0] + (float)(r3 * (r1 - 1)), 14, 0, 0, 0, 0);
            }
        } else if (a.subtype == 25) {
            SpawnActor(RESERVED_SLOTS, KIND_ENEMY, left, top + 16.0f, 26, 0, 0, 0, 0);
        }
        DamageActor(i, 300, 0);
    }
}

// Step 3: during the entrance the effect in slot 0 gathers the spheres.
void GatherEntranceSpheres()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        if (actors[0].kind != KIND_EFFECT)
            return;
        ActorRecord& a = actors[i];
        if (a.kind == KIND_EFFECT && a.subtype == 11 && TestActorOverlap(0, i)) {
            a.hitPoints -= 999;
            PlaySe(2);
            actors[0].spheres += 1;
        }
    }
}

void CheckHazards()
{
    const ActorRecord& player = actors[0];
    // Hazards hurt only the heroine: during the entrance slot 0 holds the
    // effect gathering her spheres, which a hit would scatter or "kill".
    if (player.kind != KIND_PLAYER)
        return;
    for (int a = RESERVED_SLOTS; a < ACTOR_SLOTS; a++) {
        if (hazardVertexX[a][0] == 0)
            continue;
        for (int e = 0; e < 3; e++) {
            int f = (e + 1) % 3;
            for (int k = 0; k < 5; k++) {
                double px = ((k + 1) * hazardVertexX[a][e] + (4 - k) * hazardVertexX[a][f]) * 0.2;
                double py = ((k + 1) * hazardVertexY[a][e] + (4 - k) * hazardVertexY[a][f]) * 0.2;
                if (player.boxX1[0] < px && px < player.boxX2[0] && player.boxY1[0] < py &&
                    py < player.boxY2[0] && player.invulnFlag == 0)
                    HitPlayer(0);
            }
        }
    }
}

void PickUpItem(ActorRecord& player, ActorRecord& item)
{
    item.hitPoints -= 999;
    bool linked = item.itemIndex >= 0 && item.itemIndex < ITEM_LIST_SIZE;
    if (linked)
        itemList[item.itemIndex].taken = 1;
    if (item.subtype == 0) {
        // A chest: releases the key of its flag unless that key was taken.
        if (!linked)
            return;
        int flag = itemList[item.itemIndex].flagIndex;
        if (flag >= 0 && flag < ITEM_FLAG_COUNT && itemFlags[flag] != 0)
            return;
        PlaySe(16);
        SpawnActor(RESERVED_SLOTS, KIND_ITEM, player.boxX1[0], player.boxY1[0] - 32.0f, 1, 0, 0, flag, 0);
        if (lastSpawnSlot < ACTOR_SLOTS)
            actors[lastSpawnSlot].itemIndex = -1;  // the key has no list entry of its own
    } else if (item.subtype == 1) {
        if (item.param >= 0 && item.param < ITEM_FLAG_COUNT)
            itemFlags[item.param] = 1;
        if (areaIndex >= 0 && areaIndex < AREA_COUNT)
            StopSoundHandle(bgmHandle[areaIndex]);
        PlaySe(15);
        keyJingleTimer = 240;
        freezeAll = 1;
        const AnimFrameRecord& popup = AnimFrame(KIND_SYSTEM_EFFECT, 0, 0, 0);
        SpawnActor(RESERVED_SLOTS, KIND_SYSTEM_EFFECT, player.centerX[0] - (float)popup.width * 0.5f,
                   player.centerY[0] - (float)popup.height * 0.5f, 0, 0, 0, item.param, 0);
    }
}

} // namespace

void EnterBossArena()
{
    StopSoundHandle(bgmHandle[areaIndex]);
    areaIndex += FIELD_AREAS;
    carryStats = 1;
    bool companion = FirstCompanion() >= 0;
    int hitPoints = actors[0].hitPoints;
    int spheres = actors[0].spheres;
    StartArea();
    actors[0].hitPoints = hitPoints;
    actors[0].spheres = spheres;
    if (companion)
        SpawnActor(RESERVED_SLOTS, KIND_EFFECT, actors[0].centerX[0] - 16.0f, actors[0].centerY[0] - 16.0f,
                   14, 0, 0, 0, 0);
}

namespace {

void TouchEffect(ActorRecord& player, ActorRecord& effect)
{
    switch (effect.subtype) {
    case 9:
        effect.hitPoints -= 10;
        if (player.spheres < sphereCap) {
            player.spheres += 30;
            UpdateSlotLevel();
            PlaySe(2);
        }
        break;
    case 11:
        if (effect.stateFrames <= 5)
            break;
        effect.hitPoints -= 10;
        PlaySe(2);
        if (player.spheres < sphereCap) {
            player.spheres += 1;
            if (effect.animRow == 0)
                sphereTally += 1;
            UpdateSlotLevel();
        }
        break;
    case 12:
        // The door leads from a field into its boss arena only.
        if (areaIndex >= 0 && areaIndex < FIELD_AREAS)
            EnterBossArena();
        break;
    case 27:
        HitPlayer(1);
        break;
    case 32:
        player.freezeTimer = 2;
        break;
    case 35:
        player.vy += 4.0f;
        break;
    default:
        break;
    }
}

} // namespace

int TestActorOverlap(int a, int b)
{
    if (!IsSlot(a) || !IsSlot(b))
        return 0;
    const ActorRecord& p = actors[a];
    const ActorRecord& q = actors[b];
    return BoxesOverlap(p.boxX1[0], p.boxY1[0], p.boxX2[0], p.boxY2[0], q.boxX1[0], q.boxY1[0], q.boxX2[0],
                        q.boxY2[0])
               ? 1
               : 0;
}

void RunContactChecks()
{
    CheckShots();
    CheckBlockHits();
    GatherEntranceSpheres();
    HandlePlayerContacts();
}

void HandlePlayerContacts()
{
    CheckHazards();
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        if (actors[i].kind != KIND_PLAYER)
            continue;
        for (int j = 0; j < ACTOR_SLOTS; j++) {
            if (actors[i].kind != KIND_PLAYER || !TestActorOverlap(i, j))
                continue;
            ActorRecord& player = actors[i];
            ActorRecord& other = actors[j];
            if (player.invulnFlag == 0 && other.hitPoints > 0 &&
                AnimFrame(other.kind, other.subtype, other.animRow, other.animFrame).hurtsPlayer == 1)
                HitPlayer(0);
            if (other.kind == KIND_ITEM)
                PickUpItem(player, other);
            else if (other.kind == KIND_EFFECT)
                TouchEffect(player, other);
        }
    }
}

void HitPlayer(int mode)
{
    ActorRecord& player = actors[0];
    int companion = FirstCompanion();
    if (companion >= 0) {
        // The companion takes the whole hit.
        actors[companion].hitPoints -= 1;
        player.invulnFlag = 1;
        slotLevel[4] = 0;
        UpdateSlotLevel();
        return;
    }
    player.state = 21;
    if (mode == 0) {
        if (areaIndex >= 0 && areaIndex < AREA_COUNT)
            areaMisses[areaIndex] += 1;
        player.invulnFlag = 1;
        if (player.spheres == 0) {
            player.hitPoints = 0;
        } else {
            SpawnSpheres(player.spheres, player.centerX[0], player.centerY[0], 1);
            player.hitPoints -= 1;
            player.spheres = 0;
        }
    }
    if (player.hitPoints <= 0) {
        PlaySe(7);
        StopAllBgm();
        deathFlag = 1;
    } else {
        PlaySe(10);
    }
    if (mode == 0)
        player.vx = player.facing == 0 ? 2.0f : -2.0f;
    else
        player.vx = player.facing == 0 ? -6.0f : 6.0f;
    player.vy = -10.0f;
    UpdateSlotLevel();
}

void DamageActor(int slot, int damage, int dropFlag)
{
    if (!IsSlot(slot))
        return;
    ActorRecord& a = actors[slot];
    a.hitPoints -= damage;
    if (a.hitPoints > 0) {
        PlaySe(a.hitPoints > 500 ? 9 : 3);
        return;
    }
    if (a.hitPoints > -500)
        PlaySe(4);
    if (a.kind == KIND_BOSS) {
        bossDefeated = 1;
        StopAllBgm();
        if (a.subtype == 5)
            bossDefeated = 2;
    }
    // Only an enemy that came from the list re-arms or retires its entry; a
    // slot's other occupants may still carry an old occupant's index.
    bool linked = a.kind == KIND_ENEMY && IsListLink(a.spawnIndex);
    if (linked) {
        EnemySpawnEntry& entry = spawnList[a.spawnIndex];
        entry.listState = entry.rearm == 1 ? 0 : 2;
    }
    if (dropFlag == 0)
        return;
    SpawnSpheres(a.spheres + playerLevel - 1, a.centerX[0], a.centerY[0], dropFlag - 1);
    if (!linked)
        return;
    int group = spawnList[a.spawnIndex].group;
    if (group == 0)
        return;
    for (int k = 0; k < SPAWN_LIST_SIZE; k++)
        if (k != a.spawnIndex && spawnList[k].group == group && spawnList[k].listState == 1)
            return;
    SpawnSpheres(playerLevel * 4 + 16, a.centerX[0], a.centerY[0], dropFlag - 1);
}
