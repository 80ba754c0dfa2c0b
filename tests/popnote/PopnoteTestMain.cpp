// The tests of Popnote.exe's parts. The same binary also serves as a slot holder in another
// process for the tests that need one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "NoticeSlot.h"
#include "Shell.h"

int main(int argc, char** argv) {
    if (const char* directory = std::getenv(kHoldSlotVariable)) {
        const NoticeSlot slot = NoticeSlot::Claim(directory);
        std::printf("%d %d\n", slot.Held() ? slot.Index() : -1, static_cast<int>(getpid()));
        std::fflush(stdout);
        pause();  // until killed
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    // The window tests need Qt; without a display of its own the run stays off screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
