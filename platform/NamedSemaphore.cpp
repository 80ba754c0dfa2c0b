#include "platform/NamedSemaphore.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/KernelObjectNames.h"

// `<name>.count` holds a Record; every read-modify-write runs under flock(LOCK_EX) of that file.
// `<name>.users` is held with flock(LOCK_SH) by every process that has the object open, so a
// LOCK_EX that succeeds there proves that nobody does and the count must start afresh. The kernel
// drops both locks of a process that dies, which is what makes a crash harmless.

namespace {

struct Record {
    static constexpr uint32_t kMagic = 0x4d455357;  // "WSEM"

    uint32_t magic;
    int32_t count;
    int32_t maximum;
};

int OpenObjectFile(const KernelObjectFolder& folder, const std::string& name, int extraFlags) {
    return openat(folder.fd, name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | extraFlags, 0600);
}

int FlockRetrying(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

// A record of the wrong size or with values out of range (a damaged or foreign file) gives
// `fallback`: a broken file must never wedge the semaphore or crash the reader.
Record ReadRecord(int fd, const Record& fallback) {
    unsigned char buffer[sizeof(Record) + 1];
    ssize_t size;
    do {
        size = pread(fd, buffer, sizeof(buffer), 0);
    } while (size < 0 && errno == EINTR);
    if (size != static_cast<ssize_t>(sizeof(Record))) return fallback;
    Record record;
    memcpy(&record, buffer, sizeof(record));
    if (record.magic != Record::kMagic || record.maximum < 1 || record.count < 0 ||
        record.count > record.maximum) {
        return fallback;
    }
    return record;
}

bool WriteRecord(int fd, const Record& record) {
    ssize_t written;
    do {
        written = pwrite(fd, &record, sizeof(record), 0);
    } while (written < 0 && errno == EINTR);
    // Drops any excess a damaged file may have had, so the record reads back whole.
    return written == static_cast<ssize_t>(sizeof(record)) && ftruncate(fd, sizeof(record)) == 0;
}

}  // namespace

std::unique_ptr<NamedSemaphore> NamedSemaphore::Open(const std::string& name, int initialCount,
                                                     int maximumCount) {
    if (maximumCount < 1 || initialCount < 0 || initialCount > maximumCount) return nullptr;
    std::shared_ptr<const KernelObjectFolder> folder = OpenKernelObjectFolder();
    if (!folder) return nullptr;
    std::string countName = KernelObjectFileName(name, ".count");
    std::string usersName = KernelObjectFileName(name, ".users");

    const int countFd = OpenObjectFile(*folder, countName, O_CREAT);
    const int usersFd = countFd < 0 ? -1 : OpenObjectFile(*folder, usersName, O_CREAT);
    bool opened = usersFd >= 0 && FlockRetrying(countFd, LOCK_EX) == 0;
    if (opened) {
        // The count guard keeps other openers out while we decide; closers need no guard, and
        // one that closes just before our probe rightly leaves us a fresh object.
        if (FlockRetrying(usersFd, LOCK_EX | LOCK_NB) == 0) {
            const Record fresh{Record::kMagic, initialCount, maximumCount};
            opened = WriteRecord(countFd, fresh);
        } else {
            opened = errno == EWOULDBLOCK;
        }
        // Converting EX to SH is not atomic in the kernel, but only guard holders ever take EX.
        opened = opened && FlockRetrying(usersFd, LOCK_SH) == 0;
        flock(countFd, LOCK_UN);
    }
    if (!opened) {
        if (usersFd >= 0) close(usersFd);
        if (countFd >= 0) close(countFd);
        return nullptr;
    }
    return std::unique_ptr<NamedSemaphore>(
        new NamedSemaphore(std::move(folder), std::move(countName), std::move(usersName), countFd,
                           usersFd, initialCount, maximumCount));
}

NamedSemaphore::NamedSemaphore(std::shared_ptr<const KernelObjectFolder> folder,
                               std::string countName, std::string usersName, int countFd,
                               int usersFd, int initialCount, int maximumCount)
    : folder_(std::move(folder)),
      countName_(std::move(countName)),
      usersName_(std::move(usersName)),
      initialCount_(initialCount),
      maximumCount_(maximumCount),
      countFd_(countFd),
      usersFd_(usersFd),
      pid_(getpid()) {}

NamedSemaphore::~NamedSemaphore() {
    close(usersFd_);
    close(countFd_);
}

bool NamedSemaphore::AdoptAfterFork() const {
    if (pid_ == getpid()) return true;
    // The inherited descriptors share their open file descriptions, and so their flocks, with
    // the parent: the count guard would not exclude the parent, and the parent's close could end
    // our "users" hold. The inherited hold keeps the object alive until our own one is taken.
    const int countFd = OpenObjectFile(*folder_, countName_, 0);
    const int usersFd = countFd < 0 ? -1 : OpenObjectFile(*folder_, usersName_, 0);
    if (usersFd < 0 || FlockRetrying(usersFd, LOCK_SH) != 0) {
        if (usersFd >= 0) close(usersFd);
        if (countFd >= 0) close(countFd);
        return false;
    }
    close(countFd_);
    close(usersFd_);
    countFd_ = countFd;
    usersFd_ = usersFd;
    pid_ = getpid();
    return true;
}

template <typename Change>
bool NamedSemaphore::Transact(Change change) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!AdoptAfterFork() || FlockRetrying(countFd_, LOCK_EX) != 0) return false;
    Record record = ReadRecord(countFd_, Record{Record::kMagic, initialCount_, maximumCount_});
    const bool ok = !change(record.count, record.maximum) || WriteRecord(countFd_, record);
    flock(countFd_, LOCK_UN);
    return ok;
}

bool NamedSemaphore::TryWait() {
    bool taken = false;
    const bool ok = Transact([&](int32_t& count, int32_t) {
        taken = count > 0;
        if (taken) --count;
        return taken;
    });
    return ok && taken;
}

bool NamedSemaphore::Release(int count, int* previousCount) {
    bool released = false;
    int before = 0;
    const bool ok = Transact([&](int32_t& current, int32_t maximum) {
        before = current;
        released = count > 0 && count <= maximum - current;
        if (released) current += count;
        return released;
    });
    if (!ok || !released) return false;
    if (previousCount != nullptr) *previousCount = before;
    return true;
}

int NamedSemaphore::Count() const {
    int count = -1;
    Transact([&](int32_t& current, int32_t) {
        count = current;
        return false;
    });
    return count;
}
