// Reading one file inside an open archive: a stored entry straight from the
// archive, a compressed one decoded whole at open.
#pragma once

#include <stdint.h>

#include "runtime/file/archive_reader.h"

// A file inside an archive.
struct ArchiveStream {
    ArchiveRecord* archive;
    ArchiveFileEntry entry;
    unsigned char* data;          // the decompressed entry (null for stored entries)
    unsigned char* packed;        // the LZ block of a pending asynchronous read
    int eof;
    uint32_t position;
    int async;
    int pending;                  // 0 none, 1 LZ block read pending, 2 stored read pending
    uint32_t pendingPosition;     // file position of the pending read
    unsigned char* pendingDestination;
    uint32_t pendingBytes;
    int damaged;                  // an asynchronously read LZ block did not decode
};

int OpenArchiveStream(ArchiveStream* stream, ArchiveRecord* archive, const char* innerPath, int async);
uint32_t ReadArchiveStream(ArchiveStream* stream, void* buffer, uint32_t bytes);
int SeekArchiveStream(ArchiveStream* stream, long offset, int origin);
long TellArchiveStream(ArchiveStream* stream);
int ArchiveStreamEof(ArchiveStream* stream);
int PollArchiveStream(ArchiveStream* stream);
int CloseArchiveStream(ArchiveStream* stream);
