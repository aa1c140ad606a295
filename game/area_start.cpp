#include "game/area_start.h"

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/player_control.h"
#include "runtime/screen_print.h"
#include "runtime/timing.h"

namespace {

struct FieldArea {
    float restartScroll[3];  // by checkpoint; areas 0 to 3 never reach 2
    float scrollMax, scrollMin;
    int startLine;
    int gateX, gateY;
    int entranceY;
};

const FieldArea fieldAreas[FIELD_AREAS] = {
    {{767.0f, 16383.0f, 16383.0f}, 24928.0f, 750.0f, 8576, 26080, 192, 320},
    {{553.0f, 15499.0f, 15499.0f}, 24990.0f, 552.0f, 9024, 26080, 192, 512},
    {{767.0f, 16159.0f, 16159.0f}, 26912.0f, 750.0f, 9184, 27808, 128, 320},
    {{767.0f, 16479.0f, 16479.0f}, 25728.0f, 750.0f, 8832, 26560, 544, 320},
    {{767.0f, 17311.0f, 27647.0f}, 37824.0f, 750.0f, 10080, 38816, 512, 64},
};

const int arenaEntranceY = 512;
const float arenaScroll = 767.0f;
// Boss of the arenas 5 to 9.
const int arenaBoss[FIELD_AREAS] = {4, 2, 3, 1, 5};

void ResetPerLifeState()
{
    playFrame = 0;
    pauseCursor = 0;
    confirmAreaSelect = confirmTitle = confirmQuit = 0;
    deathTimer = deathFlag = 0;
    bossDefeatTimer = bossDefeated = 0;
    hitFlashTimer = 0;
    finalBossPending = 0;
    startCurtainDone = 0;
    // A restart after the door had appeared must bring the door back, or the
    // area could not be finished.
    gateSpawned = 0;
    for (int i = 0; i < ACTOR_SLOTS; i++)
        for (int v = 0; v < 3; v++)
            hazardVertexX[i][v] = hazardVertexY[i][v] = 0;
}

void ResetLists()
{
    for (EnemySpawnEntry& e : spawnList) {
        e.spawnX = e.spawnY = e.subtype = e.listState = 0;
        e.facing = e.group = e.rearm = 0;
    }
    int count = blockCount < BLOCK_TABLE_SIZE ? blockCount : BLOCK_TABLE_SIZE;
    for (int i = 0; i < count; i++) {
        BlockRecord& b = blocks[i];
        b.blockX1 = b.blockY1 = b.blockX2 = b.blockY2 = 0.0f;
        b.widthCells = b.heightCells = 0;
        b.active = 0;
    }
}

void SpawnRandomSphere()
{
    float y = (float)(50 + GetRandomUpTo(550));
    float x = (float)(100 + GetRandomUpTo(1080));
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, 11, 0, 0, 0, 0);
}

void PlaceOpeningActors()
{
    if (areaIndex >= 0 && areaIndex < FIELD_AREAS) {
        const FieldArea& area = fieldAreas[areaIndex];
        int mark = checkpoint >= 0 && checkpoint <= 2 ? checkpoint : 0;
        scrollX = area.restartScroll[mark];
        // The entrance effect gathers the first spheres in slot 0.
        SpawnReservedActor(KIND_EFFECT, 48, 560.0f, (float)area.entranceY, 0, -1);
        for (loopIndex = 0; loopIndex < 20; loopIndex++)
            SpawnRandomSphere();
        entranceActive = 1;
        scrollMax = area.scrollMax;
        scrollMin = area.scrollMin;
        startLine = area.startLine;
        gateX = area.gateX;
        gateY = area.gateY;
    } else if (areaIndex >= FIELD_AREAS && areaIndex < AREA_COUNT) {
        scrollX = arenaScroll;
        SpawnReservedActor(KIND_PLAYER, 0, 200.0f, (float)arenaEntranceY, 1, -1);
        SpawnActor(RESERVED_SLOTS, KIND_BOSS, (float)(screenWidth - 240), 512.0f,
                   arenaBoss[areaIndex - FIELD_AREAS], 0, 0, 0, 0);
        scrollMax = 0.0f;
    }
}

void PlaceItems()
{
    for (loopIndex = 0; loopIndex < ITEM_LIST_SIZE; loopIndex++) {
        const ItemPlacement& item = itemList[loopIndex];
        if (item.itemX == 0)
            break;
        if (item.taken)
            continue;
        if (item.flagIndex >= 0 && item.flagIndex < ITEM_FLAG_COUNT && itemFlags[item.flagIndex] != 0)
            continue;
        SpawnActor(RESERVED_SLOTS, KIND_ITEM, (float)item.itemX - scrollX, (float)item.itemY,
                   item.subtype, 0, item.itemFacing, 0, 0);
    }
}

void StartAreaMusic()
{
    int music;
    if (areaIndex >= FIELD_AREAS)
        music = 5;
    else if (startLinePassed == 0)
        music = 13;
    else
        music = areaIndex >= 0 ? areaIndex : 13;
    PlaySoundHandle(bgmHandle[music], 3, 1);
}

} // namespace

int AreaEntranceY(int area)
{
    return area >= 0 && area < FIELD_AREAS ? fieldAreas[area].entranceY : arenaEntranceY;
}

void StartArea()
{
    ResetPerLifeState();
    ClearScreenPrint();
    ResetActorPool();
    ResetLists();
    PlaceOpeningActors();
    if (carryStats == 0)
        for (int& level : slotLevel)
            level = 0;
    UpdateSlotLevel();
    ReadAreaLayoutCsv(0);
    ReadAreaLayoutCsv(1);
    ReadAreaLayoutCsv(2);
    PlaceItems();
    StartAreaMusic();
}
