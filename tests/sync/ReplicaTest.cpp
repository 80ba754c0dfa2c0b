#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/RuntimeDirTest.h"
#include "sync/Replica.h"

namespace {

ReplicaState Holding(const StoreVersion& held) {
    ReplicaState state;
    state.held = held;
    state.maxCounter = held.counter;
    if (!held.IsNone()) state.lastSeen[held.station] = {held.counter, "d-" + held.Text()};
    return state;
}

TEST(Replica, JudgesEveryKindOfArrival) {
    const ReplicaState state = Holding({5, "b"});
    struct Case {
        StoreVersion version;
        std::string digest;
        Verdict expected;
    } cases[] = {
        {{6, "a"}, "x", Verdict::kApply},       // a higher counter
        {{5, "c"}, "x", Verdict::kApply},       // a tie, a later station
        {{5, "a"}, "x", Verdict::kNotNewer},    // a tie, an earlier station
        {{3, "a"}, "x", Verdict::kNotNewer},    // first sight of an older store
        {{5, "b"}, "d-5@b", Verdict::kRepeat},  // the held envelope again
        {{5, "b"}, "y", Verdict::kReplay},      // another envelope with a version already seen
        {{4, "b"}, "z", Verdict::kReplay},      // an older envelope of that station
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Judge(state, c.version, c.digest), c.expected) << c.version.Text();
    }
}

TEST(Replica, NewLocalStoresCountFromTheHighestSeen) {
    ReplicaState state = Holding({5, "b"});
    NoteSeen(&state, {9, "c"}, "d");
    EXPECT_EQ(NextLocalVersion(&state, "a"), (StoreVersion{10, "a"}));
    EXPECT_EQ(NextLocalVersion(&state, "a"), (StoreVersion{11, "a"}));
    NoteSeen(&state, {3, "c"}, "old");  // an older one does not move the mark back
    EXPECT_EQ(state.lastSeen["c"].counter, 9u);
}

// Whatever order the stores arrive in, every station ends holding the same, largest version.
TEST(Replica, ConvergesWhateverTheOrderOfDelivery) {
    const std::vector<StoreVersion> sent = {{1, "a"}, {2, "a"}, {2, "b"}, {3, "c"},
                                            {3, "a"}, {4, "b"}, {4, "c"}};
    std::mt19937 random(42);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<StoreVersion> order = sent;
        std::shuffle(order.begin(), order.end(), random);
        // Retained messages may come twice, after a reconnect.
        order.insert(order.begin() + random() % order.size(), order[random() % order.size()]);
        ReplicaState state;
        for (const StoreVersion& version : order) {
            const Verdict verdict = Judge(state, version, "d-" + version.Text());
            if (verdict == Verdict::kReplay || verdict == Verdict::kRepeat) continue;
            NoteSeen(&state, version, "d-" + version.Text());
            if (verdict == Verdict::kApply) state.held = version;
        }
        EXPECT_EQ(state.held, (StoreVersion{4, "c"})) << trial;
    }
}

class ReplicaFileTest : public ScratchDirTest {};

TEST_F(ReplicaFileTest, StateSurvivesARestart) {
    ReplicaState state = Holding({5, "b"});
    state.heldDigest = "abc";
    state.heldWallTimeMs = 1234;
    state.published = {4, "a"};
    state.publishedAcked = false;
    std::string error;
    ASSERT_TRUE(SaveReplicaState(dir_ + "/state.json", state, &error)) << error;
    ReplicaState read;
    ASSERT_TRUE(LoadReplicaState(dir_ + "/state.json", &read, &error)) << error;
    EXPECT_EQ(read.held, state.held);
    EXPECT_EQ(read.heldDigest, "abc");
    EXPECT_EQ(read.heldWallTimeMs, 1234);
    EXPECT_EQ(read.published, state.published);
    EXPECT_FALSE(read.publishedAcked);
    EXPECT_EQ(read.lastSeen["b"].digest, "d-5@b");
}

TEST_F(ReplicaFileTest, MissingStateIsEmptyAndDamagedStateIsAnError) {
    ReplicaState read = Holding({5, "b"});
    std::string error;
    ASSERT_TRUE(LoadReplicaState(dir_ + "/absent.json", &read, &error));
    EXPECT_TRUE(read.held.IsNone());
    const std::string damaged = "{\"held\": 3}";
    ASSERT_TRUE(SaveReplicaState(dir_ + "/s.json", read, &error));
    FILE* file = std::fopen((dir_ + "/s.json").c_str(), "w");
    std::fputs(damaged.c_str(), file);
    std::fclose(file);
    EXPECT_FALSE(LoadReplicaState(dir_ + "/s.json", &read, &error));
    EXPECT_NE(error.find("damaged state"), std::string::npos) << error;
}

}  // namespace
