// Full paths over the file layer's current directory, and temporary files.
#include "runtime/helpers.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <string.h>

#include "runtime/file/stream.h"

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Index of the last single-byte separator (or colon, when asked) in the first
// length bytes of text, or -1. The text is walked from its start so that a
// trail byte equal to a separator is never taken for one.
static int LastBoundary(const char* text, int length, bool colon)
{
    int last = -1;
    for (int i = 0; i < length;) {
        int bytes = CharBytes(text + i);
        if (bytes == 1 && (IsSeparator(text[i]) || (colon && text[i] == ':')))
            last = i;
        i += bytes;
    }
    return last;
}

namespace {

// A bounded output text; a write that does not fit marks it failed.
struct PathText {
    char* text;
    int length;
    bool failed;

    void Set(const char* source, int n)
    {
        length = 0;
        Append(source, n);
    }
    void Append(const char* source, int n)
    {
        if (length + n >= FULL_PATH_SIZE) {
            failed = true;
            return;
        }
        memcpy(text + length, source, (size_t)n);
        length += n;
        text[length] = 0;
    }
    // "..": back to the previous separator (which goes) or colon (which
    // stays); with neither, the whole text goes, never further back.
    void DropLastComponent()
    {
        int i = LastBoundary(text, length, true);
        if (i < 0)
            length = 0;
        else
            length = text[i] == ':' ? i + 1 : i;
        text[length] = 0;
    }
};

} // namespace

int MakeFullPath(const char* path, char* out, const char* base)
{
    char current[FULL_PATH_SIZE];
    if (!base) {
        current[0] = 0;
        if (StreamFunctions.getCurrentDir)
            StreamFunctions.getCurrentDir(current);
        current[FULL_PATH_SIZE - 1] = 0;
        // Both sets leave an empty text when the directory cannot be had;
        // an empty base would turn a relative path into one from the root.
        if (!current[0]) {
            out[0] = 0;
            return -1;
        }
        base = current;
    }
    PathText result = {out, 0, false};
    out[0] = 0;
    if (!path) {
        result.Set(base, (int)strlen(base));
        if (result.failed)
            out[0] = 0;
        return result.failed ? -1 : 0;
    }

    const char* p = path;
    if (IsSeparator(p[0]) && p[1] == p[0]) {
        result.Set("\\", 1);
        p += 2;
    } else if (IsSeparator(p[0])) {
        result.Set(base, (int)strnlen(base, 2));
        p += 1;
    } else if (p[0] && p[1] == ':') {
        result.Set(p, 2);
        p += 2;
        if (IsSeparator(*p))
            p++;
    } else {
        int n = (int)strlen(base);
        if (n > 0 && LastBoundary(base, n, false) == n - 1)
            n--;
        result.Set(base, n);
    }

    char component[240];
    int length = 0;
    bool tooLong = false;
    auto flush = [&](bool last) {
        if (length == 0)
            return;
        component[length] = 0;
        if (!last && strcmp(component, ".") == 0) {
        } else if (!last && strcmp(component, "..") == 0) {
            result.DropLastComponent();
        } else {
            result.Append("\\", 1);
            result.Append(component, length);
        }
        length = 0;
    };
    while (*p) {
        if (IsSeparator(*p)) {
            flush(false);
            p++;
            continue;
        }
        int bytes = CharBytes(p);
        if (length + bytes > 239) {
            tooLong = true;
            break;
        }
        memcpy(component + length, p, (size_t)bytes);
        length += bytes;
        p += bytes;
    }
    if (!tooLong)
        flush(true);
    if (tooLong || result.failed) {
        out[0] = 0;
        return -1;
    }
    return 0;
}

#ifdef _WIN32 // temporary files are Win32 files; the native build leaves them out
HANDLE CreateTempFile(char* out)
{
    char directory[257];
    DWORD n = GetTempPathA(sizeof directory - 1, directory);
    if (n == 0 || n >= sizeof directory - 1)
        return INVALID_HANDLE_VALUE;
    if (!IsSeparator(directory[n - 1])) {
        directory[n++] = '\\';
        directory[n] = 0;
    }
    char name[MAX_PATH];
    if (!GetTempFileNameA(directory, "tmp", 0, name))
        return INVALID_HANDLE_VALUE;
    char full[FULL_PATH_SIZE];
    if (MakeFullPath(name, full, nullptr) != 0)
        return INVALID_HANDLE_VALUE;
    DeleteFileA(full);
    HANDLE file = CreateFileA(full, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    if (out)
        CopyText(out, full);
    return file;
}
#endif
