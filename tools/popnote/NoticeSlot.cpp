#include "NoticeSlot.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/KernelObjectNames.h"

namespace {

constexpr int kBusy = -1;
constexpr int kUnusable = -2;

// Returns a descriptor holding the exclusive lock on `path`; kBusy when another holder has it,
// kUnusable when the file cannot be opened.
int TryLockFile(const std::string& path) {
    // O_NOFOLLOW: the folder is ours alone, but a planted link must still not redirect us.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return kUnusable;
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? kBusy : kUnusable;
    }
    return fd;
}

}  // namespace

NoticeSlot NoticeSlot::Claim(const std::string& directory, int count) {
    count = std::max(count, 1);
    bool anyBusy = false;
    for (int index = 0; index < count && !directory.empty(); ++index) {
        const int fd = TryLockFile(directory + "/popnote-slot-" + std::to_string(index));
        if (fd >= 0) return NoticeSlot(index, fd);
        anyBusy = anyBusy || fd == kBusy;
    }
    // Without a single file we could open, nothing tells where other notices are: take the
    // bottom, where a lone notice belongs.
    return NoticeSlot(anyBusy ? count - 1 : 0, -1);
}

std::string NoticeSlot::DefaultDirectory() { return KernelObjectDirectory(); }

NoticeSlot::NoticeSlot(NoticeSlot&& other) noexcept
    : index_(other.index_), lockFd_(std::exchange(other.lockFd_, -1)) {}

NoticeSlot& NoticeSlot::operator=(NoticeSlot&& other) noexcept {
    if (this != &other) {
        Release();
        index_ = other.index_;
        lockFd_ = std::exchange(other.lockFd_, -1);
    }
    return *this;
}

NoticeSlot::~NoticeSlot() { Release(); }

void NoticeSlot::Release() {
    // Closing the only descriptor of the open file drops its flock.
    if (lockFd_ >= 0) close(lockFd_);
    lockFd_ = -1;
}
