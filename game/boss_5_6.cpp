// Bosses 5 and 6: the flying ships of the last arena. Both dash across the
// arena and fire on the rhythm of their clock; boss 6 also fires from every
// segment of its body (enemies 57).
#include "game/boss_routines.h"
#include "game/boss_rules.h"
#include "game/game_state.h"
#include "runtime/timing.h"

namespace {

const int choicePeriod = 90;

bool IsFanFrame(int m)
{
    return m == 36 || m == 46 || m == 56;
}

bool IsRollFrame(int m)
{
    return m == 45 || m == 55;
}

// An effect at (centre + offset) of the boss and, for boss 6, of each body
// segment in slot order.
void FireFromShip(const ActorRecord& boss, bool withBody, int subtype, int row, float dx, float dy, int facing)
{
    SpawnBossEffect(boss.centerX[0] + dx, boss.centerY[0] + dy, subtype, row, facing);
    if (!withBody)
        return;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
        const ActorRecord& segment = actors[i];
        // One killed earlier in this frame still fires: the slot is freed
        // only with the next frame.
        if (segment.kind == KIND_ENEMY && segment.subtype == 57)
            SpawnBossEffect(segment.centerX[0] + dx, segment.centerY[0] + dy, subtype, row, facing);
    }
}

void FireBoss5(const ActorRecord& boss, int m)
{
    if (IsFanFrame(m)) {
        PlayBossSe(11);
        FireFromShip(boss, false, 46, 0, -6.0f, -6.0f, 0);
        if (boss.hitPoints < 20)
            FireFromShip(boss, false, 46, 1, -6.0f, -6.0f, 0);
    }
    if (IsRollFrame(m) && boss.hitPoints < 35)
        FireFromShip(boss, false, 47, 0, -6.0f, -6.0f, boss.facing);
}

void FireBoss6(const ActorRecord& boss, int m)
{
    if (IsFanFrame(m)) {
        PlayBossSe(11);
        if (boss.hitPoints < 35 && GetRandomUpTo(3) == 3)
            FireFromShip(boss, true, 45, 0, -12.0f, -2.0f, boss.facing);
        else
            FireFromShip(boss, true, 46, 0, -6.0f, -6.0f, 0);
        if (boss.hitPoints < 20)
            FireFromShip(boss, true, 46, 1, -6.0f, -6.0f, 0);
    }
    if (IsRollFrame(m) && boss.hitPoints < 35)
        FireFromShip(boss, true, 47, 0, -6.0f, -6.0f, boss.facing);
}

// The dashes: vertical (1) toward the middle band of the arena, horizontal
// (2) toward its middle, random in between; half speed at 20, stop at 30.
void Dash(ActorRecord& boss)
{
    int s = boss.stateFrames;
    if (boss.state == 1) {
        if (s == 1) {
            float top = boss.boxY1[0];
            boss.vy = top < 300.0f ? 4.0f : top > 550.0f ? -4.0f : (float)(8 * GetRandomUpTo(1) - 4);
        }
        if (s == 20)
            boss.vy *= 0.5f;
        if (s == 30) {
            boss.vy = 0.0f;
            EndAttack(boss);
        }
    } else if (boss.state == 2) {
        if (s == 1) {
            float left = boss.boxX1[0];
            float middle = (float)screenWidth * 0.5f;
            // A positive speed moves the ship left.
            boss.vx = left > middle + 200.0f   ? 11.0f
                      : left < middle - 200.0f ? -11.0f
                                               : (float)(22 * GetRandomUpTo(1) - 11);
        }
        if (s == 20)
            boss.vx *= 0.5f;
        if (s == 30) {
            boss.vx = 0.0f;
            EndAttack(boss);
        }
    }
}

void UpdateShip(bool withBody)
{
    ActorRecord* b = StartBossFrame(ChooseEitherAttack, choicePeriod);
    if (b == nullptr)
        return;
    ActorRecord& boss = *b;
    // The guns fire whatever the attack, and not at a fallen heroine.
    if (BossTarget().hitPoints != 0) {
        int m = boss.stateFrames % 60;
        if (withBody)
            FireBoss6(boss, m);
        else
            FireBoss5(boss, m);
    }
    Dash(boss);
}

} // namespace

void UpdateBoss5()
{
    UpdateShip(false);
}

void UpdateBoss6()
{
    UpdateShip(true);
}
