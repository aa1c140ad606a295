// Movie calls made by the runtime core and the graph layer.
#pragma once

#include "movie/theora_player.h"

struct RasterImage;
struct IDirect3DSurface9;
struct TheoraDecoder;

// What the graph layer reads of a movie.
struct MovieData {
    int kind;                  // 1 Theora, 0 DirectShow
    TheoraDecoder* theora;
    int width, height;
    int sideBySideAlpha;       // colour in the frame's left half, alpha in its right half
    int frameMode;             // 0 to 2; the software frame copy is taken only below 2
    RasterImage* frame;        // the latest frame in RGB
};

// Called when a new frame is ready; user is the value given with it.
typedef void (*MovieFrameCallback)(MovieData* movie, int user);

int PauseAllMovies();
int ResumeAllMovies();
int DrawAllMovieOverlays();
// A movie handle, or a negative value when the file is no movie; writes the
// movie's size.
int OpenMovie(const char* path, int* width, int* height, int option);
// 0, or -1 for an invalid handle (-1 included).
int CloseMovie(int movie);
MovieData* GetMovieRecord(int movie);
int SetMovieFrameCallback(int movie, MovieFrameCallback callback, int user);
int UpdateMovieFrame(int movie, int flag);
