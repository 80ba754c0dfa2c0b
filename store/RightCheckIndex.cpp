#include "store/RightCheckIndex.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "module/WardletApp.h"
#include "platform/AtomicFile.h"

namespace {

// More users asked about than this on one unchanged file start the facts afresh: the index must
// stay within a small multiple of the file, whatever a host asks.
constexpr size_t kMaxUsersKept = 1024;

int64_t RealTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::atomic<SettleClock> g_settleClock{nullptr};

int64_t SettleNow() {
    SettleClock clock = g_settleClock.load();
    return clock != nullptr ? clock() : RealTimeNs();
}

int64_t Nanoseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// What identifies one version of the data file without reading it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    mode_t mode = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityFrom(const struct stat& st) {
    return FileIdentity{st.st_dev,
                        st.st_ino,
                        st.st_size,
                        st.st_mode,
                        Nanoseconds(st.st_mtim),
                        Nanoseconds(st.st_ctim)};
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return IdentityFrom(st);
}

// One read of the data file, the file itself held open, and what has been scanned out of it since.
struct Snapshot {
    Snapshot() = default;
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    ~Snapshot() {
        if (heldFd >= 0) close(heldFd);
    }

    std::string path;
    // While it is open, no other file can take its device and inode number: every save through
    // the library renames a new file into place, so it always shows as another identity.
    int heldFd = -1;
    FileIdentity identity;
    FileBytes bytes;
    std::unordered_map<std::string, SharedFacts> factsByUser;
};

size_t FactsSize(const std::string& name, const RightCheckFacts& facts) {
    size_t size = sizeof(std::pair<const std::string, SharedFacts>) + 4 * sizeof(void*) +
                  sizeof(RightCheckFacts) + 2 * sizeof(long) + name.capacity() +
                  facts.adminName.Bytes().capacity() + facts.adminPassword.Bytes().capacity() +
                  facts.userPassword.Bytes().capacity() +
                  facts.userGroups.capacity() * sizeof(int32_t) +
                  facts.grantedCodes.capacity() * sizeof(uint32_t) +
                  facts.laterPasswords.capacity() * sizeof(CString);
    for (const CString& password : facts.laterPasswords) size += password.Bytes().capacity();
    return size;
}

class RightCheckIndex {
public:
    SharedFacts Facts(const CString& userName) {
        std::lock_guard<std::mutex> guard(m_mutex);
        const std::string& path = g_strDataSource.Bytes();
        if (path.empty()) return std::make_shared<const RightCheckFacts>();
        if (!IsCurrent(path)) {
            ++m_stats.fileReads;
            return Read(path, userName);
        }
        ++m_stats.answersFromIndex;
        return FactsFromBytes(userName);
    }

    RightCheckIndexStats Stats() {
        std::lock_guard<std::mutex> guard(m_mutex);
        RightCheckIndexStats stats = m_stats;
        stats.bytesHeld = m_spareBytes.capacity();
        if (m_snapshot) {
            stats.bytesHeld += sizeof(Snapshot) + m_snapshot->path.capacity() +
                               m_snapshot->bytes.capacity() +
                               m_snapshot->factsByUser.bucket_count() * sizeof(void*);
            for (const auto& [name, facts] : m_snapshot->factsByUser) {
                stats.bytesHeld += FactsSize(name, *facts);
            }
        }
        return stats;
    }

    void Drop() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_snapshot.reset();
        m_spareBytes = FileBytes();
    }

private:
    // Whether the kept read still stands for the file at `path`: one stat of the path.
    bool IsCurrent(const std::string& path) const {
        if (!m_snapshot || m_snapshot->path != path) return false;
        std::optional<FileIdentity> identity = IdentityOf(path);
        return identity && *identity == m_snapshot->identity;
    }

    SharedFacts FactsFromBytes(const CString& userName) {
        auto& kept = m_snapshot->factsByUser;
        auto found = kept.find(userName.Bytes());
        if (found != kept.end()) return found->second;
        if (kept.size() >= kMaxUsersKept) kept.clear();
        const FileBytes& bytes = m_snapshot->bytes;
        SharedFacts facts = std::make_shared<const RightCheckFacts>(
            ScanForRightCheck(bytes.data(), bytes.size(), userName));
        kept.emplace(userName.Bytes(), facts);
        return facts;
    }

    // Reads the file, answers from those bytes and keeps them if nothing can have changed unseen.
    // The previous read's buffer is reused either way: a file that keeps changing is read into the
    // same memory every time. No lock is taken: every save of every program renames a whole new
    // file into place, so an open finds one whole version, and a question never waits behind a
    // save of a large store.
    SharedFacts Read(const std::string& path, const CString& userName) {
        auto next = std::make_unique<Snapshot>();
        next->bytes = std::move(m_snapshot ? m_snapshot->bytes : m_spareBytes);
        m_snapshot.reset();  // closes the file held so far
        struct stat status;
        const int64_t readStartNs = SettleNow();
        next->heldFd = OpenFileForReading(path);
        if (next->heldFd < 0 ||
            !ReadOpenFile(next->heldFd, &next->bytes, kMaxWholeFileBytes, &status)) {
            m_spareBytes = std::move(next->bytes);
            return std::make_shared<const RightCheckFacts>();
        }
        SharedFacts facts = std::make_shared<const RightCheckFacts>(
            ScanForRightCheck(next->bytes.data(), next->bytes.size(), userName));
        // A write in place moves the times as it begins: one that overlapped this read leaves
        // them newer than the read's, which the next question's stat sees.
        const FileIdentity identity = IdentityFrom(status);
        const bool settled = next->bytes.size() == static_cast<size_t>(identity.size) &&
                             identity.modifiedNs + kSettledAfterNs <= readStartNs &&
                             identity.changedNs + kSettledAfterNs <= readStartNs;
        if (settled) {
            next->path = path;
            next->identity = identity;
            next->factsByUser.emplace(userName.Bytes(), facts);
            m_snapshot = std::move(next);
        } else {
            m_spareBytes = std::move(next->bytes);
        }
        return facts;
    }

    std::mutex m_mutex;
    std::unique_ptr<Snapshot> m_snapshot;
    FileBytes m_spareBytes;  // the last read's memory, while no read is kept
    RightCheckIndexStats m_stats;
};

// Ends with the library: a host that unloads it gets the memory back.
RightCheckIndex g_index;

}  // namespace

SharedFacts LoadRightCheckFacts(const CString& userName) { return g_index.Facts(userName); }

RightCheckIndexStats GetRightCheckIndexStats() { return g_index.Stats(); }

void DropRightCheckIndex() { g_index.Drop(); }

void SetRightCheckIndexClock(SettleClock clock) { g_settleClock.store(clock); }
