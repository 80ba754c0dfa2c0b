// The trail file: appending chains each record to the one before; verifying finds the first line
// that an edit, a deletion or a cut broke.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audit/AuditTrail.h"

namespace {

class AuditTrailTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/wardlet-audit-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_dir = folder;
        m_trail = m_dir + "/rights.dat.audit";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void Append(const std::string& event, const std::string& user = "") {
        AuditRecord record;
        record.time = "2026-12-08T23:00:03Z";
        record.pid = 1;
        record.program = "test";
        record.event = event;
        record.user = user;
        std::string error;
        ASSERT_TRUE(AppendAuditRecord(m_trail, record, &error)) << error;
    }
    std::string Read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    void Write(const std::string& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    std::string m_dir;
    std::string m_trail;
};

TEST_F(AuditTrailTest, RecordsAreNumberedAndChainedInAPrivateFile) {
    for (int i = 0; i < 5; ++i) Append("login", "user" + std::to_string(i));
    AuditReadResult read = ReadAuditTrail(m_trail);
    ASSERT_TRUE(read.error.empty()) << read.error;
    ASSERT_EQ(read.records.size(), 5u);
    EXPECT_EQ(read.records[0].prev, kAuditFirstPrev);
    for (size_t i = 0; i < read.records.size(); ++i) EXPECT_EQ(read.records[i].seq, i + 1);
    AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_TRUE(verdict.intact) << verdict.reason;
    EXPECT_EQ(verdict.records, 5u);
    struct stat info;
    ASSERT_EQ(stat(m_trail.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(AuditTrailTest, AnExistingTrailReadableByOthersIsMadePrivate) {
    Append("login");
    ASSERT_EQ(chmod(m_trail.c_str(), 0644), 0);
    Append("logout");
    struct stat info;
    ASSERT_EQ(stat(m_trail.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(AuditTrailTest, TamperingBreaksTheChainAtTheRightLine) {
    for (int i = 0; i < 6; ++i) Append("get-passed", "u" + std::to_string(i));
    const std::string trail = Read(m_trail);
    const std::string head = Read(AuditHeadPath(m_trail));
    std::vector<std::string> lines;
    std::stringstream split(trail);
    for (std::string line; std::getline(split, line);) lines.push_back(line + "\n");
    auto join = [&](std::vector<std::string> parts) {
        std::string all;
        for (const std::string& part : parts) all += part;
        return all;
    };
    auto without = [&](size_t index) {
        std::vector<std::string> parts = lines;
        parts.erase(parts.begin() + static_cast<long>(index));
        return join(parts);
    };
    auto edited = [&](size_t index) {
        std::vector<std::string> parts = lines;
        parts[index].replace(parts[index].find(":\"u"), 3, ":\"x");
        return join(parts);
    };
    struct Case {
        const char* name;
        std::string trail;
        std::string head;
        uint64_t brokenLine;
        uint64_t good;
    };
    const Case cases[] = {
        {"intact", trail, head, 0, 6},
        {"second line edited", edited(1), head, 3, 2},
        {"last line edited", edited(5), head, 6, 5},
        {"last line edited, no head", edited(5), "", 0, 6},
        {"third line deleted", without(2), head, 3, 2},
        {"first line deleted", without(0), head, 1, 0},
        {"cut inside the last line", trail.substr(0, trail.size() - 10), head, 6, 5},
        {"last two lines cut off", join({lines[0], lines[1], lines[2], lines[3]}), head, 5, 4},
        {"lines swapped", join({lines[1], lines[0]}), "", 1, 0},
        {"damaged head", trail, "0001 x\n", 0, 6},
        {"damaged head naming record 0", "", std::string(20, '0') + " " + head.substr(21), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AuditVerdict verdict = VerifyAuditBytes(c.trail, c.head);
        const bool damagedHead = std::string(c.name).rfind("damaged head", 0) == 0;
        EXPECT_EQ(verdict.intact, c.brokenLine == 0 && !damagedHead) << verdict.reason;
        EXPECT_EQ(verdict.brokenLine, c.brokenLine) << verdict.reason;
        EXPECT_EQ(verdict.records, c.good) << verdict.reason;
    }
}

TEST_F(AuditTrailTest, ALineLeftWithoutItsEndStaysAsEvidenceAndTheChainGoesOn) {
    Append("login");
    Write(m_trail, Read(m_trail) + R"({"seq":2,"ti)");
    Append("logout");
    const std::string trail = Read(m_trail);
    EXPECT_NE(trail.find("{\"seq\":2,\"ti\n"), std::string::npos);
    AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_FALSE(verdict.intact);
    EXPECT_EQ(verdict.brokenLine, 2u);
    AuditReadResult read = ReadAuditTrail(m_trail);
    EXPECT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.error, "line 2: the line is not JSON");
}

TEST_F(AuditTrailTest, NumberingFollowsTheLastLineWhenTheHeadIsGoneOrStale) {
    Append("a");
    Append("b");
    ASSERT_EQ(unlink(AuditHeadPath(m_trail).c_str()), 0);
    Append("c");
    Write(AuditHeadPath(m_trail), "00000000000000000001 " + std::string(64, '0') + "\n");
    Append("d");
    AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_TRUE(verdict.intact) << verdict.reason;
    EXPECT_EQ(verdict.records, 4u);
}

// The appender keeps the trail open and remembers its own last record; another process's
// append, a trail renamed into place and an edit in place must each be seen for what it is.
TEST_F(AuditTrailTest, AnotherProcessesAppendIsChainedOnto) {
    Append("a");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AuditRecord record;
        record.event = "b";
        std::string error;
        _exit(AppendAuditRecord(m_trail, record, &error) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Append("c");
    const AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_TRUE(verdict.intact) << verdict.reason;
    EXPECT_EQ(verdict.records, 3u);
}

TEST_F(AuditTrailTest, ATrailRenamedIntoPlaceIsTheOneAppendedTo) {
    Append("a");
    const std::string trail = Read(m_trail);
    const std::string head = Read(AuditHeadPath(m_trail));
    Append("b");
    Write(m_dir + "/trail.new", trail);
    Write(m_dir + "/head.new", head);
    ASSERT_EQ(rename((m_dir + "/trail.new").c_str(), m_trail.c_str()), 0);
    ASSERT_EQ(rename((m_dir + "/head.new").c_str(), AuditHeadPath(m_trail).c_str()), 0);
    Append("c");
    const AuditReadResult read = ReadAuditTrail(m_trail);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[1].event, "c");
    EXPECT_EQ(read.records[1].seq, 2u);
    EXPECT_TRUE(VerifyAuditTrail(m_trail).intact);
}

TEST_F(AuditTrailTest, AnEditOfTheLastLineInPlaceIsNotChainedOver) {
    Append("a", "anna");
    Append("b", "bert");
    std::string trail = Read(m_trail);
    trail.replace(trail.rfind("bert"), 4, "kurt");
    {
        std::fstream same(m_trail, std::ios::in | std::ios::out | std::ios::binary);
        same.write(trail.data(), static_cast<std::streamsize>(trail.size()));
    }
    Append("c");
    const AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_FALSE(verdict.intact);
    EXPECT_EQ(verdict.brokenLine, 3u) << verdict.reason;
}

// Any appender, however it finds the last line, must not seal an edit of it into the chain: the
// head still holds the hash the line was written with.
TEST_F(AuditTrailTest, AnEditOfTheLastLineIsNotSealedByTheNextRecord) {
    Append("a", "anna");
    Append("b", "bert");
    std::string trail = Read(m_trail);
    trail.replace(trail.rfind("bert"), 4, "bertram");
    Write(m_trail, trail);
    Append("c");
    const AuditVerdict verdict = VerifyAuditTrail(m_trail);
    EXPECT_FALSE(verdict.intact);
    EXPECT_EQ(verdict.brokenLine, 3u) << verdict.reason;
    const AuditReadResult read = ReadAuditTrail(m_trail);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[2].seq, 3u);
}

TEST_F(AuditTrailTest, LongLinesAreFoundFromTheEndAsShortOnesAre) {
    Append("a", std::string(10000, 'x'));
    Append("b", std::string(20000, 'y'));
    Append("c");
    EXPECT_TRUE(VerifyAuditTrail(m_trail).intact);
}

TEST_F(AuditTrailTest, AFolderWhereTheTrailBelongsIsAFailureNotACrash) {
    ASSERT_EQ(mkdir(m_trail.c_str(), 0700), 0);
    AuditRecord record;
    record.event = "login";
    std::string error;
    EXPECT_FALSE(AppendAuditRecord(m_trail, record, &error));
    EXPECT_NE(error.find(m_trail), std::string::npos);
}

TEST_F(AuditTrailTest, ALinkWhereTheTrailBelongsIsNeverFollowed) {
    const std::string target = m_dir + "/elsewhere";
    Write(target, "keep\n");
    ASSERT_EQ(symlink(target.c_str(), m_trail.c_str()), 0);
    AuditRecord record;
    record.event = "login";
    std::string error;
    EXPECT_FALSE(AppendAuditRecord(m_trail, record, &error));
    EXPECT_EQ(Read(target), "keep\n");
}

}  // namespace
