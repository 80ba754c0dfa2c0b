// Fixtures that give every test directories of its own: tests run in parallel processes.
#pragma once

#include <gtest/gtest.h>

#include <string>

// A fresh directory under /tmp for the test, removed with all it holds afterwards.
class ScratchDirTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string dir_;
};

// A fresh directory that is also the test's XDG_RUNTIME_DIR, as if it were this user's runtime
// dir, so that the kernel objects of one test never meet those of another.
class RuntimeDirTest : public ScratchDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& RuntimeDir() const { return dir_; }
};
