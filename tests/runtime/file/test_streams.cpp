// Memory streams, disk files in every mode (plain, cached, asynchronous),
// the find operations, the function table and the byte reader of the CSV
// tables.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/disk_files.h"
#include "runtime/file/stream.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/runtime/file/archive_fixtures.h"
#include "tests/support/test_support.h"

namespace {

class TempDir : public testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("streams");
        ASSERT_FALSE(dir.empty());
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        TerminateArchives();
        EXPECT_EQ(allocations, GetAllocCount()) << "every record is freed";
        RemoveTree(dir);
    }
    std::string Write(const char* name, const std::vector<uint8_t>& data)
    {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(WriteWholeFile(path, data.data(), data.size()));
        return path;
    }
    std::string dir;
    int allocations = 0;
};

// ---------------------------------------------------------------------------
// Memory streams

TEST(MemoryStream, PartialItemsAndEnd)
{
    const char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    StreamHandle m = OpenMemoryStream(data, 10);
    ASSERT_NE(0u, m);
    char out[16] = {};

    // 3 items of 4 with 10 bytes left: 2 whole items.
    EXPECT_EQ(2u, MemStreamRead(out, 4, 3, m));
    EXPECT_EQ(8, MemStreamTell(m));
    // Not one whole item left: the 2 remaining bytes count as one item.
    memset(out, 0x55, sizeof out);
    EXPECT_EQ(1u, MemStreamRead(out, 4, 1, m));
    EXPECT_EQ(8, out[0]);
    EXPECT_EQ(9, out[1]);
    EXPECT_EQ(0x55, out[2]);
    EXPECT_EQ(0, MemStreamEof(m));
    EXPECT_EQ(0u, MemStreamRead(out, 1, 1, m));
    EXPECT_EQ(-1, MemStreamEof(m));

    // Seeks clamp to the stream and clear the end.
    EXPECT_EQ(0, MemStreamSeek(m, -5, 0));
    EXPECT_EQ(0, MemStreamTell(m));
    EXPECT_EQ(0, MemStreamEof(m));
    EXPECT_EQ(0, MemStreamSeek(m, 100, 2));
    EXPECT_EQ(10, MemStreamTell(m));
    EXPECT_EQ(0, MemStreamSeek(m, -3, 1));
    EXPECT_EQ(7, MemStreamTell(m));
    EXPECT_EQ(0u, MemStreamRead(out, 1, 0, m));
    // Item size times count does not wrap (4 x 0x40000001 is 4 in 32 bits).
    EXPECT_EQ(0, MemStreamSeek(m, 0, 0));
    EXPECT_EQ(2u, MemStreamRead(out, 4, 0x40000001u, m));
    EXPECT_EQ(8, MemStreamTell(m));
    EXPECT_EQ(1, MemStreamIdle(m));
    EXPECT_EQ(0, CloseMemoryStream(m));
}

TEST(MemoryStream, ThroughDescriptor)
{
    const char data[] = "descriptor";
    StreamDescriptor d;
    d.ops = *GetMemoryStreamFunctions();
    d.handle = OpenMemoryStream(data, 10);
    char out[11] = {};
    EXPECT_EQ(10u, d.ops.read(out, 1, 10, d.handle));
    EXPECT_STREQ("descriptor", out);
    EXPECT_EQ(10, d.ops.tell(d.handle));
    EXPECT_EQ(0, d.ops.close(d.handle));
}

// ---------------------------------------------------------------------------
// Disk files

struct DiskMode {
    int cache, async;
};

class DiskFiles : public TempDir, public testing::WithParamInterface<DiskMode> {
protected:
    // Waits for an asynchronous read to land.
    void Settle(StreamHandle f)
    {
        while (!DiskFileIdle(f))
            Sleep(0);
    }
};

TEST_P(DiskFiles, ReadsAcrossTheReadAheadSizeWithSeeks)
{
    // More than two caches' worth, so that reads run through, past and
    // across the read-ahead window.
    std::vector<uint8_t> data = TestBytes(2 * DISK_CACHE_SIZE + 12345, 7, 8);
    std::string path = Write("big.bin", data);
    StreamHandle f = DiskFileOpen(path.c_str(), GetParam().cache, 1, GetParam().async);
    ASSERT_NE(0u, f);
    EXPECT_EQ(data.size(), DiskFileSize(f));

    std::vector<uint8_t> out(data.size());
    // Sequential reads of an odd size, with pauses that let the file-access
    // thread read ahead.
    size_t at = 0;
    int round = 0;
    while (at < data.size()) {
        size_t n = std::min<size_t>(7777, data.size() - at);
        ASSERT_EQ(1u, DiskFileRead(&out[at], n, 1, f));
        Settle(f);
        at += n;
        if (++round % 9 == 0)
            Sleep(120);
    }
    EXPECT_EQ(data, out);
    EXPECT_EQ((long)data.size(), DiskFileTell(f));

    // Seek back into what was read ahead, forward, from the end and from the
    // current position; then one long read across the cache's edge.
    struct {
        long offset;
        int origin;
        long expected;
        size_t bytes;
    } seeks[] = {
        {100, 0, 100, 5000},
        {DISK_CACHE_SIZE - 10, 0, DISK_CACHE_SIZE - 10, 40},
        {-1000, 2, (long)data.size() - 1000, 1000},
        {-(long)data.size() + 3, 1, 3, 200000},
        {0, 0, 0, data.size()},
    };
    for (auto& s : seeks) {
        ASSERT_EQ(0, DiskFileSeek(f, s.offset, s.origin));
        EXPECT_EQ(s.expected, DiskFileTell(f));
        Sleep(150);
        std::vector<uint8_t> part(s.bytes);
        ASSERT_EQ(1u, DiskFileRead(part.data(), s.bytes, 1, f));
        Settle(f);
        EXPECT_EQ(0, memcmp(part.data(), &data[s.expected], s.bytes)) << "at " << s.expected;
    }
    EXPECT_EQ(0, DiskFileClose(f));
}

TEST_P(DiskFiles, WholeItemsEndAndPastEnd)
{
    std::vector<uint8_t> data = TestBytes(30, 3);
    std::string path = Write("small.bin", data);
    StreamHandle f = DiskFileOpen(path.c_str(), GetParam().cache, 1, GetParam().async);
    ASSERT_NE(0u, f);
    uint8_t out[64];

    ASSERT_EQ(0, DiskFileSeek(f, 20, 0));
    // 3 items of 4 with 10 bytes left: the 2 whole items.
    EXPECT_EQ(2u, DiskFileRead(out, 4, 3, f));
    Settle(f);
    EXPECT_EQ(0, memcmp(out, &data[20], 8));
    EXPECT_EQ(28, DiskFileTell(f));
    // Not one whole item left: nothing is read and the end is reported.
    EXPECT_EQ(0u, DiskFileRead(out, 4, 1, f));
    EXPECT_EQ(-1, DiskFileEof(f));
    EXPECT_EQ(28, DiskFileTell(f));
    EXPECT_EQ(0u, DiskFileRead(out, 0, 5, f)) << "item size 0";

    // A seek clears the end; item size times count does not wrap.
    ASSERT_EQ(0, DiskFileSeek(f, 0, 0));
    EXPECT_EQ(0, DiskFileEof(f));
    EXPECT_EQ(7u, DiskFileRead(out, 4, 0x40000001u, f));
    Settle(f);
    EXPECT_EQ(0, memcmp(out, data.data(), 28));

    // Past the end: the seek is kept, a read there is an end of file.
    ASSERT_EQ(0, DiskFileSeek(f, 1000, 0));
    EXPECT_EQ(1000, DiskFileTell(f));
    EXPECT_EQ(0u, DiskFileRead(out, 1, 1, f));
    EXPECT_EQ(-1, DiskFileEof(f));
    // Before the start, or an unknown origin: refused, position kept.
    EXPECT_EQ(-1, DiskFileSeek(f, -1, 0));
    EXPECT_EQ(-1, DiskFileSeek(f, -2000, 1));
    EXPECT_EQ(-1, DiskFileSeek(f, 0, 7));
    EXPECT_EQ(1000, DiskFileTell(f));
    EXPECT_EQ(0, DiskFileClose(f));
}

TEST_P(DiskFiles, MissingFileOpensNothing)
{
    std::string path = dir + "\\missing.bin";
    EXPECT_EQ(0u, DiskFileOpen(path.c_str(), GetParam().cache, 1, GetParam().async));
}

INSTANTIATE_TEST_SUITE_P(Modes, DiskFiles,
                         testing::Values(DiskMode{0, 0}, DiskMode{1, 0}, DiskMode{0, 1}, DiskMode{1, 1}),
                         [](const testing::TestParamInfo<DiskMode>& info) {
                             return std::string(info.param.cache ? "Cached" : "Uncached") +
                                    (info.param.async ? "Async" : "Sync");
                         });

TEST_F(TempDir, CacheReadsAheadWhileIdle)
{
    std::vector<uint8_t> data = TestBytes(DISK_CACHE_SIZE + 70000, 5, 8);
    std::string path = Write("ahead.bin", data);
    StreamHandle f = DiskFileOpen(path.c_str(), 1, 1, 0);
    ASSERT_NE(0u, f);
    FileThreadBlock* t = &((DiskFileRecord*)f)->thread;
    // The file-access thread's fill, read as it goes.
    auto fill = [t] { return *(volatile uint32_t*)&t->cacheFill; };
    EXPECT_TRUE(PollUntil([&] { return fill() == (uint32_t)DISK_CACHE_SIZE; }))
        << "the idle thread never filled the cache: " << fill() << " bytes";
    EXPECT_EQ(0u, t->cachePosition);

    // Served from the cache, which then starts behind the bytes taken. The
    // thread reads ahead again once it has been idle a while, which a loaded
    // machine may let it do before the checks: the fill may be topped up.
    std::vector<uint8_t> out(data.size());
    ASSERT_EQ(1u, DiskFileRead(out.data(), 1000, 1, f));
    EXPECT_EQ(1000u, t->cachePosition);
    uint32_t got = fill();
    EXPECT_TRUE(got == (uint32_t)DISK_CACHE_SIZE - 1000 || got == (uint32_t)DISK_CACHE_SIZE) << got;
    // A read past the cached bytes takes the rest from the file.
    ASSERT_EQ(1u, DiskFileRead(&out[1000], 150000, 1, f));
    EXPECT_EQ(151000u, t->cachePosition);
    got = fill();
    EXPECT_TRUE(got == 0 || got == data.size() - 151000) << got;
    EXPECT_TRUE(PollUntil([&] { return fill() == data.size() - 151000; }))
        << "the idle thread never read ahead up to the end: " << fill() << " bytes";
    ASSERT_EQ(1u, DiskFileRead(&out[151000], data.size() - 151000, 1, f));
    EXPECT_EQ(data, out);
    EXPECT_EQ(0, DiskFileClose(f));
}

TEST_F(TempDir, PlainFileIsAlwaysIdle)
{
    std::string path = Write("idle.bin", TestBytes(100, 1));
    StreamHandle f = DiskFileOpen(path.c_str(), 0, 1, 0);
    ASSERT_NE(0u, f);
    uint8_t out[100];
    EXPECT_EQ(1, DiskFileIdle(f));
    EXPECT_EQ(100u, DiskFileRead(out, 1, 100, f));
    EXPECT_EQ(1, DiskFileIdle(f));
    EXPECT_EQ(0, DiskFileClose(f));
}

TEST_F(TempDir, ThreadedFileIsHeldWithoutSharing)
{
    std::string path = Write("held.bin", TestBytes(100, 1));
    StreamHandle a = DiskFileOpen(path.c_str(), 0, 1, 1);
    ASSERT_NE(0u, a);
    EXPECT_EQ(0u, DiskFileOpen(path.c_str(), 0, 1, 1));
    EXPECT_EQ(0, DiskFileClose(a));
    StreamHandle b = DiskFileOpen(path.c_str(), 0, 1, 1);
    EXPECT_NE(0u, b);
    EXPECT_EQ(0, DiskFileClose(b));
}

TEST_F(TempDir, ThreadOpenFailureCleansUp)
{
    // Another reader shares the file for reading: the size can be taken, but
    // the thread's exclusive open fails.
    std::string path = Write("shared.bin", TestBytes(100, 1));
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    for (int cache = 0; cache <= 1; cache++)
        EXPECT_EQ(0u, DiskFileOpen(path.c_str(), cache, 1, 1 - cache));
    StreamHandle plain = DiskFileOpen(path.c_str(), 0, 1, 0);
    EXPECT_NE(0u, plain) << "a plain open shares";
    if (plain)
        DiskFileClose(plain);
    CloseHandle(other);
}

// The bytes reserved for a thread's stack: the reservation that holds its
// stack pointer, walked region by region.
size_t StackReservation(HANDLE thread)
{
    if (SuspendThread(thread) == (DWORD)-1)
        return 0;
    alignas(16) CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    BOOL ok = GetThreadContext(thread, &context);
    ResumeThread(thread);
    if (!ok)
        return 0;
#ifdef _WIN64
    uintptr_t stack = (uintptr_t)context.Rsp;
#else
    uintptr_t stack = (uintptr_t)context.Esp;
#endif
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery((void*)stack, &m, sizeof m))
        return 0;
    uint8_t* base = (uint8_t*)m.AllocationBase;
    size_t total = 0;
    for (uint8_t* at = base; VirtualQuery(at, &m, sizeof m) && m.AllocationBase == base; at += m.RegionSize)
        total += m.RegionSize;
    return total;
}

TEST_F(TempDir, FileAccessThreadsReserveSmallStacks)
{
    // Each streamed archive keeps its thread while it stays open; 512 of
    // them at the executable's default reserve (2 MiB) would take half of a
    // 32-bit process. Windows reserves what is asked for; Wine reserves at
    // least 1 MiB.
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)GetModuleHandleA(nullptr);
    const IMAGE_NT_HEADERS* pe = (const IMAGE_NT_HEADERS*)((const uint8_t*)dos + dos->e_lfanew);
    size_t defaultReserve = (size_t)pe->OptionalHeader.SizeOfStackReserve;
    ASSERT_GT(defaultReserve, (size_t)1 << 20);
    std::string path = Write("stack.bin", TestBytes(1000, 1));
    for (int cache = 0; cache <= 1; cache++) {
        StreamHandle f = DiskFileOpen(path.c_str(), cache, 1, 1 - cache);
        ASSERT_NE(0u, f);
        size_t reserved = StackReservation(((DiskFileRecord*)f)->thread.thread);
        EXPECT_GE(reserved, (size_t)DISK_THREAD_STACK_RESERVE);
        EXPECT_LE(reserved, (size_t)1 << 20) << "cache " << cache;
        std::vector<uint8_t> out(1000);
        EXPECT_EQ(1u, DiskFileRead(out.data(), 1000, 1, f));
        while (!DiskFileIdle(f))
            Sleep(0);
        EXPECT_EQ(TestBytes(1000, 1), out);
        EXPECT_EQ(0, DiskFileClose(f));
    }
}

TEST_F(TempDir, FindOperations)
{
    Write("one.txt", TestBytes(11, 1));
    Write("two.txt", TestBytes(22, 2));
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    std::string pattern = dir + "\\*";
    for (const StreamFunctionTable* set : {GetDiskStreamFunctionSet(), GetArchiveStreamFunctionSet()}) {
        FindRecord r;
        intptr_t h = set->findFirst(pattern.c_str(), &r);
        ASSERT_NE(-1, h);
        int files = 0, dirs = 0;
        do {
            if (strcmp(r.name, "one.txt") == 0) {
                EXPECT_EQ(11u, r.sizeLow);
                EXPECT_EQ(0, r.isDirectory);
                EXPECT_GE(r.lastWrite.year, 2000);
                files++;
            } else if (strcmp(r.name, "two.txt") == 0) {
                EXPECT_EQ(22u, r.sizeLow);
                files++;
            } else if (strcmp(r.name, "sub") == 0) {
                EXPECT_EQ(1, r.isDirectory);
                dirs++;
            }
        } while (set->findNext(h, &r) == 0);
        EXPECT_EQ(0, set->findClose(h));
        EXPECT_EQ(2, files);
        EXPECT_EQ(1, dirs);
        EXPECT_EQ(-1, set->findFirst((dir + "\\*.none").c_str(), nullptr));
    }
}

// ---------------------------------------------------------------------------
// The table and the game's byte reader

TEST(StreamTable, DefaultIsTheArchiveSet)
{
    EXPECT_EQ(&ArchiveFileOpen, StreamFunctions.open) << "before any set-up";
    StreamFunctionTable saved = StreamFunctions;
    SystemState.settings.archivesOff = 1;
    SetStreamFunctions(nullptr);
    EXPECT_EQ(&DiskFileOpen, StreamFunctions.open);
    EXPECT_EQ(&DiskFindClose, StreamFunctions.findClose);
    SystemState.settings.archivesOff = 0;
    SetStreamFunctions(nullptr);
    EXPECT_EQ(&ArchiveFileOpen, StreamFunctions.open);
    EXPECT_EQ(&ArchiveFileFindClose, StreamFunctions.findClose);
    SetStreamFunctions(GetDiskStreamFunctionSet());
    EXPECT_EQ(&DiskFileRead, StreamFunctions.read);
    SetStreamFunctions(&saved);
}

TEST_F(TempDir, ReadStreamByteTakesFFForTheEnd)
{
    std::vector<uint8_t> data = {'a', 0xFF, 'b', 0x80};
    std::string path = Write("bytes.csv", data);
    for (int async = 0; async <= 1; async++) {
        StreamHandle f = OpenFileStream(path.c_str(), async);
        ASSERT_NE(0u, f);
        EXPECT_EQ('a', ReadStreamByte(f));
        EXPECT_EQ(-1, ReadStreamByte(f));
        EXPECT_EQ('b', ReadStreamByte(f));
        EXPECT_EQ(-128, ReadStreamByte(f));
        EXPECT_EQ(-1, ReadStreamByte(f));
        EXPECT_EQ(-1, FileStreamEof(f));
        EXPECT_EQ(0, FileStreamClose(f));
    }
    EXPECT_EQ(0u, OpenFileStream((dir + "\\none.csv").c_str(), 0));
}

TEST_F(TempDir, FileDescriptorFollowsTheTable)
{
    std::vector<uint8_t> data = TestBytes(5000, 9);
    std::string path = Write("desc.bin", data);
    StreamDescriptor d;
    d.ops = *GetFileStreamFunctions();
    d.handle = FileStreamOpen(path.c_str(), 0, 1, 0);
    ASSERT_NE(0u, d.handle);
    std::vector<uint8_t> out(data.size());
    EXPECT_EQ(0, d.ops.seek(d.handle, 1000, 0));
    EXPECT_EQ(4000u, d.ops.read(out.data(), 1, 5000, d.handle));
    EXPECT_EQ(0, memcmp(out.data(), &data[1000], 4000));
    EXPECT_EQ(1, d.ops.idle(d.handle));
    EXPECT_EQ(0, d.ops.close(d.handle));
}

} // namespace
