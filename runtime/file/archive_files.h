// Archive-aware file access: every path is made a full path, and each of its
// leading directories is tried as an archive named after it with the archive
// extension; the first that exists serves the file, and only it. Other paths
// are read from disk. These operations fill the stream function table by
// default.
#pragma once

#include <stdint.h>

#include "runtime/file/archive_reader.h"
#include "runtime/file/archive_stream.h"
#include "runtime/file/stream.h"

enum {
    ARCHIVE_TABLE_SIZE = 512,
    ARCHIVE_FILE_TABLE_SIZE = 512,
    ARCHIVE_PATH_SIZE = 256,
    ARCHIVE_EXTENSION_SIZE = 64,
    ARCHIVE_FIND_PATTERN_SIZE = 260,
};

const uint32_t ARCHIVE_FILE_HANDLE_BITS = 0xF0000000u;

// Settings, kept for the whole run.
int SetArchiveExtension(const char* text);
int SetArchiveExtensionEntry(const char* text);
int SetArchiveKeyString(const char* text);
int SetArchiveKeyEntry(const char* text);

struct ArchiveTableEntry {
    int references;
    ArchiveRecord record;
    char path[ARCHIVE_PATH_SIZE];
};


struct ArchiveFileRecord {
    int kind;                     // 1 inside an archive, 0 on disk
    StreamHandle disk;
    int archiveIndex;
    ArchiveStream stream;
};

struct ArchiveFindState {
    ArchiveRecord* archive;
    char pattern[ARCHIVE_FIND_PATTERN_SIZE];
    uint32_t dir;                 // offset of the directory entry searched
    uint32_t index;               // next candidate: ".", ".." (not at the root), then the entries
};

struct ArchiveFindHandle {
    int kind;                     // 1 archive, 0 disk
    int archiveIndex;
    ArchiveFindState* state;
    intptr_t diskFind;
};

// The archive set of the stream function table.
StreamHandle ArchiveFileOpen(const char* path, int cache, int reserved, int async);
int ArchiveFileClose(StreamHandle handle);
long ArchiveFileTell(StreamHandle handle);
int ArchiveFileSeek(StreamHandle handle, long offset, int origin);
size_t ArchiveFileRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
int ArchiveFileEof(StreamHandle handle);
int ArchiveFileIdle(StreamHandle handle);
int ArchiveFileChangeDir(const char* path);
// The current directory into buffer (ARCHIVE_PATH_SIZE bytes): 0, or -1 with
// an empty text when it does not fit.
int ArchiveFileGetDir(char* buffer);
intptr_t ArchiveFileFindFirst(const char* pattern, FindRecord* record);
int ArchiveFileFindNext(intptr_t findHandle, FindRecord* record);
int ArchiveFileFindClose(intptr_t findHandle);

// The normalised, upper-cased full path of `path` (the current directory
// when null) into out (FULL_PATH_SIZE bytes); 0, or -1 when it does not fit.
int MakeArchiveFullPath(const char* path, char* out);
// 0 when the path leads into an archive, which then holds one more reference;
// the archive's table index, its path (ARCHIVE_PATH_SIZE bytes) and the path
// inside it (FULL_PATH_SIZE bytes) go to the outs. Else -1.
int ResolveArchivePath(const char* path, int* index, char* archivePath, char* innerPath);
// The table index of the archive at `path` with one more reference, opening
// it when it is not in the table; -1 when it cannot be opened.
int OpenArchiveCached(int hint, const char* path, int wholeFile, int async);
// Drops one reference (never below 0); the archive stays open until released.
void ReleaseArchiveReference(int index);
// Closes and frees every archive that nothing references.
int ReleaseUnusedArchives();
int TerminateArchives();
// The table entry at index, or null; and how many archives are open.
ArchiveTableEntry* GetArchiveTableEntry(int index);
int GetOpenArchiveCount();


ArchiveFindState* FindFirstInArchive(ArchiveRecord* archive, const char* path, FindRecord* record);
int FindNextInArchiveDir(ArchiveFindState* state, FindRecord* record);
// Cuts the path at its last separator or colon into the directory part and
// the name; each out holds ARCHIVE_FIND_PATTERN_SIZE bytes. 0, or -1 when a
// part does not fit.
int SplitArchivePath(const ArchiveRecord* archive, const char* path, char* name, char* directory);
// 0 when the name matches the wildcard pattern ("*" and "?"), else -1.
int MatchWildcard(const char* name, const char* pattern);
