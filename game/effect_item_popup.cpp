// The key pop-up (system effect 0): it shows the key's power-up for a while,
// flies down to its row of the slot bar and unlocks the next level there.
#include "game/effect_routines.h"

#include <math.h>

#include "audio/sound_services.h"
#include "game/actor_pool.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/geometry.h"
#include "game/play_state.h"
#include "game/player_control.h"

namespace {

const int showFrames = 90;   // row 0 stays this long, then row 1
const int holdFrames = 48;   // row 1 stays this long, then row 2 flies
const double flightSpeed = 10.0;

// Slot-bar row a key parameter unlocks (row 4 is the companion), or -1.
int RowOfParam(int param)
{
    switch (param) {
    case 0: case 1: return 0;
    case 2: case 3: return 1;
    case 4: case 5: case 6: return 2;
    case 7: case 8: return 3;
    case 9: return 4;
    default: return -1;
    }
}

// Sets the availability of the first locked level among 1 to lastLevel.
void UnlockNextLevel(int row, int lastLevel)
{
    for (int level = 1; level <= lastLevel; level++) {
        SlotEntry& e = slotEntries[row][0][level];
        if (e.available == 0) {
            e.available = 1;
            return;
        }
    }
}

void Unlock(int row)
{
    switch (row) {
    case 0:
        UnlockNextLevel(0, 6);
        break;
    case 1: case 2: case 3:
        UnlockNextLevel(row, 4);
        break;
    case 4:
        slotEntries[4][0][0].chosen = 1;
        slotEntries[4][0][0].available = 1;
        break;
    default:
        break;
    }
}

void FlyToSlotBar(ActorRecord& a)
{
    int row = RowOfParam(a.param);
    // A parameter without a row on the bar falls straight down to it.
    float tx = row < 0 ? a.centerX[0] : (float)(slotBarX + 35 + 70 * row);
    float ty = (float)slotBarY;
    double t = AngleToward(a, tx, ty);
    a.vx = (float)(a.vx - cos(t) * flightSpeed);
    a.vy = (float)(a.vy + sin(t) * flightSpeed);
}

void Arrive(ActorRecord& a)
{
    a.hitPoints = 0;
    SpawnActor(RESERVED_SLOTS, KIND_SYSTEM_EFFECT, a.boxX1[0] - 14.0f, (float)(slotBarY - 40), 1, 0, 0,
               0, 0);
    Unlock(RowOfParam(a.param));
    UpdateSlotLevel();
    PlaySoundHandle(seHandle[16], 1, 1);
}

} // namespace

void UpdateItemPopup()
{
    if (loopIndex < 0 || loopIndex >= ACTOR_SLOTS)
        return;
    ActorRecord& a = actors[loopIndex];
    if (a.animRow == 0) {
        if (a.stateFrames > showFrames) {
            a.animRow = 1;
            a.stateFrames = 0;
        }
    } else if (a.animRow == 1) {
        if (a.stateFrames > holdFrames) {
            a.animRow = 2;
            a.stateFrames = 0;
        }
    } else if (a.animRow == 2 && a.stateFrames <= 1) {
        // Turns toward the bar once: the switch frame is passed over, the
        // next one has stateFrames 1.
        FlyToSlotBar(a);
    }
    if (a.centerY[0] > (float)slotBarY)
        Arrive(a);
}
