#include "game/effect_routines.h"

#include <math.h>

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/contacts.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"
#include "runtime/timing.h"

namespace {

// Effects leave the field this far beyond the screen's edges.
const float offRightMargin = 128.0f;
const float offLeftEdge = -256.0f;
const float offVerticalMargin = 100.0f;

// Radians of effect 1's ring steps (45 degrees, as a float holds it).
const double ringStep = 0.7853981852531433;

bool HasSelf()
{
    return loopIndex >= 0 && loopIndex < ACTOR_SLOTS;
}

ActorRecord& Self()
{
    return actors[loopIndex];
}

void PlaySe(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

// Spawn speed of a facing: 1 for 0 (leftward), -1 for 1.
int FacingSign(int facing)
{
    return 1 - 2 * facing;
}

void SpawnEffect(float x, float y, int subtype, int row = 0)
{
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, subtype, row, 0, 0, 0);
}

float Clamp(float v, float limit)
{
    return v < -limit ? -limit : v > limit ? limit : v;
}

// The kill leaves the spawn list alone even when the slot still carries an
// earlier enemy's entry: only enemies re-arm or retire entries.
void KillSelf()
{
    DamageActor(loopIndex, 999, 0);
}

void UpdateEffect1();           // enemy shot: a ring direction, or aimed
void UpdateEffect11Row0();      // sphere dropped by a kill: homes in on slot 0
void UpdateEffect11OtherRow();  // the player's scattered spheres float up
void UpdateEffect13();          // aimed after a pause, at the player's speed
void UpdateEffect14();          // the companion rides on the player
void UpdateEffect20();          // the zone marks what it covers
void UpdateEffect22();          // bouncing shot in a random direction
void UpdateEffect24();          // thrown shot and the burst fragments
void UpdateEffect25();          // bomb that bursts into four fragments
void UpdateEffect29();          // a turning arc
void UpdateEffect30();          // a drop that turns its row when falling
void UpdateEffect31();          // a wobbling shot that leaves effect 32
void UpdateEffect33();          // aimed on its first frame
void UpdateEffect34();          // aimed on its second frame (also subtype 44)
void UpdateEffect35();          // the pull-down column: clears enemies 41 it covers
void UpdateEffect36();          // a shell that bursts into ten effects 37
void UpdateEffect37();          // a rising spark
void UpdateEffect38();          // a knife with a random rise or fall
void UpdateEffect39();          // boss 4's ring: dashes to the middle
void UpdateEffect40();          // the hopping pair, one half
void UpdateEffect41();          // the hopping pair, the other half
void UpdateEffect42();          // the rain cloud
void UpdateEffect46();          // aimed on its second frame at speed 12
void UpdateEffect47();          // falls, then rolls
void UpdateEffect49();          // the player's homing shot
void UpdateEffect52();          // the walking shot's flash on the player
void UpdateEffect53();          // the install flash

// Subtypes 21, 26, 27, 32 and 50 have a one-line rule of their own here.
void RunRoutine(int subtype)
{
    ActorRecord& a = Self();
    switch (subtype) {
    case 1: UpdateEffect1(); break;
    case 11:
        if (a.animRow == 0)
            UpdateEffect11Row0();
        else
            UpdateEffect11OtherRow();
        break;
    case 13: UpdateEffect13(); break;
    case 14: UpdateEffect14(); break;
    case 20: UpdateEffect20(); break;
    case 21:
        if (a.stateFrames == 40)
            a.hitPoints -= 999;
        break;
    case 22: UpdateEffect22(); break;
    case 24: UpdateEffect24(); break;
    case 25: UpdateEffect25(); break;
    case 26:
        if (a.stateFrames == 120)
            a.hitPoints -= 999;
        break;
    case 27:
        if (a.stateFrames == 4)
            a.hitPoints -= 3999;
        break;
    case 29: UpdateEffect29(); break;
    case 30: UpdateEffect30(); break;
    case 31: UpdateEffect31(); break;
    case 32:
        if (a.stateFrames == 120)
            a.hitPoints -= 999;
        break;
    case 33: UpdateEffect33(); break;
    case 34: case 44: UpdateEffect34(); break;
    case 35: UpdateEffect35(); break;
    case 36: UpdateEffect36(); break;
    case 37: UpdateEffect37(); break;
    case 38: UpdateEffect38(); break;
    case 39: UpdateEffect39(); break;
    case 40: UpdateEffect40(); break;
    case 41: UpdateEffect41(); break;
    case 42: UpdateEffect42(); break;
    case 46: UpdateEffect46(); break;
    case 47: UpdateEffect47(); break;
    case 49: UpdateEffect49(); break;
    case 50:
        if (a.boxX1[0] < -256.0f)
            startEffectSlot = 0;
        break;
    case 52: UpdateEffect52(); break;
    case 53: UpdateEffect53(); break;
    default:
        break;
    }
}

void UpdateEffect1()
{
    ActorRecord& a = Self();
    if (a.stateFrames != 1)
        return;
    if (a.param2 == 8) {
        FlyTowardPlayer(a, 4.0);
        return;
    }
    double t = a.param2 * ringStep;
    int move = AnimFrame(KIND_EFFECT, 1, 0, 0).moveX;
    a.vx = (float)(cos(t) * move);
    a.vy = (float)(sin(t) * move);
}

void UpdateEffect11Row0()
{
    ActorRecord& a = Self();
    const ActorRecord& player = actors[0];
    if (player.hitPoints <= 0)
        return;
    double t = AngleToPlayer(a);
    a.vx = (float)(a.vx - 2.0 * cos(t));
    a.vy = (float)(a.vy + 2.0 * sin(t));
    if (a.stateFrames > 12) {
        a.vx = Clamp(a.vx, 6.0f);
        a.vy = Clamp(a.vy, 6.0f);
    }
}

void UpdateEffect11OtherRow()
{
    ActorRecord& a = Self();
    if (a.stateFrames % 2 == 0)
        a.vy = (float)(a.vy - 0.1);
}

void UpdateEffect13()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 30)
        FlyTowardPlayer(a, 1.5 * actors[0].speed);
}

void UpdateEffect14()
{
    ActorRecord& a = Self();
    const ActorRecord& player = actors[0];
    a.boxX1[0] = player.centerX[0] - 16.0f;
    a.boxY1[0] = player.centerY[0] - 16.0f;
    a.boxX2[0] = player.centerX[0] + 16.0f;
    a.boxY2[0] = player.centerY[0] + 16.0f;
}

void UpdateEffect20()
{
    int self = loopIndex;
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        ActorRecord& other = actors[i];
        if (i == self || other.kind == KIND_FREE || other.inZone == 1)
            continue;
        other.inZone = TestActorOverlap(i, self);
    }
}

void UpdateEffect22()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 0) {
        a.vx = (float)(-cos(DegreesToRadians(GetRandomUpTo(360))) * a.speed);
        a.vy = (float)(sin(DegreesToRadians(GetRandomUpTo(360))) * a.speed);
    }
    if (a.stateFrames == 90)
        KillSelf();
}

void UpdateEffect24()
{
    ActorRecord& a = Self();
    int sign = FacingSign(a.facing);
    if (a.animRow == 0) {
        if (a.vx == 0.0f)
            a.vx = (float)((GetRandomUpTo(14) + 4) * sign);
    } else if (a.animRow == 1) {
        if (a.gravityFactor == 1.0f) {
            a.gravityFactor = 0.0f;
            double angle = DegreesToRadians(GetRandomUpTo(360));
            a.vx = (float)(cos(angle) * 6.0 * sign);
            a.vy = (float)(sin(angle) * 6.0);
        }
    }
}

void UpdateEffect25()
{
    ActorRecord& a = Self();
    switch (a.stateFrames) {
    case 0:
        a.vx = (float)(GetRandomUpTo(45) + 1.0);
        a.vy = (float)(GetRandomUpTo(20) - 10.0);
        break;
    case 20:
        a.vx = a.vy = 0.0f;
        break;
    case 120:
        PlaySe(11);
        for (int n = 0; n < 4; n++)
            SpawnEffect(a.boxX1[0], a.boxY1[0], 24, 1);
        a.hitPoints -= 999;
        break;
    default:
        break;
    }
}

void UpdateEffect29()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 19)
        a.vx = -a.vx;
    if (a.stateFrames == 39)
        a.hitPoints -= 3999;
    bool rising = a.stateFrames >= 10 && a.stateFrames <= 30;
    a.vy = (float)(rising ? a.jumpPower : -a.jumpPower);
}

void UpdateEffect30()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1)
        a.vx = (float)(GetRandomUpTo(6) + 2.0);
    if (a.vy > 0.0f)
        a.animRow = 1;
}

void UpdateEffect31()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1) {
        a.vx = (float)(GetRandomUpTo(12) + 2.0);
        a.vy = (float)((2 * GetRandomUpTo(1) - 1) * 10);
    } else if (a.stateFrames > 0 && GetRandomUpTo(1) == 1) {
        a.vy += a.vy >= 0.0f ? -1.0f : 1.0f;
    }
    if (a.stateFrames == 70) {
        a.hitPoints -= 999;
        SpawnEffect(a.boxX1[0], a.boxY1[0], 32);
    }
}

void UpdateEffect33()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 0)
        FlyTowardPlayer(a, 10.0);
}

void UpdateEffect34()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1)
        FlyTowardPlayer(a, 10.0);
}

void UpdateEffect35()
{
    int self = loopIndex;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        ActorRecord& other = actors[i];
        if (other.kind == KIND_ENEMY && other.subtype == 41 && TestActorOverlap(self, i))
            other.hitPoints -= 999;
    }
}

void UpdateEffect36()
{
    ActorRecord& a = Self();
    if (a.stateFrames != 30)
        return;
    for (int n = 0; n < 10; n++)
        SpawnEffect(a.boxX1[0], a.boxY1[0], 37);
    KillSelf();
}

void UpdateEffect37()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 0) {
        a.vx = (float)(GetRandomUpTo(60) * 0.1 - 3.0);
        a.vy = (float)(-GetRandomUpTo(10) * 0.1);
    }
    a.vy = (float)(a.vy - gravityStep * 0.9);
}

void UpdateEffect38()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1)
        a.vy = (float)(GetRandomUpTo(60) * 0.1 - 3.0);
}

void UpdateEffect39()
{
    ActorRecord& a = Self();
    if (a.stateFrames != 50)
        return;
    switch (a.animRow) {
    case 0: a.vx = 10.0f; break;
    case 1: a.vx = 7.0f; a.vy = 7.0f; break;
    case 2: a.vy = 10.0f; break;
    case 3: a.vx = -7.0f; a.vy = 7.0f; break;
    case 4: a.vx = -10.0f; break;
    default: break;
    }
}

void UpdateEffect40()
{
    ActorRecord& a = Self();
    if (a.stateFrames != 37)
        return;
    SpawnEffect(a.boxX1[0], a.boxY1[0] - 2.0f, 41);
    a.hitPoints -= 999;
}

void UpdateEffect41()
{
    ActorRecord& a = Self();
    int m = a.stateFrames % 30;
    if (m == 0)
        a.vy = GetRandomUpTo(1) == 0 ? -4.0f : 4.0f;
    if (m == 8) {
        SpawnEffect(a.boxX1[0], a.boxY1[0] + 2.0f, 40);
        a.hitPoints -= 999;
    }
}

void UpdateEffect42()
{
    ActorRecord& a = Self();
    int s = a.stateFrames;
    if (s == 0)
        a.vx = (float)(GetRandomUpTo(150) * 0.1 + 1.0);
    else if (s % 4 == 1 && s > 60)
        SpawnEffect((float)(a.boxX1[0] + GetRandomUpTo(300) * 0.1), a.boxY1[0] + 24.0f, 43);
    if (s < 60)
        a.vy = (float)(a.vy - 0.2);
    else if (s == 60)
        a.vx = a.vy = 0.0f;
    if (s == 240)
        a.hitPoints -= 999;
}

void UpdateEffect46()
{
    ActorRecord& a = Self();
    if (a.stateFrames == 1)
        FlyTowardPlayer(a, 12.0);
}

void UpdateEffect47()
{
    ActorRecord& a = Self();
    int limit = blockCount < 0 ? 0 : blockCount < BLOCK_TABLE_SIZE ? blockCount : BLOCK_TABLE_SIZE;
    for (int k = 0; k < limit; k++) {
        const BlockRecord& b = blocks[k];
        if (b.solid != 1 || !ActorOverlapsBlock(a, b))
            continue;
        a.animRow = 1;
        a.vx = (float)(FacingSign(a.facing) * AnimFrame(KIND_EFFECT, 47, 1, 0).moveX);
        a.vy = 0.0f;
        a.boxY1[0] -= 4.0f;
        a.boxY2[0] -= 4.0f;
        return;
    }
}

void UpdateEffect49()
{
    ActorRecord& a = Self();
    const ActorRecord& boss = actors[RESERVED_SLOTS];
    if (a.stateFrames == 1) {
        a.vy = (float)(GetRandomUpTo(100) * 0.1 - 5.0);
    } else if (a.stateFrames == 120) {
        a.hitPoints -= 999;
    } else if (boss.hitPoints > 0) {
        double t = AngleToward(a, boss.centerX[0], boss.centerY[0]);
        double k = 2.0 - a.stateFrames * 0.005;
        a.vx = Clamp((float)(a.vx - cos(t) * k), 18.0f);
        a.vy = Clamp((float)(a.vy + sin(t) * k), 8.0f);
    }
}

void UpdateEffect52()
{
    ActorRecord& a = Self();
    const ActorRecord& player = actors[0];
    a.boxX1[0] = player.boxX1[0];
    a.boxY1[0] = player.boxY1[0];
    a.boxX2[0] = player.boxX2[0];
    a.boxY2[0] = player.boxY2[0];
    if (a.stateFrames == 5)
        a.hitPoints -= 999;
}

void UpdateEffect53()
{
    ActorRecord& a = Self();
    installFlashFrames += 1;
    installFlashShrink = 3.0f;
    installFlashRadius = 64;
    if (64 - installFlashFrames * 3 < 0) {
        a.hitPoints -= 999;
        installFlashFrames = 0;
    }
}

} // namespace

void UpdateEffect(int subtype)
{
    if (!HasSelf())
        return;
    RunRoutine(subtype);
    if (subtype == 12)
        return;
    ActorRecord& a = Self();
    if (a.centerX[0] > (float)screenWidth + offRightMargin || a.centerX[0] < offLeftEdge ||
        a.centerY[0] < -offVerticalMargin || a.centerY[0] > (float)screenHeight + offVerticalMargin)
        a.hitPoints = 0;
}
