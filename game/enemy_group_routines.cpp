// Enemies 46 to 57: boss 4's floater, the fountain and its drops, the
// trackers, the enemies that keep one rhythm through a shared counter
// (50, 53, 56), and boss 6's body segments.
#include "game/contacts.h"
#include "game/enemy_helpers.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "runtime/timing.h"

using namespace enemy;

namespace {

enum {
    AIMED_SHOT = 8,      // effect 1's second parameter for a shot at the player
    RING_SHOTS = 8,      // effect 1 with parameters 0 to 7 flies a ring
    SEGMENT_SIDE = 32,
    SEGMENT_SPACING = 16,
};

void SpawnAimedShot(float x, float y)
{
    SpawnEffect(1, x, y, 0, 0, AIMED_SHOT);
}

// Enemies 54 and 55: the row shows which side the player is on.
void LookAtPlayer(ActorRecord& a)
{
    float player = Player().centerX[0];
    if (player < a.centerX[0] - 48.0f)
        FollowRow(a, 2);
    else if (player > a.centerX[0] + 48.0f)
        FollowRow(a, 1);
    else
        FollowRow(a, 0);
}

int FindBoss6()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_BOSS && actors[i].subtype == 6)
            return i;
    return -1;
}

} // namespace

void UpdateEnemy46()
{
    ActorRecord& a = Self();
    if (a.stateFrames < 59)
        a.vy -= 0.05;
    if (PhaseOf(a, 20) == 19)
        SpawnEffect(44, a.boxX1[0], a.boxY1[0]);
    // It lives only as long as the arena's boss.
    if (actors[RESERVED_SLOTS].hitPoints < 1)
        a.hitPoints = 0;
}

void UpdateEnemy47()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 12) == 0)
        SpawnEnemy(48, a.centerX[0] - 7.0f, a.boxY1[0]);
}

void UpdateEnemy48()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1) {
        a.vx = (float)(GetRandomUpTo(150) * 0.1 - 7.5);
        a.vy = -10.0f;
    }
}

void UpdateEnemy49()
{
    ActorRecord& a = Self();
    float player = Player().centerY[0];
    if (a.centerY[0] < player - 16.0f) {
        FollowRow(a, 2);
        a.vy = 2.0f;
    } else if (a.centerY[0] > player + 16.0f) {
        FollowRow(a, 1);
        a.vy = -2.0f;
    } else {
        FollowRow(a, 0);
        a.vy = 0.0f;
    }
}

void UpdateEnemy50()
{
    ActorRecord& a = Self();
    if (a.jumpsUsed == 0) {
        a.vy = -10.0f;
        a.jumpsUsed = 1;
        a.vx = (float)RowFrame(a, 0).moveX;
    }
    if (a.vy == 0.0f && burstCounter > 30 && GetRandomUpTo(5) == 5) {
        // At the top of a jump: hang there and burst into a ring of shots.
        a.gravityFactor = 0.0f;
        burstSpeed = TruncateToInt(a.vx);
        burstCounter = 0;
        for (int k = 0; k < RING_SHOTS; k++)
            SpawnEffect(1, a.boxX1[0] + 6.0f, a.boxY1[0] + 2.0f, 0, 0, k);
        burstCounter += 1;
    } else if (burstCounter > 29) {
        if (burstCounter == 30) {
            a.gravityFactor = 1.0f;
            a.vx = (float)burstSpeed;
        }
        burstCounter += 1;
    } else {
        a.vx = 0.0f;
        burstCounter += 1;
    }
}

void UpdateEnemy51()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 120);
    if (m == 100 || m == 105 || m == 110 || m == 115)
        SpawnEnemy(52, a.boxX1[0] + 16.0f, a.boxY1[0]);
}

void UpdateEnemy52()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 40);
    if (m < 11 || m > 30)
        a.vx += 0.2;
    else
        a.vx -= 0.2;
    if (PhaseOf(a, 120) == 119)
        SpawnAimedShot(a.boxX1[0], a.boxY1[0]);
}

void UpdateEnemy53()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 60) == 59 && GetRandomUpTo(2) == 1) {
        // Stop, turn to the player and fire; walk on 30 frames later.
        a.facing = a.centerX[0] <= Player().centerX[0] ? 1 : 0;
        SpawnAimedShot(a.boxX1[0], a.boxY1[0]);
        a.vx = 0.0f;
        pauseCounter = 1;
        return;
    }
    if (pauseCounter == 30)
        a.vx = (float)((2 * GetRandomUpTo(1) - 1) * RowFrame(a, a.animRow).moveX);
    pauseCounter += 1;
}

void UpdateEnemy54()
{
    ActorRecord& a = Self();
    LookAtPlayer(a);
    if (PhaseOf(a, 90) == 89)
        SpawnAimedShot(a.centerX[0], a.boxY1[0] + 2.0f);
}

void UpdateEnemy55()
{
    ActorRecord& a = Self();
    LookAtPlayer(a);
    a.facing = a.centerX[0] <= Player().centerX[0] ? 1 : 0;
    if (PhaseOf(a, 90) == 89)
        SpawnAimedShot(a.centerX[0], a.centerY[0] + 8.0f);
}

void UpdateEnemy56()
{
    ActorRecord& a = Self();
    const ActorRecord& player = Player();
    float cx = a.centerX[0], cy = a.centerY[0];
    if (PhaseOf(a, 100) == 99 && volleyCounter > 50) {
        SpawnEffect(45, a.boxX1[0], cy - 10.0f);
        SpawnEffect(45, a.boxX1[0], cy + 6.0f);
        SpawnEffect(45, cx, cy - 30.0f);
        SpawnEffect(45, cx, cy + 26.0f);
        a.vy = 0.0f;
        volleyCounter = 0;  // 1 after this frame's count
    } else if (volleyCounter == 50) {
        // Drift back toward the middle, else toward the player's height.
        if (cy > (float)(screenHeight - 256))
            a.vy = -4.0f;
        else if (cy < 128.0f)
            a.vy = 4.0f;
        else
            a.vy = cy <= player.centerY[0] ? 4.0f : -4.0f;
    }
    // Keeps pace with the player once within 400 pixels.
    a.vx = cx - 400.0f <= player.centerX[0] ? -player.vx : 0.0f;
    if (a.stateFrames == 2400)
        DamageActor(loopIndex, 4999, 2);
    volleyCounter += 1;
}

void UpdateEnemy57()
{
    int boss = FindBoss6();
    if (boss < 0)
        return;
    ActorRecord& a = Self();
    const ActorRecord& b = actors[boss];
    // The n-th segment trails the boss by 16 n steps of its history; a count
    // the history cannot hold takes its oldest entry.
    int steps = 0;
    if (a.siblingCount >= (CENTER_HISTORY - 1) / SEGMENT_SPACING + 1)
        steps = CENTER_HISTORY - 1;
    else if (a.siblingCount > 0)
        steps = SEGMENT_SPACING * a.siblingCount;
    float half = SEGMENT_SIDE * 0.5f;
    a.boxX1[0] = b.centerX[steps] - half;
    a.boxY1[0] = b.centerY[steps] - half;
    a.boxX2[0] = b.centerX[steps] + half;
    a.boxY2[0] = b.centerY[steps] + half;
}
