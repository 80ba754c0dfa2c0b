// The tests' entry: every test runs in one known time zone, whatever the machine's, so that
// local times in expectations mean the same everywhere; dialogs are shown offscreen, or, for the
// tests of a machine without a display, nowhere.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>

// The font library keeps caches for the life of the process; LeakSanitizer would call them leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

int main(int argc, char** argv) {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    if (getenv("WARDLET_TEST_NO_DISPLAY") != nullptr) {
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            unsetenv(variable);
        }
    } else {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
