#include <gtest/gtest.h>

#include <string>

#include "LoginFailedText.h"
#include "platform/Cp936.h"

namespace {

TEST(NoticeText, ConvertsCp936ToUtf8) {
    EXPECT_EQ(Utf8FromCp936Replacing(kLoginFailedCp936), kLoginFailedUtf8);
}

TEST(NoticeText, ReplacesEachBadByteAndKeepsTheRest) {
    // 0xFF starts no character; 0xD5 leads a pair whose second byte is never below 0x40, and a
    // lead byte at the very end is cut off.
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(Utf8FromCp936Replacing("A\xff\xd5\xca"
                                     "B\xd5 C\xd5"),
              "A" + replacement + "帐B" + replacement + " C" + replacement);
}

}  // namespace
