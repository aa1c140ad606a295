// The library's text log ("Log.txt" in the start directory).
#pragma once

// The log's file name when none is set.
constexpr const char* DefaultLogName = "Log.txt";

int WriteLog(const char* text);                 // always -1
int WriteLogFormat(const char* format, ...);    // always -1; appends "\n"
int WriteLogEntry(const char* text);
int IncreaseLogIndent();
int DecreaseLogIndent();
