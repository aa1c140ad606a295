// The tracked memory over the native build's C heap and mutex, which stand in
// for the Win32 process heap and critical section there: the same growth,
// links, refusals and totals, also under several threads.
#include <gtest/gtest.h>
#include <string.h>

#include <thread>
#include <vector>

#include "runtime/memory.h"

namespace {

MemBlockHeader* HeaderOf(void* data)
{
    return (MemBlockHeader*)data - 1;
}

} // namespace

TEST(NativeMemory, ReallocKeepsTheDataZeroesTheGrowthAndRelinks)
{
    int count = GetAllocCount(), total = GetAllocTotalSize();
    // Reallocating none allocates, under the lock it already holds.
    char* a = (char*)ReallocTracked(nullptr, 12, "grow", 1);
    ASSERT_NE(nullptr, a);
    memcpy(a, "hello world", 12);
    void* newer = AllocTracked(4, "newer", 0);

    // Growing far enough that the block moves: what was there stays, the
    // rest reads as zero, and the neighbours point at the new place.
    char* grown = (char*)ReallocTracked(a, 1 << 20, "grown", 2);
    ASSERT_NE(nullptr, grown);
    EXPECT_STREQ("hello world", grown);
    for (int i = 12; i < 1 << 20; i++)
        ASSERT_EQ(0, grown[i]) << i;
    MemBlockHeader* h = HeaderOf(grown);
    EXPECT_EQ(h, HeaderOf(newer)->next);
    EXPECT_EQ(HeaderOf(newer), h->previous);
    EXPECT_EQ(h, h->next->previous);
    EXPECT_EQ(0, CheckAllocRecords());

    // Requests past the 2 GB limit leave everything as it was.
    EXPECT_EQ(nullptr, ReallocTracked(grown, 0x7FFFFFF0u, "huge", 0));
    EXPECT_EQ(nullptr, AllocTracked((size_t)0x100000000ull - 1, "huge", 0));
    EXPECT_STREQ("hello world", grown);

    char* shrunk = (char*)ReallocTracked(grown, 5, "shrunk", 0);
    ASSERT_NE(nullptr, shrunk);
    EXPECT_EQ(0, memcmp(shrunk, "hello", 5));
    EXPECT_EQ(total + 9, GetAllocTotalSize());
    // A damaged header is found without a log to write to.
    HeaderOf(shrunk)->line ^= 1;
    EXPECT_EQ(-1, CheckAllocRecords());
    HeaderOf(shrunk)->line ^= 1;
    FreeTracked(shrunk);
    FreeTracked(newer);
    EXPECT_EQ(count, GetAllocCount());
    EXPECT_EQ(total, GetAllocTotalSize());
    EXPECT_EQ(0, CheckAllocRecords());
}

TEST(NativeMemory, TotalsStayExactUnderSeveralThreads)
{
    int count = GetAllocCount(), total = GetAllocTotalSize();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; t++)
        threads.emplace_back([t] {
            uint32_t x = 12345u + t;
            std::vector<void*> live;
            for (int i = 0; i < 4000; i++) {
                x = x * 1664525u + 1013904223u;
                size_t size = 1 + (x >> 20) % 256;
                if (live.size() < 16 || (x & 3) == 0)
                    live.push_back(AllocTracked(size, "thread", t));
                else if ((x & 3) == 1)
                    live.back() = ReallocTracked(live.back(), size, "thread", t);
                else {
                    FreeTracked(live.back());
                    live.pop_back();
                }
            }
            for (void* block : live)
                FreeTracked(block);
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(count, GetAllocCount());
    EXPECT_EQ(total, GetAllocTotalSize());
    EXPECT_EQ(0, CheckAllocRecords());
}
