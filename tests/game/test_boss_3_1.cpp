// Bosses 3 and 1: the summons and their sweep, the knives, the short hop,
// the teleporting dance; the star volleys, the star fall and the beam with
// its line-distance hit.
#include <gtest/gtest.h>

#include "game/asset_loading.h"
#include "game/boss_routines.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "tests/game/boss_arena.h"
#include "tests/game/play_world.h"

namespace {

std::vector<int> Range(int first, int last, int step)
{
    std::vector<int> values;
    for (int v = first; v <= last; v += step)
        values.push_back(v);
    return values;
}

// The heroine moved so that her centre is at (x, y).
void PlaceHeroineCentre(float x, float y)
{
    ActorRecord& p = Heroine();
    p.boxX1[0] = x - 12.0f;
    p.boxX2[0] = x + 12.0f;
    p.boxY1[0] = y - 24.0f;
    p.boxY2[0] = y + 24.0f;
    p.centerX[0] = x;
    p.centerY[0] = y;
}

} // namespace

TEST(Boss3, SummonsHopsAndSweepsTheFieldWithoutDrops)
{
    SetUpBossArena(7, 3);
    SetFrame(KIND_ENEMY, 29, 0, 24, 24, 2, 0, 1);
    SetFrame(KIND_ENEMY, 7, 0, 32, 32, 0, 0, 5);
    // An enemy of the list, out and re-armable, and one not from the list.
    spawnList[3] = {2000, 300, 7, 1, 0, 4, 0, 1};
    PlaceActor(300, KIND_ENEMY, 7, 400, 300, 32, 32, 5).spawnIndex = 3;
    PlaceActor(301, KIND_ENEMY, 7, 500, 300, 32, 32, 5).spawnIndex = SPAWN_INDEX_NONE;
    // One already killed in this frame is swept all the same.
    PlaceActor(302, KIND_ENEMY, 7, 600, 300, 32, 32, -3).spawnIndex = SPAWN_INDEX_NONE;
    ActorRecord& boss = Boss();
    boss.state = 1;
    boss.stateFrames = -1;
    std::vector<int> summonFrames, jumpFrames;
    size_t summoned = 0;
    while (boss.state == 1 && boss.stateFrames < 400) {
        boss.vy = 0.0f;
        boss.jumpsUsed = 0;
        StepBoss(1);
        int s = boss.state == 1 ? boss.stateFrames : 300;
        size_t now = SpawnedActors(KIND_ENEMY, 29).size();
        if (now > summoned)
            summonFrames.push_back(s);
        summoned = now;
        if (boss.vy == -10.0f && boss.jumpsUsed == 1)
            jumpFrames.push_back(s);
    }
    EXPECT_EQ(0, boss.state);
    EXPECT_EQ(0, boss.stateFrames);
    EXPECT_EQ(Range(9, 139, 10), summonFrames);
    EXPECT_EQ((std::vector<int>{1, 20, 100, 120, 180}), jumpFrames);
    EXPECT_EQ(14, CountSePlays(11));
    EXPECT_EQ(5, CountSePlays(0));
    std::vector<Spawned> summons = SpawnedActors(KIND_ENEMY, 29);
    ASSERT_EQ(14u, summons.size());
    EXPECT_FLOAT_EQ(1072.0f - 32.0f, summons[0].x);
    EXPECT_FLOAT_EQ(512.0f - 12.0f, summons[0].y);
    EXPECT_EQ(boss.facing, summons[0].facing);
    // Every enemy is gone, summons included; nothing drops.
    for (int i = BOSS_SLOT + 1; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == KIND_ENEMY) {
            EXPECT_LE(actors[i].hitPoints, 0) << i;
        }
    EXPECT_TRUE(SpawnedActors(KIND_EFFECT, 11).empty());
    EXPECT_EQ(0, spawnList[3].listState);  // re-armed by its flag
    EXPECT_EQ(-3 - 999, actors[302].hitPoints);
    EXPECT_EQ(0, bossDefeated);
    EXPECT_GT(boss.hitPoints, 0);
}

TEST(Boss3, KnivesAndTheShortHop)
{
    SetUpBossArena(7, 3);
    Boss().facing = 1;
    PlaceHeroineCentre(1500.0f, 584.0f);
    AttackRun run = RunAttack(2, KIND_EFFECT, 38);
    EXPECT_EQ(70, run.endFrame);
    EXPECT_EQ(Range(0, 65, 5), run.frames);
    for (const Spawned& s : run.spawns) {
        EXPECT_FLOAT_EQ(1040.0f, s.x);
        EXPECT_FLOAT_EQ(512.0f, s.y);
        EXPECT_EQ(1, s.facing);
    }

    // Attack 3: shots at 0 to 25, a hop at 4, and back to waiting at 30 with
    // the clock at 100, so the next choice comes 19 frames later.
    SetUpBossArena(7, 3);
    std::vector<float> vy;
    run = RunAttack(3, KIND_EFFECT, 31, 400, [&](int) {
        vy.push_back(Boss().vy);
        Boss().vy = 0.0f;
    });
    EXPECT_EQ(30, run.endFrame);
    EXPECT_EQ(Range(0, 25, 5), run.frames);
    EXPECT_EQ(6, CountSePlays(11));
    EXPECT_EQ(-10.0f, vy[5]);   // the value the frame 4 left
    EXPECT_EQ(0.0f, vy[4]);
    EXPECT_EQ(1, Boss().jumpsUsed);
    EXPECT_EQ(0, Boss().state);
    EXPECT_EQ(100, Boss().stateFrames);
    ScriptRandom({1});
    StepBoss(18);
    EXPECT_EQ(0, Boss().state);
    StepBoss(1);
    EXPECT_EQ(2, Boss().state);
    EXPECT_EQ(0, Boss().stateFrames);
}

TEST(Boss3, TheDanceTeleportsBetweenFixedPlaces)
{
    enum { TOP_L, TOP_R, BOTTOM };
    const struct {
        int frame, place;
    } table[] = {
        {60, TOP_L},  {90, BOTTOM},  {120, TOP_R}, {150, BOTTOM}, {165, TOP_L}, {180, BOTTOM},
        {195, TOP_R}, {210, BOTTOM}, {220, TOP_L}, {230, BOTTOM}, {240, TOP_R}, {250, BOTTOM},
        {260, TOP_L}, {270, BOTTOM}, {280, TOP_R}, {290, BOTTOM},
    };
    for (int facing : {0, 1}) {
        SetUpBossArena(7, 3);
        screenWidth = 1200;  // the right place follows the screen width
        // The places take the size of the current row's first frame.
        SetFrame(KIND_BOSS, 3, 2, 70, 90, 0, 0, 40).hittable = 1;
        Boss().animRow = 2;
        if (facing == 1)
            PlaceHeroineCentre(1500.0f, 584.0f);
        ActorRecord& boss = Boss();
        boss.state = 4;
        boss.stateFrames = -1;
        std::vector<int> frames;
        std::vector<Spawned> shots;
        std::vector<float> gravity(400, -1.0f);
        float lastLeft = boss.boxX1[0];
        size_t step = 0;
        while (boss.state == 4 && boss.stateFrames < 400) {
            StepBoss(1);
            int s = boss.state == 4 ? boss.stateFrames : 340;
            gravity[s] = boss.gravityFactor;
            for (const Spawned& shot : SpawnedActors(KIND_EFFECT, 33)) {
                frames.push_back(s);
                shots.push_back(shot);
            }
            ClearField();
            if (step < 16 && table[step].frame == s) {
                if (table[step].place == BOTTOM) {
                    EXPECT_FLOAT_EQ(lastLeft, boss.boxX1[0]) << s;
                    EXPECT_FLOAT_EQ(lastLeft + 70.0f, boss.boxX2[0]) << s;
                    EXPECT_FLOAT_EQ(612.0f, boss.boxY1[0]) << s;
                    EXPECT_FLOAT_EQ(702.0f, boss.boxY2[0]) << s;
                } else {
                    float l = table[step].place == TOP_L ? 240.0f : 960.0f;
                    EXPECT_FLOAT_EQ(l, boss.boxX1[0]) << s;
                    EXPECT_FLOAT_EQ(l + 70.0f, boss.boxX2[0]) << s;
                    EXPECT_FLOAT_EQ(200.0f, boss.boxY1[0]) << s;
                    EXPECT_FLOAT_EQ(290.0f, boss.boxY2[0]) << s;
                }
                lastLeft = boss.boxX1[0];
                step++;
            }
        }
        EXPECT_EQ(16u, step);
        EXPECT_EQ(0, boss.state);
        ASSERT_EQ(17u, shots.size());
        EXPECT_EQ(30, frames[0]);
        EXPECT_EQ(2 * facing, shots[0].row);
        EXPECT_FLOAT_EQ(1040.0f, shots[0].x);
        for (size_t k = 1; k < shots.size(); k++) {
            EXPECT_EQ(table[k - 1].frame, frames[k]);
            EXPECT_EQ(table[k - 1].place == BOTTOM ? 2 * facing : 1, shots[k].row) << k;
        }
        EXPECT_EQ(17, CountSePlays(11));
        EXPECT_EQ(1.0f, gravity[29]);
        EXPECT_EQ(0.0f, gravity[30]);
        EXPECT_EQ(0.0f, gravity[339]);
        EXPECT_EQ(1.0f, gravity[340]);
        EXPECT_EQ(1.0f, boss.gravityFactor);
    }
}

TEST(Boss1, StarVolleys)
{
    SetUpBossArena(8, 1);
    std::vector<int> rows;
    AttackRun run = RunAttack(1, KIND_EFFECT, 18, 400, [&](int) { rows.push_back(Boss().animRow); });
    EXPECT_EQ(170, run.endFrame);
    EXPECT_EQ((std::vector<int>{99, 119, 139, 159}), run.frames);
    for (const Spawned& s : run.spawns) {
        EXPECT_FLOAT_EQ(1072.0f - 32.0f, s.x);
        EXPECT_FLOAT_EQ(512.0f - 12.0f, s.y);
        EXPECT_EQ(Boss().facing, s.facing);
    }
    EXPECT_EQ(0, rows[99]);
    EXPECT_EQ(2, rows[100]);
    EXPECT_EQ(0, Boss().animRow);
    EXPECT_EQ(4, CountSePlays(11));

    // Attack 2: the same shots with two hops, row 1 from 93.
    SetUpBossArena(8, 1);
    rows.clear();
    std::vector<int> hops;
    run = RunAttack(2, KIND_EFFECT, 18, 400, [&](int s) {
        rows.push_back(Boss().animRow);
        if (Boss().vy == -10.0f)
            hops.push_back(s - 1);
        Boss().vy = 0.0f;
    });
    EXPECT_EQ(180, run.endFrame);
    EXPECT_EQ((std::vector<int>{99, 119, 139, 159}), run.frames);
    EXPECT_EQ((std::vector<int>{99, 139}), hops);
    EXPECT_EQ(0, rows[93]);
    EXPECT_EQ(1, rows[94]);
    EXPECT_EQ(1, rows[170]);
    EXPECT_EQ(0, Boss().animRow);
    EXPECT_EQ(2, CountSePlays(0));
    EXPECT_EQ(4, CountSePlays(11));
}

TEST(Boss1, StarFallRainsEnemiesFromAboveTheScreen)
{
    SetUpBossArena(8, 1);
    ScriptRandom({1, 700, 0, 5, 1, 1280});
    std::vector<float> vy;
    std::vector<int> rows;
    AttackRun run = RunAttack(3, KIND_ENEMY, 9, 400, [&](int) {
        vy.push_back(Boss().vy);
        rows.push_back(Boss().animRow);
        Boss().vy += 0.5f;
    });
    EXPECT_EQ(160, run.endFrame);
    EXPECT_EQ(Range(81, 159, 1), run.frames);
    ASSERT_GE(run.spawns.size(), 3u);
    EXPECT_EQ(1, run.spawns[0].facing);
    EXPECT_FLOAT_EQ(700.0f, run.spawns[0].x);
    EXPECT_FLOAT_EQ(-60.0f, run.spawns[0].y);
    EXPECT_EQ(0, run.spawns[1].facing);
    EXPECT_FLOAT_EQ(5.0f, run.spawns[1].x);
    EXPECT_FLOAT_EQ(1280.0f, run.spawns[2].x);
    // The facing is drawn before the place, each spawn anew.
    ASSERT_EQ(2u * 79, RandomRequests().size());
    for (size_t k = 0; k < RandomRequests().size(); k++)
        EXPECT_EQ(k % 2 == 0 ? 1 : 1280, RandomRequests()[k]);
    EXPECT_EQ(-17.0f, vy[1]);
    EXPECT_EQ(4, rows[1]);
    EXPECT_EQ(0.0f, vy[36 + 1]);
    EXPECT_NE(0.0f, vy[35 + 1]);
    EXPECT_EQ(4, rows[140]);
    EXPECT_EQ(1, rows[141]);
    EXPECT_EQ(0, Boss().animRow);
    EXPECT_EQ(1, CountSePlays(0));
    EXPECT_EQ(1, CountSePlays(12));
}

TEST(Boss1, TheBeamIsDrawnDuringTheUpdate)
{
    SetUpBossArena(8, 1);
    colorWhite = 0xFFFFFFFFu;
    ActorRecord& boss = Boss();
    boss.state = 4;
    boss.stateFrames = -1;
    // Boss centre (1072, 560), heroine centre (212, 584).
    struct Fan {
        int s, x, y;
    } fans[] = {
        {0, 1072, 560}, {1, 1062, 560}, {37, 702, 570},
        {50, 572, 570},   // s sin = 1.39: the tip's y steps by ten times the truncated value
        {159, -517, 600},
    };
    size_t nextFan = 0;
    for (int s = 0; s <= 320; s++) {
        LineCalls().clear();
        StepBoss(1);
        const std::vector<LineCall>& lines = LineCalls();
        if (s < 160) {
            ASSERT_EQ(20u, lines.size()) << s;
            if (nextFan < sizeof fans / sizeof fans[0] && fans[nextFan].s == s) {
                const Fan& f = fans[nextFan++];
                for (int i = 0; i < 10; i++) {
                    EXPECT_EQ(f.x, lines[2 * i].x1);
                    EXPECT_EQ(f.y + i, lines[2 * i].y1) << s;
                    EXPECT_EQ(f.y - i, lines[2 * i + 1].y1) << s;
                    EXPECT_EQ(1072, lines[2 * i].x2);
                    EXPECT_EQ(560, lines[2 * i + 1].y2);
                }
            }
        } else if (s < 320 && s % 2 == 0) {
            ASSERT_EQ(60u, lines.size()) << s;
            for (int i = 0; i < 30; i++) {
                EXPECT_EQ(-517, lines[2 * i].x1);
                EXPECT_EQ(604 + i, lines[2 * i].y1);
                EXPECT_EQ(1072, lines[2 * i].x2);
                EXPECT_EQ(560 + i, lines[2 * i].y2);
                EXPECT_EQ(604 - i, lines[2 * i + 1].y1);
                EXPECT_EQ(560 - i, lines[2 * i + 1].y2);
            }
        } else {
            EXPECT_TRUE(lines.empty()) << s;
        }
        for (const LineCall& line : lines) {
            EXPECT_EQ(0xFFFFFFFFu, line.colour);
            EXPECT_EQ(1, line.thickness);
        }
        if (s == 0) {
            EXPECT_EQ(3, boss.animRow);
        }
        if (s == 159) {
            EXPECT_EQ(-517, beamTipX);
            EXPECT_EQ(604, beamTipY);
        }
        if (s == 160) {
            EXPECT_EQ(2, boss.animRow);
        }
        // The heroine stays out of the beam's reach to watch it drawn.
        if (s == 180)
            PlaceHeroineCentre(212.0f, 200.0f);
    }
    EXPECT_EQ(5u, nextFan);
    EXPECT_EQ(0, boss.state);
    EXPECT_EQ(0, boss.animRow);
    EXPECT_EQ(1, CountSePlays(12));
    EXPECT_EQ(1, CountSePlays(13));
    EXPECT_EQ(0, Heroine().invulnFlag);
}

TEST(Boss1, TheBeamHurtsAlongItsWholeLineFromFrame201)
{
    // The beam from the boss's centre (1072, 560) to (-517, 604).
    struct Case {
        int s;
        float x, y;
        int invuln;
        bool hit;
    } cases[] = {
        {201, 212.0f, 584.0f, 0, true},
        {200, 212.0f, 584.0f, 0, false},   // drawn from 160, hurts from 201
        {203, 212.0f, 584.0f, 0, true},    // odd frames hurt too
        {320, 212.0f, 584.0f, 0, true},
        {201, 212.0f, 615.0f, 0, true},    // 31 below the line
        {201, 212.0f, 616.0f, 0, false},
        {201, 212.0f, 553.0f, 0, true},
        {201, 212.0f, 552.0f, 0, false},
        {201, 1231.0f, 555.6f, 0, true},   // behind the boss, on the line
        {201, -900.0f, 614.6f, 0, true},   // beyond the tip
        {201, 212.0f, 584.0f, 1, false},
    };
    for (const Case& c : cases) {
        SetUpBossArena(8, 1);
        ActorRecord& boss = Boss();
        ActorRecord& player = Heroine();
        player.spheres = 3;
        boss.state = 4;
        boss.stateFrames = -1;
        StepBoss(160);
        ASSERT_EQ(-517, beamTipX);
        PlaceHeroineCentre(212.0f, 200.0f);  // out of reach until the frame tested
        StepBoss(c.s - 160);
        PlaceHeroineCentre(c.x, c.y);
        player.invulnFlag = c.invuln;
        StepBoss(1);
        EXPECT_EQ(c.hit ? 2 : 3, player.hitPoints) << c.s << " " << c.x << "," << c.y;
        EXPECT_EQ(c.hit ? 1 : 0, areaMisses[8]) << c.s << " " << c.x << "," << c.y;
        EXPECT_EQ(c.hit ? 21 : 0, player.state);
    }
}

TEST(Boss1, TheBeamSparesAFallenHeroine)
{
    // Once the heroine's slot has been freed the beam goes on to its end
    // without counting misses or sounding her death again.
    SetUpBossArena(8, 1);
    Boss().state = 4;
    Boss().stateFrames = -1;
    StepBoss(201);
    ActorRecord& player = Heroine();
    player.hitPoints = 0;
    FreeActorSlot(0);
    SoundCalls().clear();
    areaMisses[8] = 0;
    StepBoss(120);
    EXPECT_EQ(0, Boss().state);
    EXPECT_EQ(0, areaMisses[8]);
    EXPECT_EQ(0, CountSePlays(7));
    EXPECT_EQ(0, deathFlag);
}
