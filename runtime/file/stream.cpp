#include "runtime/file/stream.h"

#include <windows.h>
#include <string.h>

#include "runtime/file/archive_files.h"
#include "runtime/file/disk_files.h"
#include "runtime/memory.h"
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

int SetStreamFunctions(const StreamFunctionTable* table)
{
    if (table)
        StreamFunctions = *table;
    else
        StreamFunctions = SystemState.settings.archivesOff ? diskSet : archiveSet;
    return 0;
}

const StreamFunctionTable* GetArchiveStreamFunctionSet() { return &archiveSet; }
const StreamFunctionTable* GetDiskStreamFunctionSet() { return &diskSet; }

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

static const StreamDescriptorFunctions memoryFunctions = {
    MemStreamTell, MemStreamSeek, MemStreamRead, MemStreamEof, MemStreamIdle, CloseMemoryStream,
};

const StreamDescriptorFunctions* GetFileStreamFunctions() { return &fileFunctions; }
const StreamDescriptorFunctions* GetMemoryStreamFunctions() { return &memoryFunctions; }

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
    while (FileStreamIdle(handle) == 0)
        Sleep(0);
    return n == 0 ? -1 : c;
}

// ---------------------------------------------------------------------------
// Memory streams

StreamHandle OpenMemoryStream(const void* data, int size)
{
    MemoryStream* m = (MemoryStream*)AllocTracked(sizeof(MemoryStream), "MemoryStream", 0);
    if (!m)
        return 0;
    m->data = (const unsigned char*)data;
    m->size = size < 0 ? 0 : size;
    m->position = 0;
    m->eof = 0;
    return (StreamHandle)m;
}

int CloseMemoryStream(StreamHandle stream)
{
    FreeTracked((void*)stream);
    return 0;
}

long MemStreamTell(StreamHandle stream)
{
    return ((MemoryStream*)stream)->position;
}

int MemStreamSeek(StreamHandle stream, long offset, int origin)
{
    MemoryStream* m = (MemoryStream*)stream;
    long long position = offset;
    if (origin == 1)
        position += m->position;
    else if (origin == 2)
        position += m->size;
    if (position < 0)
        position = 0;
    if (position > m->size)
        position = m->size;
    m->position = (int)position;
    m->eof = 0;
    return 0;
}

size_t MemStreamRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle stream)
{
    MemoryStream* m = (MemoryStream*)stream;
    if (m->position >= m->size) {
        m->eof = 1;
        return 0;
    }
    if (itemCount == 0 || itemSize == 0)
        return 0;
    size_t remaining = (size_t)(m->size - m->position);
    size_t items, bytes;
    if (itemCount <= remaining / itemSize) {
        items = itemCount;
        bytes = itemSize * itemCount;
    } else if (remaining >= itemSize) {
        items = remaining / itemSize;
        bytes = items * itemSize;
    } else {
        // Not one whole item left: the remaining bytes count as one.
        items = 1;
        bytes = remaining;
    }
    memcpy(buffer, m->data + m->position, bytes);
    m->position += (int)bytes;
    m->eof = 0;
    return items;
}

int MemStreamEof(StreamHandle stream)
{
    return ((MemoryStream*)stream)->eof ? -1 : 0;
}

int MemStreamIdle(StreamHandle) { return 1; }
