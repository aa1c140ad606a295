// Benchmark (not a test): the time of one play frame's update plus drawing on
// Direct3D, in each demo field walked to the right and in the boss arenas.
// Run under Wine (a display is needed) from anywhere:
//   play_draw_bench.exe DATA_DIR [frames [area...]]
// Prints per area the mean wall time and the main thread's CPU time of the
// update and the drawing, the present apart, and the most actors seen.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/area_start.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/play_state.h"
#include "game/play_update.h"
#include "game/scenes.h"
#include "graphics/device.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_target.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

namespace {

void MeasureArea(int area, int frames)
{
    sceneNo = SCENE_PLAY;
    lives = 3;
    paused = 0;
    areaIndex = area;
    StartArea();
    double wall = 0.0, cpu = 0.0, present = 0.0;
    int most = 0, measured = 0;
    for (int f = 0; f < frames && areaIndex == area; f++) {
        actors[0].invulnFlag = 1;
        actors[0].invulnTimer = 0;
        holdRight = area < 5 ? holdRight + 1 : 0;
        actionHold[0][3] = f % 8 == 0 ? 1 : 0;  // shoot
        actionHold[0][2] = f % 40 == 0 ? 1 : 0; // jump
        ClearDrawTarget(nullptr);
        double c0 = CpuTime(), t0 = Now();
        if (startLinePassed)
            DrawGraphAt(0, 0, AreaBackgroundGraph(areaIndex % 5), 0);
        if (!IsPlayerHeld()) {
            UpdatePlayer(0);
            UpdatePlayer(1);
        }
        UpdatePlayScene();
        playFrame++;
        DrawPlayScene();
        double t1 = Now(), c1 = CpuTime();
        PresentScreen();
        wall += t1 - t0;
        present += Now() - t1;
        cpu += c1 - c0;
        measured++;
        int count = 0;
        for (const ActorRecord& a : actors)
            count += a.kind != KIND_FREE;
        most = count > most ? count : most;
    }
    if (measured == 0)
        return;
    printf("area %d: %4d frames, update+draw %7.3f ms wall %7.3f ms CPU, present %7.3f ms, most actors %3d\n",
           area, measured, wall * 1000.0 / measured, cpu * 1000.0 / measured, present * 1000.0 / measured, most);
}

} // namespace

int main(int argc, char** argv)
{
    // --software: the same frames on the software renderer.
    if (argc > 1 && strcmp(argv[1], "--software") == 0) {
        AllowDirect3D(0);
        argv++;
        argc--;
    }
    if (argc < 2 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: play_draw_bench [--software] DATA_DIR [frames [area...]]\n");
        return 2;
    }
    int frames = argc > 2 ? atoi(argv[2]) : 1200;
    ChangeWindowMode(1);
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    printf("renderer: %s\n", Screen.hardware ? "Direct3D" : "software");
    if (argc > 3) {
        for (int i = 3; i < argc; i++)
            MeasureArea(atoi(argv[i]) % 10, frames);
    } else {
        for (int area = 0; area < 10; area++)
            MeasureArea(area, frames);
    }
    EndLibraryLocked();
    return 0;
}
