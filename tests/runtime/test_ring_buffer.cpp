// The byte ring: wrap-around, growth while wrapped, reads across the end,
// empty and full rings, refused sizes, checked against a plain queue; and the
// dormant socket layer beside the library.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "runtime/memory.h"
#include "runtime/ring_buffer.h"

namespace {

// A ring of `size` bytes holding `bytes` from position `readPos` on,
// wrapping at the end.
RingBuffer MakeRing(int size, int readPos, const std::vector<unsigned char>& bytes)
{
    RingBuffer ring = {};
    ring.data = (unsigned char*)AllocTracked(size, "test", __LINE__);
    memset(ring.data, 0xEE, size);
    for (size_t i = 0; i < bytes.size(); i++)
        ring.data[(readPos + i) % size] = bytes[i];
    ring.size = size;
    ring.readPos = readPos;
    ring.used = (int)bytes.size();
    ring.writePos = (readPos + ring.used) % size;
    return ring;
}

// A writer as the receive side and the sound players write: reserve, then
// copy at the write position, splitting at the end of the data.
int WriteRing(RingBuffer* ring, const unsigned char* bytes, int count)
{
    if (ReserveRingBuffer(ring, count) != 0)
        return -1;
    if (count == 0)
        return 0;
    WrapRingPositions(ring);
    int first = ring->size - ring->writePos;
    if (first > count)
        first = count;
    memcpy(ring->data + ring->writePos, bytes, first);
    memcpy(ring->data, bytes + first, count - first);
    ring->writePos = (ring->writePos + count) % ring->size;
    ring->used += count;
    return 0;
}

std::vector<unsigned char> Sequence(int first, int count)
{
    std::vector<unsigned char> v;
    for (int i = 0; i < count; i++)
        v.push_back((unsigned char)(first + i));
    return v;
}

bool SameRecord(const RingBuffer& a, const RingBuffer& b)
{
    return a.data == b.data && a.readPos == b.readPos && a.writePos == b.writePos && a.used == b.used &&
           a.size == b.size;
}

} // namespace

TEST(RingBuffer, GrowingWhileWrappedKeepsTheBytesInOrder)
{
    // Ten bytes held across the end of a 12-byte ring: 7..11 then 0..4.
    const int allocsBefore = GetAllocCount();
    RingBuffer ring = MakeRing(12, 7, Sequence(1, 10));
    ASSERT_EQ(5, ring.writePos);
    ASSERT_EQ(0, ReserveRingBuffer(&ring, 5));
    EXPECT_EQ(10 * 3 / 2 + 5 + 1000, ring.size);
    EXPECT_EQ(0, ring.readPos);
    EXPECT_EQ(10, ring.writePos);
    EXPECT_EQ(10, ring.used);
    EXPECT_EQ(Sequence(1, 10), std::vector<unsigned char>(ring.data, ring.data + 10));
    // The old data was freed: one block held, the new one.
    EXPECT_EQ(allocsBefore + 1, GetAllocCount());

    // Room enough already: nothing moves.
    const RingBuffer before = ring;
    EXPECT_EQ(0, ReserveRingBuffer(&ring, 1010));
    EXPECT_TRUE(SameRecord(before, ring));

    EXPECT_EQ(0, ReleaseRingBuffer(&ring));
    const RingBuffer zero = {};
    EXPECT_TRUE(SameRecord(zero, ring));
    EXPECT_EQ(allocsBefore, GetAllocCount());
}

TEST(RingBuffer, ReadsAcrossTheEndPeekAndTake)
{
    RingBuffer ring = MakeRing(12, 9, Sequence(20, 8)); // 9..11 then 0..4
    unsigned char a[6] = {}, b[6] = {};
    // Peeking twice gives the same bytes and takes nothing.
    ASSERT_EQ(0, ReadRingBuffer(&ring, a, 6, 1));
    ASSERT_EQ(0, ReadRingBuffer(&ring, b, 6, 1));
    EXPECT_EQ(Sequence(20, 6), std::vector<unsigned char>(a, a + 6));
    EXPECT_EQ(0, memcmp(a, b, 6));
    EXPECT_EQ(8, ring.used);
    EXPECT_EQ(9, ring.readPos);

    // Taking them moves the read position past the end, modulo the size.
    ASSERT_EQ(0, ReadRingBuffer(&ring, b, 6, 0));
    EXPECT_EQ(0, memcmp(a, b, 6));
    EXPECT_EQ(2, ring.used);
    EXPECT_EQ(3, ring.readPos);

    // More than is held: -1, the record and the destination untouched.
    unsigned char c[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    const RingBuffer before = ring;
    EXPECT_EQ(-1, ReadRingBuffer(&ring, c, 3, 0));
    EXPECT_EQ(-1, ReadRingBuffer(&ring, c, -1, 0));
    EXPECT_TRUE(SameRecord(before, ring));
    EXPECT_EQ(0xAA, c[0]);

    ASSERT_EQ(0, ReadRingBuffer(&ring, c, 2, 0));
    EXPECT_EQ(26, c[0]);
    EXPECT_EQ(27, c[1]);
    EXPECT_EQ(0, ring.used);
    ReleaseRingBuffer(&ring);
}

TEST(RingBuffer, EmptyAndFullRings)
{
    // An empty record reads nothing and needs no allocation for nothing.
    RingBuffer ring = {};
    unsigned char byte = 0;
    EXPECT_EQ(-1, ReadRingBuffer(&ring, &byte, 1, 1));
    EXPECT_EQ(0, ReadRingBuffer(&ring, &byte, 0, 0));
    EXPECT_EQ(0, ReserveRingBuffer(&ring, 0));
    EXPECT_EQ(nullptr, ring.data);
    ASSERT_EQ(0, ReserveRingBuffer(&ring, 1));
    EXPECT_EQ(1001, ring.size);
    ReleaseRingBuffer(&ring);

    // Full, both positions at the size (which means 0): every byte comes
    // back in order, and one more byte grows it.
    ring = MakeRing(8, 0, Sequence(50, 8));
    ring.readPos = ring.writePos = 8;
    RingBuffer copy = MakeRing(8, 0, Sequence(50, 8));
    copy.readPos = copy.writePos = 8;
    unsigned char all[8];
    ASSERT_EQ(0, ReadRingBuffer(&copy, all, 8, 0));
    EXPECT_EQ(Sequence(50, 8), std::vector<unsigned char>(all, all + 8));
    EXPECT_EQ(0, copy.used);
    ReleaseRingBuffer(&copy);

    const unsigned char more = 58;
    ASSERT_EQ(0, WriteRing(&ring, &more, 1));
    EXPECT_EQ(8 * 3 / 2 + 1 + 1000, ring.size);
    unsigned char nine[9];
    ASSERT_EQ(0, ReadRingBuffer(&ring, nine, 9, 0));
    EXPECT_EQ(Sequence(50, 9), std::vector<unsigned char>(nine, nine + 9));
    ReleaseRingBuffer(&ring);
}

TEST(RingBuffer, SizesThatWouldOverflowAreRefused)
{
    // The ring's bytes stay where they are: a refused growth loses nothing.
    RingBuffer ring = MakeRing(16, 10, Sequence(1, 9));
    const RingBuffer before = ring;
    EXPECT_EQ(-1, ReserveRingBuffer(&ring, -1));
    EXPECT_EQ(-1, ReserveRingBuffer(&ring, INT_MAX));
    EXPECT_EQ(-1, ReserveRingBuffer(&ring, INT_MAX - 1000));
    EXPECT_TRUE(SameRecord(before, ring));
    unsigned char back[9];
    ASSERT_EQ(0, ReadRingBuffer(&ring, back, 9, 0));
    EXPECT_EQ(Sequence(1, 9), std::vector<unsigned char>(back, back + 9));
    ReleaseRingBuffer(&ring);

    // A record whose held count is near the int limit: used x 3 / 2 alone
    // passes it, so growth is refused before any byte is touched.
    unsigned char dummy[4] = {};
    RingBuffer big = {};
    big.data = dummy;
    big.size = INT_MAX - 4;
    big.used = INT_MAX - 4;
    const RingBuffer bigBefore = big;
    EXPECT_EQ(-1, ReserveRingBuffer(&big, 1));
    EXPECT_TRUE(SameRecord(bigBefore, big));
}

TEST(RingBuffer, MatchesAQueueOverManyWritesAndReads)
{
    // Writes and reads of varying lengths, so the ring wraps, grows while
    // wrapped and reads across its end many times.
    RingBuffer ring = {};
    std::deque<unsigned char> model;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    unsigned char value = 0;
    int grewWrapped = 0;
    for (int step = 0; step < 3000; step++) {
        if (next(2) == 0) {
            const int count = (int)next(step < 1500 ? 700 : 300);
            std::vector<unsigned char> bytes;
            for (int i = 0; i < count; i++)
                bytes.push_back(value++);
            const int sizeBefore = ring.size;
            const bool wrapped = ring.used != 0 && ring.readPos % ring.size + ring.used > ring.size;
            ASSERT_EQ(0, WriteRing(&ring, bytes.data(), count));
            grewWrapped += wrapped && ring.size != sizeBefore;
            model.insert(model.end(), bytes.begin(), bytes.end());
        } else {
            const int count = (int)next(600);
            const int peek = (int)next(4) == 0;
            std::vector<unsigned char> out(count + 1, 0);
            if ((size_t)count > model.size()) {
                ASSERT_EQ(-1, ReadRingBuffer(&ring, out.data(), count, peek));
                continue;
            }
            ASSERT_EQ(0, ReadRingBuffer(&ring, out.data(), count, peek));
            ASSERT_TRUE(std::equal(out.begin(), out.begin() + count, model.begin())) << "step " << step;
            if (!peek)
                model.erase(model.begin(), model.begin() + count);
        }
        ASSERT_EQ((int)model.size(), ring.used);
        ASSERT_LE(ring.used, ring.size);
    }
    EXPECT_GT(grewWrapped, 0);
    ReleaseRingBuffer(&ring);
}

#ifdef _WIN32
#include <windows.h>
#include <winsock.h>

#include <string>

#include "runtime/library.h"
#include "runtime/message_pump.h"
#include "runtime/network.h"
#include "runtime/window_state.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return text;
}

// Every socket entry answers at once while nothing started the layer, and
// allocates nothing.
void ExpectDormant()
{
    const int allocs = GetAllocCount();
    EXPECT_EQ(0, TermNetwork());
    EXPECT_EQ(0, PumpNetworkMessages(1));
    EXPECT_EQ(0, PumpNetworkMessages(0));
    EXPECT_EQ(0, OnSocketMessage(1234, WSAMAKESELECTREPLY(FD_READ, 0)));
    EXPECT_EQ(0, OnSocketMessage(1234, WSAMAKESELECTREPLY(FD_ACCEPT, 0)));
    const int anyHandle = 0x30000000;
    EXPECT_EQ(-1, RecvSocket(anyHandle));
    EXPECT_EQ(-1, SendSocket(anyHandle));
    EXPECT_EQ(-1, AcceptNetWork());
    EXPECT_EQ(-1, CloseNetHandleNow(anyHandle));
    EXPECT_EQ(-1, FlushAndCloseNetHandle(anyHandle));
    EXPECT_EQ(-1, LogNetworkError("%d", 1));
    EXPECT_EQ(allocs, GetAllocCount());
}

} // namespace

TEST(NetworkDormant, EveryEntryReturnsAtOnce)
{
    ExpectDormant();
}

TEST(NetworkWithLibrary, StartAndEndLeaveTheLayerDormant)
{
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    const std::string dir = MakeTempDir("network");
    SetCurrentDirectoryA(dir.c_str());
    ChangeWindowMode(1);
    SetLogFileOutput(1);
    ASSERT_EQ(0, InitLibraryLocked());
    // A socket message reaching the main window, and the per-frame pump,
    // find the layer not started.
    ASSERT_NE(nullptr, GetMainWindowHwnd());
    EXPECT_EQ(0, SendMessageA(GetMainWindowHwnd(), 0x505, 1234, WSAMAKESELECTREPLY(FD_READ, 0)));
    PostMessageA(GetMainWindowHwnd(), 0x505, 1234, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    EXPECT_EQ(0, RunMessagePump());
    ExpectDormant();
    ASSERT_EQ(0, EndLibraryLocked());
    const std::string log = ReadWholeFile(dir + "\\Log.txt");
    SetCurrentDirectoryA(current);
    RemoveTree(dir);
    EXPECT_NE(std::string::npos, log.find("Alloc memory dump"));
    // Shut-down did not run the layer's end: it logs nothing.
    EXPECT_EQ(std::string::npos, log.find("ネットワーク"));
}
#endif
