// The library lock: recursion, first-in-first-out hand-over and destruction.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "runtime/library_lock.h"
#include "tests/support/test_support.h"

namespace {

// Written only by the thread that holds the lock.
std::vector<int> order;
volatile LONG acquired;

struct Contender {
    int tag;
    HANDLE thread;
};

DWORD WINAPI EnterRecordLeave(void* parameter)
{
    int tag = (int)(intptr_t)parameter;
    EnterLibraryLock();
    InterlockedIncrement(&acquired);
    order.push_back(tag);
    Sleep(5);
    LeaveLibraryLock();
    return 0;
}

HANDLE StartContender(int tag)
{
    return CreateThread(nullptr, 0, EnterRecordLeave, (void*)(intptr_t)tag, 0, nullptr);
}

// Waits until the queue holds n threads (they are then waiting on their
// events), for at most the platform wait: threads start late on a loaded
// machine.
bool WaitForWaiters(int n)
{
    return PollUntil([n] { return CountLibraryLockWaiters() == n; });
}

} // namespace

TEST(LibraryLock, OwnerReentersAndReleasesAtTheLastLeave)
{
    EnterLibraryLock();
    EnterLibraryLock();
    EnterLibraryLock();
    acquired = 0;
    HANDLE other = StartContender(1);
    ASSERT_TRUE(WaitForWaiters(1));
    LeaveLibraryLock();
    LeaveLibraryLock();
    Sleep(30);
    EXPECT_EQ(0, acquired);
    EXPECT_EQ(1, CountLibraryLockWaiters());
    LeaveLibraryLock();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other, PlatformWaitMs));
    EXPECT_EQ(1, acquired);
    EXPECT_EQ(0, CountLibraryLockWaiters());
    CloseHandle(other);

    // A leave by a thread that does not own the lock changes nothing.
    LeaveLibraryLock();
    EnterLibraryLock();
    LeaveLibraryLock();
}

TEST(LibraryLock, WaitersGetTheLockInArrivalOrder)
{
    order.clear();
    EnterLibraryLock();
    HANDLE threads[4];
    for (int i = 0; i < 4; i++) {
        threads[i] = StartContender(i + 1);
        ASSERT_TRUE(WaitForWaiters(i + 1));
    }
    // Releasing and entering again at once: the queue goes first.
    LeaveLibraryLock();
    EnterLibraryLock();
    order.push_back(0);
    LeaveLibraryLock();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(4, threads, TRUE, PlatformWaitMs));
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 0}), order);
}

TEST(LibraryLock, ManyThreadsTakeTurns)
{
    order.clear();
    acquired = 0;
    const int n = 64;
    HANDLE threads[n];
    EnterLibraryLock();
    for (int i = 0; i < n; i++)
        threads[i] = StartContender(i);
    ASSERT_TRUE(WaitForWaiters(n));
    LeaveLibraryLock();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(n, threads, TRUE, PlatformWaitMs));
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ(n, acquired);
    EXPECT_EQ((size_t)n, order.size());
    EXPECT_EQ(0, CountLibraryLockWaiters());
}

TEST(LibraryLock, DestroyingTwiceIsHarmless)
{
    EnterLibraryLock();
    LeaveLibraryLock();
    EXPECT_EQ(1, GetLibraryLockCreated());
    DestroyLibraryLock();
    EXPECT_EQ(0, GetLibraryLockCreated());
    DestroyLibraryLock();
    EXPECT_EQ(0, GetLibraryLockCreated());
    // The next enter makes it again.
    EnterLibraryLock();
    EXPECT_EQ(1, GetLibraryLockCreated());
    LeaveLibraryLock();
    DestroyLibraryLock();
}
