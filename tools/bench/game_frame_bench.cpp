// Benchmark of the real game's frame pacing (not a test): the game started
// in the data directory given, its own frame (scene, present, the 16 ms
// pacing, the message step) run for a number of seconds while keys are sent
// to it: past the logo and the title into the first area, then
// walking right, jumping and shooting, and deciding on every closing screen.
// Each frame's length (from the end of one frame to the end of the next) and
// its scene go to a CSV file; the summary counts the frames that missed
// 16 ms. Run under Wine:
//   game_frame_bench.exe DATA_DIR [SECONDS [CSV_FILE]]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/scene_state.h"
#include "graphics/device.h"
#include "runtime/library.h"
#include "runtime/window_state.h"
#include "tools/bench/bench_clock.h"

namespace {

// The game reads its keys from this thread's keyboard state.
void Key(WORD vk, bool down)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[vk] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

// The keys the script wants down in frame n of the current scene.
struct Keys {
    bool z, x, a, c, right;
};

Keys Script(int n)
{
    Keys k = {};
    bool tap = n % 20 < 3;   // a short press every 20 frames
    switch (sceneNo) {
    case SCENE_TITLE:
        if (titlePage == TITLE_INTRO)
            k.z = tap;
        else
            k.x = tap;
        break;
    case SCENE_AREA_SELECT:
        k.x = tap;
        break;
    case SCENE_PLAY:
        k.right = true;
        k.a = n % 8 < 2;      // shot
        k.c = n % 40 < 10;    // jump
        break;
    case SCENE_AREA_CLEAR:
    case SCENE_ENDING:
    case SCENE_GAME_OVER:
        k.x = tap;
        break;
    default:
        break;
    }
    return k;
}

void Apply(const Keys& now, Keys& held)
{
    const struct {
        bool Keys::*key;
        WORD vk;
    } map[] = {{&Keys::z, 'Z'}, {&Keys::x, 'X'}, {&Keys::a, 'A'}, {&Keys::c, 'C'}, {&Keys::right, VK_RIGHT}};
    for (const auto& m : map)
        if (now.*m.key != held.*m.key) {
            Key(m.vk, now.*m.key);
            held.*m.key = now.*m.key;
        }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: game_frame_bench DATA_DIR [SECONDS [CSV_FILE]]\n");
        return 2;
    }
    double seconds = argc > 2 ? atof(argv[2]) : 60.0;
    const char* csvPath = argc > 3 ? argv[3] : nullptr;
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    printf("renderer: %s\n", Screen.hardware ? "Direct3D 9" : "software");
    HWND window = GetMainWindowHwnd();
    for (int i = 0; i < 50 && GetForegroundWindow() != window; i++) {
        SetForegroundWindow(window);
        ProcessMessagesLocked();
        Sleep(5);
    }

    struct Frame {
        int scene;
        double ms;
        double cpuMs;   // the main thread's processor time in the frame
    };
    std::vector<Frame> frames;
    Keys held = {};
    int lastScene = -1, sceneFrame = 0;
    double start = Now(), last = start, lastCpu = CpuTime();
    if (ProcessMessagesLocked() == 0) {
        while (Now() - start < seconds) {
            if (sceneNo != lastScene) {
                lastScene = sceneNo;
                sceneFrame = 0;
            }
            Apply(Script(sceneFrame++), held);
            int scene = sceneNo;
            if (RunGameFrame() != 0)
                break;
            PaceFrame();
            double now = Now(), cpu = CpuTime();
            frames.push_back({scene, (now - last) * 1000.0, (cpu - lastCpu) * 1000.0});
            last = now;
            lastCpu = cpu;
            if (ProcessMessagesLocked() != 0)
                break;
        }
    }
    Apply(Keys(), held);
    EndLibraryLocked();

    FILE* csv = csvPath ? fopen(csvPath, "w") : nullptr;
    if (csv)
        fprintf(csv, "frame,scene,ms,cpu_ms\n");
    std::vector<double> all, cpu;
    int missed = 0, slow = 0;
    int perScene[8] = {}, missedPerScene[8] = {};
    for (size_t i = 0; i < frames.size(); i++) {
        const Frame& f = frames[i];
        if (csv)
            fprintf(csv, "%u,%d,%.3f,%.3f\n", (unsigned)i, f.scene, f.ms, f.cpuMs);
        all.push_back(f.ms);
        cpu.push_back(f.cpuMs);
        // The sleep rounds to whole milliseconds: a frame of up to 17 ms is on time.
        bool miss = f.ms > 17.0;
        missed += miss;
        slow += f.ms > 33.0;
        if (f.scene >= 0 && f.scene < 8) {
            perScene[f.scene]++;
            missedPerScene[f.scene] += miss;
        }
    }
    if (csv)
        fclose(csv);
    if (all.empty()) {
        fprintf(stderr, "no frames\n");
        return 1;
    }
    std::sort(all.begin(), all.end());
    std::sort(cpu.begin(), cpu.end());
    printf("%u frames in %.1f s: median %.2f ms, 95th %.2f ms, 99th %.2f ms, longest %.2f ms\n",
           (unsigned)all.size(), seconds, all[all.size() / 2], all[all.size() * 95 / 100],
           all[all.size() * 99 / 100], all.back());
    printf("main thread's processor time a frame: median %.2f ms, 95th %.2f ms\n", cpu[cpu.size() / 2],
           cpu[cpu.size() * 95 / 100]);
    printf("missed 16 ms (over 17 ms): %d (%.1f%%); over 33 ms: %d\n", missed, 100.0 * missed / all.size(), slow);
    static const char* const names[7] = {"logo", "title", "area select", "play", "area clear", "ending", "game over"};
    for (int s = 0; s < 7; s++)
        if (perScene[s])
            printf("  %-12s %6d frames, %5d missed\n", names[s], perScene[s], missedPerScene[s]);
    return 0;
}
