// Benchmark of one play frame (not a test): a busy field with many blocks and
// a crowded actor pool, and the worst case of a full block table and pool.
// Run under Wine: prints the mean time of UpdatePlayScene per frame.
#include <windows.h>
#include <stdio.h>

#include "game/asset_loading.h"
#include "game/actor_pool.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scenes.h"

namespace {

void SetUpField(int blockTotal, int actorTotal)
{
    ResetGameGlobals();
    screenWidth = 1280;
    screenHeight = 720;
    SetGameConstants();
    areaIndex = 1;
    scrollX = 800.0f;
    scrollMin = 552.0f;
    scrollMax = 24990.0f;
    startLine = 1 << 30;
    gateX = 26080;
    for (int kind = 1; kind < ANIM_KINDS; kind++)
        for (int id = 0; id < ANIM_IDS; id++) {
            AnimFrameRecord& f = animFrames[kind][id][0][0];
            f.width = 24;
            f.height = 32;
            f.hittable = 1;
            f.solid = 1;
        }
    blockCount = blockTotal;
    for (int i = 0; i < blockTotal; i++) {
        BlockRecord& b = blocks[i];
        b.blockX1 = (float)(i * 32 % 30000) - 500.0f;
        b.blockY1 = 600.0f - (float)(i % 5) * 96.0f;
        b.blockX2 = b.blockX1 + 32.0f;
        b.blockY2 = b.blockY1 + 32.0f;
        b.widthCells = b.heightCells = 4;
        b.active = b.solid = 1;
    }
    SpawnReservedActor(KIND_PLAYER, 0, 560.0f, 300.0f, 1, 0);
    actors[0].vx = 3.0f;
    for (int n = 0; n < actorTotal; n++) {
        int kind = n % 3 == 0 ? KIND_ENEMY : n % 3 == 1 ? KIND_EFFECT : KIND_ITEM;
        SpawnActor(8, kind, (float)(n * 37 % 1400), (float)(n * 53 % 700), n % 40, 0, n & 1, 0, 0);
        if (lastSpawnSlot < ACTOR_SLOTS)
            actors[lastSpawnSlot].hitPoints = 1000000;
    }
}

double MeasureFrames(int blockTotal, int actorTotal, int frames)
{
    SetUpField(blockTotal, actorTotal);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < frames; i++)
        UpdatePlayScene();
    QueryPerformanceCounter(&end);
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart / frames;
}

} // namespace

int main()
{
    struct Case {
        int blocks, actors, frames;
    } cases[] = {{600, 60, 600}, {2000, 200, 300}, {BLOCK_TABLE_SIZE, ACTOR_SLOTS - 8, 20}};
    for (const Case& c : cases)
        printf("blocks %5d, actors %3d: %8.3f ms a frame\n", c.blocks, c.actors,
               MeasureFrames(c.blocks, c.actors, c.frames));
    return 0;
}
