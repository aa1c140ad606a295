#include "tests/runtime/log_capture.h"

#include <windows.h>
#include <stdio.h>

#include "runtime/log.h"
#include "runtime/log_start.h"
#include "runtime/system_state.h"
#include "tests/support/test_support.h"

void LogCapture::Start()
{
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    savedDirectory = current;
    directory = MakeTempDir("log");
    SetCurrentDirectoryA(directory.c_str());
    snprintf(SystemState.kept.startDirectory, sizeof SystemState.kept.startDirectory, "%s", directory.c_str());
    SystemState.settings.logOff = 0;
    StartLogFile();
}

void LogCapture::Stop()
{
    if (directory.empty())
        return;
    SystemState.settings.logOff = 1;
    SystemState.kept.startDirectory[0] = 0;
    SetCurrentDirectoryA(savedDirectory.c_str());
    RemoveTree(directory);
    directory.clear();
}

LogCapture::~LogCapture()
{
    Stop();
}

std::string LogCapture::Path() const
{
    return directory + "\\Log.txt";
}

bool LogCapture::Exists() const
{
    return GetFileAttributesA(Path().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string LogCapture::Raw() const
{
    std::string text;
    FILE* f = fopen(Path().c_str(), "rb");
    if (!f)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

std::vector<std::string> LogCapture::Lines() const
{
    return StripLogLines(Raw());
}

std::vector<std::string> StripLogLines(const std::string& raw)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find("\r\n", start);
        std::string line = raw.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t i = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9')
            i++;
        if (i > 0 && i < line.size() && line[i] == ':') {
            i++;
            while (i < line.size() && line[i] == '\t')
                i++;
            line = line.substr(i);
        }
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C; a vectored handler sees it
// before anything else and takes the text.
static std::string debugText;
static PVOID debugHandler;

static LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        debugText.append((const char*)record->ExceptionInformation[1]);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

DebugOutputCapture::DebugOutputCapture()
{
    debugText.clear();
    debugHandler = AddVectoredExceptionHandler(1, CatchDebugOutput);
}

DebugOutputCapture::~DebugOutputCapture()
{
    RemoveVectoredExceptionHandler(debugHandler);
}

std::string DebugOutputCapture::Text() const
{
    return debugText;
}
