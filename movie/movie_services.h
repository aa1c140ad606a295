// Movie handles: a movie opens as Ogg Theora or as a DirectShow playback
// graph, is brought up to date frame by frame into the graph that shows it,
// pauses and resumes with the window and closes. Calls made by the runtime
// core and the graph layer.
#pragma once

#include <stdint.h>
#include <wchar.h>

#include "image/raster_image.h"
#include "movie/theora_player.h"
#include "runtime/file/stream.h"

struct IUnknown;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IBasicAudio;
class MovieFrameRenderer;
struct MovieData;

// Called when a new frame is ready; user is the value given with it.
typedef void (*MovieFrameCallback)(MovieData* movie, int user);

enum {
    MOVIE_KIND_DIRECTSHOW = 0,
    MOVIE_KIND_THEORA = 1,
    MOVIE_PATH_MAX = 260,
};

// One open movie, allocated zeroed.
struct MovieData {
    uint32_t check;
    int playType;              // 1 after opening; bit 1 (play type 3) loops the movie
    int kind;                  // MOVIE_KIND_*
    TheoraDecoder* theora;
    uint64_t timeBase;         // microsecond clock value at which frame 0 was shown
    StreamHandle file;         // the Theora decoder's file, 0 when closed
    int sound;                 // the Theora movie's sound track, or -1
    IUnknown* overlaySurface;  // never created here; released when set
    IGraphBuilder* graph;
    IMediaControl* control;
    IMediaSeeking* seeking;
    IBasicAudio* audio;
    MovieFrameRenderer* renderer; // held by the graph, not counted here
    int64_t duration;          // 100 ns units
    int64_t stopPosition;      // 100 ns units
    int width, height;         // Theora movies only
    int sideBySideAlpha;       // colour in the frame's left half, alpha in its right half
    int resume;                // 1 while the movie counts as playing
    int stopped;               // 1 while the movie does not advance
    int frameShown;
    int frameMode;             // overlay mode: always 0 here; the software frame copy is taken below 2
    int tempFile;              // path names a temporary copy to delete at close
    wchar_t path[MOVIE_PATH_MAX];
    RasterImage frameImage;    // laid over the renderer's frame buffer (DirectShow)
    RasterImage* frame;        // the image the callback reads
    int overlayX, overlayY;
    double overlayScale;
    int overlayShow;
    int overlaySource[4], overlayDest[4]; // left, top, right, bottom
    MovieFrameCallback callback;
    int callbackUser;
};

int PauseAllMovies();
int ResumeAllMovies();
int DrawAllMovieOverlays();
// A movie handle, or -1 when the file is no movie; writes the movie's size
// (either pointer may be null).
int OpenMovie(const char* path, int* width, int* height, int option);
// 0, or -1 for an invalid handle (-1 included).
int CloseMovie(int movie);
MovieData* GetMovieRecord(int movie);
int SetMovieFrameCallback(int movie, MovieFrameCallback callback, int user);
// Moves the movie on by its clock and calls its callback; 0, also for an
// invalid handle.
int UpdateMovieFrame(int movie, int flag);
// Stops the movie; keep non-zero leaves its resume mark for ResumeAllMovies.
int PauseMovie(int movie, int keep);
int DrawMovieOverlay(int x, int y, double scale, int movie, int show);
// Builds the DirectShow playback graph of a movie into its record; 0, or -1
// after logging why (the record then holds no interface).
int OpenMovieDirectShow(void* directDraw, MovieData* movie, const char* path, int* width, int* height,
                        int mode);
// Releases the DirectShow interfaces of a record (the graph takes the
// renderer with it) after stopping the graph, so its threads are done.
void ReleaseMovieGraph(MovieData* movie);
