#include "tests/game/table_files.h"

#include <windows.h>
#include <stdio.h>

#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "runtime/file/archive_files.h"
#include "runtime/file/stream.h"
#include "tests/support/test_support.h"

static char previousDirectory[MAX_PATH];

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

void EnterDataDirectory(const std::string& dir)
{
    GetCurrentDirectoryA(sizeof previousDirectory, previousDirectory);
    SetCurrentDirectoryA(dir.c_str());
    SetArchiveExtension("ukx");
    SetArchiveKeyString("KOWR");
    SetStreamFunctions(nullptr);
}

void LeaveDataDirectory()
{
    TerminateArchives();
    SetCurrentDirectoryA(previousDirectory);
}

void ReadAllTables()
{
    ReadGameTables();
}
