// Benchmark of the game's start-up (not a test): from the library's
// configuration to the end of the first frame, in the data directory given,
// loose or packed, split into its steps: the library's start (window, input,
// sound, graphics with the device, its shaders and the refresh measurement),
// the pictures (their file opens, decoding and graph creation apart) and the
// first frame. The steps are timed through the linker's --wrap of the calls
// that bound them (see tools/bench/CMakeLists.txt); a step nested in another
// counts in both. With --software the game runs on the software renderer.
// Run under Wine:
//   startup_bench.exe [--software] DATA_DIR
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "game/main_loop.h"
#include "graphics/device.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"
#include "tools/bench/bench_wrap.h"

namespace {

enum Step {
    ST_LIBRARY, ST_INPUT, ST_SOUND, ST_GRAPHICS, ST_DEVICE_OBJECT, ST_DEVICE, ST_Z_BUFFER, ST_SHADERS, ST_DECLARATIONS, ST_VOLUME_TEXTURE,
    ST_REFRESH, ST_RENDER_STATES, ST_SOFT_SCREENS, ST_GRAPHICS_STATE, ST_BLEND_TABLES, ST_FONT_SETTINGS, ST_SCREEN_PRINT, ST_SYSTEM_INFO, ST_PICTURES, ST_OPENS, ST_DECODE, ST_GRAPHS, STEP_COUNT
};
const char* const StepNames[STEP_COUNT] = {
    "library start", "input", "sound", "graphics", "Direct3D object", "device", "Z buffer", "shaders",
    "vertex declarations", "brightness volume", "refresh measurement", "render states", "software screens",
    "graphics state", "blend tables", "font settings", "screen print", "system information",
    "pictures", "file opens", "decoding (with its opens)", "graph creation"};
const int StepDepth[STEP_COUNT] = {0, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 0, 1, 1, 1};
double stepTime[STEP_COUNT];
int stepCalls[STEP_COUNT];

template <typename F>
auto Timed(Step step, F call) -> decltype(call())
{
    struct Add {
        Step step;
        double t;
        ~Add()
        {
            stepTime[step] += Now() - t;
            stepCalls[step]++;
        }
    } add = {step, Now()};
    return call();
}

} // namespace

// A wrapped call without arguments, returning int.
#define WRAP_STEP(step, mangled)          \
    int Real_##step() REAL(mangled);      \
    int Wrap_##step() WRAP(mangled);      \
    int Wrap_##step() { return Timed(step, [] { return Real_##step(); }); }
WRAP_STEP(ST_LIBRARY, "_Z17InitLibraryLockedv")
WRAP_STEP(ST_INPUT, "_Z15InitInputSystemv")
WRAP_STEP(ST_SOUND, "_Z15InitSoundSystemv")
WRAP_STEP(ST_GRAPHICS, "_Z12InitGraphicsv")
WRAP_STEP(ST_DEVICE_OBJECT, "_Z20CreateDirect3DObjectv")
WRAP_STEP(ST_DEVICE, "_Z15CreateD3DDevicev")
WRAP_STEP(ST_Z_BUFFER, "_Z13CreateZBufferv")
WRAP_STEP(ST_SHADERS, "_Z24SetupProgrammableShadersv")
WRAP_STEP(ST_DECLARATIONS, "_Z24CreateVertexDeclarationsv")
WRAP_STEP(ST_VOLUME_TEXTURE, "_Z29CreateBrightnessVolumeTexturev")
WRAP_STEP(ST_REFRESH, "_Z22MeasureRefreshIntervalv")
WRAP_STEP(ST_RENDER_STATES, "_Z22SetDefaultRenderStatesv")
WRAP_STEP(ST_SOFT_SCREENS, "_Z22CreateSoftScreenImagesv")
WRAP_STEP(ST_GRAPHICS_STATE, "_Z18ResetGraphicsStatev")
WRAP_STEP(ST_BLEND_TABLES, "_Z20BuildSoftBlendTablesv")
WRAP_STEP(ST_FONT_SETTINGS, "_Z17ResetFontSettingsv")
WRAP_STEP(ST_SCREEN_PRINT, "_Z15InitScreenPrintv")
WRAP_STEP(ST_SYSTEM_INFO, "_Z13LogSystemInfov")

struct RasterImage;
typedef void* StreamHandle;
int RealLoadImage(const char*, int) REAL("_Z16LoadImageToGraphPKci");
int WrapLoadImage(const char* p, int r) WRAP("_Z16LoadImageToGraphPKci");
int WrapLoadImage(const char* p, int r) { return Timed(ST_PICTURES, [&] { return RealLoadImage(p, r); }); }
StreamHandle RealOpen(const char*, int, int, int) REAL("_Z15ArchiveFileOpenPKciii");
StreamHandle WrapOpen(const char* p, int c, int r, int a) WRAP("_Z15ArchiveFileOpenPKciii");
StreamHandle WrapOpen(const char* p, int c, int r, int a) { return Timed(ST_OPENS, [&] { return RealOpen(p, c, r, a); }); }
int RealDecode(const char*, const void*, int, int, const void*, int, int, RasterImage*, RasterImage*, int)
    REAL("_Z18LoadImageWithAlphaPKcPKviiS2_iiP11RasterImageS4_i");
int WrapDecode(const char* p, const void* m, int s, int f, const void* am, int as, int af, RasterImage* i,
               RasterImage* a, int o) WRAP("_Z18LoadImageWithAlphaPKcPKviiS2_iiP11RasterImageS4_i");
int WrapDecode(const char* p, const void* m, int s, int f, const void* am, int as, int af, RasterImage* i,
               RasterImage* a, int o)
{
    return Timed(ST_DECODE, [&] { return RealDecode(p, m, s, f, am, as, af, i, a, o); });
}
int RealGraph(int, int, int, int, int, int, int) REAL("_Z17CreateGraphRecordiiiiiii");
int WrapGraph(int a, int b, int c, int d, int e, int f, int g) WRAP("_Z17CreateGraphRecordiiiiiii");
int WrapGraph(int a, int b, int c, int d, int e, int f, int g)
{
    return Timed(ST_GRAPHS, [&] { return RealGraph(a, b, c, d, e, f, g); });
}

int main(int argc, char** argv)
{
    bool software = argc > 1 && strcmp(argv[1], "--software") == 0;
    if (software) {
        argv++;
        argc--;
    }
    if (argc != 2 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: startup_bench [--software] DATA_DIR\n");
        return 2;
    }
    if (software)
        AllowDirect3D(0);
    double start = Now();
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    double loaded = Now();
    RunGameFrame();
    double firstFrame = Now();
    printf("renderer: %s\n", Screen.hardware ? "Direct3D 9" : "software");
    printf("start-up and loading %.3f s, first frame done at %.3f s (the frame %.3f s)\n", loaded - start,
           firstFrame - start, firstFrame - loaded);
    for (int s = 0; s < STEP_COUNT; s++)
        if (stepCalls[s])
            printf("  %*s%-*s %7.3f s  %5d calls\n", 2 * StepDepth[s], "", 28 - 2 * StepDepth[s], StepNames[s],
                   stepTime[s], stepCalls[s]);
    printf("  the game's tables and the rest %.3f s\n", loaded - start - stepTime[ST_LIBRARY] - stepTime[ST_PICTURES]);
    EndLibraryLocked();
    return 0;
}
