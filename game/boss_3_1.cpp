// Bosses 3 and 1: the dancer of the third arena, who summons, throws and
// teleports, and the gunner of the fourth, whose beam hurts along a line.
#include <math.h>

#include "game/asset_loading.h"
#include "game/boss_routines.h"
#include "game/boss_rules.h"
#include "game/contacts.h"
#include "game/game_state.h"
#include "graphics/shape_calls.h"
#include "runtime/timing.h"

namespace {

enum DancePlace { TOP_LEFT, TOP_RIGHT, BOTTOM };

// Boss 3's dance: the frames at which it jumps, and where to.
const struct {
    int frame;
    DancePlace place;
} danceSteps[] = {
    {60, TOP_LEFT},   {90, BOTTOM},  {120, TOP_RIGHT}, {150, BOTTOM},
    {165, TOP_LEFT},  {180, BOTTOM}, {195, TOP_RIGHT}, {210, BOTTOM},
    {220, TOP_LEFT},  {230, BOTTOM}, {240, TOP_RIGHT}, {250, BOTTOM},
    {260, TOP_LEFT},  {270, BOTTOM}, {280, TOP_RIGHT}, {290, BOTTOM},
};

const float danceTop = 200.0f;
const float danceBottom = 612.0f;

void DanceStep(ActorRecord& boss, DancePlace place)
{
    const AnimFrameRecord& f = AnimFrame(boss.kind, boss.subtype, boss.animRow, 0);
    int row;
    if (place == BOTTOM) {
        boss.boxY1[0] = danceBottom;
        boss.boxY2[0] = danceBottom + (float)f.height;
        // The shot leaves downward-aimed from the floor, on the heroine's side.
        row = 2 * boss.facing;
    } else {
        float l = place == TOP_LEFT ? 240.0f : (float)(screenWidth - 240);
        boss.boxX1[0] = l;
        boss.boxY1[0] = danceTop;
        boss.boxX2[0] = l + (float)f.width;
        boss.boxY2[0] = danceTop + (float)f.height;
        row = 1;
    }
    PlayBossSe(11);
    SpawnBossEffect(boss.boxX1[0], boss.boxY1[0], 33, row, 0);
}

void Dance(ActorRecord& boss)
{
    int s = boss.stateFrames;
    if (s == 30) {
        boss.gravityFactor = 0.0f;
        PlayBossSe(11);
        SpawnBossEffect(boss.boxX1[0], boss.boxY1[0], 33, 2 * boss.facing, 0);
    }
    for (const auto& step : danceSteps)
        if (step.frame == s)
            DanceStep(boss, step.place);
    if (s == 340) {
        boss.gravityFactor = 1.0f;
        EndAttack(boss);
    }
}

void ClearEnemies()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_ENEMY)
            DamageActor(i, 999, 0);
}

// Boss 1's beam: an aiming fan that follows the heroine for 160 frames, then
// a fixed wide beam until frame 320 that hurts along its whole line from 201.
void Beam(ActorRecord& boss)
{
    const ActorRecord& player = BossTarget();
    double theta = AngleToPlayer(boss);
    double cx = boss.centerX[0], cy = boss.centerY[0];
    int x0 = TruncateToInt(cx), y0 = TruncateToInt(cy);
    int s = boss.stateFrames;

    if (s < 160) {
        int x = TruncateToInt(cx + 10.0 * s * cos(theta));
        // Ten times the truncated product: the tip steps 10 pixels vertically.
        int y = y0 + 10 * TruncateToInt(s * sin(theta));
        for (int i = 0; i < 10; i++) {
            DrawLineShape(x, y + i, x0, y0, colorWhite, 1);
            DrawLineShape(x, y - i, x0, y0, colorWhite, 1);
        }
        if (s == 159) {
            beamTipX = x0 - TruncateToInt(-1590.0 * cos(theta));
            beamTipY = y0 - TruncateToInt(-1590.0 * sin(theta));
        }
    }
    if (s >= 160 && s < 320 && s % 2 == 0) {
        for (int i = 0; i < 30; i++) {
            DrawLineShape(beamTipX, beamTipY + i, x0, y0 + i, colorWhite, 1);
            DrawLineShape(beamTipX, beamTipY - i, x0, y0 - i, colorWhite, 1);
        }
    }
    if (s > 200) {
        // Twice the triangle (B, M, Q): the distance of the heroine from the
        // line through the boss and the tip, times the beam's length.
        double bx = beamTipX, by = beamTipY;
        double cross = (bx - cx) * ((double)player.centerY[0] - by) + (cy - by) * ((double)player.centerX[0] - bx);
        // Only a living heroine in slot 0 is hurt: the beam outlasts her death.
        if (fabs(cross) < 50000.0 && player.invulnFlag == 0 && player.kind == KIND_PLAYER &&
            player.hitPoints > 0)
            HitPlayer(0);
    }
    if (s == 0) {
        PlayBossSe(12);
        SetBossRow(boss, 3);
    }
    if (s == 160) {
        PlayBossSe(13);
        SetBossRow(boss, 2);
    }
    if (s == 320)
        EndAttackWithRow0(boss);
}

bool IsVolleyFrame(int m)
{
    return m == 99 || m == 119 || m == 139 || m == 159;
}

void FireStar(const ActorRecord& boss)
{
    SpawnBossEffect(boss.centerX[0] - 32.0f, boss.boxY1[0] - 12.0f, 18, 0, boss.facing);
    PlayBossSe(11);
}

} // namespace

void UpdateBoss3()
{
    ActorRecord* b = StartBossFrame(ChooseAttackByHitPoints, 120);
    if (b == nullptr)
        return;
    ActorRecord& boss = *b;
    int s = boss.stateFrames;
    float left = boss.boxX1[0], top = boss.boxY1[0];
    switch (boss.state) {
    case 1: {
        // The summons: fourteen enemies 29, hopping between them; at the end
        // every enemy on the field is swept away without drops.
        int m = s % 300;
        if (m % 10 == 9 && m <= 139) {
            SpawnBossEnemy(boss.centerX[0] - 32.0f, top - 12.0f, 29, boss.facing);
            PlayBossSe(11);
        }
        if (m == 1 || m == 20 || m == 100 || m == 120 || m == 180) {
            BossJump(boss, 10.0f);
            PlayBossSe(0);
        }
        if (s == 300) {
            EndAttack(boss);
            ClearEnemies();
        }
        break;
    }
    case 2:
        // Knives at 0, 5, ..., 65.
        if (s == 70)
            EndAttack(boss);
        else if (s % 5 == 0)
            SpawnBossEffect(left, top, 38, 0, boss.facing);
        break;
    case 3:
        if (s == 30) {
            // Back to waiting with the next choice 19 frames away.
            boss.state = 0;
            boss.stateFrames = 100;
        } else if (s == 4) {
            BossJump(boss, 10.0f);
        } else if (s % 5 == 0) {
            PlayBossSe(11);
            SpawnBossEffect(left, top, 31, 0, boss.facing);
        }
        break;
    case 4:
        Dance(boss);
        break;
    default:
        break;
    }
}

void UpdateBoss1()
{
    ActorRecord* b = StartBossFrame(ChooseAttackByHitPoints, 60);
    if (b == nullptr)
        return;
    ActorRecord& boss = *b;
    int s = boss.stateFrames;
    int m = s % 160;
    switch (boss.state) {
    case 1:
        if (IsVolleyFrame(m)) {
            FireStar(boss);
            SetBossRow(boss, 2);
        }
        if (s == 170)
            EndAttackWithRow0(boss);
        break;
    case 2:
        if (IsVolleyFrame(m))
            FireStar(boss);
        if (m == 99 || m == 139) {
            BossJump(boss, 10.0f);
            PlayBossSe(0);
        }
        if (m == 93)
            SetBossRow(boss, 1);
        if (s == 180)
            EndAttackWithRow0(boss);
        break;
    case 3:
        // The star fall: up, hang, and rain enemies 9 from above the screen.
        if (s == 0) {
            BossJump(boss, 17.0f);
            PlayBossSe(0);
            SetBossRow(boss, 4);
        }
        if (s == 140) {
            PlayBossSe(12);
            SetBossRow(boss, 1);
        }
        if (s == 160)
            EndAttackWithRow0(boss);
        s = boss.stateFrames;
        if (s > 35)
            boss.vy = 0.0f;
        if (s > 80) {
            int facing = GetRandomUpTo(1);
            int x = GetRandomUpTo(1280);
            SpawnBossEnemy((float)x, -60.0f, 9, facing);
        }
        break;
    case 4:
        Beam(boss);
        break;
    default:
        break;
    }
}
