// One open archive: the header, the scrambling key, the name, file and
// directory tables, and the walks and look-ups over them. The archive is held
// streamed (its header block in memory, its data read through a disk file
// with a file-access thread), or wholly in memory (a caller's image, or the
// file loaded by the library).
#pragma once

#include <stdint.h>

#include "runtime/file/archive_format.h"
#include "runtime/file/archive_lz.h"
#include "runtime/file/stream.h"

// The first 28 bytes of the header as read (the code page is 0 before
// version 4).
struct ArchiveHeader {
    uint16_t magic;
    uint16_t version;
    uint32_t headerBlockSize;
    uint32_t dataOffset;
    uint32_t headerBlockOffset;
    uint32_t fileTableOffset;
    uint32_t dirTableOffset;
    uint32_t codePage;
};
static_assert(sizeof(ArchiveHeader) == 28, "the archive header is 28 bytes");

// A free record has neither an image nor a file.
struct ArchiveRecord {
    ArchiveHeader header;
    int charSet;                  // from the code page, for IsMultiByteLead
    unsigned char* image;         // the archive in memory (in-memory modes)
    StreamHandle file;            // the archive's disk file (streamed, or a pending load)
    unsigned char* headerBlock;   // inside the image, or an owned copy
    uint32_t currentDir;          // offset of the current directory entry
    uint8_t key[ARCHIVE_KEY_SIZE];
    int inMemory;
    int callerImage;
    uint32_t imageSize;
    int loadPending;
    uint32_t archiveSize;         // bytes of the image or of the file
    uint32_t fileEntrySize;       // 40 before version 2, else 44
};

// A file entry of the file table, decoded (version 0 and 1 entries read as
// stored).
struct ArchiveFileEntry {
    uint32_t tableOffset;         // where the entry lies in the file table
    uint32_t nameOffset;
    uint32_t attributes;
    uint64_t creation;            // stored file times: 100 ns units since 1601
    uint64_t lastWrite;
    uint32_t dataOffset;          // file: from the data area; directory: into the directory table
    uint32_t dataSize;
    uint32_t packedSize;          // LZ block size, ARCHIVE_STORED when stored
};

struct ArchiveDirEntry {
    uint32_t parent;
    uint32_t count;
    uint32_t first;
};

// The key by which a name is looked up: its search form, check sum and units.
struct ArchiveSearchName {
    uint8_t form[ARCHIVE_NAME_FORM_SIZE];
    uint16_t checkSum;
    uint16_t units;
};

void MakeArchiveKey(const char* keyString, uint8_t key[ARCHIVE_KEY_SIZE]);
// XORs each byte with the key byte at its file position modulo 12.
void XorArchiveData(uint32_t length, void* buffer, uint32_t position, const uint8_t key[ARCHIVE_KEY_SIZE]);
// The streamed and whole-file opens read through Win32 disk files; the native
// build opens caller images only.
#ifdef _WIN32
// Reads length bytes as one item from the archive's disk file at its current
// position, waits until the read is done and unscrambles them as lying at
// `position` (-1: the position before the read). 0, or -1 when the file does
// not hold that many bytes there.
int ReadArchiveBytesDecoded(int64_t position, StreamHandle file, void* buffer, uint32_t length,
                            const uint8_t key[ARCHIVE_KEY_SIZE]);

int OpenArchiveFileStreamed(ArchiveRecord* record, const char* path, const char* keyString);
int OpenArchiveFileToMemory(ArchiveRecord* record, const char* path, const char* keyString, int async);
// 1 when no whole-file load is pending (finishing one whose read is done), 0
// while it runs.
int PollArchiveLoad(ArchiveRecord* record);
// Waits for a pending whole-file load.
void FinishArchiveLoad(ArchiveRecord* record);
#endif
int OpenArchiveInMemory(ArchiveRecord* record, void* image, uint32_t size, const char* keyString);
int CloseArchive(ArchiveRecord* record);
int CloseArchiveRecord(ArchiveRecord* record);
void ClearArchiveRecord(ArchiveRecord* record);

void* GetArchiveImage(ArchiveRecord* record);
// For a file inside the archive, the file offset of its data and its size;
// 0, or -1 when it is not there or its data would run past the archive.
int GetArchiveFileLocation(ArchiveRecord* record, const char* path, uint32_t* offset, uint32_t* size);

// Table access, every read bounds-checked against the header block: 0, or -1
// when the entry does not lie inside its table.
int ReadArchiveFileEntry(const ArchiveRecord* record, uint32_t tableOffset, ArchiveFileEntry* entry);
int ReadArchiveDirEntry(const ArchiveRecord* record, uint32_t dirOffset, ArchiveDirEntry* entry);
// 1 when the entry's data is stored uncompressed.
int ArchiveEntryStored(const ArchiveRecord* record, const ArchiveFileEntry* entry);
// 1 when the entry's stored bytes lie inside the archive.
int ArchiveEntryFits(const ArchiveRecord* record, const ArchiveFileEntry* entry);
// The stored name of an entry, cut to size - 1 bytes; 0 or -1.
int GetArchiveEntryName(const ArchiveRecord* record, const ArchiveFileEntry* entry, char* out, int size);
// The search form of the entry's name matches the search name.
int ArchiveEntryNameMatches(const ArchiveRecord* record, const ArchiveFileEntry* entry,
                            const ArchiveSearchName* name);

// Search name of one path component (up to its end or the first separator);
// the component's length in bytes goes to length. -1 when it is too long.
int MakeArchiveSearchName(const ArchiveRecord* record, const char* component, ArchiveSearchName* name, int* length);
int FindArchiveDirEntry(ArchiveRecord* record, const ArchiveSearchName* name);
int ChangeArchiveDir(ArchiveRecord* record, const char* path, int restore, ArchiveSearchName* last);
// The file entry that the path names, relative to the current directory
// (which is kept); 0, or -1 when there is none.
int LookupArchiveFileEntry(ArchiveRecord* record, const char* path, ArchiveFileEntry* entry);
