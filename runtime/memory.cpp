#include "runtime/memory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <mutex>
#endif
#include <stdio.h>
#include <string.h>

#include "runtime/log.h"

// The list runs from the newest block (head) through `next` to a static end
// marker behind the oldest; before the first allocation the head is none.
static MemBlockHeader endMarker;
static MemBlockHeader* head;
static long long totalSize; // can pass 2 GB on 64-bit Windows
static int totalCount;
static int watchedSize;
static uint16_t nextId;

#ifdef _WIN32
static CRITICAL_SECTION section;
static volatile LONG sectionState; // 0 none, 1 being made, 2 ready

// The allocator can be reached first from any thread; the section is made
// exactly once.
static void Lock()
{
    if (sectionState != 2) {
        if (InterlockedCompareExchange(&sectionState, 1, 0) == 0) {
            InitializeCriticalSection(&section);
            InterlockedExchange(&sectionState, 2);
        } else {
            while (sectionState != 2)
                Sleep(0);
        }
    }
    EnterCriticalSection(&section);
}

static void Unlock()
{
    LeaveCriticalSection(&section);
}

static void* HeapAllocate(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

// Grown bytes come back zeroed.
static void* HeapReallocate(void* block, size_t, size_t bytes)
{
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, bytes);
}

static void HeapRelease(void* block)
{
    HeapFree(GetProcessHeap(), 0, block);
}
#else
// The native build (sanitizer tests and fuzzing) has no Win32 heap or critical
// section: the C heap and a recursive mutex do their work, zeroing grown bytes
// as HEAP_ZERO_MEMORY does.
static std::recursive_mutex& Section()
{
    static std::recursive_mutex section;
    return section;
}

static void Lock() { Section().lock(); }
static void Unlock() { Section().unlock(); }
static void* HeapAllocate(size_t bytes) { return malloc(bytes); }

static void* HeapReallocate(void* block, size_t oldBytes, size_t bytes)
{
    void* grown = realloc(block, bytes);
    if (grown && bytes > oldBytes)
        memset((char*)grown + oldBytes, 0, bytes - oldBytes);
    return grown;
}

static void HeapRelease(void* block) { free(block); }
#endif

static void RefreshGuard(MemBlockHeader* h)
{
    if (h)
        memcpy(h->guard, h, sizeof h->guard);
}

static MemBlockHeader* HeaderOf(void* data)
{
    return (MemBlockHeader*)data - 1;
}

static void SetName(MemBlockHeader* h, const char* name)
{
    memset(h->name, 0, sizeof h->name);
    if (!name)
        return;
    size_t length = strlen(name);
    if (length > 15)
        name += length - 15;
    strncpy(h->name, name, 15);
}

void* AllocTracked(size_t size, const char* name, int line)
{
    Lock();
    MemBlockHeader* h = nullptr;
    if (size <= 0x7FFFFFFF - sizeof(MemBlockHeader))
        h = (MemBlockHeader*)HeapAllocate(size + sizeof(MemBlockHeader));
    if (!h) {
        DumpAllocations();
        CheckAllocRecords();
        Unlock();
        return nullptr;
    }
    h->size = (uint32_t)size;
    SetName(h, name);
    h->line = (uint16_t)line;
    h->id = nextId++;

    if (!head)
        head = &endMarker;
    head->previous = h;
    h->next = head;
    h->previous = nullptr;
    RefreshGuard(head);
    head = h;
    RefreshGuard(h);

    totalSize += (long long)size;
    totalCount++;
    if ((int)size == watchedSize) {
        WriteLog("mem alloc  ");
        LogAllocRecord(h);
    }
    Unlock();
    return h + 1;
}

void* AllocTrackedZero(size_t size, const char* name, int line)
{
    void* data = AllocTracked(size, name, line);
    if (data)
        memset(data, 0, size);
    return data;
}

void FreeTracked(void* data)
{
    if (!data)
        return;
    Lock();
    MemBlockHeader* h = HeaderOf(data);
    totalSize -= h->size;
    totalCount--;
    if (h->next)
        h->next->previous = h->previous;
    if (h->previous)
        h->previous->next = h->next;
    if (head == h)
        head = h->next;
    RefreshGuard(h->next);
    RefreshGuard(h->previous);
    if ((int)h->size == watchedSize) {
        WriteLog("mem free  ");
        LogAllocRecord(h);
    }
    HeapRelease(h);
    Unlock();
}

void* ReallocTracked(void* data, size_t size, const char* name, int line)
{
    Lock();
    if (!data) {
        void* fresh = AllocTracked(size, name, line);
        Unlock();
        return fresh;
    }
    MemBlockHeader* old = HeaderOf(data);
    uint32_t oldSize = old->size;
    MemBlockHeader* h = nullptr;
    if (size <= 0x7FFFFFFF - sizeof(MemBlockHeader))
        h = (MemBlockHeader*)HeapReallocate(old, oldSize + sizeof(MemBlockHeader), size + sizeof(MemBlockHeader));
    if (!h) {
        DumpAllocations();
        Unlock();
        return nullptr;
    }
    SetName(h, name);
    h->line = (uint16_t)line;
    h->id = nextId++;
    h->size = (uint32_t)size;
    if (h->next)
        h->next->previous = h;
    if (h->previous)
        h->previous->next = h;
    if (head == old)
        head = h;
    totalSize += (long long)size - oldSize;
    RefreshGuard(h);
    RefreshGuard(h->next);
    RefreshGuard(h->previous);
    if ((int)size == watchedSize) {
        WriteLog("mem realloc  ");
        LogAllocRecord(h);
    }
    Unlock();
    return h + 1;
}

int CheckAllocRecords()
{
    Lock();
    for (MemBlockHeader* h = head; h && h != &endMarker; h = h->next) {
        if (memcmp(h, h->guard, sizeof h->guard) != 0) {
            WriteLog("以下のメモリ確保情報が破損しました");
            LogAllocRecord(h);
            Unlock();
            return -1;
        }
    }
    Unlock();
    return 0;
}

int LogAllocRecord(const MemBlockHeader* h)
{
    char text[512];
    const unsigned char* data = (const unsigned char*)(h + 1);
    int shown = h->size < 16 ? (int)h->size : 16;
    char name[16];
    memcpy(name, h->name, sizeof name);
    name[15] = 0;
    int n = snprintf(text, sizeof text, "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08llx  data:<",
                     (int)h->size, h->size / 1024.0, name, h->line, h->id,
                     (unsigned long long)(uintptr_t)data);
    for (int i = 0; i < shown; i++)
        text[n++] = (data[i] < 0x20 || data[i] >= 0x80) ? '.' : (char)data[i];
    n += snprintf(text + n, sizeof text - n, "> [");
    for (int i = 0; i < shown; i++)
        n += snprintf(text + n, sizeof text - n, "%02x ", data[i]);
    // The last blank (or, with no data bytes, the bracket) becomes "]\n".
    snprintf(text + n - 1, sizeof text - (n - 1), "]\n");
    WriteLog(text);
    return 0;
}

int LogAllocTotals()
{
    WriteLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d", totalSize, totalSize / 1024.0, totalCount);
    return 0;
}

int DumpAllocations()
{
    Lock();
    WriteLog("\n");
    WriteLog("Alloc memory dump\n");
    for (MemBlockHeader* h = head; h && h != &endMarker; h = h->next)
        LogAllocRecord(h);
    LogAllocTotals();
    WriteLog("\n");
    Unlock();
    return 0;
}

int GetAllocTotalSize() { return totalSize > 0x7FFFFFFF ? 0x7FFFFFFF : (int)totalSize; }
int GetAllocCount() { return totalCount; }

MemBlockHeader* GetNewestAllocHeader()
{
    return head == &endMarker ? nullptr : head;
}

int SetWatchedAllocSize(int size)
{
    watchedSize = size;
    return 0;
}
