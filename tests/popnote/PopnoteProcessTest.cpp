// Popnote.exe run as the library runs it, on a machine without a display.
#include <gtest/gtest.h>

#include <string>

#include "LoginFailedText.h"
#include "Shell.h"

namespace {

// Runs Popnote.exe with `arguments` (already quoted for sh) and takes its standard error.
int RunWithoutDisplay(const std::string& arguments, std::string& errors) {
    return RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " POPNOTE_EXE " " +
                        arguments + " 2>&1 >/dev/null",
                    errors);
}

TEST(PopnoteWithoutDisplay, WritesTheNoticeAsUtf8ToStandardError) {
    std::string errors;
    EXPECT_EQ(RunWithoutDisplay(std::string("'") + kLoginFailedCp936 + "'", errors), 0);
    EXPECT_EQ(errors, std::string(kLoginFailedUtf8) + "\n");
}

TEST(PopnoteWithoutDisplay, ShowsWhatItCanOfBadBytes) {
    std::string errors;
    EXPECT_EQ(RunWithoutDisplay("'\xff\xfe\x80\xd5'", errors), 0);
    EXPECT_EQ(errors, "\xEF\xBF\xBD\xEF\xBF\xBD€\xEF\xBF\xBD\n");
}

TEST(PopnoteWithoutDisplay, ShowsNothingOfAnEmptyNoticeAndRefusesNone) {
    std::string errors;
    EXPECT_EQ(RunWithoutDisplay("''", errors), 0);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(RunWithoutDisplay("", errors), 2);
}

}  // namespace
