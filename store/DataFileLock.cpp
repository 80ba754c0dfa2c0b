#include "store/DataFileLock.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

namespace {

constexpr const char* kLockSuffix = ".lock";
constexpr int kMaxLockAttempts = 10;

// The one hold of this process. Threads queue on `threads`; only the outermost hold of a thread
// touches the lock file.
struct ProcessHold {
    std::recursive_mutex threads;
    int depth = 0;  // guarded by `threads`
    int fd = -1;
    std::optional<FileLocation> location;
    // Moves on at every fork, so that a hold begun before the fork ends as a no-op in the child.
    unsigned generation = 0;
};

ProcessHold& Hold() {
    static ProcessHold hold;
    return hold;
}

thread_local unsigned t_generation = 0;

// A child holds nothing, whatever the parent's threads held at the fork. It does not close the
// inherited descriptor's lock: that description is the parent's too, and closing the child's copy
// leaves the parent's lock in place.
void ForgetParentHold() {
    ProcessHold& hold = Hold();
    new (&hold.threads) std::recursive_mutex;
    hold.depth = 0;
    if (hold.fd >= 0) close(hold.fd);
    hold.fd = -1;
    hold.location.reset();
    ++hold.generation;
}

void RegisterForkHandler() {
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, ForgetParentHold); });
}

void ReportUnlocked(const std::string& dataPath, const std::string& reason) {
    static std::once_flag once;
    std::call_once(once, [&] {
        std::fprintf(stderr,
                     "wardlet: cannot lock %s%s (%s); loads and saves of the data file are not "
                     "serialised with other programs\n",
                     dataPath.c_str(), kLockSuffix, reason.c_str());
    });
}

// The lock file takes the data file's read and write bits, so every account that may change the
// data file may also lock it.
mode_t LockFileMode(const FileLocation& location) {
    struct stat st;
    if (fstatat(location.FolderFd(), location.Name().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        return (st.st_mode & 0666) | 0600;
    }
    return 0600;
}

bool LockWaiting(int fd, short type) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;  // the whole file
    while (fcntl(fd, F_OFD_SETLKW, &request) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Whether `held` (the lock file as opened) is still the file named `name` in the folder: a lock
// file removed or replaced while we waited would lock nobody else out.
bool StillNamed(int folderFd, const std::string& name, const struct stat& held) {
    struct stat named;
    return fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Opens the lock file `name` beside `location` for the lock `*type`: for writing where it may,
// creating it with the data file's bits only when it is missing (the common case opens at once);
// for reading, with a shared lock, where this user may not write it.
int OpenLockFile(const FileLocation& location, const std::string& name, short* type) {
    constexpr int kFlags = O_NOFOLLOW | O_CLOEXEC;
    *type = F_WRLCK;
    int fd = openat(location.FolderFd(), name.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == ENOENT) {
        fd = openat(location.FolderFd(), name.c_str(), O_RDWR | O_CREAT | kFlags,
                    LockFileMode(location));
    }
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        // A reader that may not write the folder still waits for every writer.
        *type = F_RDLCK;
        fd = openat(location.FolderFd(), name.c_str(), O_RDONLY | kFlags);
    }
    return fd;
}

// Opens and locks the lock file beside `location`; -1 with `*reason` set when it cannot.
int OpenAndLock(const FileLocation& location, std::string* reason) {
    const std::string name = location.Name() + kLockSuffix;
    for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
        short type;
        const int fd = OpenLockFile(location, name, &type);
        if (fd < 0) {
            *reason = strerror(errno);
            return -1;
        }
        struct stat held;
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            close(fd);
            *reason = "not a regular file";
            return -1;
        }
        if (!LockWaiting(fd, type)) {
            *reason = strerror(errno);
            close(fd);
            return -1;
        }
        if (StillNamed(location.FolderFd(), name, held)) return fd;
        close(fd);
    }
    *reason = "the lock file keeps being replaced";
    return -1;
}

void TakeLockFile(ProcessHold& hold, const std::string& dataPath) {
    if (dataPath.empty()) return;
    FileLocation location;
    std::string reason;
    if (!LocateFile(dataPath, &location, &reason)) {
        // A missing folder has no data file to guard; anything else must be said.
        if (errno != ENOENT) ReportUnlocked(dataPath, reason);
        return;
    }
    const int fd = OpenAndLock(location, &reason);
    if (fd < 0) {
        if (errno != ENOENT) ReportUnlocked(dataPath, reason);
        return;
    }
    hold.fd = fd;
    hold.location.emplace(std::move(location));
}

uint64_t ReadCounter(int fd) {
    unsigned char bytes[8] = {};
    ssize_t got;
    do {
        got = pread(fd, bytes, sizeof(bytes), 0);
    } while (got < 0 && errno == EINTR);
    if (got != static_cast<ssize_t>(sizeof(bytes))) return 0;
    uint64_t counter = 0;
    for (int i = 7; i >= 0; --i) counter = (counter << 8) | bytes[i];
    return counter;
}

}  // namespace

DataFileLock::DataFileLock(const std::string& dataPath) {
    RegisterForkHandler();
    ProcessHold& hold = Hold();
    hold.threads.lock();
    t_generation = hold.generation;
    if (hold.depth++ > 0) return;
    m_outermost = true;
    TakeLockFile(hold, dataPath);
}

DataFileLock::~DataFileLock() {
    ProcessHold& hold = Hold();
    if (t_generation != hold.generation) return;  // begun in the parent before a fork
    if (--hold.depth == 0 && hold.fd >= 0) {
        close(hold.fd);  // the last descriptor of its description: the lock goes with it
        hold.fd = -1;
        hold.location.reset();
    }
    hold.threads.unlock();
}

bool DataFileLock::Held() const { return Hold().fd >= 0; }

const FileLocation* DataFileLock::Location() const {
    const ProcessHold& hold = Hold();
    return hold.location ? &*hold.location : nullptr;
}

void DataFileLock::BumpChangeCounter() {
    const int fd = Hold().fd;
    if (fd < 0) return;
    uint64_t counter = ReadCounter(fd) + 1;
    unsigned char bytes[8];
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(counter);
        counter >>= 8;
    }
    ssize_t written;
    do {
        written = pwrite(fd, bytes, sizeof(bytes), 0);
    } while (written < 0 && errno == EINTR);
}

uint64_t DataFileLock::ChangeCounter() const {
    const int fd = Hold().fd;
    return fd >= 0 ? ReadCounter(fd) : 0;
}

uint64_t ReadChangeCounter(const std::string& dataPath) {
    const int fd = OpenChangeCounter(dataPath);
    if (fd < 0) return 0;
    const uint64_t counter = ReadCounter(fd);
    close(fd);
    return counter;
}

uint64_t ReadChangeCounter(int counterFd) { return ReadCounter(counterFd); }

int OpenChangeCounter(const std::string& dataPath) {
    if (dataPath.empty()) return -1;
    struct stat st;
    int fd = -1;
    if (lstat(dataPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        fd = open((dataPath + kLockSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        // Through a link the lock file lies beside the link's target.
        FileLocation location;
        if (!LocateFile(dataPath, &location, nullptr)) return -1;
        fd = openat(location.FolderFd(), (location.Name() + kLockSuffix).c_str(),
                    O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    return fd;
}
