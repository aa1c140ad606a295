// The play scene's frame: spawning, checkpoints, death and boss defeat
// sequences, the entrance, the door, ageing, gravity and trails.
#include <gtest/gtest.h>
#include <string.h>

#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/contacts.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"

namespace {

class PlayUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        SetFrame(KIND_ENEMY, 7, 0, 32, 32, 0, 0, 5);
        SetFrame(KIND_EFFECT, 11, 0, 8, 8);
        SetFrame(KIND_EFFECT, 48, 0, 32, 32);
        // A field whose screen stands still, with the heroine in it.
        areaIndex = 1;
        scrollX = 0.0f;
        scrollMin = scrollMax = -1.0f;
        startLine = 1 << 30;
        gateX = -100000;
        lives = 3;
        player = &PlaceActor(0, KIND_PLAYER, 0, 100, 400, 24, 48, 3);
    }
    ActorRecord* player = nullptr;
};

void RunFrames(int n)
{
    for (int i = 0; i < n; i++)
        UpdatePlayScene();
}

} // namespace

TEST_F(PlayUpdate, EnemiesSpawnJustBeyondTheScreenEdges)
{
    struct Case {
        float scroll;
        int x;
        bool due;
    } cases[] = {
        {0.0f, 1400, false},    // 1280 < 1400 < 1380 is false
        {20.0f, 1400, false},   // the window is open at both ends
        {21.0f, 1400, true},
        {119.0f, 1400, true},
        {120.0f, 1400, false},
        {2000.0f, 1650, true},  // well beyond the left edge
        {2000.0f, 1600, false},
        {2000.0f, 1700, false},
        {2000.0f, 1000, false},
    };
    for (const Case& c : cases) {
        SetUp();
        scrollX = c.scroll;
        spawnList[12] = {c.x, 300, 7, 0, 1, 2, 0, 0};
        UpdatePlayScene();
        std::vector<int> enemies = SlotsOf(KIND_ENEMY, 7);
        ASSERT_EQ(c.due ? 1u : 0u, enemies.size()) << c.scroll << " " << c.x;
        EXPECT_EQ(c.due ? 1 : 0, spawnList[12].listState);
        if (!c.due)
            continue;
        const ActorRecord& e = actors[enemies[0]];
        EXPECT_FLOAT_EQ((float)c.x - c.scroll, e.boxX1[0]);
        EXPECT_FLOAT_EQ(300.0f, e.boxY1[0]);
        EXPECT_EQ(1, e.facing);
        EXPECT_EQ(12, e.spawnIndex);
        EXPECT_EQ(2, e.spheres);
        // Out once: the next frame brings no second one.
        UpdatePlayScene();
        EXPECT_EQ(1u, SlotsOf(KIND_ENEMY, 7).size());
    }
}

TEST_F(PlayUpdate, AGroupComesWholeAndEndsTheScan)
{
    scrollX = 21.0f;
    spawnList[2] = {1400, 300, 7, 0, 0, 0, 3, 0};
    // Not due themselves, yet within the 500 pixels beyond the screen that
    // the enemy routines let an enemy stray before removing it.
    spawnList[5] = {1700, 200, 7, 0, 0, 0, 3, 0};  // further away, same group
    spawnList[7] = {1400, 100, 7, 0, 0, 0, 0, 0};  // due, but after the group
    spawnList[9] = {1650, 250, 7, 2, 0, 0, 3, 0};  // dead, spawned all the same
    UpdatePlayScene();
    EXPECT_EQ(3u, SlotsOf(KIND_ENEMY, 7).size());
    EXPECT_EQ(1, spawnList[2].listState);
    EXPECT_EQ(1, spawnList[5].listState);
    EXPECT_EQ(1, spawnList[9].listState);
    EXPECT_EQ(0, spawnList[7].listState);
    bool found = false;
    for (int slot : SlotsOf(KIND_ENEMY, 7))
        if (actors[slot].spawnIndex == 5) {
            found = true;
            EXPECT_FLOAT_EQ(1700.0f - 21.0f, actors[slot].boxX1[0]);
        }
    EXPECT_TRUE(found);
    UpdatePlayScene();
    EXPECT_EQ(1, spawnList[7].listState);
}

TEST_F(PlayUpdate, TheScanLeavesTheLastEntryItWalkedToLaterSpawns)
{
    // An enemy 25 meets a block in the physics pass and leaves an enemy 26,
    // which takes the drop count of the last non-empty entry the scan
    // walked, whether or not that entry was due.
    SetFrame(KIND_ENEMY, 25, 0, 32, 32, 0, 0, 2);
    SetFrame(KIND_ENEMY, 26, 0, 32, 32, 0, 0, 2);
    spawnList[3] = {5000, 300, 7, 0, 0, 5, 0, 0};
    spawnList[700] = {6000, 300, 7, 0, 0, 6, 0, 0};
    spawnList[1023].dropCount = 9;  // empty entries are skipped
    AddBlock(300, 300, 400, 400);
    PlaceActor(20, KIND_ENEMY, 25, 320, 280, 32, 32, 2).spawnIndex = SPAWN_INDEX_NONE;
    UpdatePlayScene();
    std::vector<int> dropped = SlotsOf(KIND_ENEMY, 26);
    ASSERT_EQ(1u, dropped.size());
    EXPECT_EQ(6, actors[dropped[0]].spheres);
    EXPECT_EQ(SPAWN_INDEX_NONE, actors[dropped[0]].spawnIndex);
    EXPECT_TRUE(SlotsOf(KIND_ENEMY, 7).empty());
}

TEST_F(PlayUpdate, CheckpointsFollowThePlayersWorldX)
{
    struct Case {
        int area, from;
        float centreWorld;
        int to;
    } cases[] = {
        {0, 0, 16864.0f, 0},    // strictly beyond
        {0, 0, 16865.0f, 1},
        {0, 1, 99999.0f, 1},    // areas 0 to 3 have one checkpoint
        {1, 0, 15501.0f, 1},
        {2, 0, 16769.0f, 1},
        {3, 0, 16993.0f, 1},
        {4, 0, 17889.0f, 1},
        {4, 1, 28160.0f, 1},
        {4, 1, 28161.0f, 2},
        {4, 2, 99999.0f, 2},
        {7, 0, 99999.0f, 0},    // none in the arenas
    };
    for (const Case& c : cases) {
        SetUp();
        areaIndex = c.area;
        checkpoint = c.from;
        scrollX = c.centreWorld - 112.0f;
        UpdatePlayScene();
        EXPECT_EQ(c.to, checkpoint) << c.area << " " << c.centreWorld;
    }
}

TEST_F(PlayUpdate, DeathRestartsAtTheCheckpointUntilTheLivesRunOut)
{
    checkpoint = 1;
    for (int death = 1; death <= 4; death++) {
        deathFlag = 1;
        RunFrames(179);
        ASSERT_EQ(SCENE_LOGO, sceneNo);
        EXPECT_EQ(4 - death, lives) << death;
        carryStats = 1;
        UpdatePlayScene();
        EXPECT_EQ(3 - death, lives) << death;
        if (death < 4) {
            EXPECT_EQ(0, carryStats);
            EXPECT_EQ(0, deathFlag);
            EXPECT_EQ(0, deathTimer);
            EXPECT_EQ(1, entranceActive);
            EXPECT_EQ(48, actors[0].subtype);
            EXPECT_FLOAT_EQ(15499.0f, scrollX);
        }
    }
    EXPECT_EQ(SCENE_GAME_OVER, sceneNo);
}

TEST_F(PlayUpdate, ABossDefeatClearsTheAreaAfter180Frames)
{
    areaIndex = 6;
    bossDefeated = 1;
    RunFrames(179);
    EXPECT_EQ(SCENE_LOGO, sceneNo);
    EXPECT_EQ(0, CountBgmPlays(6, 1, 1));
    UpdatePlayScene();
    EXPECT_EQ(SCENE_AREA_CLEAR, sceneNo);
    EXPECT_EQ(1, CountBgmPlays(6, 1, 1));

    // With the heroine dead at that moment nothing happens, then or later.
    SetUp();
    areaIndex = 6;
    bossDefeated = 1;
    player->hitPoints = 0;
    RunFrames(400);
    EXPECT_EQ(SCENE_LOGO, sceneNo);
    EXPECT_EQ(0, CountBgmPlays(6, 1, 1));
}

TEST_F(PlayUpdate, BossFiveBringsTheFinalBossAfterAWarning)
{
    SetFrame(KIND_BOSS, 6, 0, 96, 96, 0, 0, 60);
    SetFrame(KIND_ENEMY, 57, 0, 32, 32, 0, 0, 10);
    areaIndex = 9;
    bossDefeated = 2;
    RunFrames(180);
    EXPECT_EQ(1, finalBossPending);
    EXPECT_EQ(0, bossDefeated);
    EXPECT_EQ(0, bossDefeatTimer);
    int frames = 1;
    while (SlotsOf(KIND_BOSS, 6).empty() && frames < 400) {
        UpdatePlayScene();
        frames++;
    }
    EXPECT_EQ(181, frames);
    EXPECT_EQ(9, CountSePlays(6));
    EXPECT_EQ(1, CountBgmPlays(7, 3, 1));
    EXPECT_EQ(0, finalBossPending);
    EXPECT_EQ(0, finalBossTimer);
    std::vector<int> boss = SlotsOf(KIND_BOSS, 6);
    ASSERT_EQ(1u, boss.size());
    EXPECT_FLOAT_EQ(1040.0f, actors[boss[0]].boxX1[0]);
    std::vector<int> body = SlotsOf(KIND_ENEMY, 57);
    ASSERT_EQ(4u, body.size());
    EXPECT_EQ(4, actors[body[3]].siblingCount);
    EXPECT_EQ(SCENE_LOGO, sceneNo);

    // Boss 6's fall then clears the area.
    bossDefeated = 1;
    RunFrames(180);
    EXPECT_EQ(SCENE_AREA_CLEAR, sceneNo);
}

TEST_F(PlayUpdate, TheKeyJingleHoldsAllButTheSystemEffects)
{
    scrollX = 0.0f;
    ActorRecord& enemy = PlaceActor(8, KIND_ENEMY, 8, 500, 100, 32, 32, 5);
    enemy.vx = 2.0f;
    ActorRecord& popup = PlaceActor(9, KIND_SYSTEM_EFFECT, 3, 300, 100, 32, 32);
    popup.vx = 2.0f;
    keyJingleTimer = 3;
    freezeAll = 1;
    RunFrames(2);
    EXPECT_FLOAT_EQ(500.0f, enemy.boxX1[0]);
    EXPECT_EQ(0, enemy.stateFrames);
    EXPECT_FLOAT_EQ(296.0f, popup.boxX1[0]);
    EXPECT_EQ(2, popup.stateFrames);
    EXPECT_EQ(0, CountBgmPlays(1, 3, 0));

    UpdatePlayScene();
    EXPECT_EQ(0, keyJingleTimer);
    EXPECT_EQ(0, freezeAll);
    EXPECT_EQ(1, CountBgmPlays(1, 3, 0));  // the music resumes where it stopped
    EXPECT_FLOAT_EQ(498.0f, enemy.boxX1[0]);
    EXPECT_EQ(1, enemy.stateFrames);
}

TEST_F(PlayUpdate, AgeingFreesTheDeadAndEndsInvulnerability)
{
    ActorRecord& dead = PlaceActor(8, KIND_ENEMY, 7, 500, 100, 32, 32, 0);
    ActorRecord& alive = PlaceActor(9, KIND_ENEMY, 7, 600, 100, 32, 32, 5);
    alive.invulnFlag = 1;
    alive.invulnTimer = 179;
    alive.inZone = 1;
    UpdatePlayScene();
    EXPECT_EQ(KIND_FREE, dead.kind);
    EXPECT_FLOAT_EQ(0.0f, dead.boxX1[0]);
    EXPECT_EQ(1, alive.stateFrames);
    EXPECT_EQ(0, alive.inZone);
    EXPECT_EQ(1, alive.invulnFlag);
    EXPECT_EQ(180, alive.invulnTimer);
    UpdatePlayScene();
    EXPECT_EQ(0, alive.invulnFlag);
    EXPECT_EQ(0, alive.invulnTimer);
    EXPECT_EQ(2, areaFrames[1]);
}

TEST_F(PlayUpdate, TheEntranceGathersTwentySpheresThenTheHeroineArrives)
{
    areaIndex = 0;
    StartArea();
    EXPECT_EQ(1, IsPlayerHeld());
    // Gathered and floating make 20: no top-up.
    for (int i = 0; i < 5; i++)
        actors[8 + i].hitPoints = 0;
    actors[0].spheres = 5;
    RandomRequests().clear();
    UpdatePlayScene();
    EXPECT_EQ(15u, SlotsOf(KIND_EFFECT, 11).size());
    EXPECT_TRUE(RandomRequests().empty());

    // Spheres lost off screen are replaced one a frame.
    for (int slot : SlotsOf(KIND_EFFECT, 11))
        actors[slot].hitPoints = 0;
    actors[0].spheres = 17;
    RunFrames(4);
    EXPECT_EQ(3u, SlotsOf(KIND_EFFECT, 11).size());
    actors[0].spheres = 16;
    deathTimer = 1;  // not while dying
    UpdatePlayScene();
    EXPECT_EQ(3u, SlotsOf(KIND_EFFECT, 11).size());
    deathTimer = 0;

    // Two spheres gathered in one frame can take the count past 20; she
    // arrives all the same, and no more spheres are added.
    actors[0].spheres = 21;
    UpdatePlayScene();
    EXPECT_EQ(0, entranceActive);
    EXPECT_EQ(KIND_PLAYER, actors[0].kind);
    EXPECT_FLOAT_EQ(562.0f, actors[0].boxX1[0]);
    EXPECT_FLOAT_EQ(320.0f, actors[0].boxY1[0]);
    EXPECT_EQ(1, actors[0].facing);
    EXPECT_EQ(20, actors[0].spheres);
    EXPECT_EQ(0, IsPlayerHeld());
}

TEST_F(PlayUpdate, TheBossDoorAppearsOnceAVisit)
{
    SetFrame(KIND_EFFECT, 12, 0, 32, 64);
    areaIndex = 0;
    gateX = 26080;
    gateY = 192;
    scrollX = 24736.0f;  // 1344 from the left edge: not yet
    UpdatePlayScene();
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 12).empty());
    scrollX = 24800.0f;
    UpdatePlayScene();
    std::vector<int> doors = SlotsOf(KIND_EFFECT, 12);
    ASSERT_EQ(1u, doors.size());
    EXPECT_FLOAT_EQ(1280.0f, actors[doors[0]].boxX1[0]);
    EXPECT_FLOAT_EQ(192.0f, actors[doors[0]].boxY1[0]);
    EXPECT_EQ(1, gateSpawned);
    UpdatePlayScene();
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 12).size());

    // A restart after a miss brings the door back.
    StartArea();
    scrollX = 24800.0f;
    UpdatePlayScene();
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 12).size());

    // No door in a boss arena, where the flag is clear after the area start.
    SetUp();
    SetFrame(KIND_EFFECT, 12, 0, 32, 64);
    areaIndex = 5;
    gateX = 26080;
    scrollX = 24800.0f;
    UpdatePlayScene();
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 12).empty());

    // With the pool full it waits for a free slot.
    SetUp();
    SetFrame(KIND_EFFECT, 12, 0, 32, 64);
    areaIndex = 0;
    gateX = 26080;
    scrollX = 24800.0f;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        PlaceActor(i, KIND_ITEM, 3, 2000, 0, 1, 1);
    UpdatePlayScene();
    EXPECT_EQ(0, gateSpawned);
    actors[300].hitPoints = 0;
    RunFrames(2);
    EXPECT_EQ(1, gateSpawned);
    EXPECT_EQ(1u, SlotsOf(KIND_EFFECT, 12).size());
}

TEST_F(PlayUpdate, GravityByKind)
{
    ActorRecord& enemy = PlaceActor(8, KIND_ENEMY, 8, 500, 100, 32, 32, 5);
    enemy.gravityFactor = 0.5f;
    ActorRecord& item = PlaceActor(9, KIND_ITEM, 3, 600, 100, 32, 32);
    item.gravityFactor = 2.0f;
    ActorRecord& popup = PlaceActor(10, KIND_SYSTEM_EFFECT, 3, 300, 100, 32, 32);
    popup.gravityFactor = 1.0f;
    ActorRecord& frozen = PlaceActor(11, KIND_ENEMY, 8, 700, 100, 32, 32, 5);
    frozen.gravityFactor = 1.0f;
    frozen.freezeTimer = 3;
    UpdatePlayScene();
    EXPECT_FLOAT_EQ(0.5f, player->vy);
    EXPECT_FLOAT_EQ(0.25f, enemy.vy);
    EXPECT_FLOAT_EQ(1.0f, item.vy);
    EXPECT_FLOAT_EQ(0.0f, popup.vy);
    EXPECT_FLOAT_EQ(0.0f, frozen.vy);
    EXPECT_EQ(2, frozen.freezeTimer);
}

TEST_F(PlayUpdate, SystemEffectMarkers)
{
    ActorRecord& flash = PlaceActor(8, KIND_SYSTEM_EFFECT, 1, 0, 0, 8, 8);
    flash.stateFrames = 38;
    ActorRecord& mark = PlaceActor(9, KIND_SYSTEM_EFFECT, 2, 0, 0, 8, 8);
    player->spheres = 0;
    UpdatePlayScene();
    EXPECT_EQ(1, flash.hitPoints);
    EXPECT_FLOAT_EQ(player->boxX1[0] - 40.0f, mark.boxX1[0]);
    EXPECT_FLOAT_EQ(player->boxY1[0] - 30.0f, mark.boxY1[0]);
    EXPECT_EQ(1, mark.hitPoints);
    UpdatePlayScene();
    EXPECT_EQ(0, flash.hitPoints);
    player->spheres = 1;
    UpdatePlayScene();
    EXPECT_EQ(0, mark.hitPoints);
}

TEST_F(PlayUpdate, TrailsShiftAndBossSixKeepsItsPath)
{
    ActorRecord& enemy = PlaceActor(8, KIND_ENEMY, 8, 500, 100, 32, 32, 5);
    enemy.vx = 2.0f;
    ActorRecord& boss = PlaceActor(9, KIND_BOSS, 6, 800, 300, 64, 64, 50);
    RunFrames(3);
    // Element k holds the box at the end of the frame k - 1 frames ago.
    EXPECT_FLOAT_EQ(494.0f, enemy.boxX1[0]);
    EXPECT_FLOAT_EQ(494.0f, enemy.boxX1[1]);
    EXPECT_FLOAT_EQ(496.0f, enemy.boxX1[2]);
    EXPECT_FLOAT_EQ(498.0f, enemy.boxX1[3]);
    EXPECT_FLOAT_EQ(132.0f, enemy.boxY2[3]);
    // Standing still, boss 6 keeps no history.
    EXPECT_FLOAT_EQ(0.0f, boss.centerX[1]);

    boss.vx = -4.0f;
    RunFrames(2);
    EXPECT_FLOAT_EQ(840.0f, boss.centerX[0]);
    EXPECT_FLOAT_EQ(840.0f, boss.centerX[1]);
    EXPECT_FLOAT_EQ(836.0f, boss.centerX[2]);
    EXPECT_FLOAT_EQ(0.0f, boss.centerX[3]);
}

// The rules compute in SSE: the x87 control word (which Direct3D changes)
// must not change a single bit of the outcome.
namespace {

unsigned short X87ControlWord()
{
    unsigned short word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

void SetX87ControlWord(unsigned short word)
{
    __asm__ volatile("fldcw %0" : : "m"(word));
}

} // namespace

TEST_F(PlayUpdate, ResultsDoNotDependOnTheX87ControlWord)
{
    static ActorRecord results[2][ACTOR_SLOTS];
    float scrolls[2];
    const unsigned short standard = X87ControlWord();
    // Single precision, rounding down, every exception masked.
    const unsigned short changed = (unsigned short)((standard & ~0x0F00u) | 0x0400u);
    for (int run = 0; run < 2; run++) {
        SetUp();
        SetFrame(KIND_ENEMY, 5, 0, 32, 32, 3, -7, 5, 0.7f).solid = 1;
        SetFrame(KIND_EFFECT, 11, 1, 8, 8);
        AddBlock(0, 600, 3000, 700);
        areaIndex = 2;
        scrollMin = 0.0f;
        scrollMax = 30000.0f;
        scrollX = 100.0f;
        player->vx = 3.3f;
        player->spheres = 7;
        spawnList[1] = {1450, 500, 5, 0, 0, 2, 0, 1};
        ScriptRandom({3, 7, 1, 1, 9, 2, 5, 0, 44, 1, 0, 17, 8, 1, 1, 33, 1, 0, 2, 50});
        if (run == 1)
            SetX87ControlWord(changed);
        for (int frame = 0; frame < 60; frame++) {
            if (frame == 10)
                HitPlayer(0);
            UpdatePlayScene();
        }
        SetX87ControlWord(standard);
        memcpy(results[run], actors, sizeof actors);
        scrolls[run] = scrollX;
    }
    EXPECT_EQ(0, memcmp(results[0], results[1], sizeof results[0]));
    EXPECT_EQ(0, memcmp(&scrolls[0], &scrolls[1], sizeof scrolls[0]));
    EXPECT_FALSE(SlotsOf(KIND_ENEMY, 5).empty());
    EXPECT_FALSE(SlotsOf(KIND_EFFECT, 11).empty());
}
