#include "game/enemy_routines.h"

#include "game/contacts.h"
#include "game/game_state.h"

int burstCounter;
int burstSpeed;
int pauseCounter;
int volleyCounter;
int linkActive[ACTOR_SLOTS];
int linkCounter[ACTOR_SLOTS];

namespace {

void RunRoutine(int subtype)
{
    switch (subtype) {
    case 3: UpdateEnemy3(); break;
    case 5: UpdateEnemy5(); break;
    case 6: UpdateEnemy6(); break;
    case 7: UpdateEnemy7(); break;
    case 10: UpdateEnemy10(); break;
    case 11: UpdateEnemy11(); break;
    case 12: UpdateEnemy12(); break;
    case 13: UpdateEnemy13(); break;
    case 14: UpdateEnemy14(); break;
    case 15: UpdateEnemy15(); break;
    case 16: UpdateEnemy16(); break;
    case 17: UpdateEnemy17(); break;
    case 19: UpdateEnemy19(); break;
    case 21: UpdateEnemy21(); break;
    case 22: UpdateEnemy22(); break;
    case 23: UpdateEnemy23(); break;
    case 24: UpdateEnemy24(); break;
    case 25: UpdateEnemy25(); break;
    case 27: UpdateEnemy27(); break;
    case 28: UpdateEnemy28(); break;
    case 29: UpdateEnemy29(); break;
    case 30: UpdateEnemy30(); break;
    case 33: UpdateEnemy33(); break;
    case 34: UpdateEnemy34(); break;
    case 35: UpdateEnemy35(); break;
    case 36: UpdateEnemy36(); break;
    case 37: UpdateEnemy37(); break;
    case 38: UpdateEnemy38(); break;
    case 39: UpdateEnemy39(); break;
    case 40: UpdateEnemy40(); break;
    case 41: UpdateEnemy41(); break;
    case 42: UpdateEnemy42(); break;
    case 43: UpdateEnemy43(); break;
    case 45: UpdateEnemy45(); break;
    case 46: UpdateEnemy46(); break;
    case 47: UpdateEnemy47(); break;
    case 48: UpdateEnemy48(); break;
    case 49: UpdateEnemy49(); break;
    case 50: UpdateEnemy50(); break;
    case 51: UpdateEnemy51(); break;
    case 52: UpdateEnemy52(); break;
    case 53: UpdateEnemy53(); break;
    case 54: UpdateEnemy54(); break;
    case 55: UpdateEnemy55(); break;
    case 56: UpdateEnemy56(); break;
    case 57: UpdateEnemy57(); break;
    default: break;
    }
}

bool FarOffScreen(const ActorRecord& a)
{
    float x = a.centerX[0], y = a.centerY[0];
    return x > (float)(screenWidth + 500) || x < -500.0f || y < -1000.0f ||
           y > (float)(screenHeight + 1000);
}

} // namespace

void UpdateEnemy(int subtype)
{
    if (loopIndex < 0 || loopIndex >= ACTOR_SLOTS)
        return;
    RunRoutine(subtype);
    // The hazard's corners stay wherever they are until one of the three dies.
    if (subtype == 27 || subtype == 28)
        return;
    if (FarOffScreen(actors[loopIndex]))
        DamageActor(loopIndex, 4999, 0);
}
