// Speed of the graphics layer on both renderers: the time from library
// start-up to the first presented frame, and the CPU time of one frame of
// an empty scene (clear and present) in a window.
//   graphics_bench.exe [frames]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_target.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

static int Run(int software, int frames)
{
    AllowDirect3D(!software);
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetScreenMode(640, 480, 32, 0);
    double start = Now();
    if (InitLibraryLocked() != 0) {
        printf("%s: start-up failed\n", software ? "software" : "Direct3D");
        return -1;
    }
    SelectDrawTarget(DRAW_TARGET_BACK);
    ClearDrawTarget(nullptr);
    PresentScreen();
    double firstFrame = Now() - start;
    const char* name = Screen.hardware ? "Direct3D" : "software";

    double wallStart = Now(), cpuStart = CpuTime();
    int shown = 0;
    for (; shown < frames; shown++) {
        if (ProcessMessagesLocked() != 0)
            break;
        ClearDrawTarget(nullptr);
        if (PresentScreen() != 0)
            break;
    }
    double wall = Now() - wallStart, cpu = CpuTime() - cpuStart;
    printf("%-9s start-up to first frame %8.1f ms; empty frame: %7.3f ms CPU, %7.3f ms wall (%d frames, vertical-blank wait %s)\n",
           name, firstFrame * 1e3, shown ? cpu * 1e3 / shown : 0.0, shown ? wall * 1e3 / shown : 0.0, shown,
           GetVSyncWait() ? "on" : "off");
    EndLibraryLocked();
    return 0;
}

int main(int argc, char** argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 300;
    if (frames < 1)
        frames = 1;
    Run(0, frames);
    Run(1, frames);
    // Without the vertical-blank wait the loop shows the renderer's own cost.
    SetVSyncWait(0);
    Run(0, frames);
    Run(1, frames);
    return 0;
}
