// Movie calls made by the runtime core.
#pragma once

int InitYuvTables();
int PauseAllMovies();
int ResumeAllMovies();
int DrawAllMovieOverlays();
