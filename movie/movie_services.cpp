#include "movie/movie_services.h"

// Stand-ins until movies play: no file opens as a movie.
int PauseAllMovies() { return 0; }
int ResumeAllMovies() { return 0; }
int DrawAllMovieOverlays() { return 0; }
int OpenMovie(const char*, int*, int*, int) { return -1; }
int CloseMovie(int) { return -1; }
MovieData* GetMovieRecord(int) { return nullptr; }
int SetMovieFrameCallback(int, MovieFrameCallback, int) { return -1; }
int UpdateMovieFrame(int, int) { return -1; }
