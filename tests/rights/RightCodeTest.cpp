#include <gtest/gtest.h>

#include "rights/RightCode.h"

namespace {

struct LevelCase {
    uint32_t code;
    int level;
    int order;
};

class RightCodeLevelTest : public testing::TestWithParam<LevelCase> {};

TEST_P(RightCodeLevelTest, LevelAndOrder) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(GetCodeLevel(c.code), c.level);
    EXPECT_EQ(GetCodeOrder(c.code), c.order);
}

INSTANTIATE_TEST_SUITE_P(Codes, RightCodeLevelTest,
                         testing::Values(LevelCase{0x00000000, 1, 0}, LevelCase{0x01000000, 1, 1},
                                         LevelCase{0xFF000000, 1, 0xFF},
                                         LevelCase{0x01050000, 2, 5}, LevelCase{0x01040400, 3, 4},
                                         LevelCase{0x01010302, 4, 2}, LevelCase{0x01000100, 3, 1},
                                         LevelCase{0x01000001, 4, 1},
                                         LevelCase{0x010000FF, 4, 0xFF}));

TEST(RightCodeTest, ByteAtEachLevel) {
    const uint32_t code = 0x8104C402;
    EXPECT_EQ(GetCodeByte(1, code), 0x81);
    EXPECT_EQ(GetCodeByte(2, code), 0x04);
    EXPECT_EQ(GetCodeByte(3, code), 0xC4);
    EXPECT_EQ(GetCodeByte(4, code), 0x02);
    for (int outside : {0, 5, -1, 32}) EXPECT_EQ(GetCodeByte(outside, code), 0) << outside;
}

struct CoverCase {
    uint32_t granted;
    uint32_t queried;
    bool covers;
};

class RightCodeCoverTest : public testing::TestWithParam<CoverCase> {};

TEST_P(RightCodeCoverTest, Covers) {
    const CoverCase& c = GetParam();
    EXPECT_EQ(CodeCovers(c.granted, c.queried), c.covers)
        << std::hex << c.granted << " over " << c.queried;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RightCodeCoverTest,
    testing::Values(
        CoverCase{0x01000000, 0x01000000, true}, CoverCase{0x01000000, 0x01010302, true},
        CoverCase{0x01000000, 0x02010000, false}, CoverCase{0x01010000, 0x01010302, true},
        CoverCase{0x01010200, 0x01010200, true}, CoverCase{0x01010200, 0x01010203, true},
        CoverCase{0x01010200, 0x01010000, false}, CoverCase{0x01010200, 0x01010300, false},
        CoverCase{0x01010200, 0x01010301, false}, CoverCase{0x01010201, 0x01010201, true},
        CoverCase{0x01010201, 0x01010202, false}, CoverCase{0x01010201, 0x01010200, false},
        CoverCase{0x01020000, 0x01010200, false}, CoverCase{0x01040200, 0x01050201, false},
        CoverCase{0xFF000000, 0xFF010000, true}, CoverCase{0x00000000, 0x01000000, false}));

}  // namespace
