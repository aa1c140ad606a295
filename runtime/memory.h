// The tracked allocator: every allocation of the library carries a 64-byte
// header that names its owner, links it into a list of live blocks and is
// guarded by a copy of its first half.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct MemBlockHeader {
    char name[16];               // caller's text, at most 15 characters (the last 15)
    uint16_t id;                 // serial number, wraps after 65535
    uint16_t line;               // caller's number (-1 is stored as 65535)
    uint32_t size;               // size asked for
    MemBlockHeader* next;        // next older block, toward the end marker
    MemBlockHeader* previous;    // next newer block; none for the newest
    uint8_t guard[32];           // copy of the 32 bytes above
};

static_assert(sizeof(MemBlockHeader) == 64, "the block header is 64 bytes");

void* AllocTracked(size_t size, const char* name, int line);
void* AllocTrackedZero(size_t size, const char* name, int line);
void* ReallocTracked(void* data, size_t size, const char* name, int line);
void FreeTracked(void* data);

// 0 when every header matches its guard; -1 (after logging the block) at the
// first that does not.
int CheckAllocRecords();
int DumpAllocations();
int LogAllocRecord(const MemBlockHeader* header);
int LogAllocTotals();

// Totals of the live blocks.
int GetAllocTotalSize();
int GetAllocCount();
// The newest live block's header, or null when none is held (for tests and
// the dump).
MemBlockHeader* GetNewestAllocHeader();
// Allocations of exactly this size are logged (0 unless changed).
int SetWatchedAllocSize(int size);
