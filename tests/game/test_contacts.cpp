// Contacts, damage and kills.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include "game/actor_pool.h"
#include "game/collision.h"
#include "game/contacts.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"
#include "tests/game/play_world.h"

namespace {

class Contacts : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        SetFrame(KIND_PLAYER, 0, 0, 24, 48, 4);
        SetFrame(KIND_EFFECT, 11, 0, 8, 8);
        SetFrame(KIND_EFFECT, 11, 1, 8, 8);
        SetFrame(KIND_ENEMY, 7, 0, 32, 32).hittable = 1;
        SetFrame(KIND_BOSS, 3, 0, 64, 64).hittable = 1;
        areaIndex = 1;
        player = &PlaceActor(0, KIND_PLAYER, 0, 600, 400, 24, 48, 3);
        player->shotPower = 2;
        player->spheres = 0;
    }
    ActorRecord* player = nullptr;
};

ActorRecord& PlaceShot(int slot, float x, float y, int subtype = 0)
{
    return PlaceActor(slot, KIND_EFFECT, subtype, x, y, 8, 8);
}

} // namespace

TEST_F(Contacts, OverlapIsTruncatedAndStrict)
{
    struct Case {
        float x1, y1, x2, y2;
        int overlap;
    } cases[] = {
        {110, 110, 120, 120, 1},
        {100, 100, 132, 132, 1},
        {132, 100, 140, 108, 0},      // touching on the right edge
        {131.9f, 100, 140, 108, 1},   // 131.9 truncates to 131: inside by a pixel
        {90, 132, 100, 140, 0},       // touching below, and only touching left
        {99.9f, 99.9f, 100.9f, 100.9f, 0},  // inside by 0.9: truncated to 99..100
        {-5.5f, 110, 100.5f, 120, 0}, // right edge truncates to 100
        {-5.5f, 110, 101.5f, 120, 1},
    };
    PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32);
    for (const Case& c : cases) {
        ActorRecord& b = actors[9];
        b.boxX1[0] = c.x1;
        b.boxY1[0] = c.y1;
        b.boxX2[0] = c.x2;
        b.boxY2[0] = c.y2;
        EXPECT_EQ(c.overlap, TestActorOverlap(8, 9)) << c.x1 << "," << c.y1;
        EXPECT_EQ(c.overlap, TestActorOverlap(9, 8)) << c.x1 << "," << c.y1;
    }
    EXPECT_EQ(0, TestActorOverlap(8, ACTOR_SLOTS));
    EXPECT_EQ(0, TestActorOverlap(-1, 8));
}

TEST(Geometry, TruncationGoesTowardZeroAndHoldsToTheIntRange)
{
    struct Case {
        double v;
        int expected;
    } cases[] = {
        {131.9, 131}, {-5.5, -5}, {-0.9, 0}, {0.0, 0},
        {2147483646.9, INT_MAX - 1}, {2147483647.0, INT_MAX}, {1e300, INT_MAX}, {INFINITY, INT_MAX},
        {-2147483648.0, INT_MIN}, {-2147483647.9, INT_MIN + 1}, {-1e300, INT_MIN}, {-INFINITY, INT_MIN},
        {NAN, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, TruncateToInt(c.v)) << c.v;
    // Floats too: the largest below 2^31 is held exactly.
    EXPECT_EQ(2147483520, TruncateToInt(2147483520.0f));
    EXPECT_EQ(INT_MAX, TruncateToInt(3e9f));
}

TEST_F(Contacts, DamageSoundsByWhatIsLeft)
{
    struct Case {
        int hitPoints, damage;
        int hpAfter, se;
    } cases[] = {
        {600, 99, 501, 9},    // more than 500 left
        {600, 100, 500, 3},
        {3, 2, 1, 3},
        {2, 2, 0, 4},         // a kill
        {2, 501, -499, 4},
        {2, 502, -500, -1},   // kills far below zero are silent
        {2, 4999, -4997, -1},
    };
    for (const Case& c : cases) {
        SoundCalls().clear();
        ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, c.hitPoints);
        e.spawnIndex = SPAWN_INDEX_NONE;
        DamageActor(8, c.damage, 0);
        EXPECT_EQ(c.hpAfter, e.hitPoints) << c.hitPoints << " - " << c.damage;
        for (int se : {3, 4, 9})
            EXPECT_EQ(se == c.se ? 1 : 0, CountSePlays(se)) << c.hitPoints << " - " << c.damage << " se " << se;
    }
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 11).empty());
}

TEST_F(Contacts, PlayerShotsTakeTheShotPower)
{
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, 5);
    e.spawnIndex = SPAWN_INDEX_NONE;
    ActorRecord& shot = PlaceShot(9, 110, 110);
    RunContactChecks();
    EXPECT_EQ(3, e.hitPoints);
    EXPECT_EQ(0, shot.hitPoints);
    EXPECT_EQ(1, CountSePlays(3));
}

TEST_F(Contacts, ShotsNeedALiveHittableTarget)
{
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
    e.spawnIndex = SPAWN_INDEX_NONE;
    ActorRecord& first = PlaceShot(9, 110, 110);
    ActorRecord& second = PlaceShot(10, 112, 112);
    RunContactChecks();
    EXPECT_EQ(-1, e.hitPoints);       // the first shot kills
    EXPECT_EQ(0, first.hitPoints);
    EXPECT_EQ(1, second.hitPoints);   // the second finds it dead

    // A row that is not hittable lets shots through; so does an invulnerable shot.
    ActorRecord& f = PlaceActor(20, KIND_ENEMY, 7, 300, 100, 32, 32, 5);
    f.animRow = 1;
    ActorRecord& shot = PlaceShot(21, 310, 110);
    ActorRecord& g = PlaceActor(22, KIND_ENEMY, 7, 500, 100, 32, 32, 5);
    ActorRecord& held = PlaceShot(23, 510, 110);
    held.invulnFlag = 1;
    RunContactChecks();
    EXPECT_EQ(5, f.hitPoints);
    EXPECT_EQ(1, shot.hitPoints);
    EXPECT_EQ(5, g.hitPoints);
}

TEST_F(Contacts, BossesIgnoreShotsWhileInvulnerable)
{
    ActorRecord& boss = PlaceActor(8, KIND_BOSS, 3, 100, 100, 64, 64, 40);
    boss.spheres = 100;
    ActorRecord& shot = PlaceShot(9, 110, 110);
    RunContactChecks();
    EXPECT_EQ(38, boss.hitPoints);
    EXPECT_EQ(1, boss.invulnFlag);
    EXPECT_EQ(100, boss.invulnTimer);
    EXPECT_EQ(0, shot.hitPoints);
    EXPECT_EQ(20u, SlotsOf(KIND_EFFECT, 11).size());

    // The next shot is used up without damage.
    ActorRecord& next = PlaceShot(30, 110, 110);
    RunContactChecks();
    EXPECT_EQ(38, boss.hitPoints);
    EXPECT_EQ(0, next.hitPoints);
    EXPECT_EQ(20u, SlotsOf(KIND_EFFECT, 11).size());
}

TEST_F(Contacts, HomingShotsAreNeverUsedUp)
{
    ActorRecord& boss = PlaceActor(8, KIND_BOSS, 3, 100, 100, 64, 64, 40);
    ActorRecord& homing = PlaceShot(9, 110, 110, 49);
    RunContactChecks();
    EXPECT_EQ(39, boss.hitPoints);
    EXPECT_EQ(0, boss.invulnFlag);
    EXPECT_EQ(1, homing.hitPoints);
    EXPECT_EQ(1, homing.invulnFlag);
    EXPECT_EQ(175, homing.invulnTimer);
    EXPECT_EQ(20u, SlotsOf(KIND_EFFECT, 11).size());
    RunContactChecks();
    EXPECT_EQ(39, boss.hitPoints);
}

TEST_F(Contacts, KillsDropSpheresAndGroupBonuses)
{
    SetFrame(KIND_ENEMY, 7, 0, 32, 32).hittable = 1;
    spawnList[4] = {0, 0, 7, 1, 0, 3, 5, 0};
    spawnList[6] = {0, 0, 7, 1, 0, 3, 5, 1};
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
    e.spawnIndex = 4;
    e.spheres = 3;
    DamageActor(8, 1, 1);
    EXPECT_EQ(2, spawnList[4].listState);  // no re-arming: dead
    EXPECT_EQ(3u, SlotsOf(KIND_EFFECT, 11).size());  // entry 6 is still out

    ActorRecord& f = PlaceActor(100, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
    f.spawnIndex = 6;
    f.spheres = 3;
    DamageActor(100, 1, 1);
    EXPECT_EQ(0, spawnList[6].listState);  // re-armed: waits again
    EXPECT_EQ(3u + 3u + 20u, SlotsOf(KIND_EFFECT, 11).size());  // the last of its group

    // The player's level adds to every drop.
    ResetActorPool();
    playerLevel = 3;
    ActorRecord& g = PlaceActor(9, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
    g.spawnIndex = SPAWN_INDEX_NONE;
    g.spheres = 3;
    DamageActor(9, 1, 2);
    std::vector<int> spheres = SlotsOf(KIND_EFFECT, 11);
    ASSERT_EQ(5u, spheres.size());
    EXPECT_EQ(1, actors[spheres[0]].animRow);
    EXPECT_FLOAT_EQ(116.0f, actors[spheres[0]].boxX1[0]);
}

TEST_F(Contacts, EnemiesOutsideTheListTouchNoEntry)
{
    spawnList[999] = {0, 0, 7, 1, 0, 3, 5, 1};
    spawnList[10] = {0, 0, 7, 1, 0, 3, 5, 1};
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
    e.spawnIndex = SPAWN_INDEX_NONE;
    e.spheres = 2;
    DamageActor(8, 5, 1);
    EXPECT_EQ(1, spawnList[999].listState);
    EXPECT_EQ(2u, SlotsOf(KIND_EFFECT, 11).size());  // no group bonus either

    ResetActorPool();
    for (int index : {-1, (int)SPAWN_LIST_SIZE, 5000}) {
        ActorRecord& f = PlaceActor(8, KIND_ENEMY, 7, 100, 100, 32, 32, 1);
        f.spawnIndex = index;
        f.spheres = 0;
        DamageActor(8, 5, 1);
    }
    EXPECT_EQ(1, spawnList[10].listState);

    // An actor of another kind in a slot that an enemy held keeps that
    // enemy's index; killing it leaves the entry alone.
    ResetActorPool();
    ActorRecord& shot = PlaceShot(8, 100, 100);
    shot.hitPoints = 1;
    shot.spawnIndex = 10;
    DamageActor(8, 999, 0);
    EXPECT_EQ(1, spawnList[10].listState);
}

TEST_F(Contacts, BossKillsEndTheMusic)
{
    for (int subtype : {3, 5}) {
        SetUp();
        ActorRecord& boss = PlaceActor(8, KIND_BOSS, subtype, 100, 100, 64, 64, 1);
        boss.spheres = 100;
        boss.spawnIndex = -1;
        DamageActor(8, 2, 1);
        EXPECT_EQ(subtype == 5 ? 2 : 1, bossDefeated);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(1, CountStops(BgmHandleOf(i)));
        EXPECT_EQ(100u, SlotsOf(KIND_EFFECT, 11).size());
        EXPECT_EQ(1, CountSePlays(4));
    }
}

TEST_F(Contacts, AHitCostsAllSpheresAndOneHitPoint)
{
    player->spheres = 12;
    player->facing = 1;
    HitPlayer(0);
    EXPECT_EQ(2, player->hitPoints);
    EXPECT_EQ(0, player->spheres);
    EXPECT_EQ(21, player->state);
    EXPECT_EQ(1, player->invulnFlag);
    EXPECT_EQ(1, areaMisses[1]);
    EXPECT_FLOAT_EQ(-2.0f, player->vx);
    EXPECT_FLOAT_EQ(-10.0f, player->vy);
    EXPECT_EQ(1, CountSePlays(10));
    EXPECT_EQ(0, deathFlag);
    std::vector<int> scattered = SlotsOf(KIND_EFFECT, 11);
    ASSERT_EQ(12u, scattered.size());
    EXPECT_EQ(1, actors[scattered[0]].animRow);
    EXPECT_FLOAT_EQ(612.0f, actors[scattered[0]].boxX1[0]);
    EXPECT_FLOAT_EQ(424.0f, actors[scattered[0]].boxY1[0]);
}

TEST_F(Contacts, ScatteringStopsWhenThePoolIsFull)
{
    player->spheres = 2000000000;
    HitPlayer(0);
    EXPECT_EQ(ACTOR_SLOTS - RESERVED_SLOTS, (int)SlotsOf(KIND_EFFECT, 11).size());
    EXPECT_EQ(0, player->spheres);
    EXPECT_EQ(2, player->hitPoints);
}

TEST_F(Contacts, AHitWithoutSpheresKills)
{
    player->facing = 0;
    HitPlayer(0);
    EXPECT_EQ(0, player->hitPoints);
    EXPECT_EQ(1, deathFlag);
    EXPECT_EQ(1, CountSePlays(7));
    EXPECT_EQ(0, CountSePlays(10));
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(1, CountStops(BgmHandleOf(i)));
    EXPECT_FLOAT_EQ(2.0f, player->vx);
}

TEST_F(Contacts, ThePushOfEffect27CostsNothing)
{
    player->spheres = 5;
    player->facing = 0;
    HitPlayer(1);
    EXPECT_EQ(3, player->hitPoints);
    EXPECT_EQ(5, player->spheres);
    EXPECT_EQ(21, player->state);
    EXPECT_EQ(0, player->invulnFlag);
    EXPECT_EQ(0, areaMisses[1]);
    EXPECT_FLOAT_EQ(-6.0f, player->vx);
    EXPECT_FLOAT_EQ(-10.0f, player->vy);
    EXPECT_EQ(1, CountSePlays(10));
}

TEST_F(Contacts, TheCompanionAbsorbsOneHit)
{
    ActorRecord& companion = PlaceActor(40, KIND_EFFECT, 14, 600, 400, 32, 32, 1);
    slotLevel[4] = 1;
    player->spheres = 7;
    player->state = 3;
    player->vx = 4.0f;
    HitPlayer(0);
    EXPECT_EQ(0, companion.hitPoints);
    EXPECT_EQ(1, player->invulnFlag);
    EXPECT_EQ(0, slotLevel[4]);
    EXPECT_EQ(3, player->hitPoints);
    EXPECT_EQ(7, player->spheres);
    EXPECT_EQ(3, player->state);
    EXPECT_FLOAT_EQ(4.0f, player->vx);
    EXPECT_EQ(0, areaMisses[1]);
    EXPECT_TRUE(SlotsOf(KIND_EFFECT, 11).empty());

    // A spent companion absorbs nothing more in the same frame.
    HitPlayer(1);
    EXPECT_EQ(0, companion.hitPoints);
    EXPECT_EQ(21, player->state);
}

TEST_F(Contacts, HurtingActorsHitThePlayer)
{
    SetFrame(KIND_ENEMY, 7, 0, 32, 32).hurtsPlayer = 0;
    animFrames[KIND_ENEMY][7][0][2].hurtsPlayer = 1;
    player->spheres = 4;
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 590, 410, 32, 32, 5);
    HandlePlayerContacts();
    EXPECT_EQ(3, player->hitPoints);  // frame 0 does not hurt
    e.animFrame = 2;
    HandlePlayerContacts();
    EXPECT_EQ(2, player->hitPoints);
    HandlePlayerContacts();  // invulnerable now
    EXPECT_EQ(2, player->hitPoints);
    EXPECT_EQ(1, areaMisses[1]);
}

// Only an actor with hit points left hurts: an enemy shot dead earlier in
// the same frame's contact pass costs the heroine nothing.
TEST_F(Contacts, AnEnemyShotDeadInTheSameFrameDoesNotHurt)
{
    SetFrame(KIND_ENEMY, 7, 0, 32, 32).hurtsPlayer = 1;
    ActorRecord& e = PlaceActor(8, KIND_ENEMY, 7, 590, 410, 32, 32, 1);
    e.spawnIndex = SPAWN_INDEX_NONE;
    PlaceShot(9, 600, 420);
    RunContactChecks();
    EXPECT_LE(e.hitPoints, 0);
    EXPECT_EQ(3, player->hitPoints);
    EXPECT_EQ(0, player->invulnFlag);
    EXPECT_NE(21, player->state);
    EXPECT_EQ(0, areaMisses[1]);

    // The same enemy alive does hurt.
    e.hitPoints = 5;
    e.kind = KIND_ENEMY;
    HandlePlayerContacts();
    EXPECT_EQ(0, player->hitPoints);
    EXPECT_EQ(1, areaMisses[1]);
}

TEST_F(Contacts, SpheresArePickedUpOnceOldEnough)
{
    slotEntries[0][0][0].chosen = 1;
    slotEntries[0][0][0].cost = 10;
    player->spheres = 5;
    sphereCap = 10;
    ActorRecord& young = PlaceActor(8, KIND_EFFECT, 11, 605, 405, 8, 8);
    young.stateFrames = 5;
    HandlePlayerContacts();
    EXPECT_EQ(1, young.hitPoints);
    EXPECT_EQ(5, player->spheres);

    young.stateFrames = 6;
    HandlePlayerContacts();
    EXPECT_EQ(-9, young.hitPoints);
    EXPECT_EQ(6, player->spheres);
    EXPECT_EQ(1, sphereTally);
    EXPECT_EQ(1, CountSePlays(2));

    // A scattered sphere (row 1) adds to the count but not to the tally.
    ActorRecord& own = PlaceActor(9, KIND_EFFECT, 11, 605, 405, 8, 8);
    own.animRow = 1;
    own.stateFrames = 9;
    young.kind = KIND_FREE;
    HandlePlayerContacts();
    EXPECT_EQ(7, player->spheres);
    EXPECT_EQ(1, sphereTally);

    // At the cap a sphere is still consumed with its sound.
    player->spheres = 10;
    own.kind = KIND_FREE;
    ActorRecord& full = PlaceActor(10, KIND_EFFECT, 11, 605, 405, 8, 8);
    full.stateFrames = 9;
    HandlePlayerContacts();
    EXPECT_EQ(-9, full.hitPoints);
    EXPECT_EQ(10, player->spheres);
    EXPECT_EQ(3, CountSePlays(2));
}

TEST_F(Contacts, EffectsThatTouchThePlayer)
{
    sphereCap = 10;
    player->spheres = 9;
    ActorRecord& bonus = PlaceActor(8, KIND_EFFECT, 9, 605, 405, 8, 8);
    HandlePlayerContacts();
    EXPECT_EQ(39, player->spheres);  // may go 29 above the cap
    EXPECT_EQ(-9, bonus.hitPoints);
    bonus.kind = KIND_FREE;

    PlaceActor(9, KIND_EFFECT, 32, 605, 405, 8, 8);
    HandlePlayerContacts();
    EXPECT_EQ(2, player->freezeTimer);
    actors[9].kind = KIND_FREE;

    PlaceActor(10, KIND_EFFECT, 35, 605, 405, 8, 8);
    player->vy = 1.0f;
    HandlePlayerContacts();
    EXPECT_FLOAT_EQ(5.0f, player->vy);
}

TEST_F(Contacts, AChestReleasesItsKeyAndTheKeyStopsTheField)
{
    SetFrame(KIND_ITEM, 1, 0, 16, 16);
    SetFrame(KIND_SYSTEM_EFFECT, 0, 0, 40, 20);
    itemList[3] = {2000, 400, 0, 0, 6, 0};
    ActorRecord& chest = PlaceActor(8, KIND_ITEM, 0, 605, 405, 16, 16);
    chest.itemIndex = 3;
    loopIndex = 3;  // whatever the loop index holds, the key gets no list entry
    HandlePlayerContacts();
    EXPECT_EQ(1, itemList[3].taken);
    EXPECT_EQ(-998, chest.hitPoints);
    EXPECT_EQ(1, CountSePlays(16));
    std::vector<int> keys = SlotsOf(KIND_ITEM, 1);
    ASSERT_EQ(1u, keys.size());
    ActorRecord& key = actors[keys[0]];
    EXPECT_EQ(6, key.param);
    EXPECT_EQ(-1, key.itemIndex);
    EXPECT_FLOAT_EQ(600.0f, key.boxX1[0]);
    EXPECT_FLOAT_EQ(368.0f, key.boxY1[0]);

    // Taking the key: no list entry is touched.
    itemList[3].taken = 0;
    chest.kind = KIND_FREE;
    key.boxY1[0] = 405.0f;
    key.boxY2[0] = 421.0f;
    HandlePlayerContacts();
    EXPECT_EQ(0, itemList[3].taken);
    EXPECT_EQ(1, itemFlags[6]);
    EXPECT_EQ(1, CountStops(BgmHandleOf(1)));
    EXPECT_EQ(1, CountSePlays(15));
    EXPECT_EQ(240, keyJingleTimer);
    EXPECT_EQ(1, freezeAll);
    std::vector<int> popups = SlotsOf(KIND_SYSTEM_EFFECT, 0);
    ASSERT_EQ(1u, popups.size());
    EXPECT_EQ(6, actors[popups[0]].param);
    EXPECT_FLOAT_EQ(612.0f - 20.0f, actors[popups[0]].boxX1[0]);
    EXPECT_FLOAT_EQ(424.0f - 10.0f, actors[popups[0]].boxY1[0]);

    // A chest whose key was taken gives nothing; hostile indices are ignored.
    key.kind = KIND_FREE;
    PlaceActor(30, KIND_ITEM, 0, 605, 405, 16, 16).itemIndex = 3;
    PlaceActor(31, KIND_ITEM, 0, 605, 405, 16, 16).itemIndex = 700;
    PlaceActor(32, KIND_ITEM, 1, 605, 405, 16, 16).param = -4;
    HandlePlayerContacts();
    EXPECT_EQ(std::vector<int>{32}, SlotsOf(KIND_ITEM, 1));
    EXPECT_EQ(1, CountSePlays(16));
    EXPECT_EQ(2, CountSePlays(15));
}

TEST_F(Contacts, TheDoorLeadsIntoTheArenaWithWhatThePlayerHolds)
{
    SetFrame(KIND_BOSS, 2, 0, 96, 96, 0, 0, 50);
    SetFrame(KIND_EFFECT, 14, 0, 32, 32);
    areaIndex = 1;
    player->hitPoints = 2;
    player->spheres = 33;
    player->shotRow = 2;
    slotLevel[1] = 1;
    PlaceActor(50, KIND_EFFECT, 14, 600, 400, 32, 32);
    PlaceActor(60, KIND_EFFECT, 12, 605, 405, 32, 64);
    HandlePlayerContacts();
    EXPECT_EQ(6, areaIndex);
    EXPECT_EQ(1, carryStats);
    EXPECT_EQ(1, CountStops(BgmHandleOf(1)));
    EXPECT_EQ(1, CountBgmPlays(5, 3, 1));
    EXPECT_EQ(KIND_PLAYER, actors[0].kind);
    EXPECT_FLOAT_EQ(200.0f, actors[0].boxX1[0]);
    EXPECT_EQ(2, actors[0].hitPoints);
    EXPECT_EQ(33, actors[0].spheres);
    EXPECT_EQ(2, actors[0].shotRow);
    EXPECT_EQ(1, slotLevel[1]);
    EXPECT_EQ(KIND_BOSS, actors[8].kind);
    std::vector<int> companions = SlotsOf(KIND_EFFECT, 14);
    ASSERT_EQ(1u, companions.size());
    EXPECT_FLOAT_EQ(212.0f - 16.0f, actors[companions[0]].boxX1[0]);
}

TEST_F(Contacts, TheDoorLeadsNowhereFromAnArena)
{
    // Areas 5 to 9 are the arenas themselves; 10 and above lie outside every
    // area table.
    for (int area : {5, 9}) {
        SCOPED_TRACE(area);
        areaIndex = area;
        carryStats = 0;
        SoundCalls().clear();
        PlaceActor(60, KIND_EFFECT, 12, 605, 405, 32, 64);
        HandlePlayerContacts();
        EXPECT_EQ(area, areaIndex);
        EXPECT_EQ(0, carryStats);
        EXPECT_TRUE(SoundCalls().empty());
        EXPECT_FLOAT_EQ(600.0f, actors[0].boxX1[0]);
        EXPECT_EQ(1, actors[60].hitPoints);
    }
}

TEST_F(Contacts, ShotsAndSomeEnemiesEndOnSolidBlocks)
{
    SetFrame(KIND_ENEMY, 14, 0, 8, 8);
    SetFrame(KIND_ENEMY, 13, 0, 32, 32);
    SetFrame(KIND_EFFECT, 19, 0, 8, 8);
    SetFrame(KIND_EFFECT, 19, 1, 8, 8);
    SetFrame(KIND_EFFECT, 19, 2, 8, 8);
    SetFrame(KIND_ENEMY, 18, 0, 16, 16);
    AddBlock(-150, 0, 1400, 50);   // starts too far left to count
    AddBlock(100, 100, 200, 200);
    BlockRecord& loose = AddBlock(300, 100, 400, 200);
    loose.solid = 0;

    ActorRecord& shot = PlaceShot(8, 150, 150);
    ActorRecord& wall = PlaceShot(9, 150, 10);    // inside the far block only
    ActorRecord& free = PlaceShot(10, 350, 150);  // a block that is not solid
    ActorRecord& builder = PlaceShot(11, 120, 95, 15);
    ActorRecord& other = PlaceShot(12, 150, 150, 2);  // not ended by blocks
    RunContactChecks();
    EXPECT_EQ(-999, shot.hitPoints);
    EXPECT_EQ(1, wall.hitPoints);
    EXPECT_EQ(1, free.hitPoints);
    EXPECT_EQ(-999, builder.hitPoints);
    EXPECT_EQ(1, other.hitPoints);
    ASSERT_EQ(1u, PlacedBlocks().size());
    EXPECT_FLOAT_EQ(118.0f, PlacedBlocks()[0].x);
    EXPECT_FLOAT_EQ(68.0f, PlacedBlocks()[0].y);

    // An enemy 13 splits into five 14s; an 18 bursts into three 19s.
    ResetActorPool();
    ActorRecord& splitter = PlaceActor(8, KIND_ENEMY, 13, 150, 150, 32, 32, 5);
    splitter.spawnIndex = SPAWN_INDEX_NONE;
    ActorRecord& burster = PlaceActor(9, KIND_ENEMY, 18, 120, 120, 16, 16, 500);
    burster.spawnIndex = SPAWN_INDEX_NONE;
    ScriptRandom({0, 2, 16, 32});
    RunContactChecks();
    EXPECT_EQ(-295, splitter.hitPoints);
    EXPECT_EQ(200, burster.hitPoints);
    std::vector<int> pieces = SlotsOf(KIND_ENEMY, 14);
    ASSERT_EQ(5u, pieces.size());
    EXPECT_FLOAT_EQ(166.0f + 32.0f, actors[pieces[0]].boxX1[0]);  // r4 x (r2 - 1)
    EXPECT_FLOAT_EQ(166.0f - 16.0f, actors[pieces[0]].boxY1[0]);  // r3 x (r1 - 1)
    EXPECT_EQ((std::vector<int>{2, 2, 16, 32}),
              std::vector<int>(RandomRequests().begin(), RandomRequests().begin() + 4));
    std::vector<int> bits = SlotsOf(KIND_EFFECT, 19);
    ASSERT_EQ(3u, bits.size());
    EXPECT_EQ(2, actors[bits[2]].animRow);
    EXPECT_FLOAT_EQ(104.0f, actors[bits[0]].boxY1[0]);
}

TEST_F(Contacts, TheEntranceGathersSpheres)
{
    PlaceActor(0, KIND_EFFECT, 48, 560, 320, 32, 32, 3);
    ActorRecord& near = PlaceActor(8, KIND_EFFECT, 11, 570, 330, 8, 8);
    ActorRecord& far = PlaceActor(9, KIND_EFFECT, 11, 100, 100, 8, 8);
    RunContactChecks();
    EXPECT_EQ(-998, near.hitPoints);
    EXPECT_EQ(1, far.hitPoints);
    EXPECT_EQ(1, actors[0].spheres);
    EXPECT_EQ(1, CountSePlays(2));
}

TEST_F(Contacts, TriangleHazardsHurtAlongTheirEdges)
{
    // A triangle around the player: its edges pass outside her box.
    hazardVertexX[40][0] = 500; hazardVertexY[40][0] = 300;
    hazardVertexX[40][1] = 800; hazardVertexY[40][1] = 300;
    hazardVertexX[40][2] = 600; hazardVertexY[40][2] = 700;
    player->spheres = 3;
    HandlePlayerContacts();
    EXPECT_EQ(3, player->hitPoints);

    // One edge point, 4/5 of the way from vertex 1 to vertex 0, inside her box.
    hazardVertexX[41][0] = 610; hazardVertexY[41][0] = 420;
    hazardVertexX[41][1] = 610 + 50; hazardVertexY[41][1] = 420 + 50;
    hazardVertexX[41][2] = 900; hazardVertexY[41][2] = 900;
    HandlePlayerContacts();
    EXPECT_EQ(2, player->hitPoints);
    EXPECT_EQ(1, player->invulnFlag);

    // Only the heroine is hurt, not the entrance effect in her slot.
    SetUp();
    PlaceActor(0, KIND_EFFECT, 48, 600, 400, 24, 48, 3).spheres = 4;
    hazardVertexX[41][0] = 610; hazardVertexY[41][0] = 420;
    hazardVertexX[41][1] = 610 + 50; hazardVertexY[41][1] = 420 + 50;
    hazardVertexX[41][2] = 900; hazardVertexY[41][2] = 900;
    HandlePlayerContacts();
    EXPECT_EQ(3, actors[0].hitPoints);
    EXPECT_EQ(4, actors[0].spheres);

    // Inactive while the first x is 0.
    SetUp();
    player->spheres = 3;
    hazardVertexX[41][0] = 0;
    hazardVertexY[41][0] = 420;
    hazardVertexX[41][1] = 610; hazardVertexY[41][1] = 420;
    hazardVertexX[41][2] = 610; hazardVertexY[41][2] = 420;
    HandlePlayerContacts();
    EXPECT_EQ(3, player->hitPoints);
}
