// Keeping the front screen visible with a window timer, and pacing
// presents to the display's vertical blank.
#include "graphics/draw_target.h"

#include <ddraw.h>

#include "graphics/device.h"
#include "runtime/system_state.h"
#include "runtime/timing.h"
#include "runtime/window_state.h"

static int64_t refreshInterval = -1;
static int64_t lastVerticalBlank;

int64_t GetRefreshInterval() { return refreshInterval; }

void CALLBACK ScreenPaintTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = SystemState.live.window;
    KillTimer(window, PAINT_TIMER_ID);
    // Once another target is current, or the window is layered, the timer
    // stays off.
    if (GetDrawTarget() != DRAW_TARGET_FRONT || IsLayeredWindowInUse())
        return;
    if (IsFullScreenMode() && Screen.hardware)
        UseSubBackBuffer();
    PresentScreenRect(nullptr);
    SetTimer(window, PAINT_TIMER_ID, PAINT_TIMER_PERIOD, ScreenPaintTimerProc);
}

static int64_t Now()
{
    return (int64_t)GetMicroCount(0);
}

int MeasureRefreshInterval()
{
    refreshInterval = -1;
    IDirectDraw7* dd = DeviceObjects.directDraw;
    if (dd) {
        dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        int64_t previous = Now(), previousInterval = 0, sum = 0;
        int counted = 0;
        for (int i = 0; i < 60; i++) {
            dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
            int64_t now = Now();
            int64_t interval = now - previous;
            int64_t change = interval - previousInterval;
            if (change > -1000 && change < 1000) {
                counted++;
                sum += interval;
            } else {
                counted = 0;
                sum = 0;
            }
            previous = now;
            previousInterval = interval;
            Sleep(5);
            if (counted == 10) {
                refreshInterval = sum / 10;
                break;
            }
        }
    }
    WaitForVSyncTimed();
    return 0;
}

void WaitForVSyncTimed()
{
    int64_t threshold = refreshInterval >= 0 ? refreshInterval - 3000 : 4000;
    bool waited = false;
    if (Now() - lastVerticalBlank < threshold) {
        Sleep(0);
        while (Now() - lastVerticalBlank < threshold)
            Sleep(1);
        waited = true;
    }
    if (DeviceObjects.directDraw)
        DeviceObjects.directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    lastVerticalBlank = Now();
    if (!waited)
        Sleep(0);
}
