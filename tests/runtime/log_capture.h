// Switches the library's log on into a temporary start directory and reads
// it back, and catches the text handed to the debugger output.
#pragma once

#include <string>
#include <vector>

struct LogCapture {
    std::string directory;
    std::string savedDirectory;

    // Makes a temporary directory current, points the start directory at it,
    // switches the log on and starts the log file there.
    void Start();
    // Switches the log off again, forgets the start directory, goes back to
    // the previous current directory and removes the temporary one.
    void Stop();
    ~LogCapture();

    std::string Path() const;
    bool Exists() const;
    // The file's bytes as they stand.
    std::string Raw() const;
    // The file's CR LF lines with the "<ms>:" stamps and leading tabs removed.
    std::vector<std::string> Lines() const;
};

// Splits CR LF text into lines (a last unterminated piece counts as a line)
// and removes a leading "<digits>:" and any tabs after it.
std::vector<std::string> StripLogLines(const std::string& raw);

// Collects everything passed to OutputDebugStringA while it lives.
struct DebugOutputCapture {
    DebugOutputCapture();
    ~DebugOutputCapture();
    std::string Text() const;
};
