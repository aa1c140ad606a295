#include "runtime/message_pump.h"

#include "audio/sound_services.h"
#include "movie/movie_services.h"
#include "runtime/input.h"
#include "runtime/network.h"
#include "runtime/system_state.h"
#include "runtime/text_input.h"
#include "runtime/window_state.h"

// The thread is held while the window is inactive and the game is not to run
// in the background, unless the library itself is closing the window.
static bool Holding()
{
    const SystemLiveState& w = SystemState.live;
    return !w.closing && !w.active && !SystemState.settings.keepRunning;
}

static bool InactiveWait()
{
    return !SystemState.live.active && !SystemState.settings.keepRunning;
}

// One message for this thread: any window's first, then thread messages, then
// the main window's.
static bool TakeMessage(MSG* msg)
{
    if (PeekMessageA(msg, nullptr, 0, 0, PM_NOREMOVE) && PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE))
        return true;
    if (PeekMessageA(msg, (HWND)-1, 0, 0, PM_REMOVE))
        return true;
    return PeekMessageA(msg, SystemState.live.window, 0, 0, PM_REMOVE) != 0;
}

int RunMessagePump()
{
    SystemLiveState& w = SystemState.live;
    if (w.pumpReentry)
        return 0;
    if (!w.window)
        return w.quit ? -1 : 0;

    const bool mainThread = GetCurrentThreadId() == w.mainThreadId;
    bool passMade = false;
    int handled = 0;
    for (;;) {
        if (!Holding() && (passMade || w.quit))
            break;
        passMade = true;
        if (InactiveWait())
            Sleep(1);

        bool leave = false;
        MSG msg;
        while (TakeMessage(&msg)) {
            if (msg.message == WM_ACTIVATEAPP && SystemState.settings.windowMode)
                w.active = LOWORD(msg.wParam) != 0;
            if (w.quit) {
                leave = true;
                break;
            }
            if (msg.message == WM_QUIT)
                w.quit = 1;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (++handled == 5) {
                // Five messages end the call, so a burst of input cannot
                // starve the frame; the rest waits for the next call.
                handled = 0;
                passMade = true;
                break;
            }
            passMade = false;
        }
        if (leave)
            break;

        if (InactiveWait()) {
            DrawAllMovieOverlays();
            Sleep(1);
        }
        if (w.quit || !mainThread)
            break;
    }

    if (mainThread && !SystemState.settings.windowMode)
        AutoShowMenu();

    PollMusicSegments();
    UpdateKeyboardState();
    UpdatePadVibrationTimers();
    PumpNetworkMessages(1);
    w.pumpReentry = 1;
    ProcessKeyInput();
    w.pumpReentry = 0;

    return w.quit ? -1 : 0;
}

int WaitWhileInactive()
{
    const SystemLiveState& w = SystemState.live;
    // Without a window nothing can make it active: there is nothing to wait for.
    if (!w.window || w.inPaint || w.active || (SystemState.settings.keepRunning && SystemState.settings.windowMode))
        return 0;
    // With keep-running on (full screen) the pump makes one pass and does not
    // sleep: sleep here, so that the wait does not spin.
    while (RunMessagePump() == 0 && !SystemState.live.active)
        Sleep(1);
    return 0;
}
