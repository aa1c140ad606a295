// Enemies 27 and 28: an emitter that sends out two corners and spans a
// triangle hazard between the three; killing any one of them kills the trio.
#include <math.h>

#include "game/contacts.h"
#include "game/enemy_helpers.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "runtime/timing.h"

using namespace enemy;

namespace {

// A link names an emitter's slot only from 8 up; corners placed by the spawn
// list carry 0 and are tied to one another through it all the same.
bool IsEmitterSlot(int link)
{
    return link >= RESERVED_SLOTS && link < ACTOR_SLOTS;
}

// The link as an index of the per-slot hazard tables.
bool IndexesTables(int link)
{
    return link >= 0 && link < ACTOR_SLOTS;
}

bool IsCornerOf(const ActorRecord& a, int emitter)
{
    return a.kind == KIND_ENEMY && a.subtype == 28 && a.linkId == emitter;
}

// The first two corners of the emitter; the count found (0 to 2).
int FindCorners(int emitter, int corners[2], bool aliveOnly = false)
{
    int found = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS && found < 2; i++)
        if (IsCornerOf(actors[i], emitter) && (!aliveOnly || actors[i].hitPoints > 0))
            corners[found++] = i;
    return found;
}

void ClearHazard(int emitter)
{
    for (int v = 0; v < 3; v++)
        hazardVertexX[emitter][v] = hazardVertexY[emitter][v] = 0;
    linkCounter[emitter] = 0;
    linkActive[emitter] = 0;
}

// A speed of 26 in a random direction, x and y each with its own angle.
void Scatter(ActorRecord& a)
{
    a.vx = (float)(-26.0 * cos(DegreesToRadians(GetRandomUpTo(360))));
    a.vy = (float)(26.0 * sin(DegreesToRadians(GetRandomUpTo(360))));
}

} // namespace

void UpdateEnemy27()
{
    int s = loopIndex;
    ActorRecord& a = Self();
    int corners[2];

    // Also in the last call of a dead emitter: when a corner's death has
    // cleared its state, the pair it sends out dies below with their drops.
    if (PlayerDistanceX(a) < 200.0f && linkActive[s] == 0) {
        linkActive[s] = 1;
        for (int n = 0; n < 2; n++)
            SpawnActor(RESERVED_SLOTS, KIND_ENEMY, a.boxX1[0], a.boxY1[0], 28, 0, 0, s, 0);
        Scatter(a);
        int found = FindCorners(s, corners);
        for (int n = 0; n < found; n++)
            Scatter(actors[corners[n]]);
    }
    if (linkActive[s] == 1)
        linkCounter[s] += 1;

    if (linkCounter[s] == 5) {
        // The three corners stop where they flew to.
        a.vx = a.vy = 0.0f;
        int found = FindCorners(s, corners);
        for (int n = 0; n < found; n++)
            actors[corners[n]].vx = actors[corners[n]].vy = 0.0f;
    } else if (linkCounter[s] > 10 && FindCorners(s, corners) == 2) {
        // Only a whole trio spans the triangle.
        hazardVertexX[s][0] = TruncateToInt(a.centerX[0]);
        hazardVertexY[s][0] = TruncateToInt(a.centerY[0]);
        for (int n = 0; n < 2; n++) {
            hazardVertexX[s][n + 1] = TruncateToInt(actors[corners[n]].centerX[0]);
            hazardVertexY[s][n + 1] = TruncateToInt(actors[corners[n]].centerY[0]);
        }
    }

    if (a.hitPoints < 1) {
        int found = FindCorners(s, corners, true);
        for (int n = 0; n < found; n++) {
            DamageActor(corners[n], 999, 1);
            actors[corners[n]].linkId = 0;
        }
        ClearHazard(s);
    }
}

void UpdateEnemy28()
{
    ActorRecord& a = Self();
    if (a.hitPoints >= 1)
        return;
    int link = a.linkId;
    // A stale link whose slot another actor has taken since kills nothing
    // there: only a living emitter goes with its corner.
    if (IsEmitterSlot(link)) {
        const ActorRecord& e = actors[link];
        if (e.kind == KIND_ENEMY && e.subtype == 27 && e.hitPoints > 0)
            DamageActor(link, 999, 1);
    }
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        if (i != loopIndex && IsCornerOf(actors[i], link) && actors[i].hitPoints > 0) {
            DamageActor(i, 999, 1);
            actors[i].linkId = 0;
            break;
        }
    }
    if (IndexesTables(link))
        ClearHazard(link);
    a.linkId = 0;
}
