// Enemies 29 to 45: boss 3's summons, hoppers, cannons that fire on a fixed
// beat, the caller of hoppers, and the enemies that charge or drop at the
// player.
#include <math.h>

#include "game/contacts.h"
#include "game/enemy_helpers.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "runtime/timing.h"

using namespace enemy;

namespace {

enum {
    HOPPER_CAP = 15,  // enemy 37 calls no more hoppers while this many are out
};

// Enemies 35 and 36: three shots at the end of every second.
void TripleBeat(int effect)
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 60);
    if (m == 49 || m == 54 || m == 59)
        SpawnEffect(effect, a.boxX1[0], a.boxY1[0]);
}

int CountHoppers()
{
    int count = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_ENEMY && actors[i].subtype == 5)
            count++;
    return count;
}

// The frame at which enemy 37's jump of -8 comes down again: 60 plus the
// frames the gravity takes to turn the jump twice over (92 at 0.5).
int LandingFrame()
{
    if (!(gravityStep > 0.0f))
        return 60;
    double rise = 16.0 / gravityStep;
    return 60 + (rise < 1000000.0 ? (int)rise : 1000000);
}

} // namespace

void UpdateEnemy29()
{
    ActorRecord& a = Self();
    // In an arena it may break off into a charge.
    if (areaIndex > 4 && a.stateFrames > 120 && GetRandomUpTo(20) == 1 && a.animRow != 3) {
        FollowRow(a, 3);
        a.vx = (float)RowFrame(a, 3).moveX;
        a.vy = (float)RowFrame(a, 3).moveY;
    }
    if (a.animRow == 3)
        return;
    if (PhaseOf(a, 40) == 39 && GetRandomUpTo(1) == 1) {
        int row = a.animRow == 0 ? GetRandomUpTo(1) + 1 : 0;
        FollowRow(a, row);
        a.vy = (float)RowFrame(a, row).moveY;
    }
    // Rising or sinking shows in the row, also after a bounce.
    if (a.vy < 0.0f)
        FollowRow(a, 1);
    else if (a.vy > 0.0f)
        FollowRow(a, 2);
}

void UpdateEnemy30()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 0) {
        a.vx = (float)(4 - 8 * a.facing);
        a.vy = -4.0f;
    }
    // Then a stamp down; the landing restarts the hop.
    if (a.stateFrames > 30) {
        a.vx = 0.0f;
        a.vy = 16.0f;
    }
}

void UpdateEnemy33()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 30) == 0)
        SpawnEffect(27, a.boxX1[0] - 56.0f, a.boxY1[0] + 2.0f);
}

void UpdateEnemy34()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 20) == 0)
        SpawnEffect(28, a.boxX1[0] - 8.0f, a.boxY1[0] + 2.0f, 0, GetRandomUpTo(2));
}

void UpdateEnemy35()
{
    TripleBeat(29);
}

void UpdateEnemy36()
{
    TripleBeat(30);
}

void UpdateEnemy37()
{
    ActorRecord& a = Self();
    int landing = LandingFrame();
    if (a.stateFrames == 60) {
        a.vx = 0.0f;
        SwitchRow(a, 1);
        a.vy = -8.0f;
    } else if (a.stateFrames > landing && a.stateFrames < landing + 30 && a.stateFrames % 6 == 0) {
        // Calls hoppers after landing, while fewer than the cap are out.
        if (CountHoppers() < HOPPER_CAP)
            SpawnEnemy(5, a.boxX1[0] + (float)GetRandomUpTo(10) - 32.0f, a.centerY[0]);
    } else if (a.stateFrames == landing + 30) {
        a.stateFrames = 0;
        SwitchRow(a, 0);
        a.vx = (float)((1 - 2 * a.facing) * RowFrame(a, 0).moveX);
    }
    if (a.stateFrames == landing)
        SwitchRow(a, 2);
}

void UpdateEnemy38()
{
    ActorRecord& a = Self();
    // A short hop back, then a leap forward.
    if (a.stateFrames == 0) {
        a.vx = (float)(6 * a.facing - 3);
        a.vy = (float)(GetRandomUpTo(80) * 0.1 - 5.0);
    } else if (a.stateFrames == 20) {
        PlaySe(11);
        a.vx = (float)(12 - 24 * a.facing);
        a.vy = (float)(GetRandomUpTo(40) * 0.1 - 2.0);
    }
}

void UpdateEnemy39()
{
    ActorRecord& a = Self();
    if (PlayerDistanceX(a) < 150.0f && a.animRow == 0) {
        const AnimFrameRecord& charge = RowFrame(a, 1);
        SwitchRow(a, 1);
        a.hitPoints = charge.hitPoints;
        a.jumpsUsed = 1;
        a.vx = (float)((1 - 2 * a.facing) * charge.moveX);
    }
    if (a.animRow == 1 && a.jumpsUsed == 0) {
        a.jumpsUsed = 1;
        a.vy = (float)RowFrame(a, 1).moveY;
    }
}

void UpdateEnemy40()
{
    ActorRecord& a = Self();
    if (PlayerDistanceX(a) < 200.0f && a.animRow == 0) {
        SwitchRow(a, 1);
        a.vx = a.vy = 0.0f;
    }
    if (a.animRow == 1 && PhaseOf(a, 50) == 0) {
        SpawnEffect(34, a.centerX[0], a.centerY[0]);
        a.vx -= 2.4;  // recoil
        a.vy -= 1.3;
    }
    if (a.animRow != 0)
        a.vx += 0.03;
    // It floats: almost all of the gravity is taken back.
    a.vy -= gravityStep * 0.95;
}

void UpdateEnemy41()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 50) == 0)
        SpawnEffect(35, a.boxX1[0] + 2.0f, a.boxY1[0] - 384.0f);
}

void UpdateEnemy42()
{
    ActorRecord& a = Self();
    if (Player().hitPoints <= 0)
        return;
    double angle = AngleToPlayer(a);
    a.vx -= cos(angle);
    a.vy += sin(angle);
    if (a.stateFrames > 10) {
        a.vx = a.vx < -8.0f ? -8.0f : a.vx > 8.0f ? 8.0f : a.vx;
        a.vy = a.vy < -8.0f ? -8.0f : a.vy > 8.0f ? 8.0f : a.vy;
    }
}

void UpdateEnemy43()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 120)
        SpawnEffect(36, a.boxX1[0], a.boxY1[0], a.facing);
    else if (a.stateFrames == 240)
        DamageActor(loopIndex, 999, 0);
}

void UpdateEnemy45()
{
    ActorRecord& a = Self();
    FacePlayer(a);
    if (Player().boxX1[0] - a.boxX1[0] > 250.0f && a.animRow == 0) {
        SwitchRow(a, 1);
        a.stateFrames = 0;
    }
    if (a.stateFrames == 10 && a.animRow == 1)
        SwitchRow(a, 2);
    if (a.animRow == 2 && PhaseOf(a, 20) == 0)
        SpawnEffect(38, a.boxX1[0] + 8.0f, a.boxY1[0] + 8.0f, a.facing);
}
