#include "runtime/file/stream.h"

#include <windows.h>
#include <string.h>

StreamFunctionTable StreamFunctions;

// Stand-in until the disk and archive sets exist: only the directory
// operations that start-up and shut-down use.
static int DiskSetCurrentDir(const char* path) { return SetCurrentDirectoryA(path); }
static int DiskGetCurrentDir(char* buffer) { return (int)GetCurrentDirectoryA(260, buffer); }

int SetStreamFunctions(const StreamFunctionTable* table)
{
    if (table) {
        StreamFunctions = *table;
        return 0;
    }
    memset(&StreamFunctions, 0, sizeof StreamFunctions);
    StreamFunctions.setCurrentDir = DiskSetCurrentDir;
    StreamFunctions.getCurrentDir = DiskGetCurrentDir;
    return 0;
}
