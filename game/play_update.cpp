#include "game/play_update.h"

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/boss_routines.h"
#include "game/collision.h"
#include "game/data_tables.h"
#include "game/effect_routines.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/player_control.h"
#include "game/scenes.h"
#include "runtime/timing.h"

namespace {

const int sequenceFrames = 180;
const int entranceSpheres = 20;

// World x of the player's centre beyond which checkpoints 1 and 2 are
// reached (0: none).
const int checkpointLine[FIELD_AREAS][2] = {
    {16864, 0}, {15500, 0}, {16768, 0}, {16992, 0}, {17888, 28160},
};

void RunKeyJingle()
{
    if (keyJingleTimer <= 0)
        return;
    keyJingleTimer -= 1;
    if (keyJingleTimer == 0) {
        if (areaIndex >= 0 && areaIndex < AREA_COUNT)
            PlaySoundHandle(bgmHandle[areaIndex], 3, 0);
        freezeAll = 0;
    }
}

void RunDeath()
{
    if (deathFlag != 0)
        deathTimer += 1;
    if (deathTimer != sequenceFrames)
        return;
    lives -= 1;
    if (lives >= 0) {
        carryStats = 0;
        StartArea();
    } else {
        sceneNo = SCENE_GAME_OVER;
    }
}

void RunBossDefeat()
{
    if (bossDefeated != 0)
        bossDefeatTimer += 1;
    if (bossDefeatTimer != sequenceFrames || actors[0].hitPoints <= 0)
        return;
    if (bossDefeated == 2) {
        finalBossPending = 1;
        bossDefeatTimer = 0;
        bossDefeated = 0;
    } else {
        PlaySoundHandle(bgmHandle[6], 1, 1);
        sceneNo = SCENE_AREA_CLEAR;
    }
}

void RunFinalBossEntry()
{
    if (finalBossPending != 1)
        return;
    if (finalBossTimer == sequenceFrames) {
        float x = (float)(screenWidth - 240);
        SpawnActor(RESERVED_SLOTS, KIND_BOSS, x, 320.0f, 6, 0, 0, 0, 0);
        for (int n = 0; n < 4; n++)
            SpawnActor(RESERVED_SLOTS, KIND_ENEMY, x, 512.0f, 57, 0, 0, 0, 0);
        PlaySoundHandle(bgmHandle[7], 3, 1);
        finalBossTimer = -1;
        finalBossPending = 0;
    }
    if (finalBossTimer % 20 == 0)
        PlaySoundHandle(seHandle[6], 1, 1);
    finalBossTimer += 1;
}

void AgeActors()
{
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        ActorRecord& a = actors[i];
        if (a.freezeTimer != 0)
            a.freezeTimer -= 1;
        if (a.hitPoints <= 0) {
            FreeActorSlot(i);
            continue;
        }
        if (a.freezeTimer != 0)
            continue;
        a.stateFrames += 1;
        a.inZone = 0;
        a.wallTurn = 0;
        if (a.invulnFlag == 1)
            a.invulnTimer += 1;
        if (a.invulnTimer > 180)
            a.invulnFlag = a.invulnTimer = 0;
    }
}

int CountFloatingSpheres()
{
    int count = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_EFFECT && actors[i].subtype == 11)
            count++;
    return count;
}

void RunEntrance()
{
    if (areaIndex >= 0 && areaIndex < FIELD_AREAS && actors[0].kind != KIND_PLAYER) {
        // Top up the floating spheres; more than the entrance needs would
        // only keep the heroine from ever arriving.
        if (actors[0].spheres + CountFloatingSpheres() < entranceSpheres && deathTimer == 0) {
            float y = (float)(50 + GetRandomUpTo(550));
            float x = (float)(100 + GetRandomUpTo(1080));
            SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, 11, 0, 0, 0, 0);
        }
    }
    if (entranceActive == 1 && actors[0].spheres >= entranceSpheres) {
        entranceActive = 0;
        SpawnReservedActor(KIND_PLAYER, 0, 562.0f, (float)AreaEntranceY(areaIndex), 1, 0);
    }
}

void SpawnFromList()
{
    float s = scrollX;
    float right = (float)screenWidth + s;
    for (int i = 0; i < SPAWN_LIST_SIZE; i++) {
        EnemySpawnEntry& e = spawnList[i];
        if (e.subtype == 0)
            continue;
        // Every entry walked leaves its index behind, due or not: enemies
        // spawned later in the frame outside the list take its drop count.
        loopIndex = i;
        float x = (float)e.spawnX;
        bool due = (right < x && x < right + 100.0f) || (s - 400.0f < x && x < s - 300.0f);
        if (!due || e.listState != 0)
            continue;
        SpawnListEnemy(i);
        e.listState = 1;
        if (e.group == 0)
            continue;
        // The whole group comes at once, wherever its members stand.
        for (int j = 0; j < SPAWN_LIST_SIZE; j++) {
            if (j == i || spawnList[j].group != e.group || spawnList[j].subtype == 0)
                continue;
            SpawnListEnemy(j);
            spawnList[j].listState = 1;
        }
        return;
    }
}

void PlaceBossDoor()
{
    if (gateSpawned != 0 || areaIndex < 0 || areaIndex >= FIELD_AREAS)
        return;
    float left = (float)gateX - scrollX;
    if (!(0.0f < left && left < (float)(screenWidth + 64)))
        return;
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, left, (float)gateY, 12, 0, 0, 0, 0);
    // With the pool full the door tries again next frame.
    if (lastSpawnSlot < ACTOR_SLOTS)
        gateSpawned = 1;
}

void PassCheckpoint(const ActorRecord& player)
{
    if (areaIndex < 0 || areaIndex >= FIELD_AREAS)
        return;
    float world = player.centerX[0] + scrollX;
    if (checkpoint == 0 || checkpoint == 1) {
        int line = checkpointLine[areaIndex][checkpoint];
        if (line != 0 && world > (float)line)
            checkpoint += 1;
    }
}

void RunBoss(int subtype)
{
    switch (subtype) {
    case 1: UpdateBoss1(); break;
    case 2: UpdateBoss2(); break;
    case 3: UpdateBoss3(); break;
    case 4: UpdateBoss4(); break;
    case 5: UpdateBoss5(); break;
    case 6: UpdateBoss6(); break;
    default: break;
    }
}

void RunSystemEffect(ActorRecord& a)
{
    const ActorRecord& player = actors[0];
    switch (a.subtype) {
    case 0:
        UpdateItemPopup();
        break;
    case 1:
        if (a.stateFrames == 40)
            a.hitPoints = 0;
        break;
    case 2:
        // The empty-sphere marker follows the player until she has spheres.
        a.boxY1[0] = player.boxY1[0] - 30.0f;
        a.boxX1[0] = player.boxX1[0] - 40.0f;
        if (player.spheres != 0)
            a.hitPoints = 0;
        break;
    default:
        break;
    }
}

void RunBehaviours()
{
    for (loopIndex = 0; loopIndex < ACTOR_SLOTS; loopIndex++) {
        ActorRecord& a = actors[loopIndex];
        if (a.freezeTimer != 0)
            continue;
        if (a.kind != KIND_FREE) {
            a.centerX[0] = (a.boxX2[0] + a.boxX1[0]) * 0.5f;
            a.centerY[0] = (a.boxY2[0] + a.boxY1[0]) * 0.5f;
        }
        if (a.kind == KIND_PLAYER)
            a.vy += gravityStep;
        else if (a.kind >= KIND_ENEMY && a.kind <= KIND_ITEM)
            a.vy += a.gravityFactor * gravityStep;

        switch (a.kind) {
        case KIND_PLAYER:
            PassCheckpoint(a);
            break;
        case KIND_ENEMY:
            UpdateEnemy(a.subtype);
            break;
        case KIND_BOSS:
            RunBoss(a.subtype);
            break;
        case KIND_EFFECT:
            UpdateEffect(a.subtype);
            break;
        case KIND_SYSTEM_EFFECT:
            RunSystemEffect(a);
            break;
        default:
            break;
        }
    }
}

void ShiftTrails()
{
    for (ActorRecord& a : actors) {
        if (a.hitPoints <= 0)
            continue;
        for (int k = TRAIL_LENGTH - 1; k > 0; k--) {
            a.boxX1[k] = a.boxX1[k - 1];
            a.boxY1[k] = a.boxY1[k - 1];
            a.boxX2[k] = a.boxX2[k - 1];
            a.boxY2[k] = a.boxY2[k - 1];
        }
        // Boss 6's body follows its centre history while it moves.
        if (a.kind == KIND_BOSS && a.subtype == 6 && (a.vx != 0.0f || a.vy != 0.0f)) {
            for (int k = CENTER_HISTORY - 1; k > 0; k--) {
                a.centerX[k] = a.centerX[k - 1];
                a.centerY[k] = a.centerY[k - 1];
            }
        }
    }
}

} // namespace

int IsPlayerHeld()
{
    return deathFlag != 0 || entranceActive != 0 || actors[0].freezeTimer != 0 ? 1 : 0;
}

void UpdatePlayScene()
{
    RunKeyJingle();
    RunDeath();
    RunBossDefeat();
    RunFinalBossEntry();
    if (areaIndex >= 0 && areaIndex < AREA_COUNT)
        areaFrames[areaIndex] += 1;
    if (freezeAll == 1)
        for (ActorRecord& a : actors)
            if (a.kind != KIND_SYSTEM_EFFECT)
                a.freezeTimer = 2;
    SelectPlayerAnimRow();
    AgeActors();
    RunEntrance();
    SpawnFromList();
    PlaceBossDoor();
    UpdateActorPhysics();
    RunBehaviours();
    ShiftTrails();
}
