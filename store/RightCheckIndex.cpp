#include "store/RightCheckIndex.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "module/WardletApp.h"
#include "platform/AtomicFile.h"
#include "store/DataFileLock.h"
#include "store/FileMutexHold.h"

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

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileIdentity{st.st_dev,
                        st.st_ino,
                        st.st_size,
                        st.st_mode,
                        Nanoseconds(st.st_mtim),
                        Nanoseconds(st.st_ctim)};
}

// One read of the data file and what has been scanned out of it since.
struct Snapshot {
    std::string path;
    uint64_t changeCounter = 0;
    FileIdentity identity;
    FileBytes bytes;
    std::unordered_map<std::string, RightCheckFacts> factsByUser;
};

size_t FactsSize(const std::string& name, const RightCheckFacts& facts) {
    size_t size = sizeof(std::pair<const std::string, RightCheckFacts>) + 4 * sizeof(void*) +
                  name.capacity() + facts.adminName.Bytes().capacity() +
                  facts.adminPassword.Bytes().capacity() + facts.userPassword.Bytes().capacity() +
                  facts.userGroups.capacity() * sizeof(int32_t) +
                  facts.grantedCodes.capacity() * sizeof(uint32_t) +
                  facts.laterPasswords.capacity() * sizeof(CString);
    for (const CString& password : facts.laterPasswords) size += password.Bytes().capacity();
    return size;
}

class RightCheckIndex {
public:
    RightCheckFacts Facts(const CString& userName) {
        const std::string path = g_strDataSource.Bytes();
        if (path.empty()) return RightCheckFacts();
        std::lock_guard<std::mutex> guard(m_mutex);
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
                stats.bytesHeld += FactsSize(name, facts);
            }
        }
        return stats;
    }

    void Drop() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_snapshot.reset();
        m_spareBytes = FileBytes();
        CloseCounter();
    }

    ~RightCheckIndex() { CloseCounter(); }

private:
    // Whether the kept read still stands for the file at `path`. The counter is read before the
    // identity: a save renames its file into place before it bumps the counter, so a save that
    // lands between the two reads shows in the identity.
    bool IsCurrent(const std::string& path) const {
        if (!m_snapshot || m_snapshot->path != path) return false;
        const uint64_t counter =
            m_counterFd >= 0 ? ReadChangeCounter(m_counterFd) : ReadChangeCounter(path);
        if (counter != m_snapshot->changeCounter) return false;
        std::optional<FileIdentity> identity = IdentityOf(path);
        return identity && *identity == m_snapshot->identity;
    }

    RightCheckFacts FactsFromBytes(const CString& userName) {
        auto& kept = m_snapshot->factsByUser;
        auto found = kept.find(userName.Bytes());
        if (found != kept.end()) return found->second;
        if (kept.size() >= kMaxUsersKept) kept.clear();
        const FileBytes& bytes = m_snapshot->bytes;
        RightCheckFacts facts = ScanForRightCheck(bytes.data(), bytes.size(), userName);
        kept.emplace(userName.Bytes(), facts);
        return facts;
    }

    // Reads the file under the data file's lock, answers from those bytes and keeps them if
    // nothing can have changed unseen. The previous read's buffer is reused either way: a file
    // that keeps changing is read into the same memory every time.
    RightCheckFacts Read(const std::string& path, const CString& userName) {
        Snapshot next;
        next.bytes = std::move(m_snapshot ? m_snapshot->bytes : m_spareBytes);
        m_snapshot.reset();
        std::optional<FileIdentity> before;
        std::optional<FileIdentity> after;
        int64_t readStartNs = 0;
        {
            FileMutexHold hold;
            next.changeCounter = hold.FileLock().ChangeCounter();
            KeepCounterOpen(path, next.changeCounter);
            readStartNs = SettleNow();
            before = IdentityOf(path);
            if (!ReadWholeFile(path, &next.bytes)) return RightCheckFacts();
            after = IdentityOf(path);
        }
        RightCheckFacts facts = ScanForRightCheck(next.bytes.data(), next.bytes.size(), userName);
        const bool settled = before && after && *before == *after &&
                             before->modifiedNs + kSettledAfterNs <= readStartNs &&
                             before->changedNs + kSettledAfterNs <= readStartNs;
        if (settled) {
            next.path = path;
            next.identity = *before;
            next.factsByUser.emplace(userName.Bytes(), facts);
            m_snapshot = std::move(next);
        } else {
            m_spareBytes = std::move(next.bytes);
        }
        return facts;
    }

    // The lock file stays open for reading, so that a question costs one read of the counter.
    // It is opened again whenever it no longer shows the counter that the held lock shows (a
    // lock file replaced behind our back). REQUIRES: the data file's lock is held.
    void KeepCounterOpen(const std::string& path, uint64_t counter) {
        if (m_counterFd >= 0 && m_counterPath == path &&
            ReadChangeCounter(m_counterFd) == counter) {
            return;
        }
        CloseCounter();
        m_counterFd = OpenChangeCounter(path);
        m_counterPath = path;
    }

    void CloseCounter() {
        if (m_counterFd >= 0) close(m_counterFd);
        m_counterFd = -1;
        m_counterPath.clear();
    }

    std::mutex m_mutex;
    std::optional<Snapshot> m_snapshot;
    FileBytes m_spareBytes;  // the last read's memory, while no read is kept
    int m_counterFd = -1;
    std::string m_counterPath;
    RightCheckIndexStats m_stats;
};

// Ends with the library: a host that unloads it gets the memory back.
RightCheckIndex g_index;

}  // namespace

RightCheckFacts LoadRightCheckFacts(const CString& userName) { return g_index.Facts(userName); }

RightCheckIndexStats GetRightCheckIndexStats() { return g_index.Stats(); }

void DropRightCheckIndex() { g_index.Drop(); }

void SetRightCheckIndexClock(SettleClock clock) { g_settleClock.store(clock); }
