// Rules all six bosses share: facing the player, choosing an attack when the
// wait ends, and the small steps their attack schedules are written in.
#pragma once

#include "game/actor_pool.h"
#include "game/geometry.h"

// The boss the play update is running (slot in `loopIndex`), or null when
// `loopIndex` holds no slot.
ActorRecord* CurrentBoss();
// The heroine's slot.
inline ActorRecord& BossTarget() { return actors[0]; }

// Faces the heroine: 1 when the boss's centre x is not right of hers.
void FaceThePlayer(ActorRecord& boss);
// Bosses 1 to 4: when waiting and `stateFrames` mod period is period - 1, an
// attack is drawn by the hit points (the weaker, the wider the choice) and
// the clock restarts, so the attack's frame 0 runs in this same call.
void ChooseAttackByHitPoints(ActorRecord& boss, int period);
// Bosses 5 and 6: attack 1 or 2 whatever the hit points.
void ChooseEitherAttack(ActorRecord& boss, int period);

// Every boss frame starts the same way: the current boss faces the heroine
// and, when its wait is over, chooses its attack. Null without a boss.
typedef void (*AttackChoice)(ActorRecord& boss, int period);
ActorRecord* StartBossFrame(AttackChoice choose, int period);

// Row r from its first frame.
void SetBossRow(ActorRecord& boss, int row);
// Back to waiting with the clock restarted.
void EndAttack(ActorRecord& boss);
void EndAttackWithRow0(ActorRecord& boss);
// A jump: upward speed, airborne.
void BossJump(ActorRecord& boss, float speed);

void PlayBossSe(int n);
// Effect or enemy into the general pool; nothing when it is full.
void SpawnBossEffect(float x, float y, int subtype, int row, int facing);
void SpawnBossEnemy(float x, float y, int subtype, int facing);
