#include "runtime/file/disk_files.h"

#include <string.h>

#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"

static DiskFileRecord* Record(StreamHandle handle)
{
    return (DiskFileRecord*)handle;
}

static HANDLE OpenForReading(const char* path, DWORD share)
{
    return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

static bool SetPosition(HANDLE file, uint32_t position)
{
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

// ---------------------------------------------------------------------------
// The file-access thread

// Moves the valid cached bytes to the buffer's start and fills the room
// behind them from the file.
static void ReadAhead(FileThreadBlock* t)
{
    if (t->cacheStart != 0) {
        memmove(t->cache, t->cache + t->cacheStart, t->cacheFill);
        t->cacheStart = 0;
    }
    if (!SetPosition(t->file, t->cachePosition + t->cacheFill))
        return;
    DWORD got = 0;
    if (ReadFile(t->file, t->cache + t->cacheFill, DISK_CACHE_SIZE - t->cacheFill, &got, nullptr))
        t->cacheFill += got;
}

static void ServeRead(FileThreadBlock* t)
{
    unsigned char* destination = t->readDestination;
    uint32_t position = t->readPosition;
    uint32_t remaining = t->readBytes;
    uint32_t total = 0;
    if (t->cache && position == t->cachePosition && t->cacheFill > 0) {
        uint32_t n = remaining < t->cacheFill ? remaining : t->cacheFill;
        memcpy(destination, t->cache + t->cacheStart, n);
        destination += n;
        position += n;
        remaining -= n;
        total += n;
        t->cachePosition += n;
        t->cacheFill -= n;
        t->cacheStart = t->cacheFill ? t->cacheStart + n : 0;
    }
    if (remaining > 0) {
        DWORD got = 0;
        if (SetPosition(t->file, position) && ReadFile(t->file, destination, remaining, &got, nullptr))
            total += got;
        if (t->cache) {
            t->cachePosition = position + got;
            t->cacheFill = 0;
            t->cacheStart = 0;
        }
    }
    t->readBytes = total;
}

DWORD WINAPI FileAccessThreadProc(LPVOID block)
{
    FileThreadBlock* t = (FileThreadBlock*)block;
    for (;;) {
        DWORD wait = WaitForSingleObject(t->commandEvent, t->cache ? 100 : INFINITE);
        if (wait == WAIT_TIMEOUT) {
            if (t->file && t->cacheFill < DISK_CACHE_SIZE)
                ReadAhead(t);
            continue;
        }
        if (wait != WAIT_OBJECT_0)
            continue;
        ResetEvent(t->commandEvent);
        ResetEvent(t->doneEvent);
        switch (t->command) {
        case FILE_COMMAND_OPEN: {
            HANDLE file = OpenForReading(t->path, 0);
            if (file == INVALID_HANDLE_VALUE) {
                t->openFailed = 1;
                SetEvent(t->doneEvent);
                t->threadEnded = 1;
                return 1;
            }
            t->file = file;
            break;
        }
        case FILE_COMMAND_CLOSE:
            if (t->file)
                CloseHandle(t->file);
            t->file = nullptr;
            break;
        case FILE_COMMAND_READ:
            ServeRead(t);
            break;
        case FILE_COMMAND_SEEK:
            SetPosition(t->file, t->seekPosition);
            if (t->cache) {
                t->cachePosition = t->seekPosition;
                t->cacheFill = 0;
                t->cacheStart = 0;
            }
            break;
        case FILE_COMMAND_EXIT:
            if (t->file)
                CloseHandle(t->file);
            t->file = nullptr;
            SetEvent(t->doneEvent);
            t->threadEnded = 1;
            return 1;
        default:
            break;
        }
        SetEvent(t->doneEvent);
    }
}

// The caller's half of the protocol: the previous command must have finished
// before the request fields are written.
static void WaitThreadIdle(FileThreadBlock* t)
{
    WaitForSingleObject(t->doneEvent, INFINITE);
}

static void IssueCommand(FileThreadBlock* t, int command)
{
    ResetEvent(t->doneEvent);
    t->command = command;
    SetEvent(t->commandEvent);
}

static void WaitThreadEnd(FileThreadBlock* t)
{
    WaitForSingleObject(t->thread, INFINITE);
    CloseHandle(t->thread);
    t->thread = nullptr;
}

static void ReleaseThreadObjects(DiskFileRecord* r)
{
    if (r->thread.cache)
        FreeTracked(r->thread.cache);
    CloseHandle(r->thread.commandEvent);
    CloseHandle(r->thread.doneEvent);
}

// ---------------------------------------------------------------------------
// Disk files

StreamHandle DiskFileOpen(const char* path, int cache, int reserved, int async)
{
    if (!path)
        return 0;
    DiskFileRecord* r = (DiskFileRecord*)AllocTrackedZero(sizeof(DiskFileRecord), "DiskFile", 0);
    if (!r)
        return 0;
    r->cache = cache;
    r->async = async;
    r->threaded = (cache || async) ? 1 : 0;

    if (!r->threaded) {
        r->file = OpenForReading(path, FILE_SHARE_READ);
        if (r->file == INVALID_HANDLE_VALUE) {
            FreeTracked(r);
            return 0;
        }
        r->size = GetFileSize(r->file, nullptr);
        return (StreamHandle)r;
    }

    // The thread opens the file without sharing; take the size first. The
    // thread block holds the path, so a longer one is refused.
    if (strlen(path) >= DISK_PATH_SIZE) {
        FreeTracked(r);
        return 0;
    }
    HANDLE probe = OpenForReading(path, FILE_SHARE_READ);
    if (probe == INVALID_HANDLE_VALUE) {
        FreeTracked(r);
        return 0;
    }
    r->size = GetFileSize(probe, nullptr);
    CloseHandle(probe);

    FileThreadBlock* t = &r->thread;
    if (cache) {
        t->cache = (unsigned char*)AllocTracked(DISK_CACHE_SIZE, "DiskCache", 0);
        if (!t->cache) {
            FreeTracked(r);
            WriteLog("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            return 0;
        }
    }
    t->commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    t->doneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    // Every streamed archive keeps its thread for as long as it stays open:
    // with the default reserve of the executable, 512 of them would take a
    // whole gigabyte of a 32-bit address space.
    if (t->commandEvent && t->doneEvent)
        t->thread = CreateThread(nullptr, DISK_THREAD_STACK_RESERVE, FileAccessThreadProc, t,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, &t->threadId);
    if (!t->thread) {
        if (t->commandEvent)
            CloseHandle(t->commandEvent);
        if (t->doneEvent)
            CloseHandle(t->doneEvent);
        if (t->cache)
            FreeTracked(t->cache);
        FreeTracked(r);
        WriteLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return 0;
    }

    WaitThreadIdle(t);
    CopyTextMax(t->path, path, DISK_PATH_SIZE - 1);
    IssueCommand(t, FILE_COMMAND_OPEN);
    WaitThreadIdle(t);
    if (t->openFailed) {
        WaitThreadEnd(t);
        ReleaseThreadObjects(r);
        FreeTracked(r);
        WriteLog("ファイルのオープンに失敗しました\n");
        return 0;
    }
    return (StreamHandle)r;
}

int DiskFileClose(StreamHandle handle)
{
    DiskFileRecord* r = Record(handle);
    int result = 0;
    if (!r->threaded) {
        result = CloseHandle(r->file) ? 0 : -1;
    } else {
        FileThreadBlock* t = &r->thread;
        WaitThreadIdle(t);
        IssueCommand(t, FILE_COMMAND_EXIT);
        WaitThreadIdle(t);
        WaitThreadEnd(t);
        ReleaseThreadObjects(r);
    }
    FreeTracked(r);
    return result;
}

long DiskFileTell(StreamHandle handle)
{
    return (long)Record(handle)->position;
}

uint32_t DiskFileSize(StreamHandle handle)
{
    return Record(handle)->size;
}

int DiskFileSeek(StreamHandle handle, long offset, int origin)
{
    DiskFileRecord* r = Record(handle);
    int64_t position = offset;
    if (origin == 1)
        position += r->position;
    else if (origin == 2)
        position += r->size;
    else if (origin != 0)
        return -1;
    // Positions past the end are kept (a read there is an end of file);
    // before the start, or beyond what a 32-bit position holds, is refused.
    if (position < 0 || position > 0xFFFFFFFFll)
        return -1;
    if (!r->threaded) {
        if (!SetPosition(r->file, (uint32_t)position))
            return -1;
    } else {
        FileThreadBlock* t = &r->thread;
        WaitThreadIdle(t);
        t->seekPosition = (uint32_t)position;
        IssueCommand(t, FILE_COMMAND_SEEK);
    }
    r->position = (uint32_t)position;
    r->eof = 0;
    return 0;
}

size_t DiskFileRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle)
{
    DiskFileRecord* r = Record(handle);
    if (itemSize == 0)
        return 0;
    if (r->position >= r->size) {
        r->eof = 1;
        return 0;
    }
    uint32_t remaining = r->size - r->position;
    if ((uint64_t)itemSize * itemCount > remaining) {
        itemCount = remaining / itemSize;
        if (itemCount == 0) {
            r->eof = 1;
            return 0;
        }
    }
    if (itemCount == 0)
        return 0;
    uint32_t bytes = (uint32_t)(itemSize * itemCount);

    if (!r->threaded) {
        DWORD got = 0;
        if (!ReadFile(r->file, buffer, bytes, &got, nullptr))
            return 0;
        // The position follows the bytes read, so that it stays with the
        // Win32 file pointer should the file have shrunk since open.
        r->position += got;
        return got / itemSize;
    }

    FileThreadBlock* t = &r->thread;
    WaitThreadIdle(t);
    t->readDestination = (unsigned char*)buffer;
    t->readPosition = r->position;
    t->readBytes = bytes;
    IssueCommand(t, FILE_COMMAND_READ);
    if (!r->async)
        WaitThreadIdle(t);
    r->position += bytes;
    return itemCount;
}

int DiskFileEof(StreamHandle handle)
{
    return Record(handle)->eof ? -1 : 0;
}

int DiskFileIdle(StreamHandle handle)
{
    DiskFileRecord* r = Record(handle);
    if (!r->threaded)
        return 1;
    return WaitForSingleObject(r->thread.doneEvent, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Directories and finding

int DiskSetCurrentDir(const char* path)
{
    return SetCurrentDirectoryA(path);
}

int DiskGetCurrentDir(char* buffer)
{
    // A directory too long for the buffer is not written; say so with 0 and
    // an empty text rather than leave whatever the buffer held.
    DWORD length = GetCurrentDirectoryA(DISK_PATH_SIZE, buffer);
    if (length == 0 || length >= DISK_PATH_SIZE) {
        buffer[0] = 0;
        return 0;
    }
    return (int)length;
}

void FileTimeToDateRecord(const FILETIME* time, DateRecord* date)
{
    FILETIME local;
    SYSTEMTIME s;
    memset(&s, 0, sizeof s);
    if (FileTimeToLocalFileTime(time, &local))
        FileTimeToSystemTime(&local, &s);
    date->year = s.wYear;
    date->month = s.wMonth;
    date->day = s.wDay;
    date->hour = s.wHour;
    date->minute = s.wMinute;
    date->second = s.wSecond;
}

void FillFindRecord(FindRecord* record, const WIN32_FIND_DATAA* data)
{
    CopyTextMax(record->name, data->cFileName, sizeof record->name - 1);
    record->isDirectory = (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    record->sizeLow = data->nFileSizeLow;
    record->sizeHigh = data->nFileSizeHigh;
    FileTimeToDateRecord(&data->ftCreationTime, &record->creation);
    FileTimeToDateRecord(&data->ftLastWriteTime, &record->lastWrite);
}

intptr_t DiskFindFirst(const char* pattern, FindRecord* record)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    if (record)
        FillFindRecord(record, &data);
    return (intptr_t)find;
}

int DiskFindNext(intptr_t findHandle, FindRecord* record)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA((HANDLE)findHandle, &data))
        return -1;
    if (record)
        FillFindRecord(record, &data);
    return 0;
}

int DiskFindClose(intptr_t findHandle)
{
    return FindClose((HANDLE)findHandle) ? 0 : -1;
}
