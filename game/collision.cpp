#include "game/collision.h"

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/contacts.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"

namespace {

const int conveyorBlockType = 10;

int BlockLimit()
{
    if (blockCount < 0)
        return 0;
    return blockCount < BLOCK_TABLE_SIZE ? blockCount : BLOCK_TABLE_SIZE;
}

// The first solid block that holds (x, y), bounds included, or -1.
int FindBlockAt(float x, float y)
{
    int limit = BlockLimit();
    for (int i = 0; i < limit; i++) {
        const BlockRecord& b = blocks[i];
        if (b.solid == 1 && b.blockX1 <= x && x <= b.blockX2 && b.blockY1 <= y && y <= b.blockY2)
            return i;
    }
    return -1;
}

void Land(ActorRecord& a, const BlockRecord& b, float& sy)
{
    float height = a.boxY2[0] - a.boxY1[0];
    a.boxY1[0] = b.blockY1 - height;
    a.boxY2[0] = b.blockY1;
    switch (a.kind) {
    case KIND_PLAYER:
        sy = 0.0f;
        if (a.jumpsUsed != 0) {
            a.jumpsUsed = 0;
            a.state = 0;
        } else if (a.state == 21) {
            a.state = 0;
        }
        break;
    case KIND_ENEMY:
        if (a.subtype == 29) {
            sy = -sy;
        } else if (a.subtype == 30) {
            sy = 0.0f;
            a.jumpsUsed = 0;
            a.stateFrames = -1;
        } else {
            sy = 0.0f;
            a.jumpsUsed = 0;
            a.state = 0;
        }
        break;
    case KIND_BOSS:
    case KIND_ITEM:
        sy = 0.0f;
        a.jumpsUsed = 0;
        break;
    case KIND_EFFECT:
        if (a.subtype == 22) {
            sy = -sy;
        } else {
            sy = 0.0f;
            a.jumpsUsed = 0;
            a.state = 0;
        }
        break;
    default:
        break;
    }
    a.onConveyor = b.blockType == conveyorBlockType ? 1 : 0;
}

void HitCeiling(ActorRecord& a, const BlockRecord& b, float& sy)
{
    a.boxY1[0] = b.blockY2 + 1.0f;
    a.boxY2[0] = a.boxY1[0] + (float)AnimFrame(a.kind, a.subtype, a.animRow, 0).height + 1.0f;
    bool bounces = (a.kind == KIND_EFFECT && a.subtype == 22) || (a.kind == KIND_ENEMY && a.subtype == 29);
    sy = bounces ? -sy : 0.0f;
}

void HitWall(ActorRecord& a, const BlockRecord& b, float& sx)
{
    bool player = a.kind == KIND_PLAYER;
    if (sx > 0.0f) {
        if (player) {
            sx = 0.0f;
            a.boxX1[0] = b.blockX1 - 25.0f;
            a.boxX2[0] = a.boxX1[0] + (float)AnimFrame(KIND_PLAYER, 0, 0, 0).width;
        } else {
            a.facing = 1;
            a.wallTurn = TruncateToInt(sx);
            sx = b.blockX2 - a.boxX1[0];
        }
    } else if (sx < 0.0f) {
        if (player) {
            sx = 0.0f;
            a.boxX1[0] = b.blockX2 + 1.0f;
            a.boxX2[0] = a.boxX1[0] + (float)AnimFrame(KIND_PLAYER, 0, 0, 0).width;
        } else {
            a.facing = 0;
            a.wallTurn = TruncateToInt(sx);
            sx = b.blockX1 - a.boxX2[0];
        }
    }
}

// The probes of one solid actor, each point taken from the box as it stands.
void ProbeCorners(int slot, float& sx, float& sy)
{
    innerLoopIndex = slot;
    const ActorRecord& a = actors[slot];
    CollideActorWithBlocks(a.boxX1[0] + 1.0f, a.boxY1[0] + 1.0f, sx, sy);
    CollideActorWithBlocks(a.boxX2[0] - 1.0f, a.boxY1[0] + 1.0f, sx, sy);
    CollideActorWithBlocks(a.boxX1[0] + 1.0f, a.boxY2[0] - 1.0f, sx, sy);
    CollideActorWithBlocks(a.boxX2[0] - 1.0f, a.boxY2[0] - 1.0f, sx, sy);
}

void MoveX(ActorRecord& a, float dx)
{
    a.boxX1[0] += dx;
    a.boxX2[0] += dx;
    a.centerX[0] += dx;
}

void CrossStartLine()
{
    ActorRecord& player = actors[0];
    if (startLinePassed != 0 || !(player.boxX1[0] + scrollX > (float)startLine))
        return;
    startLinePassed = 1;
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, (float)screenWidth, 0.0f, 50, 0, 0, 0, 0);
    StopAllBgm();
    if (areaIndex >= 0 && areaIndex < FIELD_AREAS)
        PlaySoundHandle(bgmHandle[areaIndex], 3, 1);
}

void ScrollAndMove()
{
    const ActorRecord& player = actors[0];
    int ahead = player.vx > 0.0f ? TruncateToInt(player.vx) : 0;
    float next = scrollX + (float)ahead;
    bool playerMoves = player.freezeTimer == 0;
    if (scrollMin <= next && next <= scrollMax) {
        // The field scrolls: the world moves by the player's speed instead.
        float shift = -((float)player.conveyorSpeed + player.vx);
        for (int i = 1; i < ACTOR_SLOTS; i++) {
            ActorRecord& a = actors[i];
            if (a.freezeTimer != 0)
                continue;
            MoveX(a, -a.vx);
            if (playerMoves && a.kind != KIND_SYSTEM_EFFECT)
                MoveX(a, shift);
            if (a.wallTurn != 0)
                a.vx = (float)-a.wallTurn;
        }
        if (playerMoves) {
            int limit = BlockLimit();
            for (int i = 0; i < limit; i++) {
                if (blocks[i].widthCells != 0) {
                    blocks[i].blockX1 += shift;
                    blocks[i].blockX2 += shift;
                }
            }
        }
    } else {
        for (ActorRecord& a : actors) {
            if (a.freezeTimer != 0)
                continue;
            if (a.kind == KIND_PLAYER) {
                MoveX(a, a.vx);
            } else {
                MoveX(a, -a.vx);
                if (a.wallTurn != 0)
                    a.vx = (float)-a.wallTurn;
            }
        }
    }
    if (playerMoves)
        scrollX += (float)player.conveyorSpeed + player.vx;
}

} // namespace

int IsSolidActor(int slot)
{
    if (slot < 0 || slot >= ACTOR_SLOTS)
        return 0;
    const ActorRecord& a = actors[slot];
    switch (a.kind) {
    case KIND_PLAYER:
    case KIND_BOSS:
    case KIND_ITEM:
        return 1;
    case KIND_ENEMY:
        return AnimFrame(KIND_ENEMY, a.subtype, 0, 0).solid != 0 ? 1 : 0;
    case KIND_EFFECT:
        return a.subtype == 22 ? 1 : 0;
    default:
        return 0;
    }
}

void CollideActorWithBlocks(float px, float py, float& sx, float& sy)
{
    if (innerLoopIndex < 0 || innerLoopIndex >= ACTOR_SLOTS)
        return;
    ActorRecord& a = actors[innerLoopIndex];
    bool player = a.kind == KIND_PLAYER;
    // A non-player's speed is tested as a rightward-positive one.
    if (!player && a.wallTurn == 0)
        sx = -sx;
    int hit = FindBlockAt(px + sx, py + sy);
    if (hit >= 0) {
        const BlockRecord& b = blocks[hit];
        if (player) {
            int belt = b.beltAngle % 360 >= 180 ? TruncateToInt(-b.beltSpeed) : TruncateToInt(b.beltSpeed);
            a.conveyorSpeed = belt;
        }
        if (!player && a.wallTurn == 0)
            sx = -sx;
        if (sy > 0.0f)
            Land(a, b, sy);
        else if (sy < 0.0f)
            HitCeiling(a, b, sy);
        else
            HitWall(a, b, sx);
    }
    if (!player && a.wallTurn == 0)
        sx = -sx;
}

void UpdateActorPhysics()
{
    float scratch = 0.0f;
    for (int i = 0; i < ACTOR_SLOTS; i++)
        if (IsSolidActor(i))
            ProbeCorners(i, scratch, actors[i].vy);

    for (ActorRecord& a : actors) {
        if (a.freezeTimer != 0)
            continue;
        a.boxY1[0] += a.vy;
        a.boxY2[0] += a.vy;
        a.centerY[0] += a.vy;
    }

    for (int i = 0; i < ACTOR_SLOTS; i++)
        if (IsSolidActor(i))
            ProbeCorners(i, actors[i].vx, scratch);

    if (actors[0].jumpsUsed != 0)
        actors[0].conveyorSpeed = 0;
    CrossStartLine();
    ScrollAndMove();
    RunContactChecks();
}
