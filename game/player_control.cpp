#include "game/player_control.h"

#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "runtime/timing.h"

namespace {

enum {
    ACTION_INSTALL = 1,
    ACTION_JUMP = 2,
    ACTION_SHOT = 3,
    ACTION_HOLD_STATE = 7,
    ACTION_PAUSE = 8,
};

enum {
    STATE_STANDING = 0,
    STATE_WALKING = 3,
    STATE_AIRBORNE = 8,
    STATE_SHOOTING = 12,
    STATE_AIR_SHOOTING = 19,
    STATE_HURT = 21,
};

void PlaySe(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

int AnimRowOfState(int state, int row)
{
    switch (state) {
    case STATE_STANDING: return 0;
    case STATE_WALKING: return 5;
    case STATE_AIRBORNE: return 2;
    case STATE_SHOOTING: return 1;
    case STATE_AIR_SHOOTING: return 3;
    case STATE_HURT: return 8;
    default: return row;
    }
}

void WalkOrStand(int p, ActorRecord& a)
{
    // Player 1's counters are never filled.
    int left = p == 0 ? holdLeft : 0;
    int right = p == 0 ? holdRight : 0;
    int zone = a.inZone * zonePush;
    if (left != 0) {
        if (a.state == STATE_HURT)
            return;
        if (a.state == STATE_STANDING)
            a.state = STATE_WALKING;
        a.facing = 0;
        a.vx = a.onConveyor == 1 ? (float)(-2 - zone - a.conveyorSpeed) : (float)(-a.speed - zone);
    } else if (right != 0) {
        if (a.state == STATE_HURT)
            return;
        if (a.state == STATE_STANDING)
            a.state = STATE_WALKING;
        a.facing = 1;
        a.vx = a.onConveyor == 1 ? (float)(a.conveyorSpeed + 2 - zone) : (float)(a.speed - zone);
    } else {
        switch (a.state) {
        case 0: case 1: case 2: case 8: case 101: case 103:
            a.vx = (float)-zone;
            break;
        case 3: case 4:
            a.vx = (float)-zone;
            a.state = STATE_STANDING;
            break;
        default:
            break;
        }
    }
}

void Install(ActorRecord& a)
{
    int row = activeSlotRow;
    if (row < 0 || row >= SLOT_BAR_ROWS)
        return;
    a.spheres -= activeSlotCost;
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, 0.0f, 0.0f, 53, 0, 0, 0, 0);
    PlaySe(6);
    switch (row) {
    case 0:
        a.speed += 1;
        break;
    case 1:
        a.maxJumps += 1;
        break;
    case 2:
        a.shotCount += 1;
        break;
    case 3:
        a.shotRow += 1;
        a.shotPower += 1;
        break;
    case 4:
        // The companion that guards the player.
        SpawnActor(RESERVED_SLOTS, KIND_EFFECT, a.centerX[0] - 16.0f, a.centerY[0] - 16.0f, 14, 0, 0,
                   0, 0);
        break;
    default:
        break;
    }
    slotLevel[row] += 1;
    UpdateSlotLevel();
}

void Shoot(ActorRecord& a)
{
    PlaySe(1);
    if (areaIndex > 4 && a.hitPoints == 1 && lives == 0 && GetRandomUpTo(512) == 1) {
        // The last stand: homing shots instead of the volley.
        for (int n = 0; n < 5; n++)
            SpawnActor(RESERVED_SLOTS, KIND_EFFECT, a.boxX1[0] - 16.0f, a.boxY1[0] - 16.0f, 49, 0,
                       a.facing, 0, 0);
    } else {
        for (loopIndex = 0; loopIndex < a.shotCount; loopIndex++) {
            float x = a.centerX[0] - 8.0f + (float)((2 * a.facing - 1) * a.shotRow * 2);
            float y = a.centerY[0] - (float)(4 * a.shotRow);
            SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, 0, a.shotRow, a.facing, 0, 0);
        }
    }
    switch (a.state) {
    case 0: case 1: case 2:
        a.state = STATE_SHOOTING;
        break;
    case STATE_WALKING:
        SpawnReservedActor(KIND_EFFECT, 52, a.boxX1[0], a.boxY1[0], a.facing, 1);
        break;
    case STATE_AIRBORNE:
        a.state = STATE_AIR_SHOOTING;
        break;
    default:
        break;
    }
}

} // namespace

// The first option of a slot-bar row in use, or -1.
int ChosenOption(int row)
{
    if (row < 0 || row >= SLOT_ROWS)
        return -1;
    for (int o = 0; o < 6; o++)
        if (slotEntries[row][o][0].chosen == 1)
            return o;
    return -1;
}

const SlotEntry* SlotAt(int row, int option, int level)
{
    if (row < 0 || row >= SLOT_ROWS || option < 0 || option >= SLOT_OPTIONS || level < 0 ||
        level >= SLOT_LEVELS)
        return nullptr;
    return &slotEntries[row][option][level];
}

int SlotCost(int row, int option)
{
    const SlotEntry* e = SlotAt(row, option, row >= 0 && row < SLOT_BAR_ROWS ? slotLevel[row] : -1);
    return e ? e->cost : 0;
}

int SlotLevelAvailable(int row, int option)
{
    const SlotEntry* e = SlotAt(row, option, row >= 0 && row < SLOT_BAR_ROWS ? slotLevel[row] : -1);
    return e && e->available == 1 ? 1 : 0;
}

void UpdatePlayer(int p)
{
    if (p < 0 || p > 1)
        return;
    ActorRecord& a = actors[p];
    if (a.freezeTimer != 0)
        return;
    const int* action = actionHold[p];

    WalkOrStand(p, a);
    if (action[ACTION_INSTALL] == 1 && activeSlotRow != -1 && slotAvailable != 0)
        Install(a);
    if (action[ACTION_JUMP] == 1 && a.state != STATE_HURT && a.jumpsUsed < a.maxJumps) {
        a.vy = (float)-a.jumpPower;
        a.jumpsUsed += 1;
        PlaySe(0);
    }
    if (action[ACTION_SHOT] == 1 && a.state != STATE_HURT)
        Shoot(a);
    if (p == 0 && action[ACTION_PAUSE] == 1) {
        PlaySe(14);
        paused = 1;
        StopAllBgm();
    }
}

void SelectPlayerAnimRow()
{
    ActorRecord& a = actors[0];
    int s = a.state;
    int t;
    if (s != a.prevState) {
        a.stateFrames = 0;
        a.animTick = 0;
        a.animFrame = 0;
        a.animRow = AnimRowOfState(s, a.animRow);
        t = 0;
    } else {
        t = a.stateFrames;
    }
    a.prevState = s;

    if (s == STATE_SHOOTING && t > 6) {
        a.state = STATE_STANDING;
        return;
    }
    if (s == STATE_AIR_SHOOTING && t > 10) {
        a.state = STATE_AIRBORNE;
        return;
    }
    if (actionHold[0][ACTION_HOLD_STATE] != 0)
        return;
    if (a.jumpsUsed > 0 && s != STATE_AIR_SHOOTING && s != STATE_HURT)
        a.state = STATE_AIRBORNE;
}

void UpdateSlotLevel()
{
    ActorRecord& player = actors[0];
    if (player.kind == KIND_PLAYER && player.spheres == 0 && player.hitPoints != 0)
        SpawnActor(RESERVED_SLOTS, KIND_SYSTEM_EFFECT, player.boxX1[0] - 40.0f, player.boxY1[0] - 30.0f, 2,
                   0, 0, 0, 0);

    // Bands of the sphere count: fewer than the first row's cost select
    // nothing, each further row's cost widens the band of the row before it.
    int total = 0;
    int spheres = player.spheres;
    int stopRow = 0;
    for (; stopRow < SLOT_BAR_ROWS; stopRow++) {
        int r = stopRow;
        int o = ChosenOption(r);
        if (o < 0)
            break;
        int cost = SlotCost(r, o);
        if (total <= spheres && spheres < total + cost) {
            activeSlotRow = r - 1;
            activeSlotCost = total;
            if (r - 1 >= 0)
                slotAvailable = SlotLevelAvailable(r - 1, o);
            if (prevActiveSlotRow < activeSlotRow && slotAvailable == 1) {
                PlaySe(5);
                PlaySe(5);
            }
            prevActiveSlotRow = activeSlotRow;
            break;
        }
        total += cost;
    }

    if (spheres == 0) {
        activeSlotRow = -1;
    } else if (spheres == sphereCap) {
        // Exactly the cap buys the last selectable row.
        activeSlotCost = sphereCap;
        activeSlotRow = stopRow - 1;
        slotAvailable = SlotLevelAvailable(activeSlotRow, 0);
    }

    int cap = 0;
    for (int r = 0; r < SLOT_BAR_ROWS; r++) {
        int o = ChosenOption(r);
        if (o >= 0)
            cap += SlotCost(r, o);
    }
    sphereCap = cap;
}
