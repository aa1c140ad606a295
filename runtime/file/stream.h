// The table of twelve file operations through which the library reads every
// file, and the stream descriptors that decoders read through.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A file handle of the table's current set; 0 means failure.
typedef uintptr_t StreamHandle;

struct DateRecord {
    int year, month, day, hour, minute, second;
};

struct FindRecord {
    char name[260];
    int isDirectory;
    uint32_t sizeLow, sizeHigh;
    DateRecord creation;
    DateRecord lastWrite;
};

struct StreamFunctionTable {
    StreamHandle (*open)(const char* path, int cache, int reserved, int async);
    int (*close)(StreamHandle handle);
    long (*tell)(StreamHandle handle);
    int (*seek)(StreamHandle handle, long offset, int origin);
    size_t (*read)(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
    int (*eof)(StreamHandle handle);
    int (*idle)(StreamHandle handle);
    int (*setCurrentDir)(const char* path);
    int (*getCurrentDir)(char* buffer);  // writes an empty text when it fails
    intptr_t (*findFirst)(const char* pattern, FindRecord* record);
    int (*findNext)(intptr_t findHandle, FindRecord* record);
    int (*findClose)(intptr_t findHandle);
};

extern StreamFunctionTable StreamFunctions;

// With a table, copies its operations; with null, installs the archive set
// (the disk set when archives are switched off). The table starts out holding
// the archive set.
int SetStreamFunctions(const StreamFunctionTable* table);
const StreamFunctionTable* GetArchiveStreamFunctionSet();
const StreamFunctionTable* GetDiskStreamFunctionSet();

// The six operations a decoder reads through, followed by the handle they
// work on (a file of the table's set, or a memory stream).
struct StreamDescriptorFunctions {
    long (*tell)(StreamHandle handle);
    int (*seek)(StreamHandle handle, long offset, int origin);
    size_t (*read)(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
    int (*eof)(StreamHandle handle);
    int (*idle)(StreamHandle handle);
    int (*close)(StreamHandle handle);
};

struct StreamDescriptor {
    StreamDescriptorFunctions ops;
    StreamHandle handle;
};

const StreamDescriptorFunctions* GetFileStreamFunctions();
const StreamDescriptorFunctions* GetMemoryStreamFunctions();

// Entry points that hand their arguments to the table's current operations.
StreamHandle FileStreamOpen(const char* path, int cache, int reserved, int async);
int FileStreamClose(StreamHandle handle);
long FileStreamTell(StreamHandle handle);
int FileStreamSeek(StreamHandle handle, long offset, int origin);
size_t FileStreamRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
int FileStreamEof(StreamHandle handle);
int FileStreamIdle(StreamHandle handle);

// A read-only stream over a block of memory that it does not own; 0 when the
// record cannot be allocated.
struct MemoryStream {
    const unsigned char* data;
    int size;
    int position;
    int eof;
};
StreamHandle OpenMemoryStream(const void* data, int size);
int CloseMemoryStream(StreamHandle stream);
long MemStreamTell(StreamHandle stream);
int MemStreamSeek(StreamHandle stream, long offset, int origin);
size_t MemStreamRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle stream);
int MemStreamEof(StreamHandle stream);
int MemStreamIdle(StreamHandle stream);

// The game's CSV reading: open through slot 0, read byte by byte.
StreamHandle OpenFileStream(const char* path, int async);
int ReadStreamByte(StreamHandle handle);
