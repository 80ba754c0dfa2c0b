#include <gtest/gtest.h>

#include <cstddef>

#include "platform/DynamicLibrary.h"

namespace {

TEST(DynamicLibraryTest, FindsEntriesOfLoadedLibrary) {
    auto libc = DynamicLibrary::Load("libc.so.6");
    ASSERT_TRUE(libc);
    auto* strlenEntry = reinterpret_cast<size_t (*)(const char*)>(libc->Entry("strlen"));
    ASSERT_NE(strlenEntry, nullptr);
    EXPECT_EQ(strlenEntry("wardlet"), 7u);
    EXPECT_EQ(libc->Entry("WardletNoSuchEntry"), nullptr);
    EXPECT_EQ(libc->Entry(nullptr), nullptr);
}

TEST(DynamicLibraryTest, MissingLibraryGivesNullAndReason) {
    const char* missing[] = {"libwardlet-no-such-library.so", "/nonexistent/libx.so", nullptr};
    for (const char* name : missing) {
        std::string error;
        EXPECT_EQ(DynamicLibrary::Load(name, &error), nullptr) << (name ? name : "(null)");
        EXPECT_FALSE(error.empty()) << (name ? name : "(null)");
    }
    EXPECT_EQ(DynamicLibrary::Load("libwardlet-no-such-library.so"), nullptr);
}

}  // namespace
