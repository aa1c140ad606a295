// The whole game run headless, frame by frame, through the game's own frame
// (RunGameFrame): the clear, the present, the keyboard, the pad, loading,
// drawing and the library's mode switch go to recording stand-ins linked in
// with the linker's --wrap, so the scenes run unchanged and without the 16 ms
// sleep. Builds on the play stand-ins of play_world.h (sounds, random numbers,
// debug text, the area layouts).
#pragma once

#include <string>
#include <vector>

// One recorded draw: graphs (DrawGraphAt, DrawGraphStretched), files, texts
// and shapes, with the blend parameter in force.
struct DrawCall {
    enum Kind { GRAPH, STRETCH, FILE, TEXT, BOX, CIRCLE } kind;
    int x1, y1, x2, y2;
    int graph;          // graph handle, box fill flag or circle radius
    int trans;
    unsigned int colour;
    std::string text;   // text drawn, or the file's path
    int alpha;          // blend parameter at the draw
};

// The frame's draws (emptied at the start of every frame).
std::vector<DrawCall>& FrameDraws();
// Draws of graph `graph` (GRAPH or STRETCH) in the last frame.
std::vector<DrawCall> GraphDraws(int graph);
// Texts of the last frame exactly equal to `text`.
std::vector<DrawCall> TextDraws(const std::string& text);

// Loaded images: each load gives a new handle, recorded with its path; the
// most recent handle of a path, 0 when it was never loaded.
int GraphOf(const std::string& path);
int LoadCount(const std::string& path);
int GraphsFreed();
// Sizes the stand-in reports for every image.
const int IMAGE_WIDTH = 40, IMAGE_HEIGHT = 24;

// Sounds loaded through LoadSoundFileBase and LoadSoundFile, in order, and
// the volume last given to a handle (-1 none).
std::vector<std::string>& SoundLoads();
int VolumeOf(int handle);
// Handle the stand-in gives a loaded sound (music and effects as play_world's
// BgmHandleOf and SeHandleOf, others from 0x10000400 on).
int SoundHandleOf(const std::string& path);
std::vector<int>& Waits();

// Library calls of the window-mode switch and the title's Start.
struct LibraryCalls {
    std::vector<int> windowModes;   // ChangeWindowMode arguments
    int inits = 0, ends = 0;
    std::vector<int> keepRunning;
    int initResult = 0;             // what InitLibraryLocked answers
};
LibraryCalls& Library();

// Settings file writes go to this directory (created per test) instead of
// the current one, so a run in the data directory leaves no file there.
std::string& SaveDirectory();
int SaveWrites();

// The state the start-up leaves: the play world reset, the settings'
// defaults, the area select reset and all data loaded (from the current
// directory; images through the stand-in). The sound tables stay empty for
// the logo scene to fill.
void StartHeadlessGame();

// For a test that starts after the logo: the sound tables as the logo
// scene fills them (play_world's BgmHandleOf and SeHandleOf).
void GiveSoundHandles();

// The pad as the keyboard would give it (runtime/input.h bits); the frame
// runner passes it to the pad reads with keys.
extern int heldPad;
// One frame of the game; `pad` is held during its input read.
void RunFrame(int pad = 0);
void RunFrames(int count, int pad = 0);
// A button pressed in one frame and released in the next (two frames).
void Tap(int padBits);
// Frames until `done` holds, at most `limit`; the frames run.
int RunUntil(bool (*done)(), int limit);
