// The actor pool: both spawns, their per-kind rules, freeing and the reset.
#include <gtest/gtest.h>
#include <string.h>

#include "game/actor_pool.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "tests/game/play_world.h"

namespace {

class ActorPool : public testing::Test {
protected:
    void SetUp() override { ResetPlayWorld(); }
};

void FillSlots(int from, int to)
{
    for (int i = from; i < to; i++)
        PlaceActor(i, KIND_EFFECT, 3, 0, 0, 1, 1);
}

} // namespace

TEST_F(ActorPool, SpawnTakesTheFirstFreeSlotAndSetsUpFromTheRowsFirstFrame)
{
    SetFrame(KIND_ENEMY, 7, 2, 30, 40, 3, -6, 12, 0.5f);
    PlaceActor(8, KIND_ENEMY, 1, 0, 0, 1, 1);
    actors[9].animFrame = 5;  // a spawn does not reset the frame or the state
    actors[9].state = 4;
    loopIndex = 0;

    SpawnActor(8, KIND_ENEMY, 100.0f, 200.0f, 7, 2, 1, 0, 0);

    ASSERT_EQ(9, lastSpawnSlot);
    const ActorRecord& a = actors[9];
    EXPECT_EQ(KIND_ENEMY, a.kind);
    EXPECT_EQ(7, a.subtype);
    EXPECT_EQ(2, a.animRow);
    EXPECT_FLOAT_EQ(100.0f, a.boxX1[0]);
    EXPECT_FLOAT_EQ(200.0f, a.boxY1[0]);
    EXPECT_FLOAT_EQ(130.0f, a.boxX2[0]);
    EXPECT_FLOAT_EQ(240.0f, a.boxY2[0]);
    EXPECT_FLOAT_EQ(115.0f, a.centerX[0]);
    EXPECT_FLOAT_EQ(220.0f, a.centerY[0]);
    EXPECT_EQ(3, a.speed);
    EXPECT_FLOAT_EQ(-3.0f, a.vx);  // facing 1: (1 - 2) x 3
    EXPECT_FLOAT_EQ(-6.0f, a.vy);
    EXPECT_EQ(-6, a.jumpPower);
    EXPECT_FLOAT_EQ(0.5f, a.gravityFactor);
    EXPECT_EQ(12, a.hitPoints);
    EXPECT_EQ(1, a.jumpsUsed);
    EXPECT_EQ(1, a.facing);
    EXPECT_EQ(5, a.animFrame);
    EXPECT_EQ(4, a.state);
}

TEST_F(ActorPool, SpawnIntoAFullPoolChangesNothing)
{
    FillSlots(8, ACTOR_SLOTS);
    static ActorRecord before[ACTOR_SLOTS];
    memcpy(before, actors, sizeof actors);

    SpawnActor(8, KIND_EFFECT, 1.0f, 2.0f, 0, 0, 0, 0, 0);
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
    SpawnActor(512, KIND_EFFECT, 1.0f, 2.0f, 0, 0, 0, 0, 0);
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
    EXPECT_EQ(0, memcmp(before, actors, sizeof actors));

    // Ids and rows outside the animation table are refused the same way.
    actors[300].kind = KIND_FREE;
    memcpy(before, actors, sizeof actors);
    SpawnActor(8, KIND_EFFECT, 1.0f, 2.0f, 64, 0, 0, 0, 0);
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
    SpawnActor(8, KIND_EFFECT, 1.0f, 2.0f, 1, -1, 0, 0, 0);
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
    SpawnActor(8, 7, 1.0f, 2.0f, 1, 0, 0, 0, 0);
    EXPECT_EQ(ACTOR_SLOTS, lastSpawnSlot);
    EXPECT_EQ(0, memcmp(before, actors, sizeof actors));
}

TEST_F(ActorPool, ReservedSpawnTakesAFreeReservedSlotOrReportsOverflow)
{
    lifeSetting = 2;
    SetFrame(KIND_EFFECT, 52, 0, 10, 10, 0, 0, 1);
    FillSlots(0, 3);
    SpawnReservedActor(KIND_EFFECT, 52, 5.0f, 6.0f, 0, -1);
    EXPECT_EQ(3, lastSpawnSlot);
    EXPECT_EQ(52, actors[3].subtype);
    EXPECT_EQ(7, actors[3].hitPoints);  // 2 x life setting + 3, not column 9

    FillSlots(0, RESERVED_SLOTS);
    static ActorRecord before[ACTOR_SLOTS];
    memcpy(before, actors, sizeof actors);
    SpawnReservedActor(KIND_EFFECT, 52, 5.0f, 6.0f, 0, -1);
    EXPECT_EQ(RESERVED_SLOTS, lastSpawnSlot);
    EXPECT_EQ(0, memcmp(before, actors, sizeof actors));
    ASSERT_EQ(1u, ScreenPrints().size());
    EXPECT_EQ(std::string("生成オーバー"), ScreenPrints()[0]);

    // A given slot is overwritten whatever it holds.
    SpawnReservedActor(KIND_EFFECT, 52, 5.0f, 6.0f, 1, 1);
    EXPECT_EQ(1, lastSpawnSlot);
    EXPECT_EQ(52, actors[1].subtype);
    EXPECT_EQ(1, actors[1].facing);
}

TEST_F(ActorPool, EnemyDropsAndListLinks)
{
    for (int id : {5, 7, 9, 14, 18, 28, 38})
        SetFrame(KIND_ENEMY, id, 0, 16, 16, 2, 10, 3);
    spawnList[6].dropCount = 4;
    spawnList[7].dropCount = 3;

    struct Case {
        int subtype, area;
        bool fromList;
        int spheres, spawnIndex;
    } cases[] = {
        {14, 0, true, 1, SPAWN_INDEX_NONE},
        {38, 0, false, 1, SPAWN_INDEX_NONE},
        {18, 1, true, 10, SPAWN_INDEX_NONE},
        {28, 1, false, 10, SPAWN_INDEX_NONE},
        {9, 6, false, 1, SPAWN_INDEX_NONE},   // boss arena
        {9, 1, true, 3, 7},                  // field: the entry's drop count and link
        {7, 1, true, 3, 7},
        // Spawned by a routine: the drop count of the index in use, but no
        // link, so its death re-arms no entry.
        {7, 1, false, 4, SPAWN_INDEX_NONE},
    };
    for (const Case& c : cases) {
        ResetActorPool();
        areaIndex = c.area;
        if (c.fromList) {
            spawnList[7].subtype = c.subtype;
            SpawnListEnemy(7);
        } else {
            loopIndex = 6;
            SpawnActor(8, KIND_ENEMY, 0.0f, 0.0f, c.subtype, 0, 0, 0, 0);
        }
        ASSERT_EQ(8, lastSpawnSlot);
        EXPECT_EQ(c.spheres, actors[8].spheres) << c.subtype << " area " << c.area;
        EXPECT_EQ(c.spawnIndex, actors[8].spawnIndex) << c.subtype << " area " << c.area;
        EXPECT_EQ(3, actors[8].hitPoints);
        EXPECT_EQ(1, actors[8].jumpsUsed);
    }
}

TEST_F(ActorPool, EnemyFiveInAreasTwoAndFourHopsAtARandomHeight)
{
    SetFrame(KIND_ENEMY, 5, 0, 16, 16, 2, -10, 3);
    spawnList[3] = {2000, 400, 5, 0, 0, 6, 0, 0};
    areaIndex = 2;
    ScriptRandom({3});
    SpawnListEnemy(3);
    EXPECT_EQ(1, actors[8].spheres);
    EXPECT_EQ(SPAWN_INDEX_NONE, actors[8].spawnIndex);
    EXPECT_FLOAT_EQ((float)(-10.0f * ((3 + 5) * 0.1)), actors[8].vy);
    EXPECT_EQ(std::vector<int>{10}, RandomRequests());
}

TEST_F(ActorPool, EnemySegmentsCountTheirSiblingsAndCornersKeepTheirLink)
{
    SetFrame(KIND_ENEMY, 57, 0, 16, 16);
    SetFrame(KIND_ENEMY, 28, 0, 16, 16);
    PlaceActor(20, KIND_ENEMY, 57, 0, 0, 1, 1);
    PlaceActor(21, KIND_ENEMY, 57, 0, 0, 1, 1);
    PlaceActor(30, KIND_EFFECT, 57, 0, 0, 1, 1);  // counted whatever its kind
    actors[8].spheres = 9;
    actors[8].spawnIndex = 5;
    SpawnActor(8, KIND_ENEMY, 0.0f, 0.0f, 57, 0, 0, 0, 0);
    EXPECT_EQ(4, actors[8].siblingCount);
    EXPECT_EQ(9, actors[8].spheres);
    // The slot's old entry is not taken over: the segment's death must not
    // re-arm or retire it.
    EXPECT_EQ(SPAWN_INDEX_NONE, actors[8].spawnIndex);
    // From the list it is tied to its own entry.
    ResetActorPool();
    spawnList[3].subtype = 57;
    SpawnListEnemy(3);
    EXPECT_EQ(3, actors[8].spawnIndex);

    SpawnActor(8, KIND_ENEMY, 0.0f, 0.0f, 28, 0, 0, 42, 0);
    EXPECT_EQ(42, actors[9].linkId);
}

TEST_F(ActorPool, BossesItemsAndSystemEffects)
{
    SetFrame(KIND_BOSS, 4, 0, 64, 64, 0, 0, 60);
    actors[8].state = 3;
    SpawnActor(8, KIND_BOSS, 0.0f, 0.0f, 4, 0, 0, 0, 0);
    EXPECT_EQ(60, actors[8].hitPoints);
    EXPECT_EQ(100, actors[8].spheres);
    EXPECT_EQ(0, actors[8].state);
    EXPECT_EQ(1, actors[8].jumpsUsed);

    loopIndex = 17;
    SpawnActor(8, KIND_ITEM, 0.0f, 0.0f, 0, 0, 0, 5, 0);
    EXPECT_EQ(17, actors[9].itemIndex);
    EXPECT_EQ(0, actors[9].param);  // a chest takes no parameter
    SpawnActor(8, KIND_ITEM, 0.0f, 0.0f, 1, 0, 0, 5, 0);
    EXPECT_EQ(5, actors[10].param);
    EXPECT_EQ(1, actors[10].hitPoints);

    SpawnActor(8, KIND_SYSTEM_EFFECT, 0.0f, 0.0f, 0, 0, 0, 9, 0);
    EXPECT_EQ(9, actors[11].param);
    EXPECT_EQ(1, actors[11].hitPoints);
}

TEST_F(ActorPool, EffectRules)
{
    SetFrame(KIND_EFFECT, 0, 0, 8, 8, 12, 1);
    // A volley's shots spread by their number.
    const float vy[] = {1.0f, -2.0f, 2.0f, -4.0f, 4.0f, 1.0f};
    for (int n = 0; n < 6; n++) {
        loopIndex = n;
        SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 0, 0, 0, 0, 0);
        EXPECT_FLOAT_EQ(vy[n], actors[lastSpawnSlot].vy) << n;
        EXPECT_EQ(1, actors[lastSpawnSlot].hitPoints);
    }

    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 1, 0, 0, 0, 6);
    EXPECT_EQ(6, actors[lastSpawnSlot].param2);

    actors[40].facing = 1;
    loopIndex = 40;
    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 13, 0, 0, 0, 0);
    EXPECT_EQ(1, actors[lastSpawnSlot].facing);

    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 50, 0, 0, 0, 0);
    EXPECT_EQ(lastSpawnSlot, startEffectSlot);
}

TEST_F(ActorPool, SpheresDrawTheirSpeedsInOrder)
{
    // Row 0: sign, magnitude for vy, then sign, magnitude for vx.
    ScriptRandom({0, 150, 1, 30});
    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 11, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ((float)(-150 * 0.1), actors[8].vy);
    EXPECT_FLOAT_EQ((float)(30 * 0.1), actors[8].vx);
    EXPECT_EQ(1, actors[8].jumpsUsed);
    EXPECT_EQ((std::vector<int>{1, 200, 1, 150}), RandomRequests());

    // Other rows: magnitude, sign for vy, then sign, magnitude for vx.
    RandomRequests().clear();
    ScriptRandom({10, 1, 0, 45});
    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 11, 1, 0, 0, 0);
    EXPECT_FLOAT_EQ((float)((10 - 40) * 0.1), actors[9].vy);
    EXPECT_FLOAT_EQ((float)(-45 * 0.1), actors[9].vx);
    EXPECT_EQ((std::vector<int>{50, 1, 1, 60}), RandomRequests());
}

TEST_F(ActorPool, PlayerSpawnFreshOrCarryingHerStats)
{
    SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4, 0, 9);
    actors[0].shotRow = 3;
    actors[0].maxJumps = 2;
    actors[0].spheres = 50;

    areaIndex = 1;
    SpawnReservedActor(KIND_PLAYER, 0, 562.0f, 512.0f, 1, 0);
    const ActorRecord& p = actors[0];
    EXPECT_EQ(8, p.state);
    EXPECT_EQ(10, p.jumpPower);
    EXPECT_EQ(1, p.jumpsUsed);
    EXPECT_EQ(3, p.hitPoints);  // life setting 0
    EXPECT_EQ(1, p.maxJumps);
    EXPECT_EQ(0, p.shotRow);
    EXPECT_EQ(1, p.shotCount);
    EXPECT_EQ(1, p.shotPower);
    EXPECT_EQ(20, p.spheres);
    EXPECT_EQ(4, p.speed);

    areaIndex = 7;
    SpawnReservedActor(KIND_PLAYER, 0, 200.0f, 512.0f, 1, 0);
    EXPECT_EQ(0, actors[0].spheres);

    // Through the door: the bought stats stay, the speed installs too.
    actors[0].shotRow = 2;
    actors[0].maxJumps = 3;
    actors[0].shotCount = 2;
    actors[0].spheres = 0;
    carryStats = 1;
    slotLevel[0] = 2;
    SpawnReservedActor(KIND_PLAYER, 0, 200.0f, 512.0f, 1, 0);
    EXPECT_EQ(2, actors[0].shotRow);
    EXPECT_EQ(3, actors[0].maxJumps);
    EXPECT_EQ(2, actors[0].shotCount);
    EXPECT_EQ(0, actors[0].spheres);
    EXPECT_EQ(6, actors[0].speed);
}

TEST_F(ActorPool, FreeingKeepsWhatTheNextSpawnMayOverwrite)
{
    SetFrame(KIND_EFFECT, 3, 0, 8, 8);
    ActorRecord& a = PlaceActor(8, KIND_EFFECT, 3, 10, 20, 8, 8, 0);
    a.facing = 1;
    a.shotRow = 2;
    a.vx = 3.0f;
    a.invulnFlag = 1;
    a.animFrame = 4;
    a.boxX1[15] = 7.0f;
    FreeActorSlot(8);
    EXPECT_EQ(KIND_FREE, a.kind);
    EXPECT_FLOAT_EQ(0.0f, a.boxX1[0]);
    EXPECT_FLOAT_EQ(0.0f, a.boxX1[15]);
    EXPECT_FLOAT_EQ(0.0f, a.vx);
    EXPECT_EQ(0, a.invulnFlag);
    EXPECT_EQ(0, a.animFrame);
    EXPECT_EQ(1, a.facing);
    EXPECT_EQ(2, a.shotRow);

    SpawnActor(8, KIND_EFFECT, 0.0f, 0.0f, 3, 0, 0, 0, 0);
    EXPECT_EQ(0, a.facing);
    EXPECT_EQ(2, a.shotRow);
}

TEST_F(ActorPool, ResetEmptiesThePoolButKeepsTheBoughtStats)
{
    ActorRecord& p = PlaceActor(0, KIND_PLAYER, 0, 10, 20, 8, 8, 3);
    p.shotRow = 2;
    p.shotCount = 3;
    p.maxJumps = 2;
    p.spheres = 40;
    p.linkId = 5;
    p.invulnTimer = 30;
    p.centerX[100] = 9.0f;
    ResetActorPool();
    EXPECT_EQ(KIND_FREE, p.kind);
    EXPECT_EQ(0, p.hitPoints);
    EXPECT_EQ(0, p.spheres);
    EXPECT_EQ(0, p.linkId);
    EXPECT_EQ(-1, p.spawnIndex);
    EXPECT_FLOAT_EQ(-50.0f, p.boxX2[0]);
    EXPECT_FLOAT_EQ(-50.0f, p.centerX[100]);
    EXPECT_EQ(2, p.shotRow);
    EXPECT_EQ(3, p.shotCount);
    EXPECT_EQ(2, p.maxJumps);
    EXPECT_EQ(30, p.invulnTimer);
}
