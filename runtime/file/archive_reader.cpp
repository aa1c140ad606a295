#include "runtime/file/archive_reader.h"

#include <string.h>

#ifdef _WIN32
#include <windows.h>

#include "runtime/file/disk_files.h"
#endif
#include "runtime/helpers.h"
#include "runtime/memory.h"

static uint16_t Read16(const uint8_t* p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

static uint32_t Read32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static uint64_t Read64(const uint8_t* p)
{
    return (uint64_t)Read32(p + 4) << 32 | Read32(p);
}

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// ---------------------------------------------------------------------------
// Key and scrambling

void MakeArchiveKey(const char* keyString, uint8_t key[ARCHIVE_KEY_SIZE])
{
    size_t length = keyString ? strlen(keyString) : 0;
    if (length >= ARCHIVE_KEY_SIZE) {
        memcpy(key, keyString, ARCHIVE_KEY_SIZE);
    } else if (length > 0) {
        size_t filled = 0;
        while (filled + length <= ARCHIVE_KEY_SIZE) {
            memcpy(key + filled, keyString, length);
            filled += length;
        }
        memcpy(key + filled, keyString, ARCHIVE_KEY_SIZE - filled);
    } else {
        // No key string (an empty one cannot fill the key by repetition).
        memset(key, ARCHIVE_KEY_PATTERN, ARCHIVE_KEY_SIZE);
    }
    for (int i = 0; i < (int)ARCHIVE_KEY_SIZE; i++)
        key[i] = ApplyArchiveKeyOperation(i, key[i]);
}

static void MakeSecondArchiveKey(uint8_t key[ARCHIVE_KEY_SIZE])
{
    memset(key, ARCHIVE_SECOND_KEY, ARCHIVE_KEY_SIZE);
}

void XorArchiveData(uint32_t length, void* buffer, uint32_t position, const uint8_t key[ARCHIVE_KEY_SIZE])
{
    uint8_t* p = (uint8_t*)buffer;
    uint32_t k = position % ARCHIVE_KEY_SIZE;
    // Bytes up to the next multiple of 12 in file position.
    while (length > 0 && k != 0) {
        *p++ ^= key[k];
        k = (k + 1) % ARCHIVE_KEY_SIZE;
        length--;
    }
    // Whole periods as three 32-bit words.
    uint32_t w[3];
    memcpy(w, key, sizeof w);
    for (; length >= ARCHIVE_KEY_SIZE; length -= ARCHIVE_KEY_SIZE, p += ARCHIVE_KEY_SIZE) {
        uint32_t v[3];
        memcpy(v, p, sizeof v);
        v[0] ^= w[0];
        v[1] ^= w[1];
        v[2] ^= w[2];
        memcpy(p, v, sizeof v);
    }
    for (uint32_t i = 0; i < length; i++)
        p[i] ^= key[i];
}

#ifdef _WIN32 // archive files are Win32 disk files; the native build opens images only
int ReadArchiveBytesDecoded(int64_t position, StreamHandle file, void* buffer, uint32_t length,
                            const uint8_t key[ARCHIVE_KEY_SIZE])
{
    if (length == 0)
        return 0;
    uint32_t at = position < 0 ? (uint32_t)DiskFileTell(file) : (uint32_t)position;
    size_t items = DiskFileRead(buffer, length, 1, file);
    while (!DiskFileIdle(file))
        Sleep(0);
    if (items != 1)
        return -1;
    XorArchiveData(length, buffer, at, key);
    return 0;
}
#endif

// ---------------------------------------------------------------------------
// Header and layout

static void ParseHeader(const uint8_t* bytes, ArchiveHeader* h)
{
    h->magic = Read16(bytes + ARCHIVE_HEADER_MAGIC);
    h->version = Read16(bytes + ARCHIVE_HEADER_VERSION);
    h->headerBlockSize = Read32(bytes + ARCHIVE_HEADER_BLOCK_SIZE);
    h->dataOffset = Read32(bytes + ARCHIVE_HEADER_DATA_OFFSET);
    h->headerBlockOffset = Read32(bytes + ARCHIVE_HEADER_BLOCK_OFFSET);
    h->fileTableOffset = Read32(bytes + ARCHIVE_HEADER_FILE_TABLE);
    h->dirTableOffset = Read32(bytes + ARCHIVE_HEADER_DIR_TABLE);
    h->codePage = h->version >= 4 ? Read32(bytes + ARCHIVE_HEADER_CODE_PAGE) : 0;
}

static uint32_t HeaderSize(uint16_t version)
{
    return version >= 4 ? ARCHIVE_HEADER_SIZE_V4 : ARCHIVE_HEADER_SIZE;
}

// The header block lies inside the archive, and the root directory entry
// and the start of the file table inside the header block.
static bool LayoutFits(const ArchiveHeader* h, uint32_t archiveSize)
{
    if ((uint64_t)h->headerBlockOffset + h->headerBlockSize > archiveSize)
        return false;
    if (h->dataOffset > archiveSize)
        return false;
    if (h->fileTableOffset > h->headerBlockSize)
        return false;
    if ((uint64_t)h->dirTableOffset + ARCHIVE_DIR_ENTRY_SIZE > h->headerBlockSize)
        return false;
    return true;
}

static void SetTables(ArchiveRecord* r)
{
    r->charSet = ArchiveCharSetOfCodePage(r->header.codePage);
    r->fileEntrySize = r->header.version >= ARCHIVE_FIRST_LZ_VERSION ? ARCHIVE_FILE_ENTRY_SIZE
                                                                     : ARCHIVE_FILE_ENTRY_SIZE_V0;
    r->currentDir = 0;
}

void ClearArchiveRecord(ArchiveRecord* record)
{
    memset(record, 0, sizeof *record);
}

static bool IsBusy(const ArchiveRecord* r)
{
    return r->image || r->file;
}

// ---------------------------------------------------------------------------
// Opening

int OpenArchiveInMemory(ArchiveRecord* record, void* image, uint32_t size, const char* keyString)
{
    if (IsBusy(record) || !image)
        return -1;
    uint8_t* bytes = (uint8_t*)image;
    uint8_t key[ARCHIVE_KEY_SIZE];
    uint8_t head[ARCHIVE_HEADER_SIZE_V4] = {};
    if (size < 8)
        return -1;
    MakeArchiveKey(keyString, key);
    memcpy(head, bytes, 8);
    XorArchiveData(8, head, 0, key);
    if (Read16(head) != ARCHIVE_MAGIC) {
        MakeSecondArchiveKey(key);
        memcpy(head, bytes, 8);
        XorArchiveData(8, head, 0, key);
        if (Read16(head) != ARCHIVE_MAGIC)
            return -1;
    }
    // Everything is checked on a copy of the header, so that a refused image
    // is left as the caller gave it.
    uint32_t headerSize = HeaderSize(Read16(head + ARCHIVE_HEADER_VERSION));
    if (size < headerSize)
        return -1;
    memcpy(head, bytes, headerSize);
    XorArchiveData(headerSize, head, 0, key);
    ArchiveHeader header;
    ParseHeader(head, &header);
    if (header.version > ARCHIVE_MAX_VERSION || !LayoutFits(&header, size))
        return -1;

    XorArchiveData(size, bytes, 0, key);
    ClearArchiveRecord(record);
    record->header = header;
    record->image = bytes;
    record->headerBlock = bytes + header.headerBlockOffset;
    memcpy(record->key, key, sizeof key);
    record->inMemory = 1;
    record->callerImage = 1;
    record->imageSize = size;
    record->archiveSize = size;
    SetTables(record);
    return 0;
}

#ifdef _WIN32 // archive files are Win32 disk files; the native build opens images only
// Steps shared by the streamed and the whole-file open: the file, the key,
// the header and the header block read into a copy of its own.
static int OpenArchiveFileHeader(ArchiveRecord* record, const char* path, const char* keyString)
{
    if (IsBusy(record))
        return -1;
    ClearArchiveRecord(record);
    StreamHandle file = DiskFileOpen(path, 0, 1, 1);
    if (!file)
        return -1;
    uint32_t size = DiskFileSize(file);
    uint8_t key[ARCHIVE_KEY_SIZE];
    uint8_t head[ARCHIVE_HEADER_SIZE_V4] = {};
    MakeArchiveKey(keyString, key);
    if (ReadArchiveBytesDecoded(0, file, head, 8, key) != 0 || Read16(head) != ARCHIVE_MAGIC) {
        MakeSecondArchiveKey(key);
        if (DiskFileSeek(file, 0, 0) != 0 || ReadArchiveBytesDecoded(0, file, head, 8, key) != 0 ||
            Read16(head) != ARCHIVE_MAGIC) {
            DiskFileClose(file);
            return -1;
        }
    }
    uint16_t version = Read16(head + ARCHIVE_HEADER_VERSION);
    ArchiveHeader header;
    if (version > ARCHIVE_MAX_VERSION ||
        ReadArchiveBytesDecoded(8, file, head + 8, HeaderSize(version) - 8, key) != 0) {
        DiskFileClose(file);
        return -1;
    }
    ParseHeader(head, &header);
    if (!LayoutFits(&header, size)) {
        DiskFileClose(file);
        return -1;
    }
    // One byte more than the block, so that an empty block still allocates
    // (a block of 0xFFFFFFFF bytes would wrap that to nothing).
    uint8_t* block = header.headerBlockSize < 0x7FFFFFFFu
                         ? (uint8_t*)AllocTracked((size_t)header.headerBlockSize + 1, "ArchiveHeader", 0)
                         : nullptr;
    if (!block) {
        DiskFileClose(file);
        return -1;
    }
    if (DiskFileSeek(file, (long)header.headerBlockOffset, 0) != 0 ||
        ReadArchiveBytesDecoded(header.headerBlockOffset, file, block, header.headerBlockSize, key) != 0) {
        FreeTracked(block);
        DiskFileClose(file);
        return -1;
    }
    record->header = header;
    record->file = file;
    record->headerBlock = block;
    memcpy(record->key, key, sizeof key);
    record->archiveSize = size;
    SetTables(record);
    return 0;
}

int OpenArchiveFileStreamed(ArchiveRecord* record, const char* path, const char* keyString)
{
    if (OpenArchiveFileHeader(record, path, keyString) != 0)
        return -1;
    record->inMemory = 0;
    record->callerImage = 0;
    return 0;
}

int OpenArchiveFileToMemory(ArchiveRecord* record, const char* path, const char* keyString, int async)
{
    if (OpenArchiveFileHeader(record, path, keyString) != 0)
        return -1;
    uint32_t size = record->archiveSize;
    uint8_t* image = (uint8_t*)AllocTracked(size, "ArchiveImage", 0);
    if (!image || DiskFileSeek(record->file, 0, 0) != 0) {
        if (image)
            FreeTracked(image);
        DiskFileClose(record->file);
        FreeTracked(record->headerBlock);
        ClearArchiveRecord(record);
        return -1;
    }
    record->image = image;
    record->imageSize = size;
    record->inMemory = 1;
    record->callerImage = 0;
    record->loadPending = 1;
    DiskFileRead(image, size, 1, record->file);
    if (!async)
        FinishArchiveLoad(record);
    return 0;
}

int PollArchiveLoad(ArchiveRecord* record)
{
    if (!record->loadPending)
        return 1;
    if (!DiskFileIdle(record->file))
        return 0;
    DiskFileClose(record->file);
    record->file = 0;
    XorArchiveData(record->imageSize, record->image, 0, record->key);
    record->loadPending = 0;
    return 1;
}

void FinishArchiveLoad(ArchiveRecord* record)
{
    while (!PollArchiveLoad(record))
        Sleep(0);
}

#endif

// A whole-file load pends only on a Win32 disk file.
static void WaitForArchiveLoad(ArchiveRecord* record)
{
#ifdef _WIN32
    FinishArchiveLoad(record);
#endif
}

int CloseArchive(ArchiveRecord* record)
{
    if (!IsBusy(record))
        return 0;
    WaitForArchiveLoad(record);
#ifdef _WIN32 // only a Win32 disk file is streamed
    if (!record->inMemory) {
        DiskFileClose(record->file);
        FreeTracked(record->headerBlock);
    } else
#endif
    if (record->callerImage) {
        // Give the caller its bytes back as they were.
        XorArchiveData(record->imageSize, record->image, 0, record->key);
    } else {
        FreeTracked(record->image);
        FreeTracked(record->headerBlock);
    }
    ClearArchiveRecord(record);
    return 0;
}

int CloseArchiveRecord(ArchiveRecord* record)
{
    CloseArchive(record);
    ClearArchiveRecord(record);
    return 0;
}

void* GetArchiveImage(ArchiveRecord* record)
{
    // A whole-file load still in flight holds bytes not yet read or not yet
    // unscrambled.
    WaitForArchiveLoad(record);
    return record->inMemory ? record->image : nullptr;
}

// ---------------------------------------------------------------------------
// Tables

int ReadArchiveFileEntry(const ArchiveRecord* r, uint32_t tableOffset, ArchiveFileEntry* entry)
{
    uint64_t at = (uint64_t)r->header.fileTableOffset + tableOffset;
    if (at + r->fileEntrySize > r->header.headerBlockSize)
        return -1;
    const uint8_t* p = r->headerBlock + at;
    entry->tableOffset = tableOffset;
    entry->nameOffset = Read32(p + ARCHIVE_ENTRY_NAME);
    entry->attributes = Read32(p + ARCHIVE_ENTRY_ATTRIBUTES);
    entry->creation = Read64(p + ARCHIVE_ENTRY_CREATION);
    entry->lastWrite = Read64(p + ARCHIVE_ENTRY_LAST_WRITE);
    entry->dataOffset = Read32(p + ARCHIVE_ENTRY_DATA);
    entry->dataSize = Read32(p + ARCHIVE_ENTRY_SIZE);
    entry->packedSize = r->fileEntrySize >= ARCHIVE_FILE_ENTRY_SIZE ? Read32(p + ARCHIVE_ENTRY_PACKED)
                                                                    : ARCHIVE_STORED;
    return 0;
}

int ReadArchiveDirEntry(const ArchiveRecord* r, uint32_t dirOffset, ArchiveDirEntry* entry)
{
    uint64_t at = (uint64_t)r->header.dirTableOffset + dirOffset;
    if (at + ARCHIVE_DIR_ENTRY_SIZE > r->header.headerBlockSize)
        return -1;
    const uint8_t* p = r->headerBlock + at;
    entry->parent = Read32(p + ARCHIVE_DIR_PARENT);
    entry->count = Read32(p + ARCHIVE_DIR_COUNT);
    entry->first = Read32(p + ARCHIVE_DIR_FIRST);
    // A directory's entries are consecutive; all of them must lie inside the
    // file table, else the directory counts as empty.
    if ((uint64_t)r->header.fileTableOffset + entry->first + (uint64_t)entry->count * r->fileEntrySize >
        r->header.headerBlockSize)
        entry->count = 0;
    return 0;
}

// The name entry at `offset`: its unit count and search form, in bounds.
static const uint8_t* NameEntry(const ArchiveRecord* r, uint32_t offset, uint32_t* units)
{
    uint32_t blockSize = r->header.headerBlockSize;
    if ((uint64_t)offset + 4 > blockSize)
        return nullptr;
    const uint8_t* p = r->headerBlock + offset;
    *units = Read16(p);
    if ((uint64_t)offset + 4 + (uint64_t)*units * 4 > blockSize)
        return nullptr;
    return p;
}

int ArchiveEntryNameMatches(const ArchiveRecord* r, const ArchiveFileEntry* entry, const ArchiveSearchName* name)
{
    uint32_t units;
    const uint8_t* p = NameEntry(r, entry->nameOffset, &units);
    if (!p || units != name->units || Read16(p + 2) != name->checkSum)
        return 0;
    return memcmp(p + 4, name->form, (size_t)units * 4) == 0;
}

int GetArchiveEntryName(const ArchiveRecord* r, const ArchiveFileEntry* entry, char* out, int size)
{
    if (size < 1)
        return -1;
    out[0] = 0;
    uint32_t units;
    const uint8_t* p = NameEntry(r, entry->nameOffset, &units);
    if (!p)
        return -1;
    const uint8_t* name = p + 4 + (size_t)units * 4;
    const uint8_t* end = r->headerBlock + r->header.headerBlockSize;
    int n = 0;
    while (name + n < end && name[n] && n < size - 1) {
        out[n] = (char)name[n];
        n++;
    }
    out[n] = 0;
    return 0;
}

int MakeArchiveSearchName(const ArchiveRecord* record, const char* component, ArchiveSearchName* name, int* length)
{
    int n = 0;
    uint16_t sum = 0;
    const char* p = component;
    while (*p && !IsSeparator(*p)) {
        int bytes = (IsMultiByteLead(p, record->charSet) && p[1]) ? 2 : 1;
        if (n + bytes > (int)ARCHIVE_NAME_FORM_SIZE - 1)
            return -1;
        for (int i = 0; i < bytes; i++) {
            uint8_t c = (uint8_t)p[i];
            if (bytes == 1 && c >= 'a' && c <= 'z')
                c = (uint8_t)(c - 'a' + 'A');
            name->form[n++] = c;
            sum = (uint16_t)(sum + c);
        }
        p += bytes;
    }
    name->units = (uint16_t)((n + 4) / 4);
    memset(name->form + n, 0, (size_t)name->units * 4 - n);
    name->checkSum = sum;
    if (length)
        *length = (int)(p - component);
    return 0;
}

// First entry of the directory at dirOffset that has (wantDirectory 1) or
// lacks (0) the directory attribute and carries the name.
static int FindInDir(const ArchiveRecord* r, uint32_t dirOffset, const ArchiveSearchName* name, int wantDirectory,
                     ArchiveFileEntry* found)
{
    ArchiveDirEntry dir;
    if (ReadArchiveDirEntry(r, dirOffset, &dir) != 0)
        return -1;
    for (uint32_t i = 0; i < dir.count; i++) {
        ArchiveFileEntry e;
        if (ReadArchiveFileEntry(r, dir.first + i * r->fileEntrySize, &e) != 0)
            return -1;
        int isDirectory = (e.attributes & ARCHIVE_DIRECTORY_ATTRIBUTE) ? 1 : 0;
        if (isDirectory == wantDirectory && ArchiveEntryNameMatches(r, &e, name)) {
            *found = e;
            return 0;
        }
    }
    return -1;
}

int FindArchiveDirEntry(ArchiveRecord* record, const ArchiveSearchName* name)
{
    ArchiveFileEntry e;
    ArchiveDirEntry target;
    if (FindInDir(record, record->currentDir, name, 1, &e) != 0)
        return -1;
    if (ReadArchiveDirEntry(record, e.dataOffset, &target) != 0)
        return -1;
    record->currentDir = e.dataOffset;
    return 0;
}

static const char* FindSeparator(const ArchiveRecord* r, const char* path)
{
    for (const char* p = path; *p;) {
        if (IsSeparator(*p))
            return p;
        p += (IsMultiByteLead(p, r->charSet) && p[1]) ? 2 : 1;
    }
    return nullptr;
}

// The walk of ChangeArchiveDir; on failure `stop` tells where the failing
// component ends.
static int WalkArchiveDir(ArchiveRecord* r, const char* path, int restore, ArchiveSearchName* last,
                          const char** stop)
{
    ArchiveSearchName name;
    int length = 0;
    if (strcmp(path, ".") == 0)
        return 0;
    if ((path[0] == '\\' || path[0] == '/') && path[1] == 0) {
        r->currentDir = 0;
        return 0;
    }
    if (strcmp(path, "..") == 0) {
        ArchiveDirEntry dir;
        if (ReadArchiveDirEntry(r, r->currentDir, &dir) != 0 || dir.parent == ARCHIVE_NO_PARENT)
            return -1;
        ArchiveDirEntry parent;
        if (ReadArchiveDirEntry(r, dir.parent, &parent) != 0)
            return -1;
        r->currentDir = dir.parent;
        return 0;
    }
    uint32_t saved = r->currentDir;
    const char* p = path;
    bool named = false;
    while (*p) {
        if (IsSeparator(*p)) {
            r->currentDir = 0;
            p++;
            continue;
        }
        if (MakeArchiveSearchName(r, p, &name, &length) != 0) {
            if (restore)
                r->currentDir = saved;
            return -1;
        }
        if (FindArchiveDirEntry(r, &name) != 0) {
            if (restore)
                r->currentDir = saved;
            if (last)
                *last = name;
            if (stop)
                *stop = p + length;
            return -1;
        }
        named = true;
        p += length;
        if (*p)
            p++;
    }
    if (last && named)
        *last = name;
    return 0;
}

int ChangeArchiveDir(ArchiveRecord* record, const char* path, int restore, ArchiveSearchName* last)
{
    WaitForArchiveLoad(record);
    return WalkArchiveDir(record, path, restore, last, nullptr);
}

int LookupArchiveFileEntry(ArchiveRecord* record, const char* path, ArchiveFileEntry* entry)
{
    WaitForArchiveLoad(record);
    uint32_t saved = record->currentDir;
    ArchiveSearchName name;
    int result = -1;
    if (!FindSeparator(record, path)) {
        if (MakeArchiveSearchName(record, path, &name, nullptr) == 0)
            result = FindInDir(record, record->currentDir, &name, 0, entry);
    } else {
        const char* stop = nullptr;
        // A walk through directories only names a directory. Where it stops,
        // the component is a file name only when nothing follows it.
        if (WalkArchiveDir(record, path, 0, &name, &stop) != 0 && stop && *stop == 0)
            result = FindInDir(record, record->currentDir, &name, 0, entry);
    }
    record->currentDir = saved;
    return result;
}

int ArchiveEntryStored(const ArchiveRecord* record, const ArchiveFileEntry* entry)
{
    return record->header.version < ARCHIVE_FIRST_LZ_VERSION || entry->packedSize == ARCHIVE_STORED;
}

int ArchiveEntryFits(const ArchiveRecord* record, const ArchiveFileEntry* entry)
{
    uint32_t bytes = ArchiveEntryStored(record, entry) ? entry->dataSize : entry->packedSize;
    return (uint64_t)record->header.dataOffset + entry->dataOffset + bytes <= record->archiveSize;
}

int GetArchiveFileLocation(ArchiveRecord* record, const char* path, uint32_t* offset, uint32_t* size)
{
    ArchiveFileEntry entry;
    if (LookupArchiveFileEntry(record, path, &entry) != 0 || !ArchiveEntryFits(record, &entry))
        return -1;
    if (offset)
        *offset = record->header.dataOffset + entry.dataOffset;
    if (size)
        *size = entry.dataSize;
    return 0;
}
