// The rules all bosses share: facing, when and how an attack is chosen, and
// each boss driven by the heroine's shots to its defeat and the area clear.
#include <gtest/gtest.h>

#include <set>

#include "game/boss_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "tests/game/boss_arena.h"
#include "tests/game/play_world.h"

namespace {

const struct {
    int subtype, area, period;
} bosses[] = {
    {1, 8, 60}, {2, 6, 120}, {3, 7, 120}, {4, 5, 120}, {5, 9, 90}, {6, 9, 90},
};

// The widest attack a boss of bosses 1 to 4 may choose at these hit points
// (0: none).
int BandTop(int subtype, int hitPoints)
{
    if (subtype >= 5)
        return 2;
    return hitPoints >= 36 ? 2 : hitPoints >= 21 ? 3 : hitPoints >= 1 ? 4 : 0;
}

} // namespace

TEST(BossRules, EveryBossFacesTheHeroineFirst)
{
    for (const auto& b : bosses) {
        for (float dx : {0.0f, -0.5f, 1.0f}) {
            SetUpBossArena(b.area, b.subtype);
            ActorRecord& p = Heroine();
            p.centerX[0] = Boss().centerX[0] + dx;
            Boss().facing = 5;
            RunBossRoutine();
            EXPECT_EQ(dx >= 0.0f ? 1 : 0, Boss().facing) << b.subtype << " " << dx;
        }
    }
}

TEST(BossRules, TheChoiceComesAtTheLastFrameOfTheWait)
{
    for (const auto& b : bosses) {
        SetUpBossArena(b.area, b.subtype);
        ActorRecord& boss = Boss();
        boss.stateFrames = b.period - 3;
        StepBoss(1);
        EXPECT_EQ(0, boss.state) << b.subtype;
        EXPECT_TRUE(RandomRequests().empty());
        ScriptRandom({1});
        StepBoss(1);
        EXPECT_EQ(2, boss.state) << b.subtype;
        EXPECT_EQ(0, boss.stateFrames) << b.subtype;
        // A later wait of the same length chooses again; an attack under way
        // is never replaced.
        SetUpBossArena(b.area, b.subtype);
        boss.state = 0;
        boss.stateFrames = 3 * b.period - 2;
        ScriptRandom({0});
        StepBoss(1);
        EXPECT_EQ(1, boss.state) << b.subtype;
        SetUpBossArena(b.area, b.subtype);
        boss.state = 7;
        boss.stateFrames = b.period - 2;
        StepBoss(1);
        EXPECT_EQ(7, boss.state);
        EXPECT_EQ(b.period - 1, boss.stateFrames);
    }
}

TEST(BossRules, TheChoiceWidensAsTheHitPointsFall)
{
    struct Case {
        int hitPoints, bound;   // -1: no draw
    } cases[] = {
        {40, 1}, {36, 1}, {35, 2}, {21, 2}, {20, 3}, {1, 3}, {0, -1}, {-5, -1},
    };
    for (const auto& b : bosses)
        for (const Case& c : cases) {
            SetUpBossArena(b.area, b.subtype);
            ActorRecord& boss = Boss();
            boss.hitPoints = c.hitPoints;
            boss.stateFrames = b.period - 2;
            StepBoss(1);
            int bound = b.subtype >= 5 ? 1 : c.bound;
            if (bound < 0) {
                EXPECT_TRUE(RandomRequests().empty()) << b.subtype << " " << c.hitPoints;
                EXPECT_EQ(0, boss.state);
            } else {
                ASSERT_FALSE(RandomRequests().empty()) << b.subtype << " " << c.hitPoints;
                EXPECT_EQ(bound, RandomRequests().front()) << b.subtype << " " << c.hitPoints;
                EXPECT_EQ(1, boss.state);
            }
            EXPECT_EQ(0, boss.stateFrames);
        }
}

TEST(BossRules, AChosenAttackStartsInTheSameFrame)
{
    // Boss 4 at 20 hit points draws attack 3: six clouds at once.
    SetUpBossArena(5, 4);
    Boss().hitPoints = 20;
    Boss().stateFrames = 118;
    ScriptRandom({2});
    StepBoss(1);
    EXPECT_EQ(3, Boss().state);
    EXPECT_EQ(6u, SpawnedActors(KIND_EFFECT, 42).size());
    // Boss 2 draws attack 2 and shows row 1 at once.
    SetUpBossArena(6, 2);
    Boss().stateFrames = 118;
    ScriptRandom({1});
    StepBoss(1);
    EXPECT_EQ(2, Boss().state);
    EXPECT_EQ(1, Boss().animRow);
}

TEST(BossRules, ASeededRunStaysInsideTheBands)
{
    for (const auto& b : bosses)
        for (int hitPoints : {40, 36, 35, 21, 20, 1}) {
            SetUpBossArena(b.area, b.subtype);
            UseSeededRandom(20240613 + 1000 * b.subtype + hitPoints);
            std::multiset<int> chosen;
            for (int n = 0; n < 200; n++) {
                ActorRecord& boss = Boss();
                boss.hitPoints = hitPoints;
                boss.state = 0;
                boss.stateFrames = b.period - 2;
                StepBoss(1);
                chosen.insert(boss.state);
                ClearField();
            }
            int top = BandTop(b.subtype, hitPoints);
            for (int attack = 1; attack <= 4; attack++) {
                if (attack <= top)
                    EXPECT_GT(chosen.count(attack), 20u) << b.subtype << " " << hitPoints << " " << attack;
                else
                    EXPECT_EQ(0u, chosen.count(attack)) << b.subtype << " " << hitPoints << " " << attack;
            }
            EXPECT_EQ(0u, chosen.count(0));
        }
}

namespace {

int LiveBossSlot()
{
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_BOSS && actors[i].hitPoints > 0)
            return i;
    return -1;
}

int FreeSlots()
{
    int n = 0;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_FREE)
            n++;
    return n;
}

struct Drive {
    int frames = 0;
    int killFrame = -1;      // the frame in which the boss's hit points ran out
    int defeatedAs = 0;      // `bossDefeated` then
    int hits = 0;
    std::vector<std::pair<int, int>> choices;   // (hit points, attack)
};

// Plays the arena, one heroine's shot laid over the boss each frame, until
// the boss of `subtype` has fallen and `done` holds. The heroine is kept
// safe, and the field is swept of spheres, and of the other actors when it
// fills up, so that the run does not depend on their behaviours.
Drive DriveToDefeat(int subtype, const std::function<bool()>& done, int limit = 20000)
{
    Drive d;
    ActorRecord& player = Heroine();
    while (d.frames < limit && !done()) {
        player.invulnFlag = 1;
        player.invulnTimer = 0;
        bool crowded = FreeSlots() < 64;
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++) {
            ActorRecord& a = actors[i];
            if (a.kind == KIND_EFFECT && (a.subtype == 11 || crowded))
                a.hitPoints = 0;
            if (a.kind == KIND_ENEMY && a.subtype != 57 && crowded)
                a.hitPoints = 0;
        }
        int slot = LiveBossSlot();
        int before = -1, state = 0;
        if (slot >= 0 && actors[slot].subtype == subtype) {
            const ActorRecord& boss = actors[slot];
            loopIndex = 0;
            SpawnActor(RESERVED_SLOTS, KIND_EFFECT, boss.centerX[0] - 100.0f, boss.centerY[0] - 100.0f, 0, 0,
                       0, 0, 0);
            before = boss.hitPoints;
            state = boss.state;
        }
        UpdatePlayScene();
        d.frames++;
        if (before < 0)
            continue;
        const ActorRecord& boss = actors[slot];
        if (boss.hitPoints < before)
            d.hits++;
        if (state == 0 && boss.state != 0)
            d.choices.push_back({boss.hitPoints, boss.state});
        if (boss.hitPoints <= 0 && d.killFrame < 0) {
            d.killFrame = d.frames;
            d.defeatedAs = bossDefeated;
        }
    }
    return d;
}

void ExpectFairFight(const Drive& d, int subtype)
{
    EXPECT_EQ(40, d.hits) << subtype;
    EXPECT_GT(d.killFrame, 39 * 81) << subtype;   // 80 frames of cover after each hit
    EXPECT_FALSE(d.choices.empty()) << subtype;
    for (const auto& c : d.choices)
        EXPECT_LE(c.second, BandTop(subtype, c.first)) << subtype << " at " << c.first;
}

} // namespace

TEST(BossRules, EachArenaIsClearedThroughItsBoss)
{
    for (const auto& b : bosses) {
        if (b.subtype >= 5)
            continue;
        SetUpBossArena(b.area, b.subtype);
        SetFrame(KIND_EFFECT, 0, 0, 200, 200);
        UseSeededRandom(77 + b.subtype);
        Drive d = DriveToDefeat(b.subtype, [] { return sceneNo == SCENE_AREA_CLEAR; });
        ASSERT_EQ(SCENE_AREA_CLEAR, sceneNo) << b.subtype;
        ExpectFairFight(d, b.subtype);
        EXPECT_EQ(1, d.defeatedAs);
        EXPECT_EQ(d.killFrame + 180, d.frames) << b.subtype;
        EXPECT_EQ(1, CountBgmPlays(6, 1, 1));
        EXPECT_GT(Heroine().hitPoints, 0);
    }
}

TEST(BossRules, TheLastArenasFirstFormLeadsToItsSecond)
{
    SetUpBossArena(9, 5);
    SetFrame(KIND_EFFECT, 0, 0, 200, 200);
    UseSeededRandom(555);
    Drive first = DriveToDefeat(5, [] { return finalBossPending == 1; });
    ASSERT_EQ(1, finalBossPending);
    ExpectFairFight(first, 5);
    EXPECT_EQ(2, first.defeatedAs);
    EXPECT_EQ(first.killFrame + 180, first.frames);
    EXPECT_EQ(SCENE_LOGO, sceneNo);

    Drive second = DriveToDefeat(6, [] { return sceneNo == SCENE_AREA_CLEAR; });
    ASSERT_EQ(SCENE_AREA_CLEAR, sceneNo);
    ExpectFairFight(second, 6);
    EXPECT_EQ(1, second.defeatedAs);
    EXPECT_EQ(second.killFrame + 180, second.frames);
    EXPECT_EQ(4u, SlotsOf(KIND_ENEMY, 57).size());
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));
    EXPECT_EQ(1, CountBgmPlays(6, 1, 1));
}
