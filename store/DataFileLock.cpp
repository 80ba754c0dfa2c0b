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
#include <string>

namespace {

constexpr const char* kLockSuffix = ".lock";
constexpr int kMaxLockAttempts = 10;

// The one hold of this process. Threads queue on `threads`; only the outermost hold of a thread
// touches the lock file. The lock file of the last data file locked stays open between holds, so
// that a hold costs a check that nothing was moved, the lock and the unlock.
struct ProcessHold {
    std::recursive_mutex threads;
    int depth = 0;  // guarded by `threads`, as is everything below
    int fd = -1;    // the kept lock file, or -1
    short lockType = F_WRLCK;
    bool locked = false;
    std::string dataPath;  // what the kept lock file was opened for
    std::string lockPath;  // dataPath and the lock suffix
    std::optional<FileLocation> location;
    dev_t lockDevice = 0;  // the lock file as it was opened
    ino_t lockInode = 0;
    // Moves on at every fork, so that a hold begun before the fork ends as a no-op in the child.
    unsigned generation = 0;

    // Closing the last descriptor of the description drops the lock with it.
    void Forget() {
        if (fd >= 0) close(fd);
        fd = -1;
        locked = false;
        dataPath.clear();
        lockPath.clear();
        location.reset();
    }
    // A library unloaded by its host leaves no descriptor behind.
    ~ProcessHold() { Forget(); }
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
    hold.Forget();
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

bool Unlock(int fd) {
    struct flock request {};
    request.l_type = F_UNLCK;
    request.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_SETLK, &request) == 0;
}

// Whether the lock file `device`/`inode` is still the file named `name` in the folder: a lock
// file removed or replaced while we waited would lock nobody else out.
bool StillNamed(int folderFd, const std::string& name, dev_t device, ino_t inode) {
    struct stat named;
    return fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           named.st_dev == device && named.st_ino == inode;
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
int OpenAndLock(const FileLocation& location, short* type, struct stat* held, std::string* reason) {
    const std::string name = location.Name() + kLockSuffix;
    for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
        const int fd = OpenLockFile(location, name, type);
        if (fd < 0) {
            *reason = strerror(errno);
            return -1;
        }
        if (fstat(fd, held) != 0 || !S_ISREG(held->st_mode)) {
            close(fd);
            *reason = "not a regular file";
            return -1;
        }
        if (!LockWaiting(fd, *type)) {
            *reason = strerror(errno);
            close(fd);
            return -1;
        }
        if (StillNamed(location.FolderFd(), name, held->st_dev, held->st_ino)) return fd;
        close(fd);
    }
    *reason = "the lock file keeps being replaced";
    return -1;
}

// Whether the kept lock file may serve `dataPath` again: the same path, whose file has not become
// a link meanwhile (a kept lock file is only ever one reached without following a link).
bool KeptFileStands(const ProcessHold& hold, const std::string& dataPath) {
    if (hold.fd < 0 || hold.dataPath != dataPath) return false;
    const FileLocation& location = *hold.location;
    struct stat st;
    return fstatat(location.FolderFd(), location.Name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
           !S_ISLNK(st.st_mode);
}

// Locks the kept lock file again; false, with nothing held, if it is no longer the file that
// the lock file's path names. Looked up from the path, not from the kept folder, so that a folder
// moved or replaced meanwhile shows too.
bool RelockKeptFile(ProcessHold& hold) {
    if (!LockWaiting(hold.fd, hold.lockType)) return false;
    struct stat named;
    if (lstat(hold.lockPath.c_str(), &named) == 0 && named.st_dev == hold.lockDevice &&
        named.st_ino == hold.lockInode) {
        return true;
    }
    Unlock(hold.fd);
    return false;
}

void TakeLockFile(ProcessHold& hold, const std::string& dataPath) {
    if (dataPath.empty()) return;
    if (KeptFileStands(hold, dataPath) && RelockKeptFile(hold)) {
        hold.locked = true;
        return;
    }
    hold.Forget();
    FileLocation location;
    std::string reason;
    if (!LocateFile(dataPath, &location, &reason)) {
        // A missing folder has no data file to guard; anything else must be said.
        if (errno != ENOENT) ReportUnlocked(dataPath, reason);
        return;
    }
    struct stat held;
    const int fd = OpenAndLock(location, &hold.lockType, &held, &reason);
    if (fd < 0) {
        if (errno != ENOENT) ReportUnlocked(dataPath, reason);
        return;
    }
    hold.fd = fd;
    hold.locked = true;
    hold.lockDevice = held.st_dev;
    hold.lockInode = held.st_ino;
    // Kept for the next hold only when no link was followed to reach it, and only with a lock
    // for writing: a reader's shared lock is taken afresh, so that it becomes a writer's once
    // the lock file may be written.
    if (location.Path() == dataPath && hold.lockType == F_WRLCK) {
        hold.dataPath = dataPath;
        hold.lockPath = dataPath + kLockSuffix;
    }
    hold.location.emplace(std::move(location));
}

// Ends the outermost hold: the lock file is unlocked and kept, or closed when it cannot be kept.
void ReleaseLockFile(ProcessHold& hold) {
    if (!hold.locked) return;
    if (hold.dataPath.empty() || !Unlock(hold.fd)) {
        hold.Forget();
        return;
    }
    hold.locked = false;
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
    if (--hold.depth == 0) ReleaseLockFile(hold);
    hold.threads.unlock();
}

bool DataFileLock::Held() const { return Hold().locked; }

const FileLocation* DataFileLock::Location() const {
    const ProcessHold& hold = Hold();
    return hold.locked ? &*hold.location : nullptr;
}

void DataFileLock::BumpChangeCounter() {
    if (!Held()) return;
    const int fd = Hold().fd;
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

uint64_t ReadChangeCounter(const std::string& dataPath) {
    // Through a link the lock file lies beside the link's target.
    FileLocation location;
    if (dataPath.empty() || !LocateFile(dataPath, &location, nullptr)) return 0;
    const int fd = openat(location.FolderFd(), (location.Name() + kLockSuffix).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    const uint64_t counter = ReadCounter(fd);
    close(fd);
    return counter;
}
