// Movie calls made by the runtime core and the graph layer.
#pragma once

int InitYuvTables();
int PauseAllMovies();
int ResumeAllMovies();
int DrawAllMovieOverlays();
// Brings the movie to its current frame, calling its frame callback when a
// new frame is ready.
int UpdateMovieFrame(int movie, int flag);
