#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "support/RuntimeDirTest.h"

namespace {

class AtomicFileTest : public ScratchDirTest {
protected:
    std::string Read(const std::string& path) {
        FileBytes bytes;
        if (!ReadWholeFile(path, &bytes)) return "<unreadable>";
        return std::string(bytes.begin(), bytes.end());
    }
    bool Replace(const std::string& path, const std::string& text, std::string* error = nullptr) {
        return ReplaceFileAtomically(path, text.data(), text.size(), error);
    }
    mode_t Mode(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    // Every entry of the scratch directory, so a leftover temporary shows up.
    std::vector<std::string> Entries() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AtomicFileTest, ReplacesContentWithoutLeavingTemporaries) {
    const std::string path = dir_ + "/rights.dat";
    const std::string contents[] = {"first", std::string(100000, 'z'), "", std::string("a\0b", 3)};
    for (const std::string& content : contents) {
        std::string error;
        ASSERT_TRUE(Replace(path, content, &error)) << error;
        EXPECT_EQ(Read(path), content);
        EXPECT_EQ(Entries(), std::vector<std::string>{"rights.dat"});
    }
}

TEST_F(AtomicFileTest, NewFileIsPrivateExistingKeepsItsMode) {
    const mode_t oldMask = umask(0);  // a new file must be private whatever the umask
    ASSERT_TRUE(Replace(dir_ + "/new", "secret"));
    umask(oldMask);
    EXPECT_EQ(Mode(dir_ + "/new"), 0600u);

    const mode_t kept[] = {0640, 0644, 0400};
    for (const mode_t mode : kept) {
        const std::string path = dir_ + "/existing";
        std::ofstream(path) << "old";
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(Replace(path, "new"));
        EXPECT_EQ(Mode(path), mode);
        EXPECT_EQ(Read(path), "new");
    }
}

TEST_F(AtomicFileTest, ReplacesTargetOfSymlinkAndKeepsTheLink) {
    const std::string target = dir_ + "/real";
    const std::string link = dir_ + "/link";
    std::ofstream(target) << "old";
    ASSERT_EQ(symlink("real", link.c_str()), 0);  // relative, resolved beside the link
    ASSERT_TRUE(Replace(link, "new"));
    EXPECT_EQ(Read(target), "new");
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    const std::string dangling = dir_ + "/dangling";
    ASSERT_EQ(symlink((dir_ + "/created").c_str(), dangling.c_str()), 0);
    ASSERT_TRUE(Replace(dangling, "made"));
    EXPECT_EQ(Read(dir_ + "/created"), "made");
}

TEST_F(AtomicFileTest, FailureLeavesOldFileAndNoTemporary) {
    std::string error;
    EXPECT_FALSE(Replace(dir_ + "/missing/file", "x", &error));
    EXPECT_NE(error.find(strerror(ENOENT)), std::string::npos) << error;

    // rename() cannot put a file over a non-empty directory: fails after the temporary exists.
    const std::string occupied = dir_ + "/occupied";
    ASSERT_TRUE(std::filesystem::create_directory(occupied));
    std::ofstream(occupied + "/inside") << "old";
    error.clear();
    EXPECT_FALSE(Replace(occupied, "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Read(occupied + "/inside"), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"occupied"});
    EXPECT_FALSE(Replace(occupied, "x", nullptr)) << "a null error is allowed";
}

TEST_F(AtomicFileTest, ReadWholeFileRefusesWhatIsNotARegularFile) {
    FileBytes bytes{1, 2, 3};
    EXPECT_FALSE(ReadWholeFile(dir_ + "/absent", &bytes));
    EXPECT_FALSE(ReadWholeFile(dir_, &bytes));
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, &bytes)) << "must neither block nor succeed";
    std::ofstream(dir_ + "/empty");
    ASSERT_TRUE(ReadWholeFile(dir_ + "/empty", &bytes));
    EXPECT_TRUE(bytes.empty()) << "earlier contents must not survive";
}

}  // namespace
