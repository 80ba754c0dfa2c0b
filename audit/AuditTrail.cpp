#include "audit/AuditTrail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// The head file: the last record's number, zero-padded so that every head has the same length
// and is rewritten in place, then its hash.
constexpr size_t kHeadSize = 20 + 1 + 64 + 1;
constexpr size_t kTailChunk = 4096;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

bool Fail(std::string* error, const std::string& what) {
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
    return false;
}

bool ReadAt(int fd, char* bytes, size_t size, off_t offset) {
    while (size > 0) {
        ssize_t got = pread(fd, bytes, size, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t put = write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

// Opens a file of the trail for writing: never through a link, made private.
int OpenPrivate(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return fd;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ((info.st_mode & 0077) != 0 && fchmod(fd, 0600) != 0)) {
        int saved = errno == 0 ? EINVAL : errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

// The file's last whole line (without its line end), and whether the file ends inside a line.
struct Tail {
    std::string lastLine;
    bool torn = false;
};

// Reads a small window at the end first; only a last line longer than that reads more.
bool ReadTail(int fd, off_t size, Tail* tail) {
    for (off_t window :
         {static_cast<off_t>(kTailChunk), static_cast<off_t>(kAuditLongestLine + 2)}) {
        const off_t start = std::max<off_t>(0, size - window);
        std::string back(static_cast<size_t>(size - start), '\0');
        if (!back.empty() && !ReadAt(fd, back.data(), back.size(), start)) return false;
        tail->torn = !back.empty() && back.back() != '\n';
        const size_t end = back.rfind('\n');
        if (end == std::string::npos) {
            if (start > 0 && window == kTailChunk) continue;
            tail->lastLine = back;  // one line, cut short or overlong: it reads as broken
            return true;
        }
        size_t begin = end == 0 ? std::string::npos : back.rfind('\n', end - 1);
        if (begin == std::string::npos && start > 0 && window == kTailChunk) continue;
        begin = begin == std::string::npos ? 0 : begin + 1;
        tail->lastLine = tail->torn ? back.substr(end + 1) : back.substr(begin, end - begin);
        return true;
    }
    return true;
}

std::string FormatHead(uint64_t seq, const std::string& hash) {
    char head[kHeadSize + 1];
    std::snprintf(head, sizeof head, "%020" PRIu64 " %s\n", seq, hash.c_str());
    return std::string(head, kHeadSize);
}

bool ParseHead(std::string_view head, uint64_t* seq, std::string* hash) {
    if (head.size() != kHeadSize || head[20] != ' ' || head.back() != '\n') return false;
    uint64_t value = 0;
    for (char digit : head.substr(0, 20)) {
        if (digit < '0' || digit > '9') return false;
        value = value * 10 + static_cast<uint64_t>(digit - '0');
    }
    // Records are numbered from 1: a head naming record 0 was never written by an append.
    if (value == 0) return false;
    *seq = value;
    *hash = std::string(head.substr(21, 64));
    return true;
}

std::string ReadSmallFile(const std::string& path, bool* exists) {
    *exists = false;
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.Get() < 0) return "";
    struct stat info;
    if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    *exists = true;
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    if (!bytes.empty() && !ReadAt(fd.Get(), bytes.data(), bytes.size(), 0)) bytes.clear();
    return bytes;
}

// Where the next record joins the chain: its number and the hash it carries.
struct ChainLink {
    uint64_t seq = 1;
    std::string prev = kAuditFirstPrev;
};

// The link after `lastLine`. The number comes from the head when it names the last line, else from
// the last line, else (a line that does not read) from the head alone. The hash is the last line's,
// unless the head names that same record with another hash: the line was changed after it was
// written, and chaining to the hash it was written with keeps the change visible instead of
// sealing it in.
ChainLink NextLink(const std::string& trailPath, const std::string& lastLine) {
    if (lastLine.empty()) return ChainLink();
    const std::string lastHash = AuditLineHash(lastLine);
    bool exists;
    uint64_t headSeq = 0;
    std::string headHash;
    const bool headRead =
        ParseHead(ReadSmallFile(AuditHeadPath(trailPath), &exists), &headSeq, &headHash);
    if (headRead && headHash == lastHash) return {headSeq + 1, lastHash};
    AuditRecord last;
    if (DecodeAuditLine(lastLine, &last, nullptr)) {
        if (headRead && last.seq == headSeq) return {headSeq + 1, headHash};
        return {last.seq + 1, lastHash};
    }
    return {headRead ? headSeq + 1 : 1, lastHash};
}

AuditVerdict Broken(uint64_t records, uint64_t line, std::string reason) {
    AuditVerdict verdict;
    verdict.records = records;
    verdict.brokenLine = line;
    verdict.reason = std::move(reason);
    return verdict;
}

// A file of the trail held open between appends, and what identifies it.
class KeptFile {
public:
    KeptFile() = default;
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;
    ~KeptFile() { Close(); }

    int Get() const { return m_fd; }

    // Whether the file held is still the one `path` names, with its status in `*info`: one lstat.
    bool StillAt(const std::string& path, struct stat* info) const {
        return m_fd >= 0 && lstat(path.c_str(), info) == 0 && S_ISREG(info->st_mode) &&
               info->st_dev == m_device && info->st_ino == m_inode;
    }

    // Opens `path` as OpenPrivate does and holds it.
    bool Open(const std::string& path, int flags) {
        Close();
        m_fd = OpenPrivate(path, flags);
        struct stat info;
        if (m_fd < 0 || fstat(m_fd, &info) != 0) return false;
        m_device = info.st_dev;
        m_inode = info.st_ino;
        return true;
    }

    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// Appends records to one trail at a time, keeping both its files open between appends. After its
// own append it knows the trail's size and its last record's number and hash: while the trail
// still has that size and its paths still name the files held, the next append reads neither.
// A trail edited in place to the same size is not read again either, so the next record chains to
// what this process wrote, and the edit shows in verification instead of being chained over.
// Appends are serialised by the caller's lock, which excludes the threads of a process too.
class TrailAppender {
public:
    bool Append(const std::string& trailPath, AuditRecord record, std::string* error) {
        struct stat info;
        if (trailPath != m_trailPath || !m_trail.StillAt(trailPath, &info)) {
            m_known = false;
            m_trailPath = trailPath;
            if (!m_trail.Open(trailPath, O_RDWR | O_APPEND)) {
                return Fail(error, "cannot open " + trailPath);
            }
            if (fstat(m_trail.Get(), &info) != 0) {
                return Fail(error, "cannot examine " + trailPath);
            }
        }
        if ((info.st_mode & 0077) != 0 && fchmod(m_trail.Get(), 0600) != 0) {
            return Fail(error, "cannot make " + trailPath + " private");
        }
        Tail tail;
        if (m_known && info.st_size == m_size) {
            record.seq = m_lastSeq + 1;
            record.prev = m_lastHash;
        } else {
            if (!ReadTail(m_trail.Get(), info.st_size, &tail)) {
                return Fail(error, "cannot read " + trailPath);
            }
            ChainLink link = NextLink(trailPath, tail.lastLine);
            record.seq = link.seq;
            record.prev = std::move(link.prev);
        }
        m_known = false;
        const std::string line = EncodeAuditLine(record);
        // A line left without its end (by a power cut, or by a hand) stays as evidence, on a line
        // of its own; the new record chains to it.
        const std::string bytes = (tail.torn ? "\n" : "") + line + '\n';
        if (!WriteAll(m_trail.Get(), bytes)) {
            int saved = errno;
            // A record written in part is taken back; what stood before stays.
            if (ftruncate(m_trail.Get(), info.st_size) != 0) saved = errno;
            errno = saved;
            return Fail(error, "cannot write to " + trailPath);
        }
        const std::string lineHash = AuditLineHash(line);
        if (!WriteHead(AuditHeadPath(trailPath), FormatHead(record.seq, lineHash))) {
            return Fail(error, "cannot write " + AuditHeadPath(trailPath));
        }
        m_size = info.st_size + static_cast<off_t>(bytes.size());
        m_lastSeq = record.seq;
        m_lastHash = lineHash;
        m_known = true;
        return true;
    }

private:
    bool WriteHead(const std::string& headPath, const std::string& head) {
        struct stat info;
        if (!m_head.StillAt(headPath, &info) && !m_head.Open(headPath, O_WRONLY)) return false;
        return pwrite(m_head.Get(), head.data(), head.size(), 0) ==
               static_cast<ssize_t>(head.size());
    }

    std::string m_trailPath;
    KeptFile m_trail;
    KeptFile m_head;
    bool m_known = false;  // whether the three below describe the trail held
    off_t m_size = 0;
    uint64_t m_lastSeq = 0;
    std::string m_lastHash;
};

// Ends with the library, closing the files it holds.
TrailAppender g_appender;

}  // namespace

std::string AuditTrailPath(const std::string& dataPath) { return dataPath + ".audit"; }

std::string AuditHeadPath(const std::string& trailPath) { return trailPath + ".head"; }

bool AppendAuditRecord(const std::string& trailPath, AuditRecord record, std::string* error) {
    return g_appender.Append(trailPath, std::move(record), error);
}

AuditReadResult ReadAuditTrail(const std::string& trailPath) {
    AuditReadResult result;
    bool exists;
    std::string bytes = ReadSmallFile(trailPath, &exists);
    result.missing = !exists;
    size_t number = 0;
    for (size_t start = 0; start < bytes.size();) {
        ++number;
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            result.error = "line " + std::to_string(number) + " is cut short (no line end)";
            break;
        }
        AuditRecord record;
        std::string why;
        if (!DecodeAuditLine(std::string_view(bytes).substr(start, end - start), &record, &why)) {
            result.error = "line " + std::to_string(number) + ": " + why;
            break;
        }
        result.records.push_back(std::move(record));
        start = end + 1;
    }
    return result;
}

AuditVerdict VerifyAuditBytes(const std::string& trail, const std::string& head) {
    std::string prev = kAuditFirstPrev;
    uint64_t number = 0;
    std::string_view bytes = trail;
    std::string lastHash;
    while (!bytes.empty()) {
        ++number;
        size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            return Broken(number - 1, number, "the record is cut short (no line end)");
        }
        std::string_view line = bytes.substr(0, end);
        AuditRecord record;
        std::string why;
        if (!DecodeAuditLine(line, &record, &why)) return Broken(number - 1, number, why);
        if (record.seq != number) {
            return Broken(number - 1, number,
                          "it is record " + std::to_string(record.seq) + " where record " +
                              std::to_string(number) + " belongs: records before it are missing");
        }
        if (record.prev != prev) {
            return Broken(number - 1, number,
                          "its \"prev\" is not the hash of the line before: that line was edited "
                          "or removed");
        }
        prev = lastHash = AuditLineHash(line);
        bytes.remove_prefix(end + 1);
    }
    if (!head.empty()) {
        uint64_t headSeq;
        std::string headHash;
        if (!ParseHead(head, &headSeq, &headHash)) {
            return Broken(number, 0, "the head file is damaged");
        }
        if (headSeq > number) {
            return Broken(number, number + 1,
                          "the trail ends at record " + std::to_string(number) + ", but record " +
                              std::to_string(headSeq) +
                              " was written: the records after it were cut off");
        }
        if (headSeq == number && headHash != lastHash) {
            return Broken(number - 1, number,
                          "the last record is not the one the head file names: it was edited");
        }
    }
    AuditVerdict verdict;
    verdict.intact = true;
    verdict.records = number;
    return verdict;
}

AuditVerdict VerifyAuditTrail(const std::string& trailPath) {
    bool exists, headExists;
    std::string trail = ReadSmallFile(trailPath, &exists);
    std::string head = ReadSmallFile(AuditHeadPath(trailPath), &headExists);
    if (!exists) return Broken(0, 0, "there is no audit trail at " + trailPath);
    if (headExists && head.empty() && !trail.empty()) return Broken(0, 0, "the head file is empty");
    return VerifyAuditBytes(trail, head);
}
