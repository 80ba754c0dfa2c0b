#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "platform/KernelObjectNames.h"
#include "platform/NamedSemaphore.h"

namespace {

// Gives every test its own object directory: tests run in parallel processes.
class NamedSemaphoreTest : public testing::Test {
  protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
        char scratch[] = "/tmp/wardlet-sem-XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        runtime_ = scratch;
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    }
    void TearDown() override {
        if (saved_) {
            setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        std::filesystem::remove_all(runtime_);
    }

    std::string runtime_;
    std::optional<std::string> saved_;
};

// One byte messages between parent and child, to order events without sleeping. Each side closes
// the write end it does not use, so that a reader sees end-of-file, not a hang, once the other
// side has gone.
class Pipe {
  public:
    Pipe() { EXPECT_EQ(pipe(fds_), 0); }
    ~Pipe() {
        close(fds_[0]);
        CloseWriter();
    }
    void Send(char c) { EXPECT_EQ(write(fds_[1], &c, 1), 1); }
    void CloseWriter() {
        if (fds_[1] >= 0) close(fds_[1]);
        fds_[1] = -1;
    }
    // Returns 0 when every writer has gone.
    char Receive() {
        char c = 0;
        return read(fds_[0], &c, 1) == 1 ? c : 0;
    }

  private:
    int fds_[2];
};

// Runs `body` in a child process that exits with its result.
pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A child that opens `name` (one slot), takes the slot, reports 'T' and waits to be killed.
pid_t SpawnSlotTaker(const std::string& name, Pipe& toParent, Pipe& never) {
    return Spawn([&] {
        auto semaphore = NamedSemaphore::Open(name, 1, 1);
        if (!semaphore || !semaphore->TryWait()) return 2;
        toParent.Send('T');
        never.CloseWriter();
        never.Receive();  // blocks until killed
        return 0;
    });
}

// The count seen by a new handle; `initial` shows through only if nobody had the object open.
int CountOfFreshOpen(const std::string& name, int initial = 1, int maximum = 1) {
    auto semaphore = NamedSemaphore::Open(name, initial, maximum);
    return semaphore ? semaphore->Count() : -100;
}

TEST_F(NamedSemaphoreTest, RejectsInvalidCounts) {
    const struct { int initial, maximum; } cases[] = {{0, 0}, {-1, 1}, {2, 1}, {1, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(NamedSemaphore::Open("s", c.initial, c.maximum), nullptr)
            << c.initial << "/" << c.maximum;
    }
}

TEST_F(NamedSemaphoreTest, TryWaitAndReleaseRespectZeroAndMaximum) {
    auto s = NamedSemaphore::Open("counts", 1, 3);
    ASSERT_TRUE(s);
    int previous = -1;
    EXPECT_TRUE(s->TryWait());
    EXPECT_FALSE(s->TryWait()) << "at zero";
    EXPECT_EQ(s->Count(), 0);
    EXPECT_TRUE(s->Release(3, &previous));
    EXPECT_EQ(previous, 0);
    previous = -1;
    const struct { int count; } refused[] = {{1}, {0}, {-1}};
    for (const auto& r : refused) {
        EXPECT_FALSE(s->Release(r.count, &previous)) << r.count;
        EXPECT_EQ(previous, -1) << "left untouched on refusal";
        EXPECT_EQ(s->Count(), 3);
    }
    EXPECT_TRUE(s->TryWait());
    EXPECT_TRUE(s->Release());
    EXPECT_EQ(s->Count(), 3);
}

TEST_F(NamedSemaphoreTest, ExistingObjectKeepsItsCountAndMaximum) {
    auto first = NamedSemaphore::Open("kept", 1, 1);
    ASSERT_TRUE(first && first->TryWait());
    auto second = NamedSemaphore::Open("kept", 5, 5);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Count(), 0);
    EXPECT_TRUE(second->Release());
    EXPECT_FALSE(second->Release()) << "the creator's maximum of 1 holds";
    EXPECT_EQ(first->Count(), 1);
}

TEST_F(NamedSemaphoreTest, CountIsSharedBetweenProcesses) {
    auto s = NamedSemaphore::Open("shared", 1, 1);
    ASSERT_TRUE(s);
    Pipe toParent;
    Pipe toChild;
    const pid_t child = Spawn([&] {
        toChild.CloseWriter();
        auto own = NamedSemaphore::Open("shared", 1, 1);
        if (!own || !own->TryWait()) return 2;
        toParent.Send('w');
        if (toChild.Receive() != 'r') return 3;
        return own->Count() == 1 ? 0 : 4;
    });
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'w');
    EXPECT_EQ(s->Count(), 0);
    EXPECT_FALSE(s->TryWait());
    EXPECT_TRUE(s->Release()) << "a unit taken by one process may be given back by another";
    toChild.Send('r');
    EXPECT_EQ(ExitCode(child), 0);
}

TEST_F(NamedSemaphoreTest, InheritedHandleWorksInForkedChild) {
    auto s = NamedSemaphore::Open("inherited", 2, 2);
    ASSERT_TRUE(s);
    Pipe toParent;
    Pipe toChild;
    const pid_t child = Spawn([&] {
        toChild.CloseWriter();
        if (!s->TryWait()) return 2;
        toParent.Send('w');
        return toChild.Receive() == 'c' ? 0 : 3;
    });
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'w');
    EXPECT_EQ(s->Count(), 1);
    s.reset();
    // The child still has it open, through the handle it inherited.
    EXPECT_EQ(CountOfFreshOpen("inherited", 2, 2), 1);
    toChild.Send('c');
    EXPECT_EQ(ExitCode(child), 0);
    EXPECT_EQ(CountOfFreshOpen("inherited", 2, 2), 2) << "recreated once the child has gone";
}

// Every update is a read-modify-write of the count file; the guard must exclude the other process
// even when the child uses the handle it inherited, whose descriptor shares the parent's flock.
TEST_F(NamedSemaphoreTest, ConcurrentUpdatesOfTwoProcessesAreNotLost) {
    constexpr int kPerProcess = 5000;
    for (const bool inherited : {false, true}) {
        const std::string name = inherited ? "race-inherited" : "race-own";
        auto s = NamedSemaphore::Open(name, 0, 2 * kPerProcess);
        ASSERT_TRUE(s);
        Pipe go;
        const pid_t child = Spawn([&] {
            go.CloseWriter();
            auto own = inherited ? nullptr : NamedSemaphore::Open(name, 0, 2 * kPerProcess);
            NamedSemaphore* mine = inherited ? s.get() : own.get();
            if (mine == nullptr || go.Receive() != 'g') return 2;
            for (int i = 0; i < kPerProcess; ++i) {
                if (!mine->Release()) return 3;
            }
            return 0;
        });
        go.Send('g');
        for (int i = 0; i < kPerProcess; ++i) {
            ASSERT_TRUE(s->Release());
        }
        EXPECT_EQ(ExitCode(child), 0);
        EXPECT_EQ(s->Count(), 2 * kPerProcess) << (inherited ? "inherited" : "own") << " handle";
    }
}

// flock cannot exclude two threads sharing one descriptor; the handle must.
TEST_F(NamedSemaphoreTest, ConcurrentUpdatesOfTwoThreadsOnOneHandleAreNotLost) {
    constexpr int kPerThread = 5000;
    auto s = NamedSemaphore::Open("race-threads", 0, 2 * kPerThread);
    ASSERT_TRUE(s);
    std::atomic<int> refused{0};
    const auto releaseMany = [&] {
        for (int i = 0; i < kPerThread; ++i) {
            if (!s->Release()) ++refused;
        }
    };
    std::thread other(releaseMany);
    releaseMany();
    other.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(s->Count(), 2 * kPerThread);
}

TEST_F(NamedSemaphoreTest, ObjectEndsWithLastHandle) {
    auto s = NamedSemaphore::Open("closed", 1, 1);
    ASSERT_TRUE(s && s->TryWait());
    auto other = NamedSemaphore::Open("closed", 1, 1);
    s.reset();
    EXPECT_EQ(other->Count(), 0) << "still open through another handle";
    other.reset();
    EXPECT_EQ(CountOfFreshOpen("closed"), 1);
}

TEST_F(NamedSemaphoreTest, CrashedLastUserLeavesNoSlotTaken) {
    Pipe toParent;
    Pipe never;
    const pid_t taker = SpawnSlotTaker("login", toParent, never);
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'T');
    ASSERT_EQ(kill(taker, SIGKILL), 0);
    EXPECT_EQ(ExitCode(taker), 128 + SIGKILL);
    EXPECT_EQ(CountOfFreshOpen("login"), 1);
}

TEST_F(NamedSemaphoreTest, CrashWhileOthersHaveItOpenKeepsTheCount) {
    Pipe keeperReady;
    Pipe keeperNever;
    const pid_t keeper = Spawn([&] {
        auto s = NamedSemaphore::Open("login", 1, 1);
        if (!s) return 2;
        keeperReady.Send('K');
        keeperNever.CloseWriter();
        keeperNever.Receive();
        return 0;
    });
    keeperReady.CloseWriter();
    ASSERT_EQ(keeperReady.Receive(), 'K');
    Pipe toParent;
    Pipe never;
    const pid_t taker = SpawnSlotTaker("login", toParent, never);
    toParent.CloseWriter();
    ASSERT_EQ(toParent.Receive(), 'T');
    ASSERT_EQ(kill(taker, SIGKILL), 0);
    EXPECT_EQ(ExitCode(taker), 128 + SIGKILL);
    EXPECT_EQ(CountOfFreshOpen("login"), 0);
    ASSERT_EQ(kill(keeper, SIGKILL), 0);
    ExitCode(keeper);
    EXPECT_EQ(CountOfFreshOpen("login"), 1);
}

TEST_F(NamedSemaphoreTest, DamagedCountFileReadsAsInitialCount) {
    const std::string countPath = KernelObjectPath("damaged", ".count");
    const int32_t outOfRange[] = {0x4d455357, 7, 3};  // count above maximum
    const int32_t negative[] = {0x4d455357, -1, 3};
    const int32_t wrongMagic[] = {0x12345678, 1, 3};
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"short", "ab"},
        {"long", std::string(64, 'x')},
        {"out of range", std::string(reinterpret_cast<const char*>(outOfRange), 12)},
        {"negative", std::string(reinterpret_cast<const char*>(negative), 12)},
        {"wrong magic", std::string(reinterpret_cast<const char*>(wrongMagic), 12)},
    };
    for (const auto& c : cases) {
        auto s = NamedSemaphore::Open("damaged", 2, 3);
        ASSERT_TRUE(s);
        ASSERT_TRUE(s->TryWait());
        const int fd = open(countPath.c_str(), O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, c.bytes.data(), c.bytes.size()), static_cast<ssize_t>(c.bytes.size()));
        close(fd);
        EXPECT_EQ(s->Count(), 2) << c.what;
        EXPECT_TRUE(s->TryWait()) << c.what;
        EXPECT_EQ(s->Count(), 1) << c.what << ": repaired by the next write";
    }
}

}  // namespace
