// Thread timers: due times on an injected clock, periods, killing, and which loop runs them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>
#include <vector>

#include "platform/GuiApplication.h"
#include "platform/TimerQueue.h"
#include "wardlet/platform/MessagePump.h"

namespace {

int64_t g_now = 0;
int64_t Clock() { return g_now; }

std::vector<uintptr_t> g_fired;
uintptr_t g_victim = 0;

void Record(void*, uint32_t message, uintptr_t id, uint32_t) {
    EXPECT_EQ(message, WM_TIMER);
    g_fired.push_back(id);
}

void KillVictim(void* window, uint32_t message, uintptr_t id, uint32_t tick) {
    Record(window, message, id, tick);
    KillTimer(nullptr, g_victim);
}

class TimerQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = 5000;
        g_fired.clear();
        TimerQueue::SetClock(&Clock);
    }
    void TearDown() override {
        for (uintptr_t id : m_timers) KillTimer(nullptr, id);
        TimerQueue::SetClock(nullptr);
    }
    uintptr_t Start(uint32_t ms, TIMERPROC proc = Record) {
        m_timers.push_back(SetTimer(nullptr, 0, ms, proc));
        return m_timers.back();
    }
    std::vector<uintptr_t> m_timers;
};

TEST_F(TimerQueueTest, FiresWhenDueAndEveryPeriodUntilKilled) {
    const uintptr_t id = Start(100);
    EXPECT_EQ(NextTimerDueIn(), 100);
    g_now += 99;
    PumpMessages();
    EXPECT_TRUE(g_fired.empty());
    g_now += 1;
    PumpMessages();
    PumpMessages();  // once per period, however often the loop turns
    EXPECT_EQ(g_fired, std::vector<uintptr_t>{id});
    g_now += 100;
    PumpMessages();
    EXPECT_EQ(g_fired.size(), 2u);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_FALSE(KillTimer(nullptr, id));
    g_now += 1000;
    PumpMessages();
    EXPECT_EQ(g_fired.size(), 2u);
    EXPECT_EQ(NextTimerDueIn(), -1);
}

TEST_F(TimerQueueTest, TimerKilledByAnEarlierCallbackNeverFires) {
    Start(10, KillVictim);
    g_victim = Start(10);
    g_now += 10;
    EXPECT_EQ(TimerQueue::DispatchDue(), 1);
    EXPECT_EQ(g_fired.size(), 1u);
}

TEST_F(TimerQueueTest, TimersBelongToTheThreadThatSetThem) {
    uintptr_t foreign = 0;
    std::thread([&] { foreign = SetTimer(nullptr, 0, 0, Record); }).join();
    g_now += 1;
    PumpMessages();
    EXPECT_TRUE(g_fired.empty());
    EXPECT_FALSE(KillTimer(nullptr, foreign));  // only its own thread may kill it
    EXPECT_EQ(SetTimer(reinterpret_cast<void*>(1), 0, 10, Record), 0u);
    EXPECT_EQ(SetTimer(nullptr, 0, 10, nullptr), 0u);
}

TEST_F(TimerQueueTest, TheToolkitsEventLoopRunsDueTimers) {
    std::string whyNot;
    ASSERT_TRUE(gui::EnsureApplication(&whyNot)) << whyNot;
    const uintptr_t id = Start(0);
    for (int turn = 0; turn < 100 && g_fired.empty(); ++turn) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    EXPECT_EQ(g_fired, std::vector<uintptr_t>{id});
}

}  // namespace
