// Every boss arena of the demo data set, played as the game plays it (area
// start, the pad read through the action input, the heroine's control, the
// play update) with the data's own rows and blocks. A scripted heroine fires
// at each boss and steps or jumps out of the way of what she sees coming;
// each boss must use its attacks on her, and fall within a frame budget on
// the lives she has, the last arena through both forms.
// Argument: the data directory.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "game/asset_loading.h"
#include "game/action_input.h"
#include "game/area_start.h"
#include "game/boss_routines.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/player_control.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"
#include "tests/game/table_files.h"
#include "tests/game/state_hash.h"
#include "tests/support/test_support.h"

// The real layout reader behind the recording stand-in.
void RealReadAreaLayoutCsv(int fileType) __asm__(REAL_SYMBOL("_Z17ReadAreaLayoutCsvi"));

namespace {

const int ACTION_JUMP = 2;
const int ACTION_SHOT = 3;
const int BOSS_SLOT = 8;  // where the area start puts the arena's boss

// Action i is on button i + 1 in the default mapping.
int ButtonOf(int action)
{
    return PAD_BIT_BUTTON1 << action;
}

// The pad as the heroine holds it; the action input reads it once a frame.
int heldPad;
int HeldPad(int) { return heldPad; }

// The arena `area` as the area start leaves it, with the data's tables and
// blocks and the slot bar that the start-up loading sets up.
void StartArena(int area)
{
    ResetPlayWorld();
    // Headless, the images load as -1; tables, constants and slot flags are
    // the start-up loading's own.
    LoadGameData();
    ASSERT_TRUE(ScreenPrints().empty());
    SetLayoutReader([](int fileType) { RealReadAreaLayoutCsv(fileType); });
    UseSeededRandom(1000 + area);
    ResetButtonMap();
    heldPad = 0;
    sceneNo = SCENE_PLAY;
    areaIndex = area;
    scrollMin = 750.0f;
    lives = 3;
    StartArea();
    ASSERT_GT(blockCount, 0);
}

// The top of the highest solid block under the whole width of the box.
float GroundUnder(const ActorRecord& a)
{
    float top = 100000.0f;
    for (int i = 0; i < blockCount; i++) {
        const BlockRecord& b = blocks[i];
        if (b.active && b.solid && b.blockX1 < a.boxX2[0] && a.boxX1[0] < b.blockX2)
            top = std::min(top, b.blockY1);
    }
    return top;
}

// One play frame as the game runs it, with no key pressed and the heroine
// kept unhurt.
void PlayFrame()
{
    actors[0].invulnFlag = 1;
    actors[0].invulnTimer = 0;
    if (!IsPlayerHeld()) {
        UpdatePlayer(0);
        UpdatePlayer(1);
    }
    UpdatePlayScene();
}

// ---------------------------------------------------------------------------
// The scripted heroine. She reads what the screen shows, where things are and
// how they move, with what a practised player knows of a few attacks, and
// acts only through the pad.

struct Box {
    float x1, y1, x2, y2;
};

bool Overlap(const Box& a, const Box& b)
{
    return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

// Something that hurts, and where it will be (x rightward): on at its speed
// and falling by its gravity; a piece of boss 4's ring waits for its dash and
// then flies straight through the ring's middle; a bomb of the ships lands on
// the floor and rolls along it.
struct Mover {
    Box box;
    float vx, vy, fall;
    int waits;
    float dashX, dashY;
    float floor, rollX;  // floor 0: it does not roll
};

Box Place(const Mover& m, int t)
{
    auto fallen = [&m](int n) { return m.vy * n + m.fall * n * (n - 1) * 0.5f; };
    float dx = m.vx * t, dy = fallen(t);
    if (m.waits > 0) {
        int dashing = std::max(t - m.waits, 0);
        dx = m.dashX * dashing;
        dy = m.dashY * dashing;
    } else if (m.floor != 0.0f && m.box.y2 + dy >= m.floor) {
        int landed = t;
        while (landed > 1 && m.box.y2 + fallen(landed - 1) >= m.floor)
            landed--;
        dx = m.vx * landed + m.rollX * (t - landed);
        dy = m.floor - m.box.y2;
    }
    return {m.box.x1 + dx, m.box.y1 + dy, m.box.x2 + dx, m.box.y2 + dy};
}

std::vector<Mover> Threats(float floor)
{
    // The dash of each row of boss 4's ring (x rightward, y downward).
    static const float ringDash[5][2] = {{-10, 0}, {-7, 7}, {0, 10}, {7, 7}, {10, 0}};
    std::vector<Mover> out;
    for (int i = 1; i < ACTOR_SLOTS; i++) {
        const ActorRecord& a = actors[i];
        if (a.kind < KIND_ENEMY || a.kind > KIND_EFFECT || a.hitPoints <= 0 ||
            AnimFrame(a.kind, a.subtype, a.animRow, a.animFrame).hurtsPlayer != 1)
            continue;
        Mover m = {{a.boxX1[0], a.boxY1[0], a.boxX2[0], a.boxY2[0]}, -a.vx, a.vy, 0, 0, 0, 0, 0, 0};
        // What stands on the ground stays there.
        if (a.kind == KIND_EFFECT || a.jumpsUsed != 0)
            m.fall = a.gravityFactor * gravityStep;
        if (a.kind == KIND_EFFECT && a.subtype == 39 && a.stateFrames < 50 && a.animRow >= 0 && a.animRow < 5) {
            m.waits = 50 - a.stateFrames;
            m.dashX = ringDash[a.animRow][0];
            m.dashY = ringDash[a.animRow][1];
        }
        if (a.kind == KIND_EFFECT && a.subtype == 47) {
            m.floor = floor;
            m.rollX = a.animRow == 1 ? m.vx : a.facing == 1 ? 6.0f : -6.0f;
            if (a.animRow == 1)
                m.vy = m.fall = 0.0f;
        }
        out.push_back(m);
    }
    return out;
}

class Heroine {
public:
    // The pad for the next frame.
    int Pad()
    {
        frame_++;
        const ActorRecord& p = actors[0];
        const ActorRecord& boss = actors[BOSS_SLOT];
        if (p.kind != KIND_PLAYER)
            return held_ = 0;
        if (p.jumpsUsed == 0)
            ground_ = p.boxY2[0];
        bool bossThere = boss.kind == KIND_BOSS;
        bool bossOnRight = !bossThere || boss.centerX[0] > p.centerX[0];

        std::vector<Mover> threats;
        Box reach = {p.boxX1[0] - 260.0f, p.boxY1[0] - 200.0f, p.boxX2[0] + 260.0f, p.boxY2[0] + 60.0f};
        for (const Mover& m : Threats(ground_))
            for (int t = 0; t <= LOOKAHEAD; t += 5)
                if (Overlap(reach, Place(m, t))) {
                    threats.push_back(m);
                    break;
                }

        // Her place: well away from the boss; between the two places where
        // the dancer lands; the far side from the ships, which roam the middle.
        float home = bossOnRight ? 300.0f : 980.0f;
        if (bossThere && boss.subtype == 3)
            home = 640.0f;
        if (bossThere && boss.subtype >= 5)
            home = boss.centerX[0] > 640.0f ? 340.0f : 940.0f;
        int homeward = p.centerX[0] < home - 8.0f ? 1 : p.centerX[0] > home + 8.0f ? -1 : 0;
        // A ship above her line of fire and not too close is worth a jump.
        bool jumpFirst = bossThere && boss.boxY2[0] < p.centerY[0] - 8.0f &&
                         fabsf(boss.centerX[0] - p.centerX[0]) > 360.0f;
        static const int jumpTimes[] = {0, 1, 4, 8, 12, 16, 20};
        static const int jumpTimesJumpFirst[] = {1, 0, 4, 8, 12, 16, 20};

        // Of the ways to go, the first that keeps her unhurt longest;
        // standing still first turns her back to the boss.
        int toBoss = bossOnRight ? 1 : -1;
        bool turned = p.facing == (bossOnRight ? 1 : 0);
        int bestFirst = 0, bestSafe = -1, bestJump = 0;
        for (int jumpAt : jumpFirst ? jumpTimesJumpFirst : jumpTimes) {
            for (int dir : {homeward, 0, 1, -1}) {
                int first = dir == 0 && !turned ? toBoss : dir;
                int safe = SafeFrames(first, dir, jumpAt, threats);
                if (safe > bestSafe) {
                    bestSafe = safe;
                    bestFirst = first;
                    bestJump = jumpAt;
                }
            }
        }
        // Boss 1's fan shows where its beam will lie: high in the air when
        // it is fixed, she is well clear of it afterwards.
        if (bossThere && boss.subtype == 1 && boss.state == 4 && boss.stateFrames == 139)
            bestJump = 1;

        int pad = bestFirst < 0 ? PAD_BIT_LEFT : bestFirst > 0 ? PAD_BIT_RIGHT : 0;
        if (bestJump == 1)
            Press(pad, ACTION_JUMP);
        if (turned && frame_ % 4 == 0)
            Press(pad, ACTION_SHOT);
        return held_ = pad;
    }

private:
    static const int LOOKAHEAD = 60;
    // Where the arena's walls hold her.
    static constexpr float LEFT_END = 40.0f;
    static constexpr float RIGHT_END = 1240.0f;

    // A press needs the button released in the frame before.
    void Press(int& pad, int action) const
    {
        if (!(held_ & ButtonOf(action)))
            pad |= ButtonOf(action);
    }

    // The frames she stays unhurt when she presses `first` next frame, holds
    // `dir` from then on and jumps in frame `jumpAt` (0: not at all).
    int SafeFrames(int first, int dir, int jumpAt, const std::vector<Mover>& threats) const
    {
        const ActorRecord& p = actors[0];
        const ActorRecord& boss = actors[BOSS_SLOT];
        float w = p.boxX2[0] - p.boxX1[0], h = p.boxY2[0] - p.boxY1[0];
        float x = p.boxX1[0], y = p.boxY1[0], vy = p.vy;
        bool air = p.jumpsUsed != 0;
        bool hurt = p.state == 21;
        for (int t = 1; t <= LOOKAHEAD; t++) {
            if (t == jumpAt && !air && !hurt) {
                vy = -(float)p.jumpPower;
                air = true;
            }
            if (!hurt)
                x = std::min(std::max(x + (t == 1 ? first : dir) * (float)p.speed, LEFT_END), RIGHT_END - w);
            y += vy;
            vy += gravityStep;
            if (y + h >= ground_) {
                y = ground_ - h;
                vy = 0.0f;
                air = hurt = false;
            }
            Box me = {x, y, x + w, y + h};
            for (const Mover& m : threats)
                if (Overlap(me, Place(m, t)))
                    return t - 1;
            // Boss 1's beam, once fixed, hurts along its line.
            int s = boss.stateFrames + t;
            if (boss.kind == KIND_BOSS && boss.subtype == 1 && boss.state == 4 && s > 200 && s <= 320) {
                double bx = beamTipX, by = beamTipY;
                double cross = (bx - boss.centerX[0]) * (y + h * 0.5 - by) +
                               (boss.centerY[0] - by) * (x + w * 0.5 - bx);
                if (fabs(cross) < 60000.0)
                    return t - 1;
            }
        }
        return LOOKAHEAD;
    }

    int frame_ = 0;
    int held_ = 0;
    float ground_ = 0.0f;
};

// ---------------------------------------------------------------------------

// What a boss sends at the heroine: actors of a kind and subtype (in a row,
// or any row for -1) spawned while it is the boss in the arena.
struct Attack {
    int boss, kind, subtype, row;
    const char* what;
};

struct Arena {
    int area, boss;
    int frameBudget;
    // Kept from harm: the ships' fire is more than the script can dodge.
    bool unhurt;
    std::vector<Attack> attacks;
    bool beam;  // boss 1 draws its fan and beam
};

const Arena arenas[] = {
    {5, 4, 6000, false,
     {{4, KIND_EFFECT, 39, -1, "the ring"}, {4, KIND_EFFECT, 41, -1, "the hopping pair"},
      {4, KIND_EFFECT, 42, -1, "the rain clouds"}, {4, KIND_ENEMY, 46, -1, "the floater"}},
     false},
    {6, 2, 9500, false,
     {{2, KIND_EFFECT, 23, -1, "the throws"}, {2, KIND_EFFECT, 24, 0, "the lobs"},
      {2, KIND_EFFECT, 25, -1, "the bombs of the leap"}, {2, KIND_EFFECT, 26, -1, "the wave"}},
     false},
    {7, 3, 6000, false,
     {{3, KIND_ENEMY, 29, -1, "the summons"}, {3, KIND_EFFECT, 38, -1, "the knives"},
      {3, KIND_EFFECT, 31, -1, "the wobbling shots"}, {3, KIND_EFFECT, 33, -1, "the shots of the dance"}},
     false},
    {8, 1, 12500, false,
     {{1, KIND_EFFECT, 18, -1, "the stars"}, {1, KIND_ENEMY, 9, -1, "the star fall"}},
     true},
    {9, 5, 27000, true,
     {{5, KIND_EFFECT, 46, -1, "the aimed shots"}, {5, KIND_EFFECT, 47, -1, "the bombs"},
      {6, KIND_EFFECT, 45, -1, "the straight shots"}, {6, KIND_EFFECT, 46, -1, "the aimed shots"},
      {6, KIND_EFFECT, 47, -1, "the bombs"}},
     false},
};

struct Fight {
    int frames = 0;
    int livesLost = 0;
    bool secondForm = false;
    size_t beamLines = 0;
    // Spawns by the boss of their frame, kind, subtype and row.
    std::map<std::vector<int>, int> spawned;

    int Count(const Attack& a) const
    {
        int n = 0;
        for (const auto& entry : spawned) {
            const std::vector<int>& key = entry.first;
            if (key[0] == a.boss && key[1] == a.kind && key[2] == a.subtype && (a.row < 0 || key[3] == a.row))
                n += entry.second;
        }
        return n;
    }
};

// The arena played until its clear, the game over or the end of the budget.
Fight PlayArena(const Arena& arena)
{
    Fight fight;
    Heroine heroine;
    int startLives = lives;
    int boss = arena.boss;
    for (; fight.frames < arena.frameBudget && sceneNo == SCENE_PLAY; fight.frames++) {
        if (arena.unhurt && actors[0].kind == KIND_PLAYER) {
            actors[0].invulnFlag = 1;
            actors[0].invulnTimer = 0;
        }
        bool open[ACTOR_SLOTS];
        for (int i = 0; i < ACTOR_SLOTS; i++)
            open[i] = actors[i].kind == KIND_FREE || actors[i].hitPoints <= 0;
        // The game's frame: the scene step, then the pad is read.
        if (!IsPlayerHeld()) {
            UpdatePlayer(0);
            UpdatePlayer(1);
        }
        UpdatePlayScene();
        playFrame++;
        heldPad = heroine.Pad();
        UpdateActionInputFrom(HeldPad);

        // The boss of the frame: the one alive, or the one that has just fallen.
        for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
            if (actors[i].kind == KIND_BOSS && actors[i].hitPoints > 0) {
                boss = actors[i].subtype;
                break;
            }
        fight.secondForm = fight.secondForm || boss == 6;
        for (int i = 0; i < ACTOR_SLOTS; i++) {
            const ActorRecord& a = actors[i];
            if (open[i] && a.kind != KIND_FREE)
                fight.spawned[{boss, a.kind, a.subtype, a.animRow}]++;
        }
        fight.beamLines += LineCalls().size();
        LineCalls().clear();
    }
    fight.livesLost = startLives - lives;
    return fight;
}

class DemoArenas : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(TestArgCount(), 2) << "usage: game_boss_demo <data directory>";
        EnterDataDirectory(TestArg(1));
    }
    void TearDown() override { LeaveDataDirectory(); }
};

} // namespace

// The play state at each arena's clear, recorded once: the builds of both
// architectures must end each fight exactly there.
const uint64_t ClearStateHash[5] = {
    0xc199bc19e515e86cull, 0x20d58deb2b0aeb3full, 0xfa18811470891bb5ull,
    0x65655f7fdb935499ull, 0x328a0afcfba945f4ull,
};

TEST_F(DemoArenas, EveryBossAttacksAndFallsToTheHeroine)
{
    for (const Arena& arena : arenas) {
        SCOPED_TRACE(testing::Message() << "arena " << arena.area);
        ASSERT_NO_FATAL_FAILURE(StartArena(arena.area));
        ASSERT_EQ(KIND_PLAYER, actors[0].kind);
        ASSERT_EQ(KIND_BOSS, actors[BOSS_SLOT].kind);
        ASSERT_EQ(arena.boss, actors[BOSS_SLOT].subtype);

        Fight fight = PlayArena(arena);
        EXPECT_EQ(SCENE_AREA_CLEAR, sceneNo)
            << "scene " << sceneNo << " after " << fight.frames << " frames, " << fight.livesLost << " lives lost";
        for (const Attack& attack : arena.attacks)
            EXPECT_GT(fight.Count(attack), 0) << "boss " << attack.boss << " never sent " << attack.what;
        EXPECT_EQ(arena.beam, fight.beamLines > 0) << fight.beamLines << " lines of a beam";
        EXPECT_EQ(arena.area == 9, fight.secondForm);
        EXPECT_EQ(1, CountBgmPlays(6, 1, 1));
        uint64_t state = HashPlayState();
        EXPECT_EQ(ClearStateHash[arena.area - 5], state) << "play state at the clear: 0x" << std::hex << state;
        RecordProperty(("frames" + std::to_string(arena.area)).c_str(), fight.frames);
        RecordProperty(("livesLost" + std::to_string(arena.area)).c_str(), fight.livesLost);
    }
}

TEST_F(DemoArenas, Boss3DancesOnItsArenaFloor)
{
    ASSERT_NO_FATAL_FAILURE(StartArena(7));
    ActorRecord& boss = actors[BOSS_SLOT];
    ASSERT_EQ(3, boss.subtype);
    for (int frame = 0; frame < 60; frame++)
        PlayFrame();
    // Standing under gravity, an actor's bottom sinks half a pixel into the
    // ground every other frame before the landing lifts it back.
    ASSERT_NEAR(GroundUnder(boss), boss.boxY2[0], 1.0f) << "the boss has not landed";

    // The dance from its first frame. Each jump down (top 612) must land the
    // boss on the floor, where it stays until the next jump up, and after
    // the dance when gravity returns.
    const struct {
        int from, to;
    } bottomStays[] = {{90, 119}, {150, 164}, {180, 194}, {210, 219},
                       {230, 239}, {250, 259}, {270, 279}, {290, 340}};
    boss.state = 4;
    boss.stateFrames = 0;
    int frame = 0;
    for (const auto& stay : bottomStays) {
        while (frame < stay.from - 1)
            frame++, PlayFrame();
        for (; frame < stay.to; frame++) {
            PlayFrame();
            SCOPED_TRACE(testing::Message() << "frame " << frame + 1 << ", left " << boss.boxX1[0]);
            ASSERT_NEAR(612.0f, boss.boxY1[0], 1.0f);
            ASSERT_NEAR(GroundUnder(boss), boss.boxY2[0], 1.0f);
        }
        EXPECT_EQ(GroundUnder(boss), boss.boxY2[0]) << "end of the stay from " << stay.from;
    }
    EXPECT_EQ(0, boss.state);
    for (int after = 0; after < 20; after++) {
        PlayFrame();
        ASSERT_NEAR(612.0f, boss.boxY1[0], 1.0f) << after;
    }
}
