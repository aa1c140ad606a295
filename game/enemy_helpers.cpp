#include "game/enemy_helpers.h"

#include <math.h>

#include "audio/sound_services.h"
#include "game/game_state.h"

namespace enemy {

ActorRecord& Self()
{
    return actors[loopIndex];
}

ActorRecord& Player()
{
    return actors[0];
}

int PhaseOf(const ActorRecord& a, int period)
{
    return a.stateFrames % period;
}

void FacePlayer(ActorRecord& a)
{
    a.facing = a.centerX[0] < Player().centerX[0] ? 1 : 0;
}

float PlayerDistanceX(const ActorRecord& a)
{
    return fabsf(a.centerX[0] - Player().centerX[0]);
}

void SwitchRow(ActorRecord& a, int row)
{
    a.animRow = row;
    a.animTick = 0;
    a.animFrame = 0;
}

void FollowRow(ActorRecord& a, int row)
{
    if (a.animRow != row)
        SwitchRow(a, row);
}

const AnimFrameRecord& RowFrame(const ActorRecord& a, int row)
{
    return AnimFrame(KIND_ENEMY, a.subtype, row, 0);
}

void SpawnEffect(int subtype, float x, float y, int facing, int row, int extra2)
{
    SpawnActor(RESERVED_SLOTS, KIND_EFFECT, x, y, subtype, row, facing, 0, extra2);
}

void SpawnEnemy(int subtype, float x, float y, int facing)
{
    SpawnActor(RESERVED_SLOTS, KIND_ENEMY, x, y, subtype, 0, facing, 0, 0);
}

void PlaySe(int n)
{
    PlaySoundHandle(seHandle[n], 1, 1);
}

} // namespace enemy
