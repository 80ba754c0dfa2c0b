#include "support/RuntimeDirTest.h"

#include <stdlib.h>

#include <filesystem>

void ScratchDirTest::SetUp() {
    char scratch[] = "/tmp/wardlet-test-XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    dir_ = scratch;
}

void ScratchDirTest::TearDown() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

void RuntimeDirTest::SetUp() {
    ScratchDirTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
}

void RuntimeDirTest::TearDown() {
    unsetenv("XDG_RUNTIME_DIR");
    ScratchDirTest::TearDown();
}
