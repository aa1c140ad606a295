// A headless play field for the tests of the game's rules: every game global
// reset, the constants the asset loading would set, and a recording stand-in
// for the sound, random and debug-text calls the rules make (linked in with
// the linker's --wrap, so the game code runs unchanged).
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "game/actor_pool.h"
#include "game/data_tables.h"

struct SoundCall {
    int handle;
    int playType;   // -1 for a stop
    int fromStart;
};

// The handles the fixture gives the music and effect tables.
inline int BgmHandleOf(int n) { return 0x10000100 + n; }
inline int SeHandleOf(int n) { return 0x10000200 + n; }

// Everything back to start, then screen 1280 x 720, gravity 0.5, zone push 6,
// player level 1, the sound tables filled, and the recording emptied.
void ResetPlayWorld();

// Recorded calls.
std::vector<SoundCall>& SoundCalls();
int CountSePlays(int n);
int CountBgmPlays(int n, int playType, int fromStart);
int CountStops(int handle);
std::vector<std::string>& ScreenPrints();
int ClearScreenPrintCount();
std::vector<int>& LayoutReads();
struct PlacedBlock { float x, y; };
std::vector<PlacedBlock>& PlacedBlocks();
// The upper bounds the rules asked the random generator for, in order.
std::vector<int>& RandomRequests();

// Scripted results of GetRandomUpTo, taken in order; 0 once used up.
void ScriptRandom(std::initializer_list<int> values);
// Once the script is used up, results come from a generator with this seed
// (0 to the bound asked for) instead of 0.
void UseSeededRandom(uint32_t seed);
// Called in place of each ReadAreaLayoutCsv(fileType).
void SetLayoutReader(std::function<void(int)> reader);
// The same script from a list made at run time (a table of cases).
void ScriptRandomList(const std::vector<int>& values);

// Frame 0 of (kind, id, row): box size, speeds, hit points, gravity.
AnimFrameRecord& SetFrame(int kind, int id, int row, int width, int height, int moveX = 0, int moveY = 0,
                          int hitPoints = 0, float gravity = 0.0f);
// Places an actor directly into a slot with the given box (no spawn rules).
ActorRecord& PlaceActor(int slot, int kind, int subtype, float x, float y, float width, float height,
                        int hitPoints = 1);
// A solid block appended to the table (blockCount follows).
BlockRecord& AddBlock(float x1, float y1, float x2, float y2, int type = 1);
// The slots 8 to 511 holding (kind, subtype).
std::vector<int> SlotsOf(int kind, int subtype);

// Recorded line draws (DrawLineShape).
struct LineCall {
    int x1, y1, x2, y2;
    unsigned int colour;
    int thickness;
};
std::vector<LineCall>& LineCalls();
