#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/NamedMutex.h"
#include "support/Processes.h"
#include "support/RuntimeDirTest.h"

namespace {

class NamedMutexTest : public RuntimeDirTest {};

// Whether a fresh process could take the mutex `name` right now.
bool OtherProcessCanTake(const std::string& name) {
    return ExitCode(Spawn([&] {
               auto mutex = NamedMutex::Open(name);
               return mutex && mutex->TryLock() ? 0 : 1;
           })) == 0;
}

// Returns once the process or thread whose /proc stat file is `statPath` sleeps in the kernel,
// e.g. blocked on a lock, or has ended.
void AwaitSleeping(const std::string& statPath) {
    for (;;) {
        std::ifstream stat(statPath);
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size()) return;
        const char state = line[close + 2];
        if (state == 'S' || state == 'D' || state == 'Z' || state == 'X') return;
        sched_yield();
    }
}

void AwaitSleeping(pid_t pid) { AwaitSleeping("/proc/" + std::to_string(pid) + "/stat"); }

// The child contends through a handle it opened itself, or through the one it inherited by fork:
// an inherited descriptor shares the parent's flock, so a naive one would not exclude at all.
class NamedMutexProcessTest : public NamedMutexTest, public testing::WithParamInterface<bool> {};

TEST_P(NamedMutexProcessTest, SecondProcessBlocksUntilFirstUnlocks) {
    const bool inherited = GetParam();
    auto mutex = NamedMutex::Open("contended");
    ASSERT_TRUE(mutex);
    // Set by the parent just before it unlocks; the child must never acquire while it is 0.
    auto* released = static_cast<std::atomic<int>*>(mmap(nullptr, sizeof(std::atomic<int>),
                                                         PROT_READ | PROT_WRITE,
                                                         MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(released, MAP_FAILED);
    new (released) std::atomic<int>(0);
    Pipe toParent;

    mutex->Lock();
    const pid_t child = Spawn([&] {
        std::unique_ptr<NamedMutex> own;
        NamedMutex* m = mutex.get();
        if (!inherited) {
            own = NamedMutex::Open("contended");
            if (!own) return 2;
            m = own.get();
        }
        if (m->TryLock()) return 3;
        toParent.Send('r');
        m->Lock();
        const bool orderly = released->load() == 1;
        toParent.Send('L');
        m->Unlock();
        return orderly ? 0 : 4;
    });
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'r');
    AwaitSleeping(child);  // blocked in Lock, or ended by a wrong acquisition
    released->store(1);
    mutex->Unlock();
    EXPECT_EQ(toParent.Receive(), 'L');
    EXPECT_EQ(ExitCode(child), 0);
    EXPECT_TRUE(mutex->TryLock()) << "the child's unlock must not leave the mutex taken";
    mutex->Unlock();
    munmap(released, sizeof(std::atomic<int>));
}

INSTANTIATE_TEST_SUITE_P(OwnOrInheritedHandle, NamedMutexProcessTest, testing::Bool());

TEST_F(NamedMutexTest, RecursiveForOwningThreadUntilLastUnlock) {
    auto mutex = NamedMutex::Open("recursive");
    ASSERT_TRUE(mutex);
    mutex->Lock();
    mutex->Lock();
    ASSERT_TRUE(mutex->TryLock());
    for (int held = 3; held > 0; --held) {
        EXPECT_FALSE(OtherProcessCanTake("recursive")) << held << " locks still held";
        mutex->Unlock();
    }
    EXPECT_TRUE(OtherProcessCanTake("recursive"));
    mutex->Unlock();  // not held: ignored
    EXPECT_TRUE(OtherProcessCanTake("recursive"));
}

TEST_F(NamedMutexTest, HolderKilledReleasesIt) {
    Pipe toParent;
    Pipe never;
    const pid_t holder = Spawn([&] {
        auto mutex = NamedMutex::Open("crash");
        if (!mutex) return 2;
        mutex->Lock();
        toParent.Send('L');
        never.CloseWriter();
        never.Receive();  // blocks until killed
        return 0;
    });
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'L');
    auto mutex = NamedMutex::Open("crash");
    ASSERT_TRUE(mutex);
    EXPECT_FALSE(mutex->TryLock());
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    EXPECT_EQ(ExitCode(holder), 128 + SIGKILL);
    EXPECT_TRUE(mutex->TryLock());
    mutex->Unlock();
}

TEST_F(NamedMutexTest, ThreadsOfOneProcessExcludeEachOther) {
    auto mutex = NamedMutex::Open("threads");
    auto second = NamedMutex::Open("threads");
    ASSERT_TRUE(mutex && second);
    std::atomic<int> released{0};
    std::promise<pid_t> tried;
    bool tryLockRefused = false;
    bool secondHandleRefused = false;
    bool orderly = false;

    mutex->Lock();
    std::thread contender([&] {
        tryLockRefused = !mutex->TryLock();
        secondHandleRefused = !second->TryLock();
        tried.set_value(gettid());
        mutex->Lock();
        orderly = released.load() == 1;
        mutex->Unlock();
    });
    const pid_t tid = tried.get_future().get();
    // Another handle of the same name, same thread: one state, so recursion, not deadlock.
    ASSERT_TRUE(second->TryLock());
    second->Unlock();
    AwaitSleeping("/proc/self/task/" + std::to_string(tid) + "/stat");
    released.store(1);
    mutex->Unlock();
    contender.join();
    EXPECT_TRUE(tryLockRefused);
    EXPECT_TRUE(secondHandleRefused);
    EXPECT_TRUE(orderly);
}

TEST_F(NamedMutexTest, ForkedChildHoldsNothingItsParentHeld) {
    auto mutex = NamedMutex::Open("inherit");
    ASSERT_TRUE(mutex);
    mutex->Lock();
    const pid_t child = Spawn([&] {
        // The parent holds it; the child is another process and must be refused. Its Unlock must
        // not release the parent's lock through the inherited descriptor.
        mutex->Unlock();
        return mutex->TryLock() ? 1 : 0;
    });
    EXPECT_EQ(ExitCode(child), 0);
    EXPECT_FALSE(OtherProcessCanTake("inherit"));
    mutex->Unlock();
    EXPECT_TRUE(OtherProcessCanTake("inherit"));
}

}  // namespace
