// libmirrorpost.so as every save calls it: loaded by the library, writing the agent's outbox.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "SyncFixture.h"
#include "support/RuntimeDirTest.h"
#include "sync/Outbox.h"
#include "sync/StoreTransfer.h"
#include "wardlet/wardlet.h"

namespace {

class MirrorPostTest : public RuntimeDirTest {
protected:
    void SetUp() override {
        RuntimeDirTest::SetUp();
        dataFile_ = dir_ + "/rights.dat";
        WriteFileBytes(dataFile_, DataFileWithUsers(3));
        SetDataSource(dataFile_.c_str());
    }
    void TearDown() override {
        unsetenv("WARDLET_SYNC_CONFIG");
        RuntimeDirTest::TearDown();
    }

    void WriteConfig(const std::string& stateDir) {
        const std::string path = dir_ + "/sync.toml";
        std::ofstream(path) << "data_file = \"" << dataFile_ << "\"\nsite = \"s\"\nstation = "
                            << "\"a\"\nkey_file = \"/k\"\nstate_dir = \"" << stateDir
                            << "\"\n[broker]\nurl = \"mqtt://127.0.0.1:1883\"\n";
        setenv("WARDLET_SYNC_CONFIG", path.c_str(), 1);
    }

    // ModifyPWD with standard error caught: its result and what it printed.
    int SaveCapturingStderr(const std::string& oldPassword, const std::string& newPassword,
                            std::string* printed) {
        const std::string path = dir_ + "/stderr.txt";
        fflush(stderr);
        const int saved = dup(2);
        const int capture = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(capture, 2);
        const int result = ModifyPWD("u1", oldPassword.c_str(), newPassword.c_str());
        fflush(stderr);
        dup2(saved, 2);
        close(saved);
        close(capture);
        const Bytes bytes = ReadFileBytes(path);
        printed->assign(bytes.begin(), bytes.end());
        return result;
    }

    std::string dataFile_;
};

TEST_F(MirrorPostTest, QueuesTheTransferFormInTheOutbox) {
    WriteConfig(dir_ + "/state");
    std::string printed;
    ASSERT_EQ(SaveCapturingStderr("pw", "new", &printed), 1);
    EXPECT_EQ(printed, "");
    const std::vector<OutboxEntry> entries = ListOutbox(dir_ + "/state/outbox");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].forced);
    struct stat st;
    ASSERT_EQ(stat(entries[0].path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    Bytes expected;
    std::string error;
    ASSERT_TRUE(DataFileToTransferForm(ReadFileBytes(dataFile_), &expected, &error)) << error;
    EXPECT_EQ(ReadFileBytes(entries[0].path), expected);
    // A second save is a second entry, sorted after the first.
    ASSERT_EQ(ModifyPWD("u1", "new", "newer"), 1);
    const std::vector<OutboxEntry> two = ListOutbox(dir_ + "/state/outbox");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].path, entries[0].path);
}

// Whatever goes wrong on the remote side, the local save stands and one line says why.
TEST_F(MirrorPostTest, FailuresAreOneLineAndTheSaveStands) {
    const std::string blocker = dir_ + "/not-a-folder";
    WriteFileBytes(blocker, {1});
    struct Case {
        const char* name;
        std::function<void()> arrange;
    } cases[] = {
        {"NamedConfigurationMissing",
         [&] { setenv("WARDLET_SYNC_CONFIG", (dir_ + "/absent.toml").c_str(), 1); }},
        {"ConfigurationDamaged",
         [&] {
             std::ofstream(dir_ + "/bad.toml") << "site = [\n";
             setenv("WARDLET_SYNC_CONFIG", (dir_ + "/bad.toml").c_str(), 1);
         }},
        {"OutboxCannotBeWritten", [&] { WriteConfig(blocker + "/state"); }},
    };
    std::string current = "pw";
    for (const Case& c : cases) {
        c.arrange();
        const std::string next = std::string("pw-") + c.name;
        std::string printed;
        EXPECT_EQ(SaveCapturingStderr(current, next, &printed), 1) << c.name;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << c.name << ": " << printed;
        EXPECT_EQ(printed.rfind("mirrorpost: ", 0), 0u) << printed;
        SetDataSource(dataFile_.c_str());
        EXPECT_EQ(IsUserExist("u1", next.c_str()), 1) << c.name;
        current = next;
    }
}

// Without any configuration a station does not take part: nothing is written, nothing said.
TEST_F(MirrorPostTest, WithoutAConfigurationDoesNothing) {
    struct stat st;
    if (stat("/etc/wardlet/sync.toml", &st) == 0) GTEST_SKIP() << "this machine is a station";
    unsetenv("WARDLET_SYNC_CONFIG");
    std::string printed;
    EXPECT_EQ(SaveCapturingStderr("pw", "new", &printed), 1);
    EXPECT_EQ(printed, "");
}

}  // namespace
