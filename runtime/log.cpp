#include "runtime/log.h"

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#endif
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "runtime/helpers.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"

// Copies text into out (2 * length + 1 bytes), turning each LF into CR LF.
// Double-byte characters are stepped over whole, so a trail byte is never
// taken for a line feed. A text that already has CR LF at its first LF is
// copied as it stands from there on.
static size_t ConvertLineFeeds(const char* text, char* out)
{
    size_t n = 0;
    const char* p = text;
    bool afterCr = false;
    while (*p) {
        if (*p == '\n') {
            if (afterCr)
                break;
            out[n++] = '\r';
            out[n++] = '\n';
            p++;
            continue;
        }
        int bytes = CharBytes(p);
        afterCr = bytes == 1 && *p == '\r';
        memcpy(out + n, p, (size_t)bytes);
        n += (size_t)bytes;
        p += bytes;
    }
    size_t rest = strlen(p);
    memcpy(out + n, p, rest);
    n += rest;
    out[n] = 0;
    return n;
}

// Whether the text ends with a backslash of its own, not with the trail byte
// of a double-byte character that has the same value.
static bool EndsWithSeparator(const char* text)
{
    bool separator = false;
    for (const char* p = text; *p;) {
        int bytes = CharBytes(p);
        separator = bytes == 1 && *p == '\\';
        p += bytes;
    }
    return separator;
}

#ifdef _WIN32 // Win32 file writes, as in AppendToLogFile
// Writes one piece to the file and to the debugger output.
static void WritePiece(HANDLE file, const char* text, DWORD length)
{
    DWORD written;
    WriteFile(file, text, length, &written, nullptr);
    OutputDebugStringA(text);
}
#endif

// Appends a converted text to the log file at path, behind the time stamp and
// indent when it starts a line.
static void AppendToLogFile([[maybe_unused]] const char* path, [[maybe_unused]] const char* converted,
                            [[maybe_unused]] size_t convertedLength)
{
#ifdef _WIN32 // the log file is written through Win32; the native build writes none
    const SystemSettings& s = SystemState.settings;
    const SystemLongLived& k = SystemState.kept;
    SystemLiveState& w = SystemState.live;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    if (!w.logMidLine) {
        if (!s.logNoStamp) {
            char stamp[16];
            int n = snprintf(stamp, sizeof stamp, "%d:", (int)(timeGetTime() - k.logStartTime));
            WritePiece(file, stamp, (DWORD)n);
        }
        for (int i = 0; i < w.logIndent; i++)
            WritePiece(file, "\t", 1);
    }
    WritePiece(file, converted, (DWORD)convertedLength);
    // An empty text leaves the line open behind the stamp it started, so
    // the next text continues it instead of stamping a second time.
    w.logMidLine = convertedLength == 0 || converted[convertedLength - 1] != '\n';
    CloseHandle(file);
#endif
}

int WriteLog(const char* text)
{
    const SystemSettings& s = SystemState.settings;
    const SystemLongLived& k = SystemState.kept;
    if (!text)
        text = "";
    if (s.logOff || !k.startDirectory[0])
        return -1;

    size_t length = strlen(text);
    char own[2 * 255 + 1];
    char* converted = own;
    if (length > 255) {
        converted = (char*)AllocTracked(2 * length + 1, "WriteLog", 0);
        if (!converted)
            return -1;
    }
    size_t convertedLength = ConvertLineFeeds(text, converted);

    char path[FULL_PATH_SIZE];
    const char* name = s.logFileName[0] ? s.logFileName : DefaultLogName;
    bool separator = EndsWithSeparator(k.startDirectory);
    int pathLength = snprintf(path, sizeof path, "%s%s%s", k.startDirectory, separator ? "" : "\\", name);
    if (pathLength > 0 && pathLength < (int)sizeof path)
        AppendToLogFile(path, converted, convertedLength);

    if (converted != own)
        FreeTracked(converted);
    return -1;
}

int WriteLogFormat(const char* format, ...)
{
    char text[1024 + 2];
    va_list arguments;
    va_start(arguments, format);
    int n = vsnprintf(text, 1024, format, arguments);
    va_end(arguments);
    if (n < 0)
        n = 0;
    else if (n > 1023)
        n = 1023;
    text[n] = '\n';
    text[n + 1] = 0;
    return WriteLog(text);
}

int WriteLogEntry(const char* text)
{
    return WriteLog(text);
}

int IncreaseLogIndent()
{
    SystemState.live.logIndent++;
    return 0;
}

int DecreaseLogIndent()
{
    if (SystemState.live.logIndent > 0)
        SystemState.live.logIndent--;
    return 0;
}
