// Benchmark of the real game's frame pacing (not a test): the game started
// in the data directory given, its own frame (scene, present, the 16 ms
// pacing, the message step) run for a number of seconds while keys are sent
// to it: past the logo and the title into the first area, then
// walking right, jumping and shooting, and deciding on every closing screen.
// Each frame's length (from the end of one frame to the end of the next) and
// its scene go to a CSV file; the summary counts the frames that missed
// 16 ms per scene (the boss arenas apart from the field) and splits the
// frame into its stages: clear, keys, loading, update, drawing (string draws
// among it), present, the pacing sleep and the message step. The stages are
// timed through the linker's --wrap of the calls that bound them. With
// --software the game runs on the software renderer. The field's boss door
// lies further than the script walks in a run, so after ARENA_AFTER seconds
// of play in the first area (default: a third of the run) the bench passes it
// as the door does. Run under Wine:
//   game_frame_bench.exe [--software] DATA_DIR [SECONDS [CSV_FILE [ARENA_AFTER]]]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "game/contacts.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/play_state.h"
#include "game/scene_state.h"
#include "graphics/device.h"
#include "runtime/library.h"
#include "runtime/window_state.h"
#include "tools/bench/bench_clock.h"
#include "tools/bench/bench_wrap.h"

namespace {

// Stages of a frame, in the order they are printed.
enum Stage { ST_CLEAR, ST_KEYS, ST_LOAD, ST_UPDATE, ST_DRAW, ST_STRINGS, ST_PRESENT, ST_PACE, ST_MESSAGES, ST_COUNT };
const char* const StageNames[ST_COUNT] = {"clear",   "keys",    "loading", "update",  "drawing",
                                          "strings", "present", "pacing",  "messages"};
double stageTime[ST_COUNT];   // seconds in the current frame
int stageDepth;               // nesting of the timed calls: only the outermost counts
int stringDepth;

// Times one wrapped call into its stage unless an outer timed call holds it.
Stage outerStage;

template <typename F>
auto Timed(Stage stage, F call) -> decltype(call())
{
    if (stage == ST_LOAD && stageDepth > 0 && outerStage != ST_LOAD) {
        // A load inside a drawing call (a picture drawn from its file) counts
        // as loading, not drawing.
        double t = Now();
        stageDepth++;
        auto r = call();
        stageDepth--;
        double spent = Now() - t;
        stageTime[ST_LOAD] += spent;
        stageTime[outerStage] -= spent;
        return r;
    }
    if (stageDepth > 0) {
        stageDepth++;
        auto r = call();
        stageDepth--;
        return r;
    }
    double t = Now();
    outerStage = stage;
    stageDepth++;
    auto r = call();
    stageDepth--;
    stageTime[stage] += Now() - t;
    return r;
}

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

// The wrapped calls (see tools/bench/CMakeLists.txt).
int RealClear(const RECT*) REAL("_Z15ClearDrawTargetPK7tagRECT");
int RealKeys(char*) REAL("_Z15GetAllKeyStatesPc");
int RealPresent() REAL("_Z13PresentScreenv");
int RealLoadImage(const char*, int) REAL("_Z16LoadImageToGraphPKci");
int RealLoadSound(const char*, int, int) REAL("_Z17LoadSoundFileBasePKcii");
int RealLoadSoundFile(const char*, int, int) REAL("_Z13LoadSoundFilePKcii");
int RealDrawGraphAt(int, int, int, int) REAL("_Z11DrawGraphAtiiii");
int RealDrawString(int, int, const char*, uint32_t, int, uint32_t, int) REAL("_Z20DrawStringWithHandleiiPKcjiji");
void RealDrawTitle() REAL("_Z14DrawTitleScenev");
void RealDrawAreaSelect() REAL("_Z14DrawAreaSelectv");
void RealDrawPlay() REAL("_Z13DrawPlayScenev");
void RealDrawAreaClear() REAL("_Z13DrawAreaClearv");
void RealDrawEnding() REAL("_Z10DrawEndingv");
void RealDrawGameOver() REAL("_Z12DrawGameOverv");

int WrapClear(const RECT* r) WRAP("_Z15ClearDrawTargetPK7tagRECT");
int WrapClear(const RECT* r) { return Timed(ST_CLEAR, [&] { return RealClear(r); }); }
int WrapKeys(char* k) WRAP("_Z15GetAllKeyStatesPc");
int WrapKeys(char* k) { return Timed(ST_KEYS, [&] { return RealKeys(k); }); }
int WrapPresent() WRAP("_Z13PresentScreenv");
int WrapPresent() { return Timed(ST_PRESENT, [&] { return RealPresent(); }); }
int WrapLoadImage(const char* p, int r) WRAP("_Z16LoadImageToGraphPKci");
int WrapLoadImage(const char* p, int r) { return Timed(ST_LOAD, [&] { return RealLoadImage(p, r); }); }
int WrapLoadSound(const char* p, int n, int s) WRAP("_Z17LoadSoundFileBasePKcii");
int WrapLoadSound(const char* p, int n, int s) { return Timed(ST_LOAD, [&] { return RealLoadSound(p, n, s); }); }
int WrapLoadSoundFile(const char* p, int n, int s) WRAP("_Z13LoadSoundFilePKcii");
int WrapLoadSoundFile(const char* p, int n, int s)
{
    return Timed(ST_LOAD, [&] { return RealLoadSoundFile(p, n, s); });
}
int WrapDrawGraphAt(int x, int y, int g, int t) WRAP("_Z11DrawGraphAtiiii");
int WrapDrawGraphAt(int x, int y, int g, int t) { return Timed(ST_DRAW, [&] { return RealDrawGraphAt(x, y, g, t); }); }
int WrapDrawString(int x, int y, const char* s, uint32_t c, int f, uint32_t e, int v)
    WRAP("_Z20DrawStringWithHandleiiPKcjiji");
int WrapDrawString(int x, int y, const char* s, uint32_t c, int f, uint32_t e, int v)
{
    // A string is drawing too; its own share is kept apart as well.
    double t = Now();
    stringDepth++;
    int r = Timed(ST_DRAW, [&] { return RealDrawString(x, y, s, c, f, e, v); });
    if (--stringDepth == 0)
        stageTime[ST_STRINGS] += Now() - t;
    return r;
}
#define WRAP_SCENE_DRAW(wrapName, realName, mangled) \
    void wrapName() WRAP(mangled);                  \
    void wrapName()                                 \
    {                                               \
        Timed(ST_DRAW, [] {                         \
            realName();                             \
            return 0;                               \
        });                                         \
    }
WRAP_SCENE_DRAW(WrapDrawTitle, RealDrawTitle, "_Z14DrawTitleScenev")
WRAP_SCENE_DRAW(WrapDrawAreaSelect, RealDrawAreaSelect, "_Z14DrawAreaSelectv")
WRAP_SCENE_DRAW(WrapDrawPlay, RealDrawPlay, "_Z13DrawPlayScenev")
WRAP_SCENE_DRAW(WrapDrawAreaClear, RealDrawAreaClear, "_Z13DrawAreaClearv")
WRAP_SCENE_DRAW(WrapDrawEnding, RealDrawEnding, "_Z10DrawEndingv")
WRAP_SCENE_DRAW(WrapDrawGameOver, RealDrawGameOver, "_Z12DrawGameOverv")

int main(int argc, char** argv)
{
    bool software = argc > 1 && strcmp(argv[1], "--software") == 0;
    if (software) {
        argv++;
        argc--;
    }
    if (argc < 2 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: game_frame_bench [--software] DATA_DIR [SECONDS [CSV_FILE [ARENA_AFTER]]]\n");
        return 2;
    }
    double seconds = argc > 2 ? atof(argv[2]) : 60.0;
    const char* csvPath = argc > 3 && argv[3][0] ? argv[3] : nullptr;
    double arenaAfter = argc > 4 ? atof(argv[4]) : seconds / 3;
    if (software)
        AllowDirect3D(0);
    double processStart = Now();
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    double startedMs = (Now() - processStart) * 1000.0;
    printf("renderer: %s\n", Screen.hardware ? "Direct3D 9" : "software");
    HWND window = GetMainWindowHwnd();
    for (int i = 0; i < 50 && GetForegroundWindow() != window; i++) {
        SetForegroundWindow(window);
        ProcessMessagesLocked();
        Sleep(5);
    }

    // Scene 7 stands for play in a boss arena.
    const int SceneKinds = 8;
    struct Frame {
        int scene;
        double ms;
        double cpuMs;   // the main thread's processor time in the frame
        double stageMs[ST_COUNT];
    };
    std::vector<Frame> frames;
    double firstPresentMs = 0;
    Keys held = {};
    int lastScene = -1, sceneFrame = 0;
    double start = Now(), last = start, lastCpu = CpuTime(), fieldStart = 0;
    bool arenaEntered = false;
    if (ProcessMessagesLocked() == 0) {
        while (Now() - start < seconds) {
            if (sceneNo != lastScene) {
                lastScene = sceneNo;
                sceneFrame = 0;
            }
            if (sceneNo == SCENE_PLAY && areaIndex < FIELD_AREAS && !arenaEntered) {
                if (fieldStart == 0)
                    fieldStart = Now();
                else if (Now() - fieldStart > arenaAfter) {
                    EnterBossArena();
                    arenaEntered = true;
                }
            }
            Apply(Script(sceneFrame++), held);
            int scene = sceneNo == SCENE_PLAY && areaIndex >= 5 ? 7 : sceneNo;
            for (double& t : stageTime)
                t = 0;
            double frameStart = Now();
            if (RunGameFrame() != 0)
                break;
            double frameWork = Now() - frameStart;
            double t = Now();
            PaceFrame();
            stageTime[ST_PACE] = Now() - t;
            t = Now();
            bool closed = ProcessMessagesLocked() != 0;
            stageTime[ST_MESSAGES] = Now() - t;
            double now = Now(), cpu = CpuTime();
            // The update is what the frame did outside the timed calls.
            stageTime[ST_UPDATE] = frameWork - stageTime[ST_CLEAR] - stageTime[ST_KEYS] - stageTime[ST_LOAD] -
                                   stageTime[ST_DRAW] - stageTime[ST_PRESENT];
            Frame f = {scene, (now - last) * 1000.0, (cpu - lastCpu) * 1000.0, {}};
            for (int i = 0; i < ST_COUNT; i++)
                f.stageMs[i] = stageTime[i] * 1000.0;
            frames.push_back(f);
            last = now;
            lastCpu = cpu;
            if (frames.size() == 1)
                firstPresentMs = (now - processStart) * 1000.0;
            if (closed)
                break;
        }
    }
    Apply(Keys(), held);
    EndLibraryLocked();

    FILE* csv = csvPath ? fopen(csvPath, "w") : nullptr;
    if (csv) {
        fprintf(csv, "frame,scene,ms,cpu_ms");
        for (const char* name : StageNames)
            fprintf(csv, ",%s_ms", name);
        fprintf(csv, "\n");
    }
    auto percentile = [](std::vector<double> v, int p) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[std::min(v.size() - 1, v.size() * (size_t)p / 100)];
    };
    std::vector<double> all, cpu;
    std::vector<double> perSceneMs[SceneKinds];
    std::vector<double> stageMs[SceneKinds][ST_COUNT];
    int missed = 0, slow = 0;
    int missedPerScene[SceneKinds] = {};
    for (size_t i = 0; i < frames.size(); i++) {
        const Frame& f = frames[i];
        if (csv) {
            fprintf(csv, "%u,%d,%.3f,%.3f", (unsigned)i, f.scene, f.ms, f.cpuMs);
            for (double ms : f.stageMs)
                fprintf(csv, ",%.3f", ms);
            fprintf(csv, "\n");
        }
        all.push_back(f.ms);
        cpu.push_back(f.cpuMs);
        // The sleep rounds to whole milliseconds: a frame of up to 17 ms is on time.
        bool miss = f.ms > 17.0;
        missed += miss;
        slow += f.ms > 33.0;
        if (f.scene >= 0 && f.scene < SceneKinds) {
            perSceneMs[f.scene].push_back(f.ms);
            missedPerScene[f.scene] += miss;
            for (int s = 0; s < ST_COUNT; s++)
                stageMs[f.scene][s].push_back(f.stageMs[s]);
        }
    }
    if (csv)
        fclose(csv);
    if (all.empty()) {
        fprintf(stderr, "no frames\n");
        return 1;
    }
    printf("start-up (library and game data) %.0f ms; the logo's first picture presented at %.0f ms\n",
           startedMs, firstPresentMs);
    printf("%u frames in %.1f s: median %.2f ms, 95th %.2f ms, 99th %.2f ms, longest %.2f ms\n",
           (unsigned)all.size(), seconds, percentile(all, 50), percentile(all, 95), percentile(all, 99),
           percentile(all, 100));
    printf("main thread's processor time a frame: median %.2f ms, 95th %.2f ms\n", percentile(cpu, 50),
           percentile(cpu, 95));
    printf("missed 16 ms (over 17 ms): %d (%.1f%%); over 33 ms: %d\n", missed, 100.0 * missed / all.size(), slow);
    static const char* const names[SceneKinds] = {"logo",  "title",  "area select", "play",
                                                  "area clear", "ending", "game over",   "boss arena"};
    printf("  %-12s %6s %6s %8s %8s %8s  stage medians (ms):", "scene", "frames", "missed", "median", "95th",
           "longest");
    for (const char* name : StageNames)
        printf(" %s", name);
    printf("\n");
    for (int s = 0; s < SceneKinds; s++) {
        if (perSceneMs[s].empty())
            continue;
        printf("  %-12s %6u %6d %8.2f %8.2f %8.2f ", names[s], (unsigned)perSceneMs[s].size(), missedPerScene[s],
               percentile(perSceneMs[s], 50), percentile(perSceneMs[s], 95), percentile(perSceneMs[s], 100));
        for (int st = 0; st < ST_COUNT; st++)
            printf(" %s %.2f", StageNames[st], percentile(stageMs[s][st], 50));
        printf("\n");
    }
    // Where the slowest frames went.
    std::vector<size_t> order(frames.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return frames[a].ms > frames[b].ms; });
    printf("slowest frames:\n");
    for (size_t k = 0; k < order.size() && k < 5; k++) {
        const Frame& f = frames[order[k]];
        printf("  frame %u (%s) %.1f ms:", (unsigned)order[k], names[f.scene], f.ms);
        for (int st = 0; st < ST_COUNT; st++)
            printf(" %s %.1f", StageNames[st], f.stageMs[st]);
        printf("\n");
    }
    return 0;
}
