#include "runtime/file/stream.h"

#include <string.h>

#ifdef _WIN32 // the archive and disk sets are Win32 files; the native build has neither
#include <windows.h>

#include "runtime/file/archive_files.h"
#include "runtime/file/disk_files.h"
#include "runtime/system_state.h"

static constexpr StreamFunctionTable archiveSet = {
    ArchiveFileOpen, ArchiveFileClose, ArchiveFileTell, ArchiveFileSeek,
    ArchiveFileRead, ArchiveFileEof, ArchiveFileIdle, ArchiveFileChangeDir,
    ArchiveFileGetDir, ArchiveFileFindFirst, ArchiveFileFindNext, ArchiveFileFindClose,
};

static constexpr StreamFunctionTable diskSet = {
    DiskFileOpen, DiskFileClose, DiskFileTell, DiskFileSeek,
    DiskFileRead, DiskFileEof, DiskFileIdle, DiskSetCurrentDir,
    DiskGetCurrentDir, DiskFindFirst, DiskFindNext, DiskFindClose,
};

StreamFunctionTable StreamFunctions = archiveSet;
#else
// Empty until a caller installs a table.
StreamFunctionTable StreamFunctions;
#endif

int SetStreamFunctions(const StreamFunctionTable* table)
{
    if (table)
        StreamFunctions = *table;
    else
#ifdef _WIN32
        StreamFunctions = SystemState.settings.archivesOff ? diskSet : archiveSet;
#else
        return -1;
#endif
    return 0;
}

#ifdef _WIN32
const StreamFunctionTable* GetArchiveStreamFunctionSet() { return &archiveSet; }
const StreamFunctionTable* GetDiskStreamFunctionSet() { return &diskSet; }
#endif

// ---------------------------------------------------------------------------
// Entry points over the table

StreamHandle FileStreamOpen(const char* path, int cache, int reserved, int async)
{
    return StreamFunctions.open(path, cache, reserved, async);
}
int FileStreamClose(StreamHandle handle) { return StreamFunctions.close(handle); }
long FileStreamTell(StreamHandle handle) { return StreamFunctions.tell(handle); }
int FileStreamSeek(StreamHandle handle, long offset, int origin) { return StreamFunctions.seek(handle, offset, origin); }
size_t FileStreamRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle)
{
    return StreamFunctions.read(buffer, itemSize, itemCount, handle);
}
int FileStreamEof(StreamHandle handle) { return StreamFunctions.eof(handle); }
int FileStreamIdle(StreamHandle handle) { return StreamFunctions.idle(handle); }

static const StreamDescriptorFunctions fileFunctions = {
    FileStreamTell, FileStreamSeek, FileStreamRead, FileStreamEof, FileStreamIdle, FileStreamClose,
};

const StreamDescriptorFunctions* GetFileStreamFunctions() { return &fileFunctions; }

StreamHandle OpenFileStream(const char* path, int async)
{
    return FileStreamOpen(path, 0, 1, async ? 1 : 0);
}

int ReadStreamByte(StreamHandle handle)
{
    if (FileStreamEof(handle) == -1)
        return -1;
    signed char c = 0;
    size_t n = FileStreamRead(&c, 1, 1, handle);
    while (FileStreamIdle(handle) == 0) {
#ifdef _WIN32 // only Win32 files pend
        Sleep(0);
#endif
    }
    return n == 0 ? -1 : c;
}
