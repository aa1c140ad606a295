// The tracked allocator: header layout and links, names, reallocation, the
// guard check, the dump's lines and the totals under several threads.
#include <gtest/gtest.h>
#include <windows.h>
#include <stddef.h>

#include <string>
#include <vector>

#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/runtime/log_capture.h"

namespace {

MemBlockHeader* HeaderOf(void* data)
{
    return (MemBlockHeader*)((char*)data - sizeof(MemBlockHeader));
}

// Live blocks counted along the list, newest to oldest.
int WalkCount()
{
    int n = 0;
    for (MemBlockHeader* h = GetNewestAllocHeader(); h && h->next; h = h->next)
        n++;
    return n;
}

bool GuardMatches(const MemBlockHeader* h)
{
    return memcmp(h, h->guard, kMemGuardBytes) == 0;
}

} // namespace

TEST(MemoryHeader, LayoutAndLinks)
{
    // 64 bytes on 32-bit Windows; on 64-bit the links take 8 bytes each, the
    // guard still copies everything before it, and blocks keep 16-byte alignment.
    const size_t link = sizeof(void*);
    EXPECT_EQ(link == 4 ? 64u : 80u, sizeof(MemBlockHeader));
    EXPECT_EQ(0u, offsetof(MemBlockHeader, name));
    EXPECT_EQ(16u, offsetof(MemBlockHeader, id));
    EXPECT_EQ(18u, offsetof(MemBlockHeader, line));
    EXPECT_EQ(20u, offsetof(MemBlockHeader, size));
    EXPECT_EQ(24u, offsetof(MemBlockHeader, next));
    EXPECT_EQ(24u + link, offsetof(MemBlockHeader, previous));
    EXPECT_EQ(24u + 2 * link, offsetof(MemBlockHeader, guard));
    EXPECT_EQ(24u + 2 * link, kMemGuardBytes);

    int count = GetAllocCount(), total = GetAllocTotalSize();
    void* a = AllocTracked(10, "first", 7);
    void* b = AllocTracked(20, "abcdefghijklmnopqrst", -1);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0u, (uintptr_t)a % (2 * link));
    EXPECT_EQ(0u, (uintptr_t)b % (2 * link));
    MemBlockHeader* ha = HeaderOf(a);
    MemBlockHeader* hb = HeaderOf(b);

    EXPECT_STREQ("first", ha->name);
    EXPECT_EQ(7, ha->line);
    EXPECT_EQ(10u, ha->size);
    // A long name keeps its last 15 characters; -1 is stored as 65535.
    EXPECT_STREQ("fghijklmnopqrst", hb->name);
    EXPECT_EQ(65535, hb->line);
    EXPECT_EQ((uint16_t)(ha->id + 1), hb->id);

    // Newest first: b -> a, and b has no newer block.
    EXPECT_EQ(hb, GetNewestAllocHeader());
    EXPECT_EQ(ha, hb->next);
    EXPECT_EQ(hb, ha->previous);
    EXPECT_EQ(nullptr, hb->previous);
    EXPECT_TRUE(GuardMatches(ha));
    EXPECT_TRUE(GuardMatches(hb));
    EXPECT_EQ(count + 2, GetAllocCount());
    EXPECT_EQ(total + 30, GetAllocTotalSize());

    void* z = AllocTrackedZero(33, nullptr, 0);
    ASSERT_NE(nullptr, z);
    EXPECT_STREQ("", HeaderOf(z)->name);
    for (int i = 0; i < 33; i++)
        EXPECT_EQ(0, ((unsigned char*)z)[i]);

    // Freeing the middle block relinks its neighbours and refreshes their guards.
    FreeTracked(b);
    EXPECT_EQ(ha, HeaderOf(z)->next);
    EXPECT_EQ(HeaderOf(z), ha->previous);
    EXPECT_TRUE(GuardMatches(ha));
    EXPECT_TRUE(GuardMatches(HeaderOf(z)));
    FreeTracked(z);
    FreeTracked(a);
    FreeTracked(nullptr);
    EXPECT_EQ(count, GetAllocCount());
    EXPECT_EQ(total, GetAllocTotalSize());
    EXPECT_EQ(0, CheckAllocRecords());
}

TEST(MemoryHeader, FreeingEverythingLeavesTheEndMarker)
{
    // Only this test's blocks are live here (the test program holds none).
    ASSERT_EQ(0, GetAllocCount());
    void* a = AllocTracked(8, "a", 0);
    MemBlockHeader* end = HeaderOf(a)->next;
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(nullptr, end->next);
    FreeTracked(a);
    EXPECT_EQ(nullptr, GetNewestAllocHeader());
    EXPECT_EQ(0, GetAllocCount());
    EXPECT_EQ(0, GetAllocTotalSize());
    void* b = AllocTracked(8, "b", 0);
    EXPECT_EQ(end, HeaderOf(b)->next);
    EXPECT_EQ(HeaderOf(b), end->previous);
    FreeTracked(b);
}

TEST(MemoryRealloc, GrowsShrinksAndRelinks)
{
    int count = GetAllocCount(), total = GetAllocTotalSize();
    // Reallocating none allocates exactly the new size.
    char* a = (char*)ReallocTracked(nullptr, 12, "grow", 1);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(12u, HeaderOf(a)->size);
    memcpy(a, "hello world", 12);
    void* newer = AllocTracked(4, "newer", 0);
    uint16_t oldId = HeaderOf(a)->id;

    char* grown = (char*)ReallocTracked(a, 100000, "grown", 2);
    ASSERT_NE(nullptr, grown);
    MemBlockHeader* h = HeaderOf(grown);
    EXPECT_STREQ("hello world", grown);
    for (int i = 12; i < 100000; i++)
        ASSERT_EQ(0, grown[i]) << i;
    EXPECT_STREQ("grown", h->name);
    EXPECT_EQ(2, h->line);
    EXPECT_NE(oldId, h->id);
    EXPECT_EQ(100000u, h->size);
    EXPECT_EQ(h, HeaderOf(newer)->next);
    EXPECT_EQ(HeaderOf(newer), h->previous);
    EXPECT_EQ(h, h->next->previous);
    EXPECT_EQ(count + 2, GetAllocCount());
    EXPECT_EQ(total + 100004, GetAllocTotalSize());
    EXPECT_EQ(0, CheckAllocRecords());

    // A request past the 2 GB limit, or one the heap cannot meet (a 32-bit
    // process has no room for 2 GB), leaves the block as it was.
    EXPECT_EQ(nullptr, ReallocTracked(grown, 0x7FFFFFF0u, "huge", 0));
    EXPECT_EQ(nullptr, AllocTracked(0x7FFFFFF0u, "huge", 0));
    EXPECT_EQ(nullptr, AllocTracked((size_t)0x100000000ull - 1, "huge", 0));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(nullptr, ReallocTracked(grown, 0x7FFFFF00u, "huge", 0));
        EXPECT_EQ(nullptr, AllocTracked(0x7FFFFF00u, "huge", 0));
    }
    EXPECT_STREQ("hello world", grown);
    EXPECT_EQ(count + 2, GetAllocCount());
    EXPECT_EQ(total + 100004, GetAllocTotalSize());

    char* shrunk = (char*)ReallocTracked(grown, 5, "shrunk", 0);
    ASSERT_NE(nullptr, shrunk);
    EXPECT_EQ(0, memcmp(shrunk, "hello", 5));
    EXPECT_EQ(total + 9, GetAllocTotalSize());
    FreeTracked(shrunk);
    FreeTracked(newer);
    EXPECT_EQ(count, GetAllocCount());
    EXPECT_EQ(total, GetAllocTotalSize());
    EXPECT_EQ(0, CheckAllocRecords());
}

TEST(MemoryTotals, BlocksNearTwoGigabytesDoNotWrapTheTotal)
{
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "a 32-bit process has no room for two such blocks";
    int count = GetAllocCount(), total = GetAllocTotalSize();
    void* a = AllocTracked(0x60000000, "big", 1);
    void* b = AllocTracked(0x60000000, "big", 2);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0x7FFFFFFF, GetAllocTotalSize());
    EXPECT_EQ(count + 2, GetAllocCount());
    FreeTracked(b);
    EXPECT_EQ(total + 0x60000000, GetAllocTotalSize());
    FreeTracked(a);
    EXPECT_EQ(total, GetAllocTotalSize());
    EXPECT_EQ(count, GetAllocCount());
}

TEST(MemoryCheck, DamageIsReportedAndTheAllocatorGoesOn)
{
    LogCapture log;
    log.Start();
    void* a = AllocTracked(4, "victim", 5);
    void* b = AllocTracked(4, "other", 0);
    MemBlockHeader* h = HeaderOf(a);
    EXPECT_EQ(0, CheckAllocRecords());
    h->name[0] ^= 0x20;
    EXPECT_EQ(-1, CheckAllocRecords());
    std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(0u, lines[0].find("以下のメモリ確保情報が破損しました\tsize:4(0.004kb)  file:Victim  line:5"))
        << lines[0];

    // Still usable: allocating and freeing around the damage works.
    void* c = AllocTracked(16, "after", 0);
    ASSERT_NE(nullptr, c);
    FreeTracked(c);
    h->name[0] ^= 0x20;
    EXPECT_EQ(0, CheckAllocRecords());
    FreeTracked(b);
    FreeTracked(a);
}

TEST(MemoryDump, RecordLinesAndTotals)
{
    LogCapture log;
    log.Start();
    ASSERT_EQ(0, GetAllocCount());
    // A zero-byte block: the watched size is 0, so it is logged, with no data.
    void* empty = AllocTracked(0, "zero", 3);
    unsigned char* data = (unsigned char*)AllocTracked(20, "bytes", 0);
    for (int i = 0; i < 20; i++)
        data[i] = (unsigned char)(i < 4 ? "AZ\x1f\x80"[i] : 'a' + i);
    DumpAllocations();
    int emptyId = HeaderOf(empty)->id, dataId = HeaderOf(data)->id;
    FreeTracked(data);
    FreeTracked(empty);

    char zeroLine[160], dataLine[200];
    snprintf(zeroLine, sizeof zeroLine, "size:0(0.000kb)  file:zero  line:3  ID:%d  addr:%08llx  data:<> ]",
             emptyId, (unsigned long long)(uintptr_t)empty);
    snprintf(dataLine, sizeof dataLine,
             "size:20(0.020kb)  file:bytes  line:0  ID:%d  addr:%08llx  data:<AZ..efghijklmnop> "
             "[41 5a 1f 80 65 66 67 68 69 6a 6b 6c 6d 6e 6f 70]",
             dataId, (unsigned long long)(uintptr_t)data);
    std::vector<std::string> expected = {
        std::string("mem alloc  \t") + zeroLine,
        "",
        "Alloc memory dump",
        dataLine,
        zeroLine,
        "Total size:20(0.020kb)  Alloc num:2",
        "",
        std::string("mem free  \t") + zeroLine,
    };
    EXPECT_EQ(expected, log.Lines());
}

namespace {

struct ThreadWork {
    std::vector<void*> kept;
    int keptSize = 0;
    unsigned seed = 0;
};

// Allocates, reallocates and frees blocks of random sizes, keeping a third of
// what is live at the end.
DWORD WINAPI AllocatingThread(void* parameter)
{
    ThreadWork& w = *(ThreadWork*)parameter;
    std::vector<void*> live;
    for (int i = 0; i < 4000; i++) {
        w.seed = w.seed * 1103515245u + 12345u;
        int size = 1 + (int)((w.seed >> 16) % 300);
        if (live.size() < 50 || (w.seed & 0x100)) {
            void* block = i & 1 ? AllocTracked(size, "thread", i) : AllocTrackedZero(size, "thread", i);
            memset(block, 0xAB, size);
            live.push_back(block);
        } else {
            size_t index = (w.seed >> 8) % live.size();
            if (w.seed & 0x200) {
                live[index] = ReallocTracked(live[index], size, "thread", i);
            } else {
                FreeTracked(live[index]);
                live[index] = live.back();
                live.pop_back();
            }
        }
    }
    for (size_t i = 0; i < live.size(); i++) {
        if (i % 3 == 0) {
            w.kept.push_back(live[i]);
            w.keptSize += (int)HeaderOf(live[i])->size;
        } else {
            FreeTracked(live[i]);
        }
    }
    return 0;
}

} // namespace

TEST(MemoryThreads, TotalsStayExactUnderSeveralThreads)
{
    int count = GetAllocCount(), total = GetAllocTotalSize();
    const int threads = 8;
    ThreadWork work[threads];
    HANDLE handles[threads];
    for (int t = 0; t < threads; t++) {
        work[t].seed = 12345u + t;
        handles[t] = CreateThread(nullptr, 0, AllocatingThread, &work[t], 0, nullptr);
        ASSERT_NE(nullptr, handles[t]);
    }
    WaitForMultipleObjects(threads, handles, TRUE, INFINITE);
    int keptCount = 0, keptSize = 0;
    for (int t = 0; t < threads; t++) {
        CloseHandle(handles[t]);
        keptCount += (int)work[t].kept.size();
        keptSize += work[t].keptSize;
    }
    EXPECT_EQ(count + keptCount, GetAllocCount());
    EXPECT_EQ(total + keptSize, GetAllocTotalSize());
    EXPECT_EQ(GetAllocCount(), WalkCount());
    EXPECT_EQ(0, CheckAllocRecords());
    for (ThreadWork& w : work)
        for (void* block : w.kept)
            FreeTracked(block);
    EXPECT_EQ(count, GetAllocCount());
    EXPECT_EQ(total, GetAllocTotalSize());
}
