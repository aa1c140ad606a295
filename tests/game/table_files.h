// Fixture files for the game's table readers, which read through the
// library's file layer: loose under the current directory, or packed into an
// archive named after the first directory of their paths.
#pragma once

#include <string>

// Writes `text` to root/relative, making its directories.
bool WriteTableFile(const std::string& root, const std::string& relative, const std::string& text);

// Makes `dir` the current directory with the game's archive settings and the
// library's default file set, as the game runs; LeaveDataDirectory closes
// the archives and goes back.
void EnterDataDirectory(const std::string& dir);
void LeaveDataDirectory();

// Reads the block animation, the slot table and every animation file of the
// current data directory, as the game's start-up loading does.
void ReadAllTables();
