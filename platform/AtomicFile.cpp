#include "platform/AtomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path, int errorNumber) {
    if (error != nullptr) *error = what + " " + path + ": " + strerror(errorNumber);
    return false;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symlinks from `path` to the file they finally name, which need not exist yet: renaming
// over the link itself would replace the link with a plain file.
bool FollowLinks(std::string path, std::string* target, std::string* error) {
    char link[PATH_MAX];
    for (int hops = 0; hops < 40; ++hops) {
        const ssize_t length = readlink(path.c_str(), link, sizeof(link));
        if (length < 0) {
            // Not a link, or missing: either way this is the file to replace.
            *target = path;
            return true;
        }
        if (static_cast<size_t>(length) == sizeof(link)) {
            return Fail(error, "cannot follow link", path, ENAMETOOLONG);
        }
        const std::string next(link, static_cast<size_t>(length));
        path = next[0] == '/' ? next : DirectoryOf(path) + "/" + next;
    }
    return Fail(error, "cannot follow link", path, ELOOP);
}

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error) {
    std::string target;
    if (!FollowLinks(path, &target, error)) return false;
    const std::string directory = DirectoryOf(target);
    const size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

    // Hidden, and beside the target so that rename() stays within one filesystem.
    std::string temporary = directory + "/." + name + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) return Fail(error, "cannot create a temporary file in", directory, errno);

    const auto abandon = [&](const char* what) {
        const int saved = errno;
        close(fd);
        unlink(temporary.c_str());
        return Fail(error, what, temporary, saved);
    };
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) {
        // Only a privileged caller can give the file back to its owner; others keep it as
        // their own, so a failure here is no failure of the save.
        if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
            [[maybe_unused]] int ignored = fchown(fd, existing.st_uid, existing.st_gid);
        }
        if (fchmod(fd, existing.st_mode & 07777) != 0) return abandon("cannot set the mode of");
    }
    if (!WriteAll(fd, static_cast<const unsigned char*>(bytes), size)) {
        return abandon("cannot write");
    }
    if (fsync(fd) != 0) return abandon("cannot sync");
    if (close(fd) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        return Fail(error, "cannot write", temporary, saved);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        return Fail(error, "cannot replace", target, saved);
    }
    // Without this a power cut may bring back the old directory entry.
    const int directoryFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd < 0) return Fail(error, "cannot open directory", directory, errno);
    // Some filesystems cannot sync a directory (EINVAL); their rename is as durable as it gets.
    const bool synced = fsync(directoryFd) == 0 || errno == EINVAL;
    const int saved = errno;
    close(directoryFd);
    return synced || Fail(error, "cannot sync directory", directory, saved);
}

bool ReadWholeFile(const std::string& path, FileBytes* bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes->resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes->size()) {
            const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ok = got == 0;  // shrank under us: keep what there is
                break;
            }
            done += static_cast<size_t>(got);
        }
        bytes->resize(done);
    }
    close(fd);
    return ok;
}
