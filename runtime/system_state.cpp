#include "runtime/system_state.h"

#include <string.h>

SystemStateBlock SystemState;

void ResetLiveSystemState()
{
    memset(&SystemState.live, 0, sizeof SystemState.live);
}

int GetMmxAvailable() { return SystemState.kept.mmx; }
