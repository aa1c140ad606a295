#include "movie/movie_services.h"

// Stand-ins until movies play.
int InitYuvTables() { return 0; }
int PauseAllMovies() { return 0; }
int ResumeAllMovies() { return 0; }
int DrawAllMovieOverlays() { return 0; }
int UpdateMovieFrame(int, int) { return 0; }
