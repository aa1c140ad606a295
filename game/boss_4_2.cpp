// Bosses 4 and 2: the ring-layer of the first arena and the leaper of the
// second.
#include "game/boss_routines.h"
#include "game/boss_rules.h"
#include "runtime/timing.h"

namespace {

const int choicePeriod = 120;

// Boss 4's ring around the heroine's box corner: offsets of rows 0 to 4, laid
// one every 5 frames from m = 1 of each 70 frames.
const struct {
    float dx, dy;
} ringPlaces[5] = {
    {170.0f, 0.0f}, {120.0f, -120.0f}, {0.0f, -170.0f}, {-120.0f, -120.0f}, {-170.0f, 0.0f},
};

void LayRing(const ActorRecord& boss)
{
    const ActorRecord& player = BossTarget();
    if (player.hitPoints == 0)
        return;
    int m = boss.stateFrames % 70;
    for (int row = 0; row < 5; row++) {
        if (m != 1 + 5 * row)
            continue;
        // Placed where the heroine stands now, so a moving one skews the ring.
        SpawnBossEffect(player.boxX1[0] + ringPlaces[row].dx, player.boxY1[0] + ringPlaces[row].dy, 39, row, 0);
        PlayBossSe(11);
    }
}

} // namespace

void UpdateBoss4()
{
    ActorRecord* b = StartBossFrame(ChooseAttackByHitPoints, choicePeriod);
    if (b == nullptr)
        return;
    ActorRecord& boss = *b;
    int s = boss.stateFrames;
    float left = boss.boxX1[0], top = boss.boxY1[0];
    switch (boss.state) {
    case 1:
        LayRing(boss);
        if (s == 240)
            EndAttack(boss);
        break;
    case 2:
        // The hopping pair.
        if (s % 40 == 0)
            SpawnBossEffect(left - 32.0f, top, 41, 0, 0);
        if (s == 120)
            EndAttack(boss);
        break;
    case 3:
        // Rising rain clouds.
        if (s == 0)
            for (int n = 0; n < 6; n++)
                SpawnBossEffect(left, top, 42, 0, 0);
        if (s == 1)
            EndAttack(boss);
        break;
    case 4:
        // A floater that fires and falls with the boss.
        if (s == 0)
            SpawnBossEnemy(left, top, 46, 0);
        if (s == 1)
            EndAttack(boss);
        break;
    default:
        break;
    }
}

void UpdateBoss2()
{
    ActorRecord* b = StartBossFrame(ChooseAttackByHitPoints, choicePeriod);
    if (b == nullptr)
        return;
    ActorRecord& boss = *b;
    int s = boss.stateFrames;
    float left = boss.boxX1[0], top = boss.boxY1[0];
    switch (boss.state) {
    case 1:
        if (s > 30 && s % 6 == 0) {
            int row = GetRandomUpTo(1);
            SpawnBossEffect(left, top + 8.0f, 23, row, boss.facing);
            PlayBossSe(11);
        }
        if (s == 0)
            SetBossRow(boss, 1);
        if (s == 60)
            EndAttackWithRow0(boss);
        break;
    case 2:
        if (s > 30 && s % 7 == 0) {
            SpawnBossEffect(left, top, 24, 0, boss.facing);
            PlayBossSe(11);
        }
        if (s == 0)
            SetBossRow(boss, 1);
        if (s == 100)
            EndAttackWithRow0(boss);
        break;
    case 3:
        // The leap: up, hang in the air, drop a burst of shots, come down.
        if (s == 0) {
            BossJump(boss, 17.0f);
            PlayBossSe(0);
            SetBossRow(boss, 2);
        }
        if (s == 180)
            SetBossRow(boss, 3);
        if (s == 230)
            EndAttackWithRow0(boss);
        s = boss.stateFrames;
        if (s > 35)
            boss.vy = 0.0f;
        if (s >= 61 && s <= 89) {
            PlayBossSe(11);
            SpawnBossEffect(left, top, 25, 0, 0);
        }
        break;
    case 4:
        // The wave runs left from the boss, 12 pixels further each step,
        // with a random vertical walk.
        if (s % 2 == 0 && s < 120) {
            waveDrift += 30 - GetRandomUpTo(60);
            PlayBossSe(9);
            SpawnBossEffect(left - (float)(s * 12), top - 32.0f + (float)waveDrift, 26, 0, 0);
        }
        if (s == 0)
            SetBossRow(boss, 2);
        if (s == 160) {
            waveDrift = 0;
            EndAttackWithRow0(boss);
        }
        break;
    default:
        break;
    }
}
