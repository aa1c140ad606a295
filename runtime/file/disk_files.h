// Files on disk: plain reads through the Win32 handle, or threaded reads
// through a file-access thread of their own (asynchronous reads and a
// read-ahead cache), plus the directory and find operations of the disk set.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "runtime/file/stream.h"

enum {
    DISK_CACHE_SIZE = 131072,          // read-ahead cache of a cached file
    DISK_PATH_SIZE = 260,
    DISK_THREAD_STACK_RESERVE = 65536, // stack of a file-access thread
};

// Commands of the file-access thread.
enum {
    FILE_COMMAND_OPEN = 0,
    FILE_COMMAND_CLOSE = 1,
    FILE_COMMAND_READ = 2,
    FILE_COMMAND_SEEK = 3,
    FILE_COMMAND_EXIT = 4,
};

// What the file-access thread works on. The caller writes the request fields
// only while the done event is signalled and sets the command event last;
// the thread signals done last.
struct FileThreadBlock {
    DWORD threadId;
    HANDLE thread;
    HANDLE file;                 // the thread's own Win32 handle
    HANDLE commandEvent;         // manual reset, created unsignalled
    HANDLE doneEvent;            // manual reset, created signalled
    volatile int command;
    volatile int threadEnded;
    volatile int openFailed;
    char path[DISK_PATH_SIZE];
    // read request; the thread writes the bytes read back into readBytes
    unsigned char* readDestination;
    uint32_t readPosition;
    uint32_t readBytes;
    // seek request
    uint32_t seekPosition;
    // read-ahead cache (null without the cache flag)
    unsigned char* cache;
    uint32_t cachePosition;      // file position of the cache's first valid byte
    uint32_t cacheFill;          // valid bytes in the cache
    uint32_t cacheStart;         // where the valid bytes begin in the buffer
};

// One open disk file; its address is the handle.
struct DiskFileRecord {
    HANDLE file;                 // plain mode only
    int threaded;                // opened with the cache or the asynchronous flag
    int cache;
    int async;
    int eof;
    uint32_t position;
    uint32_t size;               // taken at open
    FileThreadBlock thread;
};

StreamHandle DiskFileOpen(const char* path, int cache, int reserved, int async);
int DiskFileClose(StreamHandle handle);
long DiskFileTell(StreamHandle handle);
int DiskFileSeek(StreamHandle handle, long offset, int origin);
size_t DiskFileRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
int DiskFileEof(StreamHandle handle);
int DiskFileIdle(StreamHandle handle);
// The size of an open disk file as taken at open.
uint32_t DiskFileSize(StreamHandle handle);

int DiskSetCurrentDir(const char* path);
// The current directory into buffer (DISK_PATH_SIZE bytes) and its length;
// 0 with an empty text when it does not fit.
int DiskGetCurrentDir(char* buffer);
intptr_t DiskFindFirst(const char* pattern, FindRecord* record);
int DiskFindNext(intptr_t findHandle, FindRecord* record);
int DiskFindClose(intptr_t findHandle);

void FileTimeToDateRecord(const FILETIME* time, DateRecord* date);
void FillFindRecord(FindRecord* record, const WIN32_FIND_DATAA* data);

DWORD WINAPI FileAccessThreadProc(LPVOID block);
