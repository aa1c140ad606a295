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
    int (*getCurrentDir)(char* buffer);
    intptr_t (*findFirst)(const char* pattern, FindRecord* record);
    int (*findNext)(intptr_t findHandle, FindRecord* record);
    int (*findClose)(intptr_t findHandle);
};

extern StreamFunctionTable StreamFunctions;

// With a table, copies its operations; with null, installs the default set.
int SetStreamFunctions(const StreamFunctionTable* table);
