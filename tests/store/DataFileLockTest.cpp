// The lock that belongs to the data file: nested holds, the change counter, and real processes of
// two different programs changing one data file side by side, with readers and with kills.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "module/WardletApp.h"
#include "store/DataFileLock.h"
#include "store/FileMutexHold.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/store/SaveProp.h"
#include "wardlet/wardlet.h"

namespace {

constexpr uint32_t kGrantedCode = 0x01010201;

class DataFileLockTest : public StoreTest {
protected:

    // Whether another process could take the lock of the data file at `dataPath` right now.
    bool FreeForOthers() const { return FreeForOthers(DataPath()); }
    static bool FreeForOthers(const std::string& dataPath) {
        return ExitCode(Spawn([&] {
                   const int fd = open((dataPath + ".lock").c_str(), O_RDWR | O_CLOEXEC);
                   struct flock probe {};
                   probe.l_type = F_WRLCK;
                   probe.l_whence = SEEK_SET;
                   return fd >= 0 && fcntl(fd, F_OFD_SETLK, &probe) == 0 ? 0 : 1;
               })) == 0;
    }

    // The files a killed save left beside the data file: ".rights.dat.XXXXXX".
    int StrayCopies() const {
        int count = 0;
        DIR* folder = opendir(Dir().c_str());
        while (const dirent* entry = readdir(folder)) {
            if (std::string(entry->d_name).rfind(".rights.dat.", 0) == 0) ++count;
        }
        closedir(folder);
        return count;
    }
};

TEST_F(DataFileLockTest, NestedHoldsTakeTheLockOnceAndCountEverySave) {
    SetDataSource(DataPath().c_str());
    EXPECT_EQ(ReadChangeCounter(DataPath()), 0u);
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);
    EXPECT_EQ(ReadChangeCounter(DataPath()), 1u);
    {
        FileMutexHold outer;
        EXPECT_TRUE(outer.FileLock().Held());
        EXPECT_FALSE(FreeForOthers());
        {
            FileMutexHold inner;
            CSaveProp store;
            store.LoadFromFile();
            ASSERT_EQ(store.SaveToFile(), 1);
        }
        EXPECT_FALSE(FreeForOthers()) << "the inner hold must not release the outer one";
    }
    EXPECT_TRUE(FreeForOthers());
    EXPECT_EQ(ReadChangeCounter(DataPath()), 2u);

    // A failed save is no change: a folder where the file should be cannot be replaced.
    ASSERT_EQ(unlink(DataPath().c_str()), 0);
    ASSERT_EQ(mkdir(DataPath().c_str(), 0700), 0);
    EXPECT_EQ(CSaveProp().SaveToFile(), 0);
    EXPECT_EQ(ReadChangeCounter(DataPath()), 2u);
}

// Between holds the lock file stays open; a hold must still lock the file that every other
// process would open now, whatever was moved, replaced or linked in between.
TEST_F(DataFileLockTest, AKeptLockFileGivesWayToTheOneOthersWouldTake) {
    const std::string folder = Dir() + "/station";
    const std::string dataPath = folder + "/rights.dat";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    SetDataSource(dataPath.c_str());
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);  // makes and keeps the lock file
    const auto heldAgainstOthers = [](const std::string& lockedPath) {
        FileMutexHold hold;
        return hold.FileLock().Held() && !FreeForOthers(lockedPath);
    };
    EXPECT_TRUE(heldAgainstOthers(dataPath));

    // The lock file replaced by another.
    const std::string spare = folder + "/spare";
    ASSERT_TRUE(std::ofstream(spare).good());
    ASSERT_EQ(rename(spare.c_str(), (dataPath + ".lock").c_str()), 0);
    EXPECT_TRUE(heldAgainstOthers(dataPath)) << "the replaced lock file";

    // The folder moved away and a new one made in its place.
    ASSERT_EQ(rename(folder.c_str(), (folder + "-old").c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_TRUE(heldAgainstOthers(dataPath)) << "the new folder";
    EXPECT_TRUE(FreeForOthers(folder + "-old/rights.dat"));

    // The data file replaced by a link: the lock lies beside the link's target.
    const std::string target = Dir() + "/elsewhere.dat";
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);
    ASSERT_EQ(rename(dataPath.c_str(), target.c_str()), 0);
    ASSERT_EQ(symlink(target.c_str(), dataPath.c_str()), 0);
    EXPECT_TRUE(heldAgainstOthers(target)) << "the link's target";
    ASSERT_EQ(CSaveProp().SaveToFile(), 1);
    struct stat link;
    ASSERT_EQ(lstat(dataPath.c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode)) << "a save goes through the link, as before";
}

TEST_F(DataFileLockTest, AKilledHolderReleasesTheLock) {
    SetDataSource(DataPath().c_str());
    Pipe held;
    const pid_t holder = Spawn([&]() -> int {
        FileMutexHold hold;
        held.Send('h');
        for (;;) pause();
    });
    ASSERT_EQ(held.Receive(), 'h');
    EXPECT_FALSE(FreeForOthers());
    kill(holder, SIGKILL);
    EXPECT_EQ(ExitCode(holder), 128 + SIGKILL);
    CSaveProp store;
    EXPECT_EQ(store.SaveToFile(), 1);
}

// Four writers, two of them another program with a file mutex of its own name, each stepping one
// user's password; two readers asking about a user nobody changes. Every step that ModifyPWD
// reported as saved must still be there at the next step, and no reader may get a wrong answer.
TEST_F(DataFileLockTest, WritersOfTwoProgramsLoseNoChangeAndReadersNeverGetAWrongAnswer) {
    constexpr int kRounds = 40;
    constexpr int kMaxReads = 4000;
    const std::vector<std::string> writers = {"w0", "w1", "w2", "w3"};
    {
        CSaveProp store;
        for (size_t i = 0; i < writers.size(); ++i) {
            AddUser(store, static_cast<int32_t>(i), writers[i].c_str(),
                    (writers[i] + "-0").c_str());
        }
        AddUser(store, 9, "reader", "steady");
        AddGroup(store, 0, "operators");
        AddMember(store, 0, 9);
        Grant(store, 0, 0x01010000);
        SetDataSource(DataPath().c_str());
        ASSERT_EQ(store.SaveToFile(), 1);
    }
    Pipe done;
    std::vector<pid_t> readers;
    for (int r = 0; r < 2; ++r) {
        readers.push_back(Spawn([&] {
            done.CloseWriter();
            fcntl(done.fds[0], F_SETFL, O_NONBLOCK);
            char c;
            for (int i = 0; i < kMaxReads && read(done.fds[0], &c, 1) < 0; ++i) {
                if (Islegal("reader", "steady", kGrantedCode) != 1) return 1;
                if (Islegal("reader", "wrong", kGrantedCode) != 0) return 1;
            }
            return 0;
        }));
    }
    std::vector<pid_t> pids;
    for (size_t i = 0; i < writers.size(); ++i) {
        if (i % 2 == 0) {
            const std::string rounds = std::to_string(kRounds);
            pids.push_back(Spawn([&] {
                execl(WARDLET_STORE_WRITER, WARDLET_STORE_WRITER, DataPath().c_str(),
                      writers[i].c_str(), rounds.c_str(), nullptr);
                return 127;
            }));
        } else {
            pids.push_back(Spawn([&] {
                for (int round = 0; round < kRounds; ++round) {
                    const std::string before = writers[i] + "-" + std::to_string(round);
                    const std::string after = writers[i] + "-" + std::to_string(round + 1);
                    if (ModifyPWD(writers[i].c_str(), before.c_str(), after.c_str()) != 1) return 1;
                }
                return 0;
            }));
        }
    }
    for (size_t i = 0; i < pids.size(); ++i) EXPECT_EQ(ExitCode(pids[i]), 0) << writers[i];
    done.CloseWriter();
    for (const pid_t reader : readers) EXPECT_EQ(ExitCode(reader), 0) << "a reader was misled";
    for (const std::string& user : writers) {
        EXPECT_EQ(IsUserExist(user.c_str(), (user + "-" + std::to_string(kRounds)).c_str()), 1)
            << user;
    }
    EXPECT_EQ(ReadChangeCounter(DataPath()), 1u + writers.size() * kRounds);
}

// Saves killed at random moments: the data file stays whole and at most one copy of the store (it
// holds passwords) is left behind, under the one staging name; the next save clears it.
TEST_F(DataFileLockTest, KilledSavesLeaveAWholeFileAndNoLastingCopies) {
    constexpr int kKills = 300;
    constexpr int kUsers = 2000;
    SetDataSource(DataPath().c_str());
    CSaveProp store;
    for (int id = 0; id < kUsers; ++id) AddUser(store, id, "user", "password");
    ASSERT_EQ(store.SaveToFile(), 1);

    std::mt19937 random(20261208);
    for (int kill = 0; kill < kKills; ++kill) {
        Pipe ready;
        const pid_t saver = Spawn([&]() -> int {
            ready.Send('r');
            for (;;) store.SaveToFile();
        });
        ASSERT_EQ(ready.Receive(), 'r');
        usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));  // the moment to kill
        ::kill(saver, SIGKILL);
        ASSERT_EQ(ExitCode(saver), 128 + SIGKILL);
    }
    EXPECT_LE(StrayCopies(), 1);
    CSaveProp loaded;
    ASSERT_EQ(loaded.LoadFromFile(), 1);
    EXPECT_EQ(loaded.m_dataManager.m_userList.GetCount(), kUsers);
    ASSERT_EQ(loaded.SaveToFile(), 1);
    EXPECT_EQ(StrayCopies(), 0);
}

}  // namespace
