#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/KernelObjectNames.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"
#include "support/Processes.h"
#include "support/RuntimeDirTest.h"

namespace {

TEST(KernelObjectBaseNameTest, TakesFileNameUpToFirstDot) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"/usr/bin/monitor", "monitor"},
        {"/opt/a.b.exe", "a"},
        {"/x/.hidden", ""},
        {"monitor", "monitor"},
        {"monitor.exe", "monitor"},
        {"/dir.with.dots/host", "host"},  // dots before the last '/' do not count
        {"/dir.d/host.bin", "host"},
        {"/x/trailing.", "trailing"},
        {"", ""},
        {"/", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KernelObjectBaseName(c.path), c.expected) << c.path;
    }
}

TEST(KernelObjectBaseNameTest, ExecutableBaseNameIsThisProgram) {
    EXPECT_EQ(ExecutableBaseName(), KernelObjectBaseName(program_invocation_name));
    EXPECT_FALSE(ExecutableBaseName().empty());
}

// Gives HOME back after each test, which some of them point elsewhere.
class KernelObjectDirectoryTest : public RuntimeDirTest {
protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        if (home != nullptr) savedHome_ = home;
        RuntimeDirTest::SetUp();
    }
    void TearDown() override {
        if (savedHome_.empty()) {
            unsetenv("HOME");
        } else {
            setenv("HOME", savedHome_.c_str(), 1);
        }
        RuntimeDirTest::TearDown();
    }

private:
    std::string savedHome_;
};

TEST_F(KernelObjectDirectoryTest, CreatesPrivateDirectoryUnderRuntimeDir) {
    const std::string expected = RuntimeDir() + "/wardlet";
    const mode_t oldMask = umask(0);  // the directory must be private whatever the umask
    EXPECT_EQ(KernelObjectDirectory(), expected);
    umask(oldMask);
    struct stat st;
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(KernelObjectDirectory(), expected) << "an existing private directory is reused";
}

TEST_F(KernelObjectDirectoryTest, RefusesWhatOthersCouldTamperWith) {
    const std::string target = RuntimeDir() + "/wardlet";
    const std::string elsewhere = RuntimeDir() + "/elsewhere";
    using Path = const std::string&;
    const struct {
        const char* what;
        bool (*make)(Path target, Path elsewhere);
    } cases[] = {
        {"group-writable", [](Path t, Path) { return mkdir(t.c_str(), 0770) == 0; }},
        {"other-writable", [](Path t, Path) { return mkdir(t.c_str(), 0707) == 0; }},
        {"group-readable", [](Path t, Path) { return mkdir(t.c_str(), 0750) == 0; }},
        {"symlink to a private directory",
         [](Path t, Path e) {
             return mkdir(e.c_str(), 0700) == 0 && symlink(e.c_str(), t.c_str()) == 0;
         }},
        {"regular file", [](Path t, Path) { return static_cast<bool>(std::ofstream(t) << "x"); }},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(target);
        std::filesystem::remove_all(elsewhere);
        const mode_t oldMask = umask(0);
        const bool made = c.make(target, elsewhere);
        umask(oldMask);
        ASSERT_TRUE(made) << c.what;
        EXPECT_EQ(KernelObjectDirectory(), "") << c.what;
        EXPECT_EQ(KernelObjectPath("x", ".lock"), "") << c.what;
    }
}

TEST_F(KernelObjectDirectoryTest, RefusesDirectoryOfAnotherUser) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a directory away";
    const std::string target = RuntimeDir() + "/wardlet";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(chown(target.c_str(), 12345, 12345), 0);
    EXPECT_EQ(KernelObjectDirectory(), "");
}

// Without a usable runtime folder the objects live in the user's home, where no other user can
// make the folder first (as anyone could in /tmp).
TEST_F(KernelObjectDirectoryTest, FallsBackToTheHomeWithoutUsableRuntimeDir) {
    const std::string home = RuntimeDir() + "/home";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    setenv("HOME", home.c_str(), 1);
    const std::string unusable[] = {"relative/dir", RuntimeDir() + "/missing", ""};
    for (const std::string& value : unusable) {
        setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
        EXPECT_EQ(KernelObjectDirectory(), home + "/.cache/wardlet") << value;
    }
    struct stat st;
    ASSERT_EQ(lstat((home + "/.cache/wardlet").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

// Root after su keeps the user's XDG_RUNTIME_DIR: a folder that belongs to that user, who could
// swap what root creates there. It is not used.
TEST_F(KernelObjectDirectoryTest, ARuntimeDirOfAnotherUserIsNotUsed) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
    const std::string home = RuntimeDir() + "/home";
    const std::string foreign = RuntimeDir() + "/foreign";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", foreign.c_str(), 1);
    EXPECT_EQ(KernelObjectDirectory(), home + "/.cache/wardlet");
}

// The folder is checked once and then used through its descriptor: swapping it for a link to a
// folder of someone else's afterwards redirects no object, in this process or in a forked child.
TEST_F(KernelObjectDirectoryTest, SwappingTheCheckedFolderRedirectsNothing) {
    const std::string folder = KernelObjectDirectory();
    ASSERT_FALSE(folder.empty());
    const std::string moved = RuntimeDir() + "/moved";
    const std::string elsewhere = RuntimeDir() + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(rename(folder.c_str(), moved.c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), folder.c_str()), 0);

    auto mutex = NamedMutex::Open("Swapped");
    ASSERT_NE(mutex, nullptr);
    const pid_t child = Spawn([&] {
        mutex->Lock();  // a forked child opens the lock file afresh
        mutex->Unlock();
        return NamedSemaphore::Open("SwappedSlot", 1, 1) != nullptr ? 0 : 1;
    });
    EXPECT_EQ(ExitCode(child), 0);
    EXPECT_TRUE(std::filesystem::exists(moved + "/Swapped.lock"));
    EXPECT_TRUE(std::filesystem::exists(moved + "/SwappedSlot.count"));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST_F(KernelObjectDirectoryTest, PathEscapesSeparatorsSoEveryNameIsOneFile) {
    const std::string dir = RuntimeDir() + "/wardlet";
    EXPECT_EQ(KernelObjectPath("Login", ".count"), dir + "/Login.count");
    EXPECT_EQ(KernelObjectPath("a/b", ".lock"), dir + "/a%2Fb.lock");
    EXPECT_EQ(KernelObjectPath("../up", ".lock"), dir + "/..%2Fup.lock");
    // Without escaping '%' itself, "a%2Fb" and "a/b" would meet in one file.
    EXPECT_EQ(KernelObjectPath("a%2Fb", ".lock"), dir + "/a%252Fb.lock");
}

}  // namespace
