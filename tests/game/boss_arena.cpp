#include "tests/game/boss_arena.h"

#include "game/boss_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "tests/game/play_world.h"

void SetBossFrames(int subtype)
{
    float gravity = subtype == 5 || subtype == 6 ? 0.0f : 1.0f;
    for (int row = 0; row < 5; row++) {
        AnimFrameRecord& f = SetFrame(KIND_BOSS, subtype, row, 64, 96, 0, 0, 40, gravity);
        f.hittable = 1;
        f.hurtsPlayer = 1;
    }
}

void SetUpBossArena(int area, int subtype)
{
    ResetPlayWorld();
    areaIndex = area;
    scrollX = 767.0f;
    scrollMin = 750.0f;
    scrollMax = 0.0f;
    startLinePassed = 1;
    SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
    SetBossFrames(subtype);
    if (subtype == 5) {
        // Boss 6 and its body enter when boss 5 falls.
        SetBossFrames(6);
        SetFrame(KIND_ENEMY, 57, 0, 32, 32, 0, 0, 10, 0.0f).hurtsPlayer = 1;
    }
    AddBlock(0.0f, ARENA_FLOOR, 1280.0f, ARENA_FLOOR + 128.0f);
    ActorRecord& player = PlaceActor(0, KIND_PLAYER, 0, 200.0f, ARENA_FLOOR - 48.0f, 24, 48, 3);
    player.facing = 1;
    player.shotPower = 1;
    player.shotCount = 1;
    player.maxJumps = 1;
    SpawnActor(RESERVED_SLOTS, KIND_BOSS, (float)(screenWidth - 240), ARENA_FLOOR - 96.0f, subtype, 0, 0, 0, 0);
}

ActorRecord& Boss() { return actors[BOSS_SLOT]; }
ActorRecord& Heroine() { return actors[0]; }

void RunBossRoutine()
{
    loopIndex = BOSS_SLOT;
    switch (Boss().subtype) {
    case 1: UpdateBoss1(); break;
    case 2: UpdateBoss2(); break;
    case 3: UpdateBoss3(); break;
    case 4: UpdateBoss4(); break;
    case 5: UpdateBoss5(); break;
    case 6: UpdateBoss6(); break;
    default: break;
    }
}

void StepBoss(int frames)
{
    for (int n = 0; n < frames; n++) {
        Boss().stateFrames += 1;
        RunBossRoutine();
    }
}

void ClearField()
{
    for (int i = BOSS_SLOT + 1; i < ACTOR_SLOTS; i++)
        FreeActorSlot(i);
}

std::vector<Spawned> SpawnedActors(int kind, int subtype)
{
    std::vector<Spawned> out;
    for (int i = BOSS_SLOT + 1; i < ACTOR_SLOTS; i++) {
        const ActorRecord& a = actors[i];
        if (a.kind == kind && a.subtype == subtype)
            out.push_back({a.kind, a.subtype, a.animRow, a.facing, a.boxX1[0], a.boxY1[0]});
    }
    return out;
}

AttackRun RunAttack(int state, int kind, int subtype, int limit, std::function<void(int)> beforeFrame)
{
    AttackRun run;
    ActorRecord& boss = Boss();
    boss.state = state;
    boss.stateFrames = -1;
    for (int n = 0; n < limit; n++) {
        int s = boss.stateFrames + 1;
        if (beforeFrame)
            beforeFrame(s);
        StepBoss(1);
        for (const Spawned& spawned : SpawnedActors(kind, subtype)) {
            run.frames.push_back(s);
            run.spawns.push_back(spawned);
        }
        ClearField();
        if (boss.state != state) {
            run.endFrame = s;
            break;
        }
    }
    return run;
}
