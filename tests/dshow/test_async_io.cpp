// The read engine: queue and completion order, alignment checks, short reads,
// flushing with reads in progress, and the worker's end.
#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_async_io.h"
#include "tests/support/test_bytes.h"
#include "tests/support/test_support.h"

namespace {

// A stream over a vector with a chosen alignment and total length. While the
// gate is closed, every read blocks in ReadStream, which holds a request "in
// progress"; `entered` is set once a read waits there.
class GatedStream : public AsyncStream {
public:
    GatedStream(size_t size, LONG alignment) : data(TestBytes(size, 7)), total((LONGLONG)size), alignment(alignment)
    {
        InitializeCriticalSection(&lock);
        gate = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~GatedStream() override
    {
        CloseHandle(gate);
        CloseHandle(entered);
        DeleteCriticalSection(&lock);
    }
    HRESULT SeekStream(LONGLONG to) override
    {
        if (to < 0 || to > (LONGLONG)data.size())
            return S_FALSE;
        position = to;
        return S_OK;
    }
    HRESULT ReadStream(BYTE* buffer, DWORD count, BOOL, DWORD* got) override
    {
        SetEvent(entered);
        WaitForSingleObject(gate, INFINITE);
        DWORD n = (DWORD)std::min<LONGLONG>(count, (LONGLONG)data.size() - position);
        memcpy(buffer, data.data() + position, n);
        position += n;
        *got = n;
        reads++;
        return gapped ? kStreamDiscontinuity : S_OK;
    }
    LONGLONG StreamSize(LONGLONG* available) override
    {
        if (available)
            *available = total;
        return total;
    }
    LONG StreamAlignment() override { return alignment; }
    void LockStream() override { EnterCriticalSection(&lock); }
    void UnlockStream() override { LeaveCriticalSection(&lock); }

    std::vector<uint8_t> data;
    LONGLONG total;  // may claim more than the data holds
    LONG alignment;
    LONGLONG position = 0;
    bool gapped = false;
    volatile LONG reads = 0;
    CRITICAL_SECTION lock;
    HANDLE gate;
    HANDLE entered;
};

// Runs a call on a thread of its own, so that the test can see it block.
struct CallThread {
    template <typename F>
    explicit CallThread(F f) : call(new std::function<void()>(f))
    {
        handle = CreateThread(nullptr, 0, Run, call, 0, nullptr);
    }
    ~CallThread()
    {
        Join();
        delete call;
    }
    // Given a moment to get there: a call that must block fails this only if
    // it wrongly returns, however slow the machine.
    bool FinishesSoon() { return WaitForSingleObject(handle, 100) == WAIT_OBJECT_0; }
    void Join()
    {
        if (handle) {
            WaitForSingleObject(handle, INFINITE);
            CloseHandle(handle);
            handle = nullptr;
        }
    }
    static DWORD WINAPI Run(void* p)
    {
        (*(std::function<void()>*)p)();
        return 0;
    }
    std::function<void()>* call;
    HANDLE handle;
};

struct Collected {
    HRESULT hr;
    IMediaSample* context;
    DWORD_PTR user;
    LONG length;
};

Collected Collect(AsyncIoEngine& engine, DWORD timeout = 10000)
{
    Collected c{E_UNEXPECTED, nullptr, 0, -1};
    c.hr = WaitForReadRequest(&engine, timeout, &c.context, &c.user, &c.length);
    return c;
}

bool FlushingNow(AsyncIoEngine& engine)
{
    EnterCriticalSection(&engine.listLock);
    bool flushing = engine.flushing != FALSE;
    LeaveCriticalSection(&engine.listLock);
    return flushing;
}

} // namespace

TEST(AsyncIoEngine, QueuedReadsCompleteInOrderWithTheirBytesAndUserValues)
{
    GatedStream stream(4096, 1);
    AsyncIoEngine engine(&stream);
    const struct { LONGLONG position; LONG length; } reads[] = {{0, 100}, {4000, 96}, {17, 1}, {2048, 0}};
    std::vector<std::vector<BYTE>> buffers;
    for (auto& r : reads)
        buffers.emplace_back(r.length + 1, 0xEE);
    // The user value is pointer-sized: its top half must survive on 64-bit.
    const DWORD_PTR userBase = (DWORD_PTR)0x12345678u << (sizeof(DWORD_PTR) > 4 ? 16 : 0);
    for (size_t i = 0; i < 4; i++)
        ASSERT_EQ(S_OK, QueueReadRequest(&engine, reads[i].position, reads[i].length, FALSE, buffers[i].data(),
                                         nullptr, userBase + i));
    for (size_t i = 0; i < 4; i++) {
        Collected c = Collect(engine);
        ASSERT_EQ(S_OK, c.hr) << i;
        EXPECT_EQ(userBase + i, c.user);
        EXPECT_EQ(reads[i].length, c.length);
        EXPECT_EQ(0, memcmp(buffers[i].data(), stream.data.data() + reads[i].position, reads[i].length));
        EXPECT_EQ(0xEE, buffers[i][reads[i].length]) << "wrote past the length";
    }
    Collected none = Collect(engine, 0);
    EXPECT_EQ(VFW_E_TIMEOUT, none.hr);
    EXPECT_EQ(nullptr, none.context);
}

TEST(AsyncIoEngine, MisalignedAndNegativeRequestsAreRefusedAndNothingIsQueued)
{
    GatedStream stream(8192, 512);
    AsyncIoEngine engine(&stream);
    alignas(512) static BYTE buffer[2048];
    const struct { LONGLONG position; LONG length; BYTE* buffer; HRESULT expected; } cases[] = {
        {1, 512, buffer, VFW_E_BADALIGN},
        {512, 100, buffer, VFW_E_BADALIGN},
        {512, 512, buffer + 4, VFW_E_BADALIGN},
        {0x100000000LL + 1, 512, buffer, VFW_E_BADALIGN},
        {512, -512, buffer, E_INVALIDARG},
        {512, 512, nullptr, E_POINTER},
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.expected, QueueReadRequest(&engine, c.position, c.length, TRUE, c.buffer, nullptr, 0));
        LONG got = -1;
        EXPECT_EQ(c.expected, ReadAlignedNow(&engine, c.position, c.length, c.buffer, &got, nullptr));
    }
    EXPECT_EQ(VFW_E_TIMEOUT, Collect(engine, 0).hr);
    EXPECT_EQ(0, stream.reads);

    // Unaligned reads are taken as they come, on either path.
    EXPECT_EQ(S_OK, ReadNow(&engine, 3, 100, buffer + 1));
    EXPECT_EQ(0, memcmp(buffer + 1, stream.data.data() + 3, 100));
    EXPECT_EQ(E_INVALIDARG, ReadNow(&engine, 3, -1, buffer));
    ASSERT_EQ(S_OK, QueueReadRequest(&engine, 3, 100, FALSE, buffer + 1, nullptr, 0));
    EXPECT_EQ(S_OK, Collect(engine).hr);
    LONG got = -1;
    EXPECT_EQ(S_OK, ReadAlignedNow(&engine, 1024, 1024, buffer, &got, nullptr));
    EXPECT_EQ(1024, got);
    EXPECT_EQ(E_POINTER, ReadAlignedNow(&engine, 0, 512, buffer, nullptr, nullptr));
}

TEST(AsyncIoEngine, AShortReadSucceedsOnlyWhenItEndsAtTheTotalLength)
{
    BYTE buffer[256];
    // total: the length the stream claims; the data holds 1000 bytes.
    // sync: what a synchronous read of the same range answers (the stream's
    // own result, S_FALSE for anything short).
    const struct { LONGLONG total; LONGLONG position; LONG length; HRESULT expected; LONG delivered; HRESULT sync; } cases[] = {
        {1000, 900, 200, S_OK, 100, S_FALSE},   // short at the end
        {1200, 900, 200, E_FAIL, 100, S_FALSE}, // short before the claimed end
        {1000, 1000, 10, S_OK, 0, S_FALSE},     // at the end exactly
        {1000, 1001, 10, E_FAIL, 10, S_FALSE},  // past the end: nothing read
        {1000, 500, 200, S_OK, 200, S_OK},
    };
    for (auto& c : cases) {
        GatedStream stream(1000, 1);
        stream.total = c.total;
        AsyncIoEngine engine(&stream);
        ASSERT_EQ(S_OK, QueueReadRequest(&engine, c.position, c.length, FALSE, buffer, nullptr, 0));
        Collected got = Collect(engine);
        EXPECT_EQ(c.expected, got.hr) << c.position << "+" << c.length << " of " << c.total;
        EXPECT_EQ(c.delivered, got.length) << c.position;
        EXPECT_EQ(c.sync, ReadNow(&engine, c.position, c.length, buffer));
    }
}

TEST(AsyncIoEngine, AGapInTheDataMarksTheSampleAndCountsAsSuccess)
{
    GatedStream stream(1000, 1);
    stream.gapped = true;
    AsyncIoEngine engine(&stream);
    BYTE buffer[64];
    HRESULT hr = S_OK;
    MediaSampleObject* sample = new MediaSampleObject("test", nullptr, &hr, buffer, sizeof buffer);
    ASSERT_NE(nullptr, sample);
    ASSERT_EQ(S_OK, QueueReadRequest(&engine, 10, 64, FALSE, buffer, sample, 5));
    Collected c = Collect(engine);
    EXPECT_EQ(S_OK, c.hr);
    EXPECT_EQ(sample, c.context);
    EXPECT_EQ(S_OK, sample->IsDiscontinuity());
    delete sample;
}

TEST(AsyncIoEngine, FlushReturnsQueuedReadsUnperformedAndWaitsForTheOneInProgress)
{
    GatedStream stream(4096, 1);
    AsyncIoEngine engine(&stream);
    BYTE buffers[3][16];
    ResetEvent(stream.gate);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(S_OK, QueueReadRequest(&engine, i * 16, 16, FALSE, buffers[i], nullptr, 100 + i));
    WaitForSingleObject(stream.entered, INFINITE); // the first is in progress

    CallThread flush([&] { FlushReadRequests(&engine); });
    while (!FlushingNow(engine))
        Sleep(1);
    EXPECT_EQ(VFW_E_WRONG_STATE, QueueReadRequest(&engine, 0, 16, FALSE, buffers[0], nullptr, 0));
    EXPECT_FALSE(flush.FinishesSoon()) << "the flush must wait for the read in progress";
    SetEvent(stream.gate);
    flush.Join();

    // The queued two first, unperformed; then the one that was in progress.
    Collected a = Collect(engine), b = Collect(engine), c = Collect(engine);
    EXPECT_EQ(VFW_E_TIMEOUT, a.hr);
    EXPECT_EQ(101u, a.user);
    EXPECT_EQ(VFW_E_TIMEOUT, b.hr);
    EXPECT_EQ(102u, b.user);
    EXPECT_EQ(S_OK, c.hr);
    EXPECT_EQ(100u, c.user);
    EXPECT_EQ(1, stream.reads);
    // Drained during the flush: answered at once instead of blocking.
    EXPECT_EQ(VFW_E_WRONG_STATE, Collect(engine, INFINITE).hr);

    EXPECT_EQ(S_OK, EndReadFlush(&engine));
    EXPECT_EQ(VFW_E_TIMEOUT, Collect(engine, 0).hr);
    ASSERT_EQ(S_OK, QueueReadRequest(&engine, 32, 16, FALSE, buffers[0], nullptr, 7));
    Collected d = Collect(engine);
    EXPECT_EQ(S_OK, d.hr);
    EXPECT_EQ(0, memcmp(buffers[0], stream.data.data() + 32, 16));
}

TEST(AsyncIoEngine, AFlushWithNothingQueuedWakesAWaitingConsumer)
{
    GatedStream stream(100, 1);
    AsyncIoEngine engine(&stream);
    Collected got{};
    CallThread consumer([&] { got = Collect(engine, INFINITE); });
    EXPECT_FALSE(consumer.FinishesSoon());
    FlushReadRequests(&engine);
    consumer.Join();
    EXPECT_EQ(VFW_E_WRONG_STATE, got.hr);
    EndReadFlush(&engine);
}

TEST(AsyncIoEngine, DestroyingWaitsForTheReadInProgressAndEndsTheWorker)
{
    GatedStream stream(100, 1);
    AsyncIoEngine* engine = new AsyncIoEngine(&stream);
    BYTE buffer[10];
    EXPECT_EQ(nullptr, engine->thread) << "no worker before the first request";
    ResetEvent(stream.gate);
    ASSERT_EQ(S_OK, QueueReadRequest(engine, 0, 10, FALSE, buffer, nullptr, 0));
    ASSERT_NE(nullptr, engine->thread);
    HANDLE worker;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), engine->thread, GetCurrentProcess(), &worker, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    WaitForSingleObject(stream.entered, INFINITE);

    CallThread destroy([&] { delete engine; });
    // The destruction cannot pass the flush while the read is held.
    while (!FlushingNow(*engine))
        Sleep(1);
    EXPECT_FALSE(destroy.FinishesSoon());
    SetEvent(stream.gate);
    destroy.Join();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 0)) << "the worker must have ended";
    CloseHandle(worker);
    EXPECT_EQ(1, stream.reads);
}

extern "C" void* importedCreateThread asm(IMPORT_SYMBOL(CreateThread, 24));

namespace {

HANDLE WINAPI CreateThreadFailsSilently(SECURITY_ATTRIBUTES*, SIZE_T, LPTHREAD_START_ROUTINE, void*, DWORD, DWORD*)
{
    SetLastError(0);
    return nullptr;
}

} // namespace

TEST(AsyncIoEngine, ARequestNoWorkerCanTakeIsRefusedEvenWithoutAReason)
{
    GatedStream stream(100, 1);
    AsyncIoEngine engine(&stream);
    BYTE buffer[10];
    void* real = ReplaceImport(&importedCreateThread, (void*)CreateThreadFailsSilently);
    HRESULT hr = QueueReadRequest(&engine, 0, 10, FALSE, buffer, nullptr, 0);
    ReplaceImport(&importedCreateThread, real);
    EXPECT_TRUE(FAILED(hr)) << "no worker, no read: not a success";
    EXPECT_EQ(nullptr, engine.thread);
    EXPECT_EQ(0, engine.requests.count) << "nothing left queued for a worker that never came";
    EXPECT_EQ(VFW_E_TIMEOUT, Collect(engine, 0).hr);
    // Once threads start again the engine works as ever.
    ASSERT_EQ(S_OK, QueueReadRequest(&engine, 0, 10, FALSE, buffer, nullptr, 0));
    EXPECT_EQ(S_OK, Collect(engine).hr);
}
