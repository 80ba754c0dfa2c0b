// The tests' entry: every test runs in one known time zone, whatever the machine's, so that
// local times in expectations mean the same everywhere.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
