#include "runtime/file/archive_files.h"

#include <windows.h>
#include <string.h>

#include "runtime/file/disk_files.h"
#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// ---------------------------------------------------------------------------
// Settings

static char extension[ARCHIVE_EXTENSION_SIZE];
static int keyStringSet;
static char keyString[ARCHIVE_KEY_SIZE + 1];

static int cachePrefixLength;

int SetArchiveExtension(const char* text)
{
    size_t length = text ? strlen(text) : 0;
    if (length >= 1 && length < ARCHIVE_EXTENSION_SIZE)
        memcpy(extension, text, length + 1);
    else
        extension[0] = 0;
    // The cached archive path carries the old extension.
    cachePrefixLength = 0;
    return 0;
}

int SetArchiveExtensionEntry(const char* text)
{
    return SetArchiveExtension(text);
}

int SetArchiveKeyString(const char* text)
{
    if (!text) {
        keyStringSet = 0;
        keyString[0] = 0;
        return 0;
    }
    keyStringSet = 1;
    CopyTextMax(keyString, text, ARCHIVE_KEY_SIZE);
    return 0;
}

int SetArchiveKeyEntry(const char* text)
{
    return SetArchiveKeyString(text);
}

static const char* Extension()
{
    return extension[0] ? extension : "VEA";
}

// ---------------------------------------------------------------------------
// The archive table and the path cache

static ArchiveTableEntry* archives[ARCHIVE_TABLE_SIZE];
static int archiveCount;

static char cachePath[ARCHIVE_PATH_SIZE];
static int cacheIndex;

ArchiveTableEntry* GetArchiveTableEntry(int index)
{
    return index >= 0 && index < ARCHIVE_TABLE_SIZE ? archives[index] : nullptr;
}

int GetOpenArchiveCount()
{
    return archiveCount;
}

int ReleaseUnusedArchives()
{
    for (int i = 0; i < ARCHIVE_TABLE_SIZE; i++) {
        ArchiveTableEntry* e = archives[i];
        if (!e || e->references >= 1)
            continue;
        CloseArchive(&e->record);
        FreeTracked(e);
        archives[i] = nullptr;
        archiveCount--;
    }
    return 0;
}

int TerminateArchives()
{
    ReleaseUnusedArchives();
    return 0;
}

void ReleaseArchiveReference(int index)
{
    ArchiveTableEntry* e = GetArchiveTableEntry(index);
    if (e && e->references > 0)
        e->references--;
}

// As OpenArchiveCached, the archive file opened from diskPath: the same file
// as path, whose letters may differ in case.
static int OpenArchiveCachedFrom(int hint, const char* path, const char* diskPath, int wholeFile, int async)
{
    ArchiveTableEntry* hinted = GetArchiveTableEntry(hint);
    if (hinted && strcmp(hinted->path, path) == 0) {
        hinted->references++;
        return hint;
    }
    int slot = -1;
    for (int i = 0; i < ARCHIVE_TABLE_SIZE; i++) {
        if (!archives[i]) {
            if (slot < 0)
                slot = i;
        } else if (strcmp(archives[i]->path, path) == 0) {
            archives[i]->references++;
            return i;
        }
    }
    if (archiveCount >= ARCHIVE_TABLE_SIZE) {
        ReleaseUnusedArchives();
        if (archiveCount >= ARCHIVE_TABLE_SIZE)
            return -1;
        slot = -1;
    }
    if (slot < 0) {
        for (slot = 0; slot < ARCHIVE_TABLE_SIZE && archives[slot]; slot++) {
        }
    }
    if (strlen(path) >= ARCHIVE_PATH_SIZE)
        return -1;

    ArchiveRecord record;
    ClearArchiveRecord(&record);
    const char* key = keyStringSet ? keyString : nullptr;
    int opened = wholeFile == 1 ? OpenArchiveFileToMemory(&record, diskPath, key, async)
                                : OpenArchiveFileStreamed(&record, diskPath, key);
    if (opened != 0)
        return -1;
    ArchiveTableEntry* e = (ArchiveTableEntry*)AllocTrackedZero(sizeof(ArchiveTableEntry), "ArchiveEntry", 0);
    if (!e) {
        CloseArchive(&record);
        return -1;
    }
    e->record = record;
    e->references = 1;
    CopyTextMax(e->path, path, ARCHIVE_PATH_SIZE - 1);
    archives[slot] = e;
    archiveCount++;
    return slot;
}

int OpenArchiveCached(int hint, const char* path, int wholeFile, int async)
{
    return OpenArchiveCachedFrom(hint, path, path, wholeFile, async);
}

// The full path in upper case (out) and, when kept is given, the same path
// with the letters as the caller and the current directory spelled them.
static int MakeArchiveFullPaths(const char* path, char* out, char* kept)
{
    char current[FULL_PATH_SIZE];
    DWORD n = GetCurrentDirectoryA(FULL_PATH_SIZE, current);
    if (n == 0 || n >= FULL_PATH_SIZE) {
        out[0] = 0;
        return -1;
    }
    // Making the path moves no letter and upper case changes no length, so
    // the two spellings share every component boundary.
    if (MakeFullPath(path, out, current) != 0)
        return -1;
    if (kept)
        memcpy(kept, out, strlen(out) + 1);
    UpperCaseText(out);
    return 0;
}

int MakeArchiveFullPath(const char* path, char* out)
{
    return MakeArchiveFullPaths(path, out, nullptr);
}

int ResolveArchivePath(const char* path, int* index, char* archivePath, char* innerPath)
{
    char full[FULL_PATH_SIZE], kept[FULL_PATH_SIZE];
    if (MakeArchiveFullPaths(path, full, kept) != 0)
        return -1;

    int found = -1;
    int prefixLength = 0;
    if (cachePrefixLength > 0 && strncmp(full, cachePath, (size_t)cachePrefixLength) == 0 &&
        IsSeparator(full[cachePrefixLength])) {
        found = OpenArchiveCached(cacheIndex, cachePath, 0, 0);
        if (found < 0)
            return -1;
        cacheIndex = found;
        prefixLength = cachePrefixLength;
    } else {
        const char* ext = Extension();
        size_t extLength = strlen(ext);
        // A network path keeps its two leading backslashes in the prefix.
        int at = (full[0] == '\\' && full[1] == '\\') ? 2 : 0;
        for (;;) {
            int end = at;
            while (full[end] && !IsSeparator(full[end]))
                end += CharBytes(full + end);
            if (end == at || !full[end])
                return -1;
            if ((size_t)end + 1 + extLength >= ARCHIVE_PATH_SIZE)
                return -1;
            char candidate[ARCHIVE_PATH_SIZE], onDisk[ARCHIVE_PATH_SIZE];
            memcpy(candidate, full, (size_t)end);
            candidate[end] = '.';
            memcpy(candidate + end + 1, ext, extLength + 1);
            // The file is tried as the path spells it: the same file on
            // Windows, while Wine must search each directory for a name whose
            // case differs from the disk's, a cost of several times the open
            // at every component of every try.
            memcpy(onDisk, kept, (size_t)end);
            memcpy(onDisk + end, candidate + end, 1 + extLength + 1);
            found = OpenArchiveCachedFrom(-1, candidate, onDisk, 0, 0);
            if (found >= 0) {
                memcpy(cachePath, candidate, sizeof candidate);
                cachePrefixLength = end;
                cacheIndex = found;
                prefixLength = end;
                break;
            }
            at = end + 1;
        }
    }
    if (index)
        *index = found;
    if (archivePath)
        CopyTextMax(archivePath, archives[found]->path, ARCHIVE_PATH_SIZE - 1);
    if (innerPath)
        CopyTextMax(innerPath, full + prefixLength + 1, FULL_PATH_SIZE - 1);
    return 0;
}

// ---------------------------------------------------------------------------
// The archive set of the stream function table

static ArchiveFileRecord* openFiles[ARCHIVE_FILE_TABLE_SIZE];
static int openFileCount;

static ArchiveFileRecord* FileOf(StreamHandle handle)
{
    // Without the handle bits it is no handle that open gave out: 0, the
    // failure value, would otherwise reach the file in slot 0.
    if (((uint32_t)handle & ARCHIVE_FILE_HANDLE_BITS) != ARCHIVE_FILE_HANDLE_BITS)
        return nullptr;
    uint32_t slot = (uint32_t)handle & ~ARCHIVE_FILE_HANDLE_BITS;
    return slot < ARCHIVE_FILE_TABLE_SIZE ? openFiles[slot] : nullptr;
}

StreamHandle ArchiveFileOpen(const char* path, int cache, int reserved, int async)
{
    if (openFileCount >= ARCHIVE_FILE_TABLE_SIZE) {
        WriteLog("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (slot < ARCHIVE_FILE_TABLE_SIZE && openFiles[slot])
        slot++;
    if (slot >= ARCHIVE_FILE_TABLE_SIZE || !path)
        return 0;
    ArchiveFileRecord* r = (ArchiveFileRecord*)AllocTrackedZero(sizeof(ArchiveFileRecord), "ArchiveFile", 0);
    if (!r) {
        WriteLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    int index = -1;
    char inner[FULL_PATH_SIZE];
    if (ResolveArchivePath(path, &index, nullptr, inner) != 0) {
        r->kind = 0;
        r->disk = DiskFileOpen(path, cache, 1, async);
        if (!r->disk) {
            FreeTracked(r);
            return 0;
        }
    } else {
        r->kind = 1;
        r->archiveIndex = index;
        if (OpenArchiveStream(&r->stream, &archives[index]->record, inner, async) != 0) {
            ReleaseArchiveReference(index);
            FreeTracked(r);
            return 0;
        }
    }
    openFiles[slot] = r;
    openFileCount++;
    return (StreamHandle)((uint32_t)slot | ARCHIVE_FILE_HANDLE_BITS);
}

int ArchiveFileClose(StreamHandle handle)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return -1;
    if (r->kind == 1) {
        ReleaseArchiveReference(r->archiveIndex);
        CloseArchiveStream(&r->stream);
    } else {
        DiskFileClose(r->disk);
    }
    FreeTracked(r);
    openFiles[(uint32_t)handle & ~ARCHIVE_FILE_HANDLE_BITS] = nullptr;
    openFileCount--;
    return 0;
}

long ArchiveFileTell(StreamHandle handle)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return -1;
    return r->kind == 1 ? TellArchiveStream(&r->stream) : DiskFileTell(r->disk);
}

int ArchiveFileSeek(StreamHandle handle, long offset, int origin)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return -1;
    return r->kind == 1 ? SeekArchiveStream(&r->stream, offset, origin) : DiskFileSeek(r->disk, offset, origin);
}

size_t ArchiveFileRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return 0;
    if (r->kind == 0)
        return DiskFileRead(buffer, itemSize, itemCount, r->disk);
    if (itemSize == 0)
        return 0;
    uint64_t want = (uint64_t)itemSize * itemCount;
    if (want > 0xFFFFFFFFu)
        want = 0xFFFFFFFFu;
    return ReadArchiveStream(&r->stream, buffer, (uint32_t)want) / itemSize;
}

int ArchiveFileEof(StreamHandle handle)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return -1;
    return r->kind == 1 ? ArchiveStreamEof(&r->stream) : DiskFileEof(r->disk);
}

int ArchiveFileIdle(StreamHandle handle)
{
    ArchiveFileRecord* r = FileOf(handle);
    if (!r)
        return -1;
    return r->kind == 1 ? PollArchiveStream(&r->stream) : DiskFileIdle(r->disk);
}

int ArchiveFileChangeDir(const char* path)
{
    SetCurrentDirectoryA(path);
    return 0;
}

int ArchiveFileGetDir(char* buffer)
{
    DWORD length = GetCurrentDirectoryA(ARCHIVE_PATH_SIZE, buffer);
    if (length == 0 || length >= ARCHIVE_PATH_SIZE) {
        buffer[0] = 0;
        return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Finding files

int MatchWildcard(const char* name, const char* pattern)
{
    int charSet = CurrentCharSet();
    const char* n = name;
    const char* p = pattern;
    while (*p) {
        if (*p == '*') {
            while (*p == '*')
                p++;
            if (!*p)
                return 0;
            // Skip to the first place where the character after the stars
            // matches; there is no going back from there.
            bool wide = IsMultiByteLead(p, charSet) && p[1];
            while (*n) {
                if (*p == '?')
                    break;
                if (wide ? (n[0] == p[0] && n[1] == p[1]) : (n[0] == p[0] && CharBytes(n) == 1))
                    break;
                n += CharBytes(n);
            }
            if (!*n)
                return -1;
            continue;
        }
        if (!*n)
            return -1;
        if (IsMultiByteLead(p, charSet) && p[1]) {
            if (n[0] != p[0] || n[1] != p[1])
                return -1;
            n += 2;
            p += 2;
        } else if (*p == '?') {
            n += CharBytes(n);
            p++;
        } else {
            if (*n != *p || CharBytes(n) != 1)
                return -1;
            n++;
            p++;
        }
    }
    return *n ? -1 : 0;
}

static void UpperCaseArchiveText(const ArchiveRecord* archive, char* text)
{
    for (char* p = text; *p;) {
        if (IsMultiByteLead(p, archive->charSet) && p[1]) {
            p += 2;
            continue;
        }
        if (*p >= 'a' && *p <= 'z')
            *p = (char)(*p - 'a' + 'A');
        p++;
    }
}

int SplitArchivePath(const ArchiveRecord* archive, const char* path, char* name, char* directory)
{
    const char* cut = nullptr;
    for (const char* p = path; *p;) {
        if (IsSeparator(*p) || *p == ':')
            cut = p;
        p += (IsMultiByteLead(p, archive->charSet) && p[1]) ? 2 : 1;
    }
    const char* namePart = cut ? cut + 1 : path;
    size_t dirLength = cut ? (size_t)(cut - path) : 0;
    if (strlen(namePart) >= ARCHIVE_FIND_PATTERN_SIZE || dirLength >= ARCHIVE_FIND_PATTERN_SIZE)
        return -1;
    memcpy(name, namePart, strlen(namePart) + 1);
    if (cut == path && IsSeparator(*cut)) {
        // A leading separator alone: the root.
        directory[0] = '\\';
        directory[1] = 0;
    } else {
        memcpy(directory, path, dirLength);
        directory[dirLength] = 0;
    }
    return 0;
}

static void FillArchiveFindRecord(FindRecord* record, const char* name, int isDirectory, uint32_t size,
                                  const uint64_t* creation, const uint64_t* lastWrite)
{
    if (!record)
        return;
    memset(record, 0, sizeof *record);
    CopyTextMax(record->name, name, sizeof record->name - 1);
    record->isDirectory = isDirectory;
    record->sizeLow = size;
    record->sizeHigh = 0;
    FILETIME time;
    if (creation) {
        time.dwLowDateTime = (DWORD)*creation;
        time.dwHighDateTime = (DWORD)(*creation >> 32);
        FileTimeToDateRecord(&time, &record->creation);
    }
    if (lastWrite) {
        time.dwLowDateTime = (DWORD)*lastWrite;
        time.dwHighDateTime = (DWORD)(*lastWrite >> 32);
        FileTimeToDateRecord(&time, &record->lastWrite);
    }
}

// The search form of an entry's name as text, cut to size - 1 bytes.
static int GetSearchForm(const ArchiveRecord* archive, const ArchiveFileEntry* entry, char* out, int size)
{
    uint64_t at = entry->nameOffset;
    uint32_t blockSize = archive->header.headerBlockSize;
    out[0] = 0;
    if (at + 4 > blockSize)
        return -1;
    const unsigned char* p = archive->headerBlock + at;
    uint64_t bytes = (uint64_t)(p[0] | p[1] << 8) * 4;
    if (at + 4 + bytes > blockSize)
        return -1;
    int n = 0;
    while ((uint64_t)n < bytes && p[4 + n] && n < size - 1) {
        out[n] = (char)p[4 + n];
        n++;
    }
    out[n] = 0;
    return 0;
}

int FindNextInArchiveDir(ArchiveFindState* state, FindRecord* record)
{
    ArchiveRecord* archive = state->archive;
    ArchiveDirEntry dir;
    if (ReadArchiveDirEntry(archive, state->dir, &dir) != 0)
        return -1;
    uint32_t pseudo = dir.parent == ARCHIVE_NO_PARENT ? 1 : 2;
    for (uint32_t i = state->index;; i++) {
        state->index = i;
        if (i < pseudo) {
            const char* name = i == 0 ? "." : "..";
            if (MatchWildcard(name, state->pattern) == 0) {
                FillArchiveFindRecord(record, name, 1, 0, nullptr, nullptr);
                return 0;
            }
            continue;
        }
        if (i - pseudo >= dir.count)
            return -1;
        ArchiveFileEntry entry;
        if (ReadArchiveFileEntry(archive, dir.first + (i - pseudo) * archive->fileEntrySize, &entry) != 0)
            return -1;
        char form[ARCHIVE_NAME_FORM_SIZE];
        if (GetSearchForm(archive, &entry, form, sizeof form) != 0)
            continue;
        if (MatchWildcard(form, state->pattern) != 0)
            continue;
        char name[FULL_PATH_SIZE];
        GetArchiveEntryName(archive, &entry, name, sizeof name);
        FillArchiveFindRecord(record, name, (entry.attributes & ARCHIVE_DIRECTORY_ATTRIBUTE) ? 1 : 0,
                              entry.dataSize, &entry.creation, &entry.lastWrite);
        return 0;
    }
}

ArchiveFindState* FindFirstInArchive(ArchiveRecord* archive, const char* path, FindRecord* record)
{
    FinishArchiveLoad(archive);
    ArchiveFindState* state = (ArchiveFindState*)AllocTrackedZero(sizeof(ArchiveFindState), "ArchiveFind", 0);
    if (!state)
        return nullptr;
    char directory[ARCHIVE_FIND_PATTERN_SIZE];
    if (SplitArchivePath(archive, path, state->pattern, directory) != 0) {
        FreeTracked(state);
        return nullptr;
    }
    UpperCaseArchiveText(archive, state->pattern);
    UpperCaseArchiveText(archive, directory);
    uint32_t saved = archive->currentDir;
    if (directory[0]) {
        if (ChangeArchiveDir(archive, directory, 1, nullptr) != 0) {
            FreeTracked(state);
            return nullptr;
        }
    }
    state->dir = archive->currentDir;
    archive->currentDir = saved;
    state->archive = archive;
    state->index = 0;
    if (FindNextInArchiveDir(state, record) != 0) {
        FreeTracked(state);
        return nullptr;
    }
    state->index++;
    return state;
}

intptr_t ArchiveFileFindFirst(const char* pattern, FindRecord* record)
{
    ArchiveFindHandle* h = (ArchiveFindHandle*)AllocTrackedZero(sizeof(ArchiveFindHandle), "ArchiveFindHandle", 0);
    if (!h)
        return -1;
    int index = -1;
    char inner[FULL_PATH_SIZE];
    if (ResolveArchivePath(pattern, &index, nullptr, inner) != 0) {
        h->kind = 0;
        h->diskFind = DiskFindFirst(pattern, record);
        if (h->diskFind == -1) {
            FreeTracked(h);
            return -1;
        }
    } else {
        h->kind = 1;
        h->archiveIndex = index;
        h->state = FindFirstInArchive(&archives[index]->record, inner, record);
        if (!h->state) {
            ReleaseArchiveReference(index);
            FreeTracked(h);
            return -1;
        }
    }
    return (intptr_t)h;
}

int ArchiveFileFindNext(intptr_t findHandle, FindRecord* record)
{
    // -1 is what a failed find first gave out.
    if (findHandle == -1 || findHandle == 0)
        return -1;
    ArchiveFindHandle* h = (ArchiveFindHandle*)findHandle;
    if (h->kind == 0)
        return DiskFindNext(h->diskFind, record);
    if (FindNextInArchiveDir(h->state, record) != 0)
        return -1;
    h->state->index++;
    return 0;
}

int ArchiveFileFindClose(intptr_t findHandle)
{
    if (findHandle == -1 || findHandle == 0)
        return -1;
    ArchiveFindHandle* h = (ArchiveFindHandle*)findHandle;
    if (h->kind == 0) {
        DiskFindClose(h->diskFind);
    } else {
        FreeTracked(h->state);
        ReleaseArchiveReference(h->archiveIndex);
    }
    FreeTracked(h);
    return 0;
}
