// Pad vibration: the effects follow each pad's request while the window is
// active and are all stopped while it is not.
#include "runtime/input.h"

#include "runtime/input_state.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

// The sine effect joins the constant force only for strong requests.
static const int StrongVibration = 5000;

static void SetEffectPlaying(IDirectInputEffect* effect, int* playing, int wanted)
{
    if (!effect || *playing == wanted)
        return;
    if (wanted)
        effect->Start(1, 0);
    else
        effect->Stop();
    *playing = wanted;
}

int ApplyPadVibration()
{
    if (!UsingDirectInput())
        return 0;
    bool active = SystemState.live.active != 0;
    for (int i = 0; i < InputState.padCount; i++) {
        PadRecord& pad = InputState.pads[i];
        if (active) {
            int request = pad.vibrationRequest ? 1 : 0;
            SetEffectPlaying(pad.constantEffect, &pad.constantPlaying, request);
            SetEffectPlaying(pad.sineEffect, &pad.sinePlaying,
                             request && pad.vibrationPower > StrongVibration ? 1 : 0);
        } else {
            SetEffectPlaying(pad.constantEffect, &pad.constantPlaying, 0);
            SetEffectPlaying(pad.sineEffect, &pad.sinePlaying, 0);
            pad.constantPlaying = 0;
            pad.sinePlaying = 0;
        }
    }
    return 0;
}

int StopPadVibration(int inputType)
{
    if (!SystemState.live.window)
        return -1;
    WaitWhileInactive();
    if (!InputRunning() && !GetWindowClosing())
        return InitInputSystem();
    int pad = (inputType & ~INPUT_TYPE_WITH_KEYS) - 1;
    if (pad < 0 || pad >= InputState.padCount)
        return -1;
    PadRecord& record = InputState.pads[pad];
    if (record.vibrationRequest && record.device && record.constantEffect)
        record.vibrationRequest = 0;
    record.vibrationPower = PAD_VIBRATION_FULL;
    ApplyPadVibration();
    return 0;
}

int UpdatePadVibrationTimers()
{
    DWORD now = timeGetTime();
    for (int i = 0; i < InputState.padCount; i++) {
        PadRecord& pad = InputState.pads[i];
        if (!pad.vibrationRequest || pad.vibrationDuration < 0)
            continue;
        int passed = (int)(now - pad.vibrationLastCount);
        pad.vibrationLastCount = now;
        // A clock that went back restarts the count from now.
        if (passed > 0)
            pad.vibrationElapsed = passed > pad.vibrationDuration - pad.vibrationElapsed
                                       ? pad.vibrationDuration
                                       : pad.vibrationElapsed + passed;
        if (pad.vibrationElapsed >= pad.vibrationDuration)
            pad.vibrationRequest = 0;
    }
    ApplyPadVibration();
    return 0;
}
