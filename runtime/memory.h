// The tracked allocator: every allocation of the library carries a header
// (64 bytes on 32-bit Windows) that names its owner, links it into a list of
// live blocks and is guarded by a copy of everything before the guard.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The guarded fields: name, id, line and size, then the two links.
constexpr size_t kMemGuardBytes = 24 + 2 * sizeof(void*);

struct MemBlockHeader {
    char name[16];               // caller's text, at most 15 characters (the last 15)
    uint16_t id;                 // serial number, wraps after 65535
    uint16_t line;               // caller's number (-1 is stored as 65535)
    uint32_t size;               // size asked for
    MemBlockHeader* next;        // next older block, toward the end marker
    MemBlockHeader* previous;    // next newer block; none for the newest
    uint8_t guard[kMemGuardBytes]; // copy of the fields above
};

static_assert(offsetof(MemBlockHeader, guard) == kMemGuardBytes, "the guard copies every field before it");
#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(MemBlockHeader) % 16 == 0, "data after the header keeps 16-byte alignment");
#else
static_assert(sizeof(MemBlockHeader) == 64, "the block header is 64 bytes");
#endif

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

// Totals of the live blocks (the size saturates at INT_MAX).
int GetAllocTotalSize();
int GetAllocCount();
// The newest live block's header, or null when none is held (for tests and
// the dump).
MemBlockHeader* GetNewestAllocHeader();
// Allocations of exactly this size are logged (0 unless changed).
int SetWatchedAllocSize(int size);
