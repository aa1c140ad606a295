#include "runtime/file/archive_stream.h"

#include <string.h>

#ifdef _WIN32
#include <windows.h>

#include "runtime/file/disk_files.h"
#endif
#include "runtime/memory.h"


static void WaitArchiveStream(ArchiveStream* stream)
{
#ifdef _WIN32 // reads pend only on Win32 disk files; the native build reads images only
    while (!PollArchiveStream(stream))
        Sleep(1);
#endif
}

static uint32_t EntryFilePosition(const ArchiveStream* s)
{
    return s->archive->header.dataOffset + s->entry.dataOffset;
}

// The buffer of a decompressed entry: one byte more, so that an empty entry
// still allocates. An entry too large for that (its size plus one would wrap
// to an empty buffer) cannot be held.
static unsigned char* AllocEntryData(uint32_t bytes)
{
    if (bytes >= 0x7FFFFFFFu)
        return nullptr;
    return (unsigned char*)AllocTracked((size_t)bytes + 1, "ArchiveData", 0);
}

#ifdef _WIN32 // archive files are Win32 disk files; the native build reads images only
// Moves the archive file to a position unless it is there already.
static int SeekArchiveFile(StreamHandle file, uint32_t at)
{
    if ((uint32_t)DiskFileTell(file) == at)
        return 0;
    return DiskFileSeek(file, (long)at, 0);
}
#endif

// Decodes an unscrambled LZ block into the stream's data buffer.
static int DecodeEntry(ArchiveStream* s, const unsigned char* block)
{
    return DecodeArchiveLzChecked(block, s->entry.packedSize, s->data, s->entry.dataSize);
}

int OpenArchiveStream(ArchiveStream* stream, ArchiveRecord* archive, const char* innerPath, int async)
{
#ifdef _WIN32 // only a Win32 disk file is loaded
    FinishArchiveLoad(archive);
#endif
    ArchiveFileEntry entry;
    if (LookupArchiveFileEntry(archive, innerPath, &entry) != 0 || !ArchiveEntryFits(archive, &entry))
        return -1;
    memset(stream, 0, sizeof *stream);
    stream->archive = archive;
    stream->entry = entry;
    stream->async = async;
    if (ArchiveEntryStored(archive, &entry))
        return 0;

    // A compressed entry is decoded whole at open.
    uint32_t at = EntryFilePosition(stream);
    uint32_t packedSize = entry.packedSize;
    if (archive->inMemory) {
        const unsigned char* block = archive->image + at;
        if (CheckArchiveLzHeader(block, packedSize, entry.dataSize) != 0)
            return -1;
        stream->data = AllocEntryData(entry.dataSize);
        if (!stream->data)
            return -1;
        if (DecodeEntry(stream, block) != 0) {
            FreeTracked(stream->data);
            stream->data = nullptr;
            return -1;
        }
        return 0;
    }

#ifdef _WIN32 // archive files are Win32 disk files; the native build reads images only
    if (packedSize < LZ_HEADER_SIZE)
        return -1;
    StreamHandle file = archive->file;
    if (!async) {
        unsigned char* packed = (unsigned char*)AllocTracked(packedSize, "ArchivePacked", 0);
        if (!packed)
            return -1;
        if (SeekArchiveFile(file, at) != 0 ||
            ReadArchiveBytesDecoded(at, file, packed, packedSize, archive->key) != 0 ||
            CheckArchiveLzHeader(packed, packedSize, entry.dataSize) != 0) {
            FreeTracked(packed);
            return -1;
        }
        stream->data = AllocEntryData(entry.dataSize);
        if (!stream->data || DecodeEntry(stream, packed) != 0) {
            if (stream->data)
                FreeTracked(stream->data);
            stream->data = nullptr;
            FreeTracked(packed);
            return -1;
        }
        FreeTracked(packed);
        return 0;
    }

    // The block arrives later; its header is read now, so that nothing is
    // allocated for an entry size the block cannot stand for.
    unsigned char header[LZ_HEADER_SIZE];
    if (SeekArchiveFile(file, at) != 0 ||
        ReadArchiveBytesDecoded(at, file, header, LZ_HEADER_SIZE, archive->key) != 0 ||
        CheckArchiveLzHeader(header, packedSize, entry.dataSize) != 0)
        return -1;
    unsigned char* packed = (unsigned char*)AllocTracked(packedSize, "ArchivePacked", 0);
    stream->data = packed ? AllocEntryData(entry.dataSize) : nullptr;
    if (!stream->data || SeekArchiveFile(file, at) != 0) {
        if (stream->data)
            FreeTracked(stream->data);
        if (packed)
            FreeTracked(packed);
        stream->data = nullptr;
        return -1;
    }
    stream->packed = packed;
    stream->pendingPosition = at;
    stream->pending = 1;
    DiskFileRead(packed, packedSize, 1, file);
    return 0;
#else
    return -1;
#endif
}

int PollArchiveStream(ArchiveStream* stream)
{
    if (!stream->async || stream->pending == 0)
        return 1;
#ifdef _WIN32 // reads pend only on Win32 disk files
    ArchiveRecord* archive = stream->archive;
    if (!DiskFileIdle(archive->file))
        return 0;
    if (stream->pending == 1) {
        XorArchiveData(stream->entry.packedSize, stream->packed, stream->pendingPosition, archive->key);
        if (DecodeEntry(stream, stream->packed) != 0)
            stream->damaged = 1;
        FreeTracked(stream->packed);
        stream->packed = nullptr;
    } else if (stream->pending == 2) {
        XorArchiveData(stream->pendingBytes, stream->pendingDestination, stream->pendingPosition, archive->key);
    }
#endif
    stream->pending = 0;
    return 1;
}

uint32_t ReadArchiveStream(ArchiveStream* stream, void* buffer, uint32_t bytes)
{
    WaitArchiveStream(stream);
    if (stream->damaged) {
        stream->eof = 1;
        return 0;
    }
    if (stream->eof)
        return 0;
    uint32_t size = stream->entry.dataSize;
    if (stream->position >= size) {
        stream->eof = 1;
        return 0;
    }
    uint32_t k = size - stream->position;
    if (bytes < k)
        k = bytes;
    if (k == 0)
        return 0;
    ArchiveRecord* archive = stream->archive;
    uint32_t at = EntryFilePosition(stream) + stream->position;
    if (stream->data) {
        memcpy(buffer, stream->data + stream->position, k);
    } else if (archive->inMemory) {
        memcpy(buffer, archive->image + at, k);
    } else {
#ifdef _WIN32 // archive files are Win32 disk files; the native build reads images only
        StreamHandle file = archive->file;
        if (SeekArchiveFile(file, at) != 0)
            return 0;
        if (!stream->async) {
            if (ReadArchiveBytesDecoded(at, file, buffer, k, archive->key) != 0)
                return 0;
        } else {
            stream->pendingDestination = (unsigned char*)buffer;
            stream->pendingBytes = k;
            stream->pendingPosition = at;
            stream->pending = 2;
            DiskFileRead(buffer, k, 1, file);
        }
#else
        return 0;
#endif
    }
    stream->position += k;
    stream->eof = 0;
    return k;
}

int SeekArchiveStream(ArchiveStream* stream, long offset, int origin)
{
    WaitArchiveStream(stream);
    int64_t position = offset;
    if (origin == 1)
        position += stream->position;
    else if (origin == 2)
        position += stream->entry.dataSize;
    if (position < 0)
        position = 0;
    if (position > stream->entry.dataSize)
        position = stream->entry.dataSize;
    stream->position = (uint32_t)position;
    stream->eof = 0;
    return 0;
}

long TellArchiveStream(ArchiveStream* stream)
{
    WaitArchiveStream(stream);
    return (long)stream->position;
}

int ArchiveStreamEof(ArchiveStream* stream)
{
    WaitArchiveStream(stream);
    return stream->eof ? -1 : 0;
}

int CloseArchiveStream(ArchiveStream* stream)
{
    WaitArchiveStream(stream);
    if (stream->data)
        FreeTracked(stream->data);
    if (stream->packed)
        FreeTracked(stream->packed);
    memset(stream, 0, sizeof *stream);
    return 0;
}

