// The index against real writers in another process: saves through the library, replacements from
// outside it (renamed into place, or rewritten in place at the same size within the same second),
// mode changes, deletion and re-creation. Every answer the index gives must be one that a fresh
// read of the file gives at that moment. Real time is part of what is tested here: a read is
// reused only once the file has settled, so the writer leaves quiet spells longer than that.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "module/Credentials.h"
#include "rights/Evaluation.h"
#include "store/DataFileLock.h"
#include "store/RightCheckIndex.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/wardlet.h"

namespace {

const uint32_t kCodes[] = {0x01010201, 0x01040100, 0x01050100, 0x01020200};
const uint32_t kGrantable[] = {0x01010200, 0x01040000, 0x01050100, 0x01000000, 0x01020200};
// What every fresh read of a missing or unreadable file gives as the administrator's password.
const char* const kNoFile = "4827";

// The answers to a fixed set of questions, from one state of the file. The administrator's
// password is the version of the state: the writer gives every state a new one, in rising order.
struct Answers {
    std::string version;
    int allowed[std::size(kCodes)] = {};
    int credentials[2] = {};
    int32_t period[3] = {};
    std::string password;

    bool operator==(const Answers&) const = default;
};

Answers FreshAnswers() {
    CSaveProp store;
    store.LoadFromFile();
    Answers answers;
    answers.version = store.m_strAdminPassword.Bytes();
    for (size_t i = 0; i < std::size(kCodes); ++i) {
        answers.allowed[i] = IsAdministrator(store, "probe", "pw") ||
                             CheckUserRight(store, "probe", "pw", kCodes[i]) == kRightGranted;
    }
    answers.credentials[0] = CheckCredentials(store, "dup", "first");
    answers.credentials[1] = CheckCredentials(store, "dup", "second");
    if (const CInfoUser* probe = store.m_dataManager.FindUserByName("probe")) {
        answers.period[0] = probe->m_nTimeSectType;
        answers.period[1] = probe->m_tFrom;
        answers.period[2] = probe->m_tTo;
        answers.password = probe->m_strPassword.Bytes();
    }
    return answers;
}

std::string PasswordThroughExport(const char* name) {
    char nameBuffer[64];
    char passwordBuffer[64] = "";
    std::snprintf(nameBuffer, sizeof nameBuffer, "%s", name);
    return GetCurUserInfo(nameBuffer, passwordBuffer) == 1 ? passwordBuffer : "";
}

// The same answers through the exports. Each export looks at the file by itself, so the version
// is asked first and last: if both agree, no change came in between.
Answers AnswersThroughExports(std::string* versionAfter) {
    Answers answers;
    answers.version = PasswordThroughExport("Admin");
    for (size_t i = 0; i < std::size(kCodes); ++i)
        answers.allowed[i] = Islegal("probe", "pw", kCodes[i]);
    answers.credentials[0] = IsUserExist("dup", "first");
    answers.credentials[1] = IsUserExist("dup", "second");
    GetUserTimeSect("probe", &answers.period[0], &answers.period[1], &answers.period[2]);
    answers.password = PasswordThroughExport("probe");
    *versionAfter = PasswordThroughExport("Admin");
    return answers;
}

// Versions compare by their number; a missing file sorts nowhere and is skipped.
int VersionNumber(const std::string& version) {
    return version.size() == 7 && version[0] == 'v' ? std::stoi(version.substr(1)) : -1;
}

class RightCheckIndexProcessesTest : public StoreTest {
protected:
    class StoreWriter;
};

class RightCheckIndexProcessesTest::StoreWriter {
public:
    StoreWriter(std::string path, std::string spare)
        : m_path(std::move(path)), m_spare(std::move(spare)) {}

    // One random change of the file. Returns false if the change could not be made.
    bool RandomChange() {
        switch (m_random() % 5) {
            case 0:
                return NextState().SaveToFile() == 1;
            case 1:
                return WriteFile(m_spare, Bytes(NextState()), O_TRUNC) &&
                       std::rename(m_spare.c_str(), m_path.c_str()) == 0;
            case 2:
                return RewriteInPlace();
            case 3: {
                const mode_t modes[] = {0600, 0640, 0644, 0400};
                return chmod(m_path.c_str(), modes[m_random() % std::size(modes)]) == 0;
            }
            default: {
                // Gone for a moment, then a new file, whole from its first appearance as every
                // save's is.
                std::remove(m_path.c_str());
                std::this_thread::sleep_for(std::chrono::microseconds(m_random() % 3000));
                return WriteFile(m_spare, Bytes(NextState()), O_TRUNC) &&
                       std::rename(m_spare.c_str(), m_path.c_str()) == 0;
            }
        }
    }

    // The same size, the same file, within the same second: only the times can tell.
    bool RewriteInPlace() {
        // Another program's writer, taking the data file's lock but bumping no counter. It writes
        // one page in one call, which the index, reading without the lock, sees whole.
        DataFileLock lock(m_path);
        return WriteFile(m_path, Bytes(NextState()), 0);
    }

private:
    CSaveProp& NextState() {
        m_store = std::make_unique<CSaveProp>();
        CSaveProp& store = *m_store;
        char version[16];
        std::snprintf(version, sizeof version, "v%06d", ++m_version);
        store.m_strAdminPassword = version;
        const int32_t kind = static_cast<int32_t>(m_random() % 3);
        const int32_t from = kind == 0 ? 0 : static_cast<int32_t>(m_random() % 2000000000);
        AddUser(store, 0, "dup", "first");
        AddUser(store, 1, "probe", m_random() % 4 == 0 ? "px" : "pw", kind, from,
                from + static_cast<int32_t>(m_random() % 100000000));
        AddUser(store, 2, "dup", "second");
        for (int group = 0; group < 3; ++group) {
            AddGroup(store, group, "g");
            Grant(store, group, kGrantable[m_random() % std::size(kGrantable)]);
            // Always two memberships and three grants: every state has the same size.
            if (group < 2) AddMember(store, static_cast<int32_t>(m_random() % 3), 1);
        }
        return store;
    }

    static std::vector<unsigned char> Bytes(CSaveProp& store) { return StoredBytes(store, false); }

    static bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes,
                          int flags) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
        if (fd < 0) return false;
        const bool ok =
            pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
        return close(fd) == 0 && ok;
    }

    std::string m_path;
    std::string m_spare;
    std::mt19937 m_random{20261208};
    std::unique_ptr<CSaveProp> m_store;
    int m_version = 0;
};

}  // namespace

TEST_F(RightCheckIndexProcessesTest, EveryAnswerIsWhatAFreshReadGivesAtThatMoment) {
    SetDataSource(DataPath().c_str());
    SetRightCheckIndexClock(nullptr);
    const std::string donePath = Dir() + "/writer-done";
    // The writer goes on from the first state in the child, numbering on.
    StoreWriter store(DataPath(), Dir() + "/spare");
    ASSERT_TRUE(store.RewriteInPlace());

    const pid_t writer = Spawn([&] {
        std::mt19937 random(7);
        for (int spell = 0; spell < 2; ++spell) {
            // Quiet long enough for the reader to answer from its index, then a burst that begins
            // with back-to-back rewrites in place, within one timestamp tick.
            std::this_thread::sleep_for(
                std::chrono::milliseconds(kSettledAfterNs / 1'000'000 + 600));
            for (int i = 0; i < 3; ++i) {
                if (!store.RewriteInPlace()) return 1;
            }
            for (int change = 0; change < 60; ++change) {
                if (!store.RandomChange()) return 1;
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
            }
        }
        return std::fopen(donePath.c_str(), "w") != nullptr ? 0 : 1;
    });

    const pid_t reader = Spawn([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        int questions = 0;
        int exactlyChecked = 0;
        int lastVersion = -1;
        while (access(donePath.c_str(), F_OK) != 0) {
            if (std::chrono::steady_clock::now() > deadline) return 10;
            const Answers before = FreshAnswers();
            std::string versionAfter;
            const Answers asked = AnswersThroughExports(&versionAfter);
            const Answers after = FreshAnswers();
            ++questions;
            const int asked1 = VersionNumber(asked.version);
            const int asked2 = VersionNumber(versionAfter);
            // Never older than what was read before the question, never newer than after it.
            for (int version : {asked1, asked2}) {
                if (version < 0) continue;
                if (version < VersionNumber(before.version) || version < lastVersion) return 11;
                if (VersionNumber(after.version) >= 0 && version > VersionNumber(after.version)) {
                    return 12;
                }
                lastVersion = version;
            }
            // No change in between: the answers must be exactly the fresh ones.
            if (before == after && before.version != kNoFile && versionAfter == asked.version) {
                ++exactlyChecked;
                if (!(asked == before)) return 13;
            }
        }
        const RightCheckIndexStats stats = GetRightCheckIndexStats();
        std::fprintf(stderr, "%d questions, %d checked exactly, %llu from the index, %llu reads\n",
                     questions, exactlyChecked,
                     static_cast<unsigned long long>(stats.answersFromIndex),
                     static_cast<unsigned long long>(stats.fileReads));
        // The index must really have answered, or this test proves nothing.
        if (exactlyChecked < 200 || stats.answersFromIndex < 200) return 14;
        return 0;
    });
    EXPECT_EQ(ExitCode(writer), 0);
    EXPECT_EQ(ExitCode(reader), 0)
        << "11/12: an answer older or newer than the file; 13: an answer that differs from a "
           "fresh read; 14: the index was hardly used; 10: no end";
}
