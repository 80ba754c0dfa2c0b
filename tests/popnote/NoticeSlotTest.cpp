#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "NoticeSlot.h"
#include "Shell.h"

namespace {

// Every test gets a slot folder of its own: the tests run in parallel processes.
class NoticeSlotTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/popnote-slots-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string dir_;
};

TEST_F(NoticeSlotTest, HoldersTakeTheLowestFreeSlot) {
    const NoticeSlot first = NoticeSlot::Claim(dir_);
    std::optional<NoticeSlot> second = NoticeSlot::Claim(dir_);
    const NoticeSlot third = NoticeSlot::Claim(dir_);
    EXPECT_EQ(first.Index(), 0);
    EXPECT_EQ(second->Index(), 1);
    EXPECT_EQ(third.Index(), 2);
    EXPECT_TRUE(second->Held());
    second.reset();
    EXPECT_EQ(NoticeSlot::Claim(dir_).Index(), 1);
}

TEST_F(NoticeSlotTest, BeyondTheCapEveryoneSharesTheTopSlot) {
    const NoticeSlot a = NoticeSlot::Claim(dir_, 2);
    const NoticeSlot b = NoticeSlot::Claim(dir_, 2);
    const NoticeSlot extra = NoticeSlot::Claim(dir_, 2);
    EXPECT_EQ(extra.Index(), 1);
    EXPECT_FALSE(extra.Held());
}

// Notices are separate processes, and one that crashes must not keep its place on screen.
TEST_F(NoticeSlotTest, SlotOfAKilledProcessIsFreeAgain) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    FILE* holder = popen(
        ("exec env " + std::string(kHoldSlotVariable) + "=" + dir_ + " " + self).c_str(), "r");
    ASSERT_NE(holder, nullptr);
    int holderSlot = -1, holderPid = 0;
    const bool heard = fscanf(holder, "%d %d", &holderSlot, &holderPid) == 2 && holderPid > 0;
    const int slotBesideHolder = NoticeSlot::Claim(dir_).Index();
    if (heard) kill(holderPid, SIGKILL);
    pclose(holder);

    ASSERT_TRUE(heard);
    EXPECT_EQ(holderSlot, 0);
    EXPECT_EQ(slotBesideHolder, 1);
    EXPECT_EQ(NoticeSlot::Claim(dir_).Index(), 0);
}

}  // namespace
