#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/KernelObjectNames.h"
#include "platform/NamedSemaphore.h"
#include "support/Processes.h"
#include "support/RuntimeDirTest.h"

namespace {

class NamedSemaphoreTest : public RuntimeDirTest {};

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
    EXPECT_TRUE(first->TryWait());
    first.reset();
    EXPECT_EQ(second->Count(), 0) << "still open through the second handle";
    second.reset();
    EXPECT_EQ(CountOfFreshOpen("kept", 1, 1), 1) << "ends with its last handle";
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

// Every update is a read-modify-write of the count file, so none may be lost to a contender:
// another process, a forked child on the handle it inherited (whose descriptor shares the parent's
// flock), or another thread on the same handle (which flock cannot tell apart).
TEST_F(NamedSemaphoreTest, ConcurrentUpdatesAreNotLost) {
    constexpr int kEach = 5000;
    enum Contender { kOwnProcess, kForkedInheritedHandle, kThreadSameHandle };
    for (const Contender contender : {kOwnProcess, kForkedInheritedHandle, kThreadSameHandle}) {
        const std::string name = "race" + std::to_string(contender);
        auto s = NamedSemaphore::Open(name, 0, 2 * kEach);
        ASSERT_TRUE(s);
        const auto releaseAll = [&](NamedSemaphore* semaphore) {
            int refused = 0;
            for (int i = 0; i < kEach; ++i) refused += semaphore->Release() ? 0 : 1;
            return refused;
        };
        int refused = 0;
        if (contender == kThreadSameHandle) {
            int refusedByOther = 0;
            std::thread other([&] { refusedByOther = releaseAll(s.get()); });
            refused = releaseAll(s.get());
            other.join();
            refused += refusedByOther;
        } else {
            Pipe go;
            const pid_t child = Spawn([&] {
                go.CloseWriter();
                auto own =
                    contender == kOwnProcess ? NamedSemaphore::Open(name, 0, 2 * kEach) : nullptr;
                NamedSemaphore* mine = own ? own.get() : s.get();
                return go.Receive() == 'g' && releaseAll(mine) == 0 ? 0 : 1;
            });
            go.Send('g');
            refused += releaseAll(s.get());
            EXPECT_EQ(ExitCode(child), 0);
        }
        EXPECT_EQ(refused, 0);
        EXPECT_EQ(s->Count(), 2 * kEach) << "contender " << contender;
    }
}

// The login slot must come back when its taker dies, unless another process keeps the object.
TEST_F(NamedSemaphoreTest, KilledTakerFreesTheSlotOnlyIfLastUser) {
    for (const bool keeperAlive : {false, true}) {
        const std::string name = keeperAlive ? "login-kept" : "login";
        Pipe never;
        const auto openAndWait = [&](bool take) {
            Pipe ready;
            const pid_t pid = Spawn([&] {
                never.CloseWriter();
                auto s = NamedSemaphore::Open(name, 1, 1);
                if (!s || (take && !s->TryWait())) return 2;
                ready.Send('R');
                never.Receive();  // until killed
                return 0;
            });
            ready.CloseWriter();
            EXPECT_EQ(ready.Receive(), 'R');
            return pid;
        };
        const pid_t keeper = keeperAlive ? openAndWait(false) : -1;
        const pid_t taker = openAndWait(true);
        ASSERT_EQ(kill(taker, SIGKILL), 0);
        EXPECT_EQ(ExitCode(taker), 128 + SIGKILL);
        EXPECT_EQ(CountOfFreshOpen(name), keeperAlive ? 0 : 1) << name;
        if (keeperAlive) {
            kill(keeper, SIGKILL);
            ExitCode(keeper);
            EXPECT_EQ(CountOfFreshOpen(name), 1) << "the keeper was the last user";
        }
    }
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
