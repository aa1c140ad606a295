#include "game/boss_rules.h"

#include "audio/sound_services.h"
#include "game/boss_routines.h"
#include "game/game_state.h"
#include "runtime/timing.h"

int beamTipX, beamTipY;
int waveDrift;

ActorRecord* CurrentBoss()
{
    if (loopIndex < 0 || loopIndex >= ACTOR_SLOTS)
        return nullptr;
    return &actors[loopIndex];
}

ActorRecord* StartBossFrame(AttackChoice choose, int period)
{
    ActorRecord* boss = CurrentBoss();
    if (boss == nullptr)
        return nullptr;
    FaceThePlayer(*boss);
    choose(*boss, period);
    return boss;
}

void FaceThePlayer(ActorRecord& boss)
{
    boss.facing = boss.centerX[0] <= BossTarget().centerX[0] ? 1 : 0;
}

void ChooseAttackByHitPoints(ActorRecord& boss, int period)
{
    if (boss.state != 0 || boss.stateFrames % period != period - 1)
        return;
    // Attacks 3 and 4 open up as the boss weakens; a beaten boss keeps waiting.
    if (boss.hitPoints >= 36)
        boss.state = GetRandomUpTo(1) + 1;
    else if (boss.hitPoints >= 21)
        boss.state = GetRandomUpTo(2) + 1;
    else if (boss.hitPoints >= 1)
        boss.state = GetRandomUpTo(3) + 1;
    boss.stateFrames = 0;
}

void ChooseEitherAttack(ActorRecord& boss, int period)
{
    if (boss.state != 0 || boss.stateFrames % period != period - 1)
        return;
    boss.state = GetRandomUpTo(1) + 1;
    boss.stateFrames = 0;
}

void SetBossRow(ActorRecord& boss, int row)
{
    boss.animRow = row;
    boss.animTick = 0;
    boss.animFrame = 0;
}

void EndAttack(ActorRecord& boss)
{
    boss.state = 0;
    boss.stateFrames = 0;
}

void EndAttackWithRow0(ActorRecord& boss)
{
    EndAttack(boss);
    SetBossRow(boss, 0);
}

void BossJump(ActorRecord& boss, float speed)
{
    boss.vy = -speed;
    boss.jumpsUsed = 1;
}

void PlayBossSe(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

void SpawnBossEffect(float x, float y, int subtype, int row, int facing)
{
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, subtype, row, facing, 0, 0);
}

void SpawnBossEnemy(float x, float y, int subtype, int facing)
{
    SpawnActor(RESERVED_SLOTS, KIND_ENEMY, x, y, subtype, 0, facing, 0, 0);
}
