// The shared handle table and the graph handle table.
#include <gtest/gtest.h>

#include "graphics/graph_handles.h"
#include "graphics/handle_table.h"
#include "runtime/memory.h"

namespace {

// A small table of its own for the slot rules.
void* smallSlots[8];
HandleTable small = { smallSlots, 8, HANDLE_TYPE_MIDI, SLOT_AT_END, 0, 0, 0 };
void* firstFreeSlots[4];
HandleTable firstFree = { firstFreeSlots, 4, HANDLE_TYPE_FONT, SLOT_FIRST_FREE, 0, 0, 0 };

int New(HandleTable* table)
{
    int handle;
    EXPECT_NE(nullptr, AllocHandleRecord(table, 16, "test", 0, &handle));
    return handle;
}

void Empty(HandleTable* table)
{
    for (int slot = 0; slot < table->slotCount; slot++) {
        int handle = HandleAtSlot(table, slot);
        if (handle != -1)
            FreeHandleRecord(table, handle);
    }
    table->checkCounter = 0;
}

struct TableTest : ::testing::Test {
    int allocs = GetAllocCount();
    void TearDown() override
    {
        Empty(&small);
        Empty(&firstFree);
        Empty(&GraphHandles);
        EXPECT_EQ(allocs, GetAllocCount());
    }
};

} // namespace

TEST_F(TableTest, HandlesCarryTypeCheckAndSlot)
{
    small.checkCounter = 5;
    int h = New(&small);
    EXPECT_EQ(0x40000000 | 5 << 16 | 0, h);
    EXPECT_EQ(0x48000000 | 2047 << 16 | 4095, MakeHandle(HANDLE_TYPE_LIGHT, 2047, 4095));
    EXPECT_EQ(5u, ((HandleRecordHead*)GetHandleRecord(&small, h))->check);
}

TEST_F(TableTest, NewRecordsTakeTheEndSlotUntilItReachesTheTableSize)
{
    int h[8];
    for (int i = 0; i < 8; i++) {
        h[i] = New(&small);
        EXPECT_EQ(i, h[i] & 0xFFFF);
    }
    EXPECT_EQ(1, IsHandleTableFull(&small));
    int none;
    EXPECT_EQ(nullptr, AllocHandleRecord(&small, 16, "test", 0, &none));
    EXPECT_EQ(-1, none);

    // A freed middle slot is reused only once the end slot is at the top.
    EXPECT_EQ(0, FreeHandleRecord(&small, h[5]));
    EXPECT_EQ(8, small.endSlot);
    EXPECT_EQ(5, New(&small) & 0xFFFF);

    // Freeing the top slot drops the end past every free slot below it.
    EXPECT_EQ(0, FreeHandleRecord(&small, h[3]));
    EXPECT_EQ(0, FreeHandleRecord(&small, h[6]));
    EXPECT_EQ(0, FreeHandleRecord(&small, h[7]));
    EXPECT_EQ(6, small.endSlot);
    EXPECT_EQ(6, New(&small) & 0xFFFF);   // the end slot again, not slot 3
}

TEST_F(TableTest, FreeingTheLastRecordEmptiesTheEndSlot)
{
    int a = New(&small), b = New(&small);
    EXPECT_EQ(0, FreeHandleRecord(&small, a));
    EXPECT_EQ(2, small.endSlot);
    EXPECT_EQ(0, FreeHandleRecord(&small, b));
    EXPECT_EQ(0, small.endSlot);
    EXPECT_EQ(0, small.count);
}

TEST_F(TableTest, FirstFreeTablesFillHolesFirst)
{
    int h0 = New(&firstFree);
    New(&firstFree);
    New(&firstFree);
    EXPECT_EQ(0, FreeHandleRecord(&firstFree, h0));
    EXPECT_EQ(0, New(&firstFree) & 0xFFFF);
}

TEST_F(TableTest, CheckValuesWrapAfter2047)
{
    small.checkCounter = 2046;
    int a = New(&small), b = New(&small), c = New(&small);
    EXPECT_EQ(2046, (a >> 16) & 0x7FF);
    EXPECT_EQ(2047, (b >> 16) & 0x7FF);
    EXPECT_EQ(0, (c >> 16) & 0x7FF);
    EXPECT_EQ(1, small.checkCounter);
}

TEST_F(TableTest, StaleWrongTypeAndMalformedHandlesAreRefused)
{
    int old = New(&small);
    EXPECT_EQ(0, FreeHandleRecord(&small, old));
    int reused = New(&small);
    ASSERT_EQ(old & 0xFFFF, reused & 0xFFFF);   // same slot, new check value
    EXPECT_NE(old, reused);
    EXPECT_EQ(nullptr, GetHandleRecord(&small, old));
    EXPECT_EQ(-1, FreeHandleRecord(&small, old));

    const int bad[] = {
        -1, -2, -4, (int)0x80000000u,
        (reused & ~HANDLE_TYPE_MASK) | HANDLE_TYPE_GRAPH,   // another kind
        (reused & ~HANDLE_SLOT_MASK) | 8,                   // slot beyond the table
        (reused & ~HANDLE_SLOT_MASK) | 3,                   // free slot
    };
    for (int h : bad) {
        EXPECT_EQ(0, IsHandleValid(&small, h)) << std::hex << h;
        EXPECT_EQ(nullptr, GetHandleRecord(&small, h)) << std::hex << h;
        EXPECT_EQ(-1, FreeHandleRecord(&small, h)) << std::hex << h;
    }
    EXPECT_EQ(1, IsHandleValid(&small, reused));
    EXPECT_EQ(1, small.count);
}

TEST_F(TableTest, ResizingChecksTheSizeIn64BitsAndKeepsTheRecordOnRefusal)
{
    int h = New(&small);
    void* record = GetHandleRecord(&small, h);
    // Sizes that wrap 32 bits, or pass the allocator's limit, are refused.
    EXPECT_EQ(nullptr, ResizeHandleRecord(&small, h, 64, 0x20000000, 8, "test", 0));
    EXPECT_EQ(nullptr, ResizeHandleRecord(&small, h, 64, INT64_C(1) << 40, 96, "test", 0));
    EXPECT_EQ(nullptr, ResizeHandleRecord(&small, h, 64, -1, 96, "test", 0));
    EXPECT_EQ(nullptr, ResizeHandleRecord(&small, h, 64, 0x7FFFFFFF / 96, 96, "test", 0));
    EXPECT_EQ(nullptr, ResizeHandleRecord(&small, h + 1, 64, 1, 96, "test", 0));
    EXPECT_EQ(record, GetHandleRecord(&small, h));

    void* grown = ResizeHandleRecord(&small, h, 64, 10, 96, "test", 0);
    ASSERT_NE(nullptr, grown);
    EXPECT_EQ(grown, GetHandleRecord(&small, h));
    EXPECT_EQ(64u + 10 * 96, GetNewestAllocHeader()->size);
}

TEST_F(TableTest, DeleteAllWalksWhileTheEndSlotFalls)
{
    for (int i = 0; i < 6; i++)
        New(&small);
    static int deleted;
    deleted = 0;
    EXPECT_EQ(0, DeleteAllHandles(&small, [](int handle) {
        deleted++;
        return FreeHandleRecord(&small, handle);
    }));
    EXPECT_EQ(6, deleted);
    EXPECT_EQ(0, small.count);
    EXPECT_EQ(0, small.endSlot);
}

TEST_F(TableTest, GraphHandlesStartWithMovieNoneAndNotifyTheirDeletion)
{
    int h = AllocGraphHandle();
    EXPECT_EQ(HANDLE_TYPE_GRAPH, h & HANDLE_TYPE_MASK);
    GraphRecord* record = GetGraphRecord(h);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(h, record->handle);
    EXPECT_EQ(-1, record->movie);
    EXPECT_EQ(nullptr, record->image);
    EXPECT_EQ(1, IsGraphHandleValid(h));
    for (int bad : { -1, -2, -4, h | HANDLE_TYPE_SOUND, h ^ 0x00010000 }) {
        EXPECT_EQ(0, IsGraphHandleValid(bad));
        EXPECT_EQ(-1, SetGraphDeleteFlag(bad, nullptr));
    }

    int flag = 7;
    EXPECT_EQ(0, SetGraphDeleteFlag(h, &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(0, ReleaseGraphHandle(h));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(nullptr, GetGraphRecord(h));
    EXPECT_EQ(-1, ReleaseGraphHandle(h));

    // A null pointer turns the notification off.
    int g = AllocGraphHandle();
    flag = 7;
    EXPECT_EQ(0, SetGraphDeleteFlag(g, &flag));
    EXPECT_EQ(0, SetGraphDeleteFlag(g, nullptr));
    EXPECT_EQ(0, ReleaseGraphHandle(g));
    EXPECT_EQ(0, flag);
}

TEST_F(TableTest, TheGraphTableFillsAllSlotsInOrderThenReusesAFreedOne)
{
    static int handles[GRAPH_HANDLE_MAX];
    for (int i = 0; i < GRAPH_HANDLE_MAX; i++) {
        handles[i] = AllocGraphHandle();
        ASSERT_EQ(i, handles[i] & 0xFFFF);
    }
    EXPECT_EQ(GRAPH_HANDLE_MAX, GraphHandles.endSlot);
    // The 2049th graph got check value 0 again.
    EXPECT_EQ(0, (handles[2048] >> 16) & 0x7FF);
    EXPECT_EQ(0, ReleaseGraphHandle(handles[5]));
    int again = AllocGraphHandle();
    EXPECT_EQ(5, again & 0xFFFF);
    EXPECT_EQ(0, IsGraphHandleValid(handles[5]));
}
