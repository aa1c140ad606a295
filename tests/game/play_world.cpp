#include "tests/game/play_world.h"

#include <stdarg.h>
#include <stdio.h>

#include <deque>
#include <random>

#include "game/asset_loading.h"
#include "game/game_state.h"
#include "tests/support/test_support.h"
#include "game/play_state.h"

namespace {

std::vector<SoundCall> soundCalls;
std::vector<std::string> screenPrints;
int clearScreenPrints;
std::vector<int> layoutReads;
std::vector<PlacedBlock> placedBlocks;
std::vector<int> randomRequests;
std::deque<int> randomScript;
std::function<void(int)> layoutReader;
int blocksAdded;
std::vector<LineCall> lineCalls;
bool seededRandom;
std::mt19937 seededGenerator;

} // namespace

// The wrapped library and table calls (mangled names).
int WrapPlaySoundHandle(int handle, int playType, int fromStart) __asm__(WRAPPED_SYMBOL("_Z15PlaySoundHandleiii"));
int WrapStopSoundHandle(int handle) __asm__(WRAPPED_SYMBOL("_Z15StopSoundHandlei"));
int WrapGetRandomUpTo(int max) __asm__(WRAPPED_SYMBOL("_Z13GetRandomUpToi"));
int WrapScreenPrintf(const char* format, ...) __asm__(WRAPPED_SYMBOL("_Z12ScreenPrintfPKcz"));
int WrapClearScreenPrint() __asm__(WRAPPED_SYMBOL("_Z16ClearScreenPrintv"));
void WrapReadAreaLayoutCsv(int fileType) __asm__(WRAPPED_SYMBOL("_Z17ReadAreaLayoutCsvi"));
void WrapAddPlacedBlock(float x, float y) __asm__(WRAPPED_SYMBOL("_Z14AddPlacedBlockff"));
int WrapDrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness)
    __asm__(WRAPPED_SYMBOL("_Z13DrawLineShapeiiiiji"));

int WrapPlaySoundHandle(int handle, int playType, int fromStart)
{
    soundCalls.push_back({handle, playType, fromStart});
    return 0;
}

int WrapStopSoundHandle(int handle)
{
    soundCalls.push_back({handle, -1, 0});
    return 0;
}

int WrapGetRandomUpTo(int max)
{
    randomRequests.push_back(max);
    if (randomScript.empty()) {
        if (!seededRandom || max <= 0)
            return 0;
        return (int)(seededGenerator() % ((uint32_t)max + 1));
    }
    int value = randomScript.front();
    randomScript.pop_front();
    return value;
}

int WrapScreenPrintf(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    screenPrints.push_back(text);
    return 0;
}

int WrapClearScreenPrint()
{
    clearScreenPrints++;
    return 0;
}

void WrapReadAreaLayoutCsv(int fileType)
{
    layoutReads.push_back(fileType);
    if (layoutReader)
        layoutReader(fileType);
}

void WrapAddPlacedBlock(float x, float y)
{
    placedBlocks.push_back({x, y});
}

int WrapDrawLineShape(int x1, int y1, int x2, int y2, unsigned int colour, int thickness)
{
    lineCalls.push_back({x1, y1, x2, y2, colour, thickness});
    return 0;
}

void ResetPlayWorld()
{
    ResetGameGlobals();
    screenWidth = 1280;
    screenHeight = 720;
    SetGameConstants();
    for (int i = 0; i < 16; i++)
        bgmHandle[i] = BgmHandleOf(i);
    for (int i = 0; i < 32; i++)
        seHandle[i] = SeHandleOf(i);
    blockCount = 0;
    blocksAdded = 0;
    soundCalls.clear();
    screenPrints.clear();
    clearScreenPrints = 0;
    layoutReads.clear();
    placedBlocks.clear();
    randomRequests.clear();
    randomScript.clear();
    layoutReader = nullptr;
    lineCalls.clear();
    seededRandom = false;
}

std::vector<SoundCall>& SoundCalls() { return soundCalls; }

int CountSePlays(int n)
{
    int count = 0;
    for (const SoundCall& c : soundCalls)
        if (c.handle == SeHandleOf(n) && c.playType == 1 && c.fromStart == 1)
            count++;
    return count;
}

int CountBgmPlays(int n, int playType, int fromStart)
{
    int count = 0;
    for (const SoundCall& c : soundCalls)
        if (c.handle == BgmHandleOf(n) && c.playType == playType && c.fromStart == fromStart)
            count++;
    return count;
}

int CountStops(int handle)
{
    int count = 0;
    for (const SoundCall& c : soundCalls)
        if (c.handle == handle && c.playType == -1)
            count++;
    return count;
}

std::vector<std::string>& ScreenPrints() { return screenPrints; }
int ClearScreenPrintCount() { return clearScreenPrints; }
std::vector<int>& LayoutReads() { return layoutReads; }
std::vector<PlacedBlock>& PlacedBlocks() { return placedBlocks; }
std::vector<int>& RandomRequests() { return randomRequests; }

void ScriptRandom(std::initializer_list<int> values)
{
    randomScript.assign(values.begin(), values.end());
}

void UseSeededRandom(uint32_t seed)
{
    seededRandom = true;
    seededGenerator.seed(seed);
}

std::vector<LineCall>& LineCalls() { return lineCalls; }

void SetLayoutReader(std::function<void(int)> reader)
{
    layoutReader = std::move(reader);
}

void ScriptRandomList(const std::vector<int>& values)
{
    randomScript.assign(values.begin(), values.end());
}

AnimFrameRecord& SetFrame(int kind, int id, int row, int width, int height, int moveX, int moveY,
                          int hitPoints, float gravity)
{
    AnimFrameRecord& f = animFrames[kind][id][row][0];
    f.width = width;
    f.height = height;
    f.moveX = moveX;
    f.moveY = moveY;
    f.hitPoints = hitPoints;
    f.gravityFactor = gravity;
    f.rowFrames = 1;
    return f;
}

ActorRecord& PlaceActor(int slot, int kind, int subtype, float x, float y, float width, float height,
                        int hitPoints)
{
    ActorRecord& a = actors[slot];
    a.kind = kind;
    a.subtype = subtype;
    a.boxX1[0] = x;
    a.boxY1[0] = y;
    a.boxX2[0] = x + width;
    a.boxY2[0] = y + height;
    a.centerX[0] = x + width * 0.5f;
    a.centerY[0] = y + height * 0.5f;
    a.hitPoints = hitPoints;
    return a;
}

BlockRecord& AddBlock(float x1, float y1, float x2, float y2, int type)
{
    BlockRecord& b = blocks[blocksAdded++];
    b.blockX1 = x1;
    b.blockY1 = y1;
    b.blockX2 = x2;
    b.blockY2 = y2;
    b.widthCells = (int)((x2 - x1) / 8);
    b.heightCells = (int)((y2 - y1) / 8);
    b.blockType = type;
    b.active = 1;
    b.solid = 1;
    blockCount = blocksAdded;
    return b;
}

std::vector<int> SlotsOf(int kind, int subtype)
{
    std::vector<int> slots;
    for (int i = RESERVED_SLOTS; i < ACTOR_SLOTS; i++)
        if (actors[i].kind == kind && actors[i].subtype == subtype)
            slots.push_back(i);
    return slots;
}
