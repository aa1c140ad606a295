#include "tests/game/table_files.h"

#include <windows.h>
#include <stdio.h>

#include "runtime/file/stream.h"
#include "tests/support/test_support.h"

namespace {

std::string rootDir;
StreamFunctionTable saved;
bool installed;

StreamHandle RootOpen(const char* path, int, int, int)
{
    FILE* f = fopen((rootDir + "/" + path).c_str(), "rb");
    return (StreamHandle)f;
}
int RootClose(StreamHandle h) { return fclose((FILE*)h) == 0 ? 0 : -1; }
long RootTell(StreamHandle h) { return ftell((FILE*)h); }
int RootSeek(StreamHandle h, long offset, int origin) { return fseek((FILE*)h, offset, origin) == 0 ? 0 : -1; }
size_t RootRead(void* buffer, size_t size, size_t count, StreamHandle h)
{
    return fread(buffer, size, count, (FILE*)h);
}
int RootEof(StreamHandle h) { return feof((FILE*)h) ? -1 : 0; }
int RootIdle(StreamHandle) { return 1; }

} // namespace

void InstallRootedFileSet(const std::string& root)
{
    if (!installed)
        saved = StreamFunctions;
    installed = true;
    rootDir = root;
    StreamFunctionTable table = {};
    table.open = RootOpen;
    table.close = RootClose;
    table.tell = RootTell;
    table.seek = RootSeek;
    table.read = RootRead;
    table.eof = RootEof;
    table.idle = RootIdle;
    SetStreamFunctions(&table);
}

void RestoreStreamFunctions()
{
    if (installed)
        SetStreamFunctions(&saved);
    installed = false;
}

bool WriteTableFile(const std::string& root, const std::string& relative, const std::string& text)
{
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos)
            break;
        CreateDirectoryA((root + "/" + relative.substr(0, slash)).c_str(), nullptr);
        start = slash + 1;
    }
    return WriteWholeFile(root + "/" + relative, text.data(), text.size());
}
