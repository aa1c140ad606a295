#include "tests/game/scene_driver.h"

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <map>

#include "game/action_input.h"
#include "game/asset_loading.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/scenes.h"
#include "tests/game/play_world.h"
#include "tests/support/test_support.h"

int heldPad;

namespace {

std::vector<DrawCall> frameDraws;
std::map<std::string, int> graphOfPath;
std::map<std::string, int> loadsOfPath;
int nextGraph = 0x08000001;
int graphsFreed;
std::vector<std::string> soundLoads;
std::map<int, int> volumes;
int nextSound = 0x10000400;
std::vector<int> waits;
LibraryCalls library;
std::string saveDirectory;
int saveWrites;
int blendParam = 255;

void Record(DrawCall::Kind kind, int x1, int y1, int x2, int y2, int graph, int trans, unsigned int colour,
            const std::string& text = "")
{
    frameDraws.push_back({kind, x1, y1, x2, y2, graph, trans, colour, text, blendParam});
}

} // namespace

// The wrapped calls (mangled names).
#define WRAP(mangled) __asm__(WRAPPED_SYMBOL(mangled))
int WrapDrawGraphAt(int x, int y, int graph, int trans) WRAP("_Z11DrawGraphAtiiii");
int WrapDrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans) WRAP("_Z18DrawGraphStretchediiiiii");
int WrapDrawGraphFromFile(int x, int y, const char* path, int trans) WRAP("_Z17DrawGraphFromFileiiPKci");
int WrapDrawStringDefault(int x, int y, const char* text, uint32_t colour, uint32_t edge)
    WRAP("_Z17DrawStringDefaultiiPKcjj");
int WrapDrawFormatStringDefault(int x, int y, uint32_t colour, const char* format, ...)
    WRAP("_Z23DrawFormatStringDefaultiijPKcz");
int WrapDrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill) WRAP("_Z12DrawBoxShapeiiiiji");
int WrapDrawCircleShape(int x, int y, int r, unsigned int colour, int fill) WRAP("_Z15DrawCircleShapeiiiji");
int WrapSelectBlendMode(int mode, int param) WRAP("_Z15SelectBlendModeii");
int WrapGetStringWidthDefault(const char* text, int length, int vertical) WRAP("_Z21GetStringWidthDefaultPKcii");
int WrapGetDefaultFontSize() WRAP("_Z18GetDefaultFontSizev");
int WrapSetDefaultFontSize(int size) WRAP("_Z18SetDefaultFontSizei");
int WrapLoadImageToGraph(const char* path, int reserved) WRAP("_Z16LoadImageToGraphPKci");
int WrapGetGraphSizeOf(int graph, int* width, int* height) WRAP("_Z14GetGraphSizeOfiPiS_");
int WrapFreeAllGraphs() WRAP("_Z13FreeAllGraphsv");
int WrapLoadSoundFileBase(const char* path, int buffers, int share) WRAP("_Z17LoadSoundFileBasePKcii");
int WrapLoadSoundFile(const char* path, int buffers, int share) WRAP("_Z13LoadSoundFilePKcii");
int WrapSetSoundVolume(int volume, int handle) WRAP("_Z14SetSoundVolumeii");
int WrapWaitMilliseconds(int ms) WRAP("_Z16WaitMillisecondsi");
int WrapChangeWindowMode(int flag) WRAP("_Z16ChangeWindowModei");
int WrapInitLibraryLocked() WRAP("_Z17InitLibraryLockedv");
int WrapEndLibraryLocked() WRAP("_Z16EndLibraryLockedv");
int WrapSelectDrawTarget(int target) WRAP("_Z16SelectDrawTargeti");
int WrapSetKeepRunningInBackground(int flag) WRAP("_Z26SetKeepRunningInBackgroundi");
int WrapClearDrawTarget(const RECT* rect) WRAP("_Z15ClearDrawTargetPK7tagRECT");
int WrapPresentScreen() WRAP("_Z13PresentScreenv");
int WrapGetAllKeyStates(char* keys) WRAP("_Z15GetAllKeyStatesPc");
int WrapGetPadInputBits(int inputType) WRAP("_Z15GetPadInputBitsi");
void WrapWriteSaveData() WRAP("_Z13WriteSaveDatav");
void RealWriteSaveData() __asm__(REAL_SYMBOL("_Z13WriteSaveDatav"));

int WrapDrawGraphAt(int x, int y, int graph, int trans)
{
    Record(DrawCall::GRAPH, x, y, x, y, graph, trans, 0);
    return 0;
}

int WrapDrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans)
{
    Record(DrawCall::STRETCH, x1, y1, x2, y2, graph, trans, 0);
    return 0;
}

int WrapDrawGraphFromFile(int x, int y, const char* path, int trans)
{
    Record(DrawCall::FILE, x, y, x, y, 0, trans, 0, path);
    return 0;
}

int WrapDrawStringDefault(int x, int y, const char* text, uint32_t colour, uint32_t)
{
    Record(DrawCall::TEXT, x, y, x, y, 0, 0, colour, text);
    return 0;
}

int WrapDrawFormatStringDefault(int x, int y, uint32_t colour, const char* format, ...)
{
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    Record(DrawCall::TEXT, x, y, x, y, 0, 0, colour, text);
    return 0;
}

int WrapDrawBoxShape(int x1, int y1, int x2, int y2, unsigned int colour, int fill)
{
    Record(DrawCall::BOX, x1, y1, x2, y2, fill, 0, colour);
    return 0;
}

int WrapDrawCircleShape(int x, int y, int r, unsigned int colour, int fill)
{
    Record(DrawCall::CIRCLE, x, y, x, y, r, fill, colour);
    return 0;
}

int WrapSelectBlendMode(int, int param)
{
    blendParam = param;
    return 0;
}

// Ten pixels a byte: enough to place centred text.
int WrapGetStringWidthDefault(const char* text, int length, int)
{
    return text ? 10 * length : 0;
}

int WrapGetDefaultFontSize() { return 20; }
int WrapSetDefaultFontSize(int) { return 0; }

int WrapLoadImageToGraph(const char* path, int)
{
    int graph = nextGraph++;
    graphOfPath[path] = graph;
    loadsOfPath[path]++;
    return graph;
}

int WrapGetGraphSizeOf(int, int* width, int* height)
{
    *width = IMAGE_WIDTH;
    *height = IMAGE_HEIGHT;
    return 0;
}

int WrapFreeAllGraphs()
{
    graphsFreed++;
    return 0;
}

int SoundHandleOf(const std::string& path)
{
    int n = 0;
    if (sscanf(path.c_str(), "sound/bgm%d.mp3", &n) == 1)
        return BgmHandleOf(n);
    if (sscanf(path.c_str(), "sound/se%d.mp3", &n) == 1)
        return SeHandleOf(n);
    return 0;
}

int WrapLoadSoundFileBase(const char* path, int, int)
{
    soundLoads.push_back(path);
    int handle = SoundHandleOf(path);
    return handle ? handle : nextSound++;
}

int WrapLoadSoundFile(const char* path, int buffers, int share)
{
    return WrapLoadSoundFileBase(path, buffers, share);
}

int WrapSetSoundVolume(int volume, int handle)
{
    volumes[handle] = volume;
    return 0;
}

int WrapWaitMilliseconds(int ms)
{
    waits.push_back(ms);
    return 0;
}

int WrapChangeWindowMode(int flag)
{
    library.windowModes.push_back(flag);
    return 0;
}

int WrapInitLibraryLocked()
{
    library.inits++;
    return library.initResult;
}

int WrapEndLibraryLocked()
{
    library.ends++;
    return 0;
}

int WrapSelectDrawTarget(int) { return 0; }

int WrapSetKeepRunningInBackground(int flag)
{
    library.keepRunning.push_back(flag);
    return 0;
}

int WrapClearDrawTarget(const RECT*)
{
    frameDraws.clear();
    return 0;
}

int WrapPresentScreen() { return 0; }

int WrapGetAllKeyStates(char* keys)
{
    memset(keys, 0, 256);
    return 0;
}

// Keyboard play: the pad read with keys sees the held keys, the pad alone
// sees nothing.
int WrapGetPadInputBits(int inputType)
{
    return inputType == PAD1_WITH_KEYS ? heldPad : 0;
}

void WrapWriteSaveData()
{
    saveWrites++;
    char here[MAX_PATH];
    GetCurrentDirectoryA(sizeof here, here);
    if (!saveDirectory.empty() && SetCurrentDirectoryA(saveDirectory.c_str())) {
        RealWriteSaveData();
        SetCurrentDirectoryA(here);
    }
}

std::vector<DrawCall>& FrameDraws() { return frameDraws; }

std::vector<DrawCall> GraphDraws(int graph)
{
    std::vector<DrawCall> out;
    for (const DrawCall& d : frameDraws)
        if ((d.kind == DrawCall::GRAPH || d.kind == DrawCall::STRETCH) && d.graph == graph)
            out.push_back(d);
    return out;
}

std::vector<DrawCall> TextDraws(const std::string& text)
{
    std::vector<DrawCall> out;
    for (const DrawCall& d : frameDraws)
        if (d.kind == DrawCall::TEXT && d.text == text)
            out.push_back(d);
    return out;
}

int GraphOf(const std::string& path)
{
    auto it = graphOfPath.find(path);
    return it == graphOfPath.end() ? 0 : it->second;
}

int LoadCount(const std::string& path)
{
    auto it = loadsOfPath.find(path);
    return it == loadsOfPath.end() ? 0 : it->second;
}

int GraphsFreed() { return graphsFreed; }
std::vector<std::string>& SoundLoads() { return soundLoads; }

int VolumeOf(int handle)
{
    auto it = volumes.find(handle);
    return it == volumes.end() ? -1 : it->second;
}

std::vector<int>& Waits() { return waits; }
LibraryCalls& Library() { return library; }
std::string& SaveDirectory() { return saveDirectory; }
int SaveWrites() { return saveWrites; }

void StartHeadlessGame()
{
    ResetPlayWorld();
    frameDraws.clear();
    graphOfPath.clear();
    loadsOfPath.clear();
    graphsFreed = 0;
    soundLoads.clear();
    volumes.clear();
    waits.clear();
    library = LibraryCalls();
    saveWrites = 0;
    blendParam = 255;
    heldPad = 0;

    // The logo scene loads the sounds.
    memset(bgmHandle, 0, sizeof bgmHandle);
    memset(seHandle, 0, sizeof seHandle);
    // The settings file's defaults.
    windowMode = 1;
    bgmVolume = seVolume = 30;
    ResetButtonMap();
    ResetAreaSelect();
    LoadGameData();
}

void GiveSoundHandles()
{
    for (int i = 0; i < 16; i++)
        bgmHandle[i] = BgmHandleOf(i);
    for (int i = 0; i < 32; i++)
        seHandle[i] = SeHandleOf(i);
}

void RunFrame(int pad)
{
    heldPad = pad;
    RunGameFrame();
}

void RunFrames(int count, int pad)
{
    for (int i = 0; i < count; i++)
        RunFrame(pad);
}

void Tap(int padBits)
{
    RunFrame(padBits);
    RunFrame(0);
}

int RunUntil(bool (*done)(), int limit)
{
    int frames = 0;
    while (frames < limit && !done()) {
        RunFrame(heldPad);
        frames++;
    }
    return frames;
}
