#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "support/Processes.h"
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

// Large reads land on a page boundary, where the kernel copies at full speed: 16 bytes into a page,
// where large allocations otherwise start, the copy is ten times slower on some processors.
TEST_F(AtomicFileTest, ReadBytesStartOnAPageBoundary) {
    const std::string path = dir_ + "/large";
    std::ofstream(path) << std::string(3 << 20, 'x');
    FileBytes bytes;
    ASSERT_TRUE(ReadWholeFile(path, &bytes));
    ASSERT_EQ(bytes.size(), 3u << 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes.data()) % 4096, 0u);
    EXPECT_EQ(bytes.back(), 'x');
}

// A save that the file-size limit stops halfway must leave the old file exactly as it was: the
// new bytes go to a staging file, never into the file itself.
TEST_F(AtomicFileTest, AWriteThatFailsPartwayLeavesTheOldFileByteForByte) {
    const std::string path = dir_ + "/rights.dat";
    const std::string old(3000, 'o');
    ASSERT_TRUE(Replace(path, old));
    const pid_t child = Spawn([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return Replace(path, std::string(100000, 'n')) ? 1 : 0;
    });
    EXPECT_EQ(ExitCode(child), 0) << "the save must report its failure";
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"rights.dat"});
}

// The order that makes a save durable: the staged bytes reach the disk before they take the
// file's name, and the folder reaches it after. Watched from outside by a preloaded shim.
TEST_F(AtomicFileTest, SyncsTheBytesBeforeTheRenameAndTheFolderAfter) {
    const std::string path = dir_ + "/rights.dat";
    const std::string log = dir_ + "/calls.log";
    ASSERT_TRUE(Replace(path, "old"));
    const pid_t probe = Spawn([&] {
        setenv("LD_PRELOAD", WARDLET_FSYNC_ORDER_SHIM, 1);
        setenv("FSYNC_ORDER_LOG", log.c_str(), 1);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        execl(WARDLET_ATOMIC_SAVE_PROBE, WARDLET_ATOMIC_SAVE_PROBE, path.c_str(), nullptr);
        return 127;
    });
    ASSERT_EQ(ExitCode(probe), 0);
    struct stat file, folder;
    ASSERT_EQ(stat(path.c_str(), &file), 0);
    ASSERT_EQ(stat(dir_.c_str(), &folder), 0);
    std::vector<std::string> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) calls.push_back(line);

    const auto at = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    const auto count = static_cast<ptrdiff_t>(calls.size());
    const ptrdiff_t syncBytes = at("fsync file " + std::to_string(file.st_ino));
    const ptrdiff_t rename = at("rename rights.dat");
    const ptrdiff_t syncFolder = at("fsync folder " + std::to_string(folder.st_ino));
    ASSERT_LT(rename, count) << "no rename onto the file";
    EXPECT_LT(syncBytes, rename) << "the new bytes were not synced before the rename";
    EXPECT_LT(rename, syncFolder) << "the folder was not synced after the rename";
    EXPECT_LT(syncFolder, count);
}

// A save killed between naming its staging file and renaming it leaves that copy behind; the
// next save under the lock removes every such copy, and nothing else.
TEST_F(AtomicFileTest, StaleStagingCopiesAreRemovedAndNothingElse) {
    const std::string path = dir_ + "/rights.dat";
    for (const char* name : {".rights.dat.a1B2c3", ".rights.dat.ZZZZZZ"}) {
        std::ofstream(dir_ + "/" + name) << "old copy with passwords";
    }
    for (const char* name :
         {".rights.dat.toolong7", ".other.dat.a1B2c3", "rights.dat.lock", ".rights.dat.a-b_c."}) {
        std::ofstream(dir_ + "/" + name) << "keep";
    }
    FileLocation location;
    std::string error;
    ASSERT_TRUE(LocateFile(path, &location, &error)) << error;
    ASSERT_TRUE(ReplaceFileAtomically(location, "new", 3, &error, Staging::kNamed)) << error;
    EXPECT_EQ(RemoveStaleStagingFiles(location), 2);
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{".other.dat.a1B2c3", ".rights.dat.a-b_c.",
                                        ".rights.dat.toolong7", "rights.dat", "rights.dat.lock"}));
    EXPECT_EQ(Read(path), "new");
}

// Another user plants the data file's name in a shared sticky folder as a link to a file of the
// victim's. The victim's save must not replace that file, nor its load read it.
TEST_F(AtomicFileTest, ALinkPlantedByAnotherUserIsNeverFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(chmod(dir_.c_str(), 0711), 0);  // the other user passes through to the shared folder
    const std::string shared = dir_ + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string victim = dir_ + "/profile";
    std::ofstream(victim) << "the victim's own file";
    const std::string planted = shared + "/rights.dat";
    const pid_t attacker = Spawn([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 2;
        return symlink(victim.c_str(), planted.c_str()) == 0 ? 0 : 1;
    });
    ASSERT_EQ(ExitCode(attacker), 0);

    std::string error;
    EXPECT_FALSE(Replace(planted, "store bytes", &error));
    EXPECT_NE(error.find("refusing to follow"), std::string::npos) << error;
    EXPECT_EQ(Read(victim), "the victim's own file");
    FileBytes bytes;
    EXPECT_FALSE(ReadWholeFile(planted, &bytes));

    // A link of root's own is still followed.
    ASSERT_EQ(symlink(victim.c_str(), (shared + "/own").c_str()), 0);
    EXPECT_TRUE(Replace(shared + "/own", "mine"));
    EXPECT_EQ(Read(victim), "mine");
}

// A sparse file of a gigabyte is refused by its size, before a byte of it is read.
TEST_F(AtomicFileTest, AFileLargerThanTheCapIsRefusedUnread) {
    const std::string path = dir_ + "/sparse";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
    close(fd);
    const pid_t reader = SpawnUnderMemoryLimit(256u << 20, [&] {
        FileBytes bytes;
        return ReadWholeFile(path, &bytes) ? 1 : 0;
    });
    EXPECT_EQ(ExitCode(reader), 0);
}

}  // namespace
