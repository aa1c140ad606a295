// A file set for the stream table that reads loose files under one directory
// with the C runtime, so that the game's table readers can be tested on
// fixtures without the library's own file layer.
#pragma once

#include <string>

// Installs the set over `root`; the previous table comes back with
// RestoreStreamFunctions.
void InstallRootedFileSet(const std::string& root);
void RestoreStreamFunctions();

// Writes `text` to root/relative, making its directories.
bool WriteTableFile(const std::string& root, const std::string& relative, const std::string& text);
