// The enemies of the fields, subtypes 3 to 25: throwers, hoppers, flyers,
// shooters and the enemies that react to the player coming near.
#include <math.h>

#include "game/enemy_helpers.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "runtime/timing.h"

using namespace enemy;

namespace {

// Enemies 3 and 6: now and then, after two seconds, a throw at the player.
void ThrowNowAndThen(int effect)
{
    ActorRecord& a = Self();
    FacePlayer(a);
    if (a.stateFrames > 120 && GetRandomUpTo(100) > 95) {
        SpawnEffect(effect, a.boxX1[0], a.boxY1[0], a.facing);
        a.stateFrames = 0;
    }
}

// Enemies 7 and 11: a wave of vertical speed over 80 frames.
void Sway(double step)
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 80);
    if (m >= 20 && m <= 59)
        a.vy += step;
    else
        a.vy -= step;
}

} // namespace

void UpdateEnemy3()
{
    ThrowNowAndThen(10);
}

void UpdateEnemy5()
{
    ActorRecord& a = Self();
    if (a.jumpsUsed != 0)
        return;
    // Landed: hop again.
    a.jumpsUsed = 1;
    a.animTick = 0;
    a.animFrame = 0;
    a.vy = (float)-a.jumpPower;
}

void UpdateEnemy6()
{
    ThrowNowAndThen(13);
}

void UpdateEnemy7()
{
    Sway(0.3);
}

void UpdateEnemy10()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 60);
    if (m == 29 || m == 59)
        SpawnEffect(16, a.centerX[0] - 14.0f, a.centerY[0] - 14.0f);
}

void UpdateEnemy11()
{
    Sway(-0.3);
}

void UpdateEnemy12()
{
    ActorRecord& a = Self();
    FacePlayer(a);
    // A volley of three, five frames apart, shown in the firing row.
    switch (PhaseOf(a, 120)) {
    case 109:
        SpawnEffect(17, a.centerX[0] - 8.0f, a.centerY[0] - 8.0f, a.facing);
        SwitchRow(a, 1);
        break;
    case 114:
    case 119:
        SpawnEffect(17, a.centerX[0] - 8.0f, a.centerY[0] - 8.0f, a.facing);
        break;
    case 40:
        SwitchRow(a, 0);
        break;
    default:
        break;
    }
}

void UpdateEnemy13()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 80);
    if (m >= 20 && m <= 59) {
        a.vx += 0.2;
        a.vy += 0.2;
    } else {
        a.vx -= 0.2;
        a.vy -= 0.2;
    }
}

void UpdateEnemy14()
{
    ActorRecord& a = Self();
    if (a.stateFrames != 0)
        return;
    // Aimed at the player, each component turned by its own random angle.
    double angle = AngleToPlayer(a);
    double turnX = DegreesToRadians(GetRandomUpTo(40) - 20);
    double turnY = DegreesToRadians(GetRandomUpTo(40) - 20);
    a.vx = (float)(-a.speed * cos(angle + turnX));
    a.vy = (float)(a.speed * sin(angle + turnY));
}

void UpdateEnemy15()
{
    ActorRecord& a = Self();
    if (a.centerX[0] - Player().centerX[0] < 100.0f && a.animRow == 0) {
        a.animRow = 1;
        a.vx = 8.0f;  // charges left
    }
}

void UpdateEnemy16()
{
    ActorRecord& a = Self();
    FlyTowardPlayer(a, a.speed);
}

void UpdateEnemy17()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 120) == 119)
        SpawnEnemy(18, a.boxX1[0], a.boxY1[0]);
}

void UpdateEnemy19()
{
    ActorRecord& a = Self();
    if (PhaseOf(a, 120) == 114)
        SpawnEnemy(20, a.boxX1[0] - 16.0f, a.boxY1[0] + 12.0f, a.facing);
}

void UpdateEnemy21()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 80);
    if (m < 20 || m > 59)
        a.vy += 0.1;
    else
        a.vy -= 0.1;
    if (PhaseOf(a, 8) == 7)
        SpawnEffect(20, a.boxX1[0] - 32.0f, a.boxY1[0], a.facing);
}

void UpdateEnemy22()
{
    ActorRecord& a = Self();
    int m = PhaseOf(a, 200);
    if (m == 110)
        SwitchRow(a, 1);
    else if (m == 140)
        SwitchRow(a, 2);
    else if (m == 199)
        SwitchRow(a, 0);
    // Twelve shots, three frames apart, into the slots above its own.
    if (m >= 155 && m <= 188 && (m - 155) % 3 == 0)
        SpawnActor(loopIndex, KIND_EFFECT, a.boxX1[0] - 8.0f, a.boxY1[0] - 8.0f, 21, 0, a.facing, 0, 0);
}

void UpdateEnemy23()
{
    ActorRecord& a = Self();
    if (a.jumpsUsed == 0 && PlayerDistanceX(a) < 100.0f) {
        a.jumpsUsed = 1;
        a.vy = -10.0f;
    }
}

void UpdateEnemy24()
{
    ActorRecord& a = Self();
    if (a.hitPoints >= 1)
        return;
    // Killed this frame: it bursts into three bouncing shots.
    for (int n = 0; n < 3; n++)
        SpawnEffect(22, a.boxX1[0], a.boxY1[0]);
}

void UpdateEnemy25()
{
    ActorRecord& a = Self();
    if (PlayerDistanceX(a) < 100.0f && RowFrame(a, a.animRow).gravityFactor == 0.0f) {
        a.gravityFactor = 1.0f;
        SwitchRow(a, 1);
    }
}
