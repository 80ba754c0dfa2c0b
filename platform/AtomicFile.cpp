#include "platform/AtomicFile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kMaxLinkHops = 40;
constexpr size_t kStagingSuffixLength = 6;

bool Fail(std::string* error, const std::string& what, const std::string& path, int errorNumber) {
    if (error != nullptr) *error = what + " " + path + ": " + strerror(errorNumber);
    return false;
}

void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = path;
    } else {
        *folder = slash == 0 ? "/" : path.substr(0, slash);
        *name = path.substr(slash + 1);
    }
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

bool IsStagingSuffixCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string StagingPrefix(const std::string& name) { return "." + name + "."; }

// ".<name>." followed by six random letters and digits, as mkstemp would make it.
std::string NewStagingName(const std::string& name) {
    static const char kAlphabet[] =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned char random[kStagingSuffixLength];
    if (getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random))) {
        // Without randomness a clash only costs another try; the counter still moves on.
        static unsigned counter = 0;
        for (unsigned char& byte : random) byte = static_cast<unsigned char>(++counter * 37u);
    }
    std::string staging = StagingPrefix(name);
    for (const unsigned char byte : random) staging += kAlphabet[byte % (sizeof(kAlphabet) - 1)];
    return staging;
}

bool IsStagingName(const std::string& candidate, const std::string& name) {
    const std::string prefix = StagingPrefix(name);
    if (candidate.size() != prefix.size() + kStagingSuffixLength) return false;
    if (candidate.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < candidate.size(); ++i) {
        if (!IsStagingSuffixCharacter(candidate[i])) return false;
    }
    return true;
}

// A staged file: its descriptor and, once it has one, its name in the folder.
struct StagedFile {
    int fd = -1;
    std::string name;  // empty while unnamed
};

bool OpenNamedStaging(int folderFd, const std::string& name, StagedFile* staged) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = NewStagingName(name);
        const int fd = openat(folderFd, candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            staged->fd = fd;
            staged->name = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

bool OpenStaging(int folderFd, const std::string& name, Staging staging, StagedFile* staged) {
    if (staging != Staging::kNamed) {
        const int fd = openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            staged->fd = fd;
            return true;
        }
        // Filesystems without unnamed files answer with one of these; anything else is a real
        // failure that a named file would meet as well.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    }
    return OpenNamedStaging(folderFd, name, staged);
}

// Gives an unnamed staging file a name, so that rename can move it over the file.
bool NameStaging(int folderFd, const std::string& name, Staging staging, StagedFile* staged) {
    if (!staged->name.empty()) return true;
    const std::string procPath = "/proc/self/fd/" + std::to_string(staged->fd);
    const std::string lockedName = StagingPrefix(name) + "saving";
    if (staging == Staging::kUnnamedUnderLock) unlinkat(folderFd, lockedName.c_str(), 0);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = attempt == 0 && staging == Staging::kUnnamedUnderLock
                                    ? lockedName
                                    : NewStagingName(name);
        int linked =
            linkat(AT_FDCWD, procPath.c_str(), folderFd, candidate.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT) {
            // No /proc: only a privileged caller may link a descriptor directly.
            linked = linkat(staged->fd, "", folderFd, candidate.c_str(), AT_EMPTY_PATH);
        }
        if (linked == 0) {
            staged->name = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

// Gives the staged file the mode, and where possible the owner, of the file it replaces.
bool TakeOverAttributes(int folderFd, const std::string& name, int fd) {
    struct stat existing;
    if (fstatat(folderFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;  // a new file stays 0600
    }
    // Only a privileged caller can give the file back to its owner; others keep it as their own,
    // so a failure here is no failure of the save.
    if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
        [[maybe_unused]] int ignored = fchown(fd, existing.st_uid, existing.st_gid);
    }
    return fchmod(fd, existing.st_mode & 07777) == 0;
}

}  // namespace

FileLocation::FileLocation(int folderFd, std::string name, std::string path)
    : m_folderFd(folderFd), m_name(std::move(name)), m_path(std::move(path)) {}

FileLocation::~FileLocation() {
    if (m_folderFd >= 0) close(m_folderFd);
}

FileLocation::FileLocation(FileLocation&& other) noexcept
    : m_folderFd(std::exchange(other.m_folderFd, -1)),
      m_name(std::move(other.m_name)),
      m_path(std::move(other.m_path)) {}

FileLocation& FileLocation::operator=(FileLocation&& other) noexcept {
    if (this != &other) {
        if (m_folderFd >= 0) close(m_folderFd);
        m_folderFd = std::exchange(other.m_folderFd, -1);
        m_name = std::move(other.m_name);
        m_path = std::move(other.m_path);
    }
    return *this;
}

bool LocateFile(const std::string& path, FileLocation* location, std::string* error) {
    if (path.empty()) return Fail(error, "no file named", "\"\"", ENOENT);
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        std::string folder, name;
        SplitPath(current, &folder, &name);
        if (name.empty() || name == "." || name == "..") {
            return Fail(error, "not a file name:", current, EISDIR);
        }
        const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0) return Fail(error, "cannot open folder", folder, errno);
        FileLocation found(folderFd, name, current);

        struct stat st;
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode)) {
            // Missing (a save creates it) or not a link: this is the file.
            *location = std::move(found);
            return true;
        }
        if (st.st_uid != geteuid() && st.st_uid != 0) {
            if (error != nullptr) {
                *error = "refusing to follow " + current + ": the link belongs to user " +
                         std::to_string(st.st_uid) + ", neither to this user nor to root";
            }
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = readlinkat(folderFd, name.c_str(), target, sizeof(target));
        if (length < 0) return Fail(error, "cannot read link", current, errno);
        if (static_cast<size_t>(length) == sizeof(target)) {
            return Fail(error, "cannot follow link", current, ENAMETOOLONG);
        }
        const std::string next(target, static_cast<size_t>(length));
        current = next[0] == '/' ? next : folder + "/" + next;
    }
    return Fail(error, "cannot follow link", path, ELOOP);
}

bool ReplaceFileAtomically(const FileLocation& location, const void* bytes, size_t size,
                           std::string* error, Staging staging) {
    const int folderFd = location.FolderFd();
    const std::string& name = location.Name();
    StagedFile staged;
    if (!OpenStaging(folderFd, name, staging, &staged)) {
        return Fail(error, "cannot create a temporary file beside", location.Path(), errno);
    }
    const auto abandon = [&](const char* what) {
        const int saved = errno;
        close(staged.fd);
        if (!staged.name.empty()) unlinkat(folderFd, staged.name.c_str(), 0);
        return Fail(error, what, location.Path(), saved);
    };
    if (!TakeOverAttributes(folderFd, name, staged.fd)) return abandon("cannot set the mode for");
    if (!WriteAll(staged.fd, static_cast<const unsigned char*>(bytes), size)) {
        return abandon("cannot write the replacement of");
    }
    if (fsync(staged.fd) != 0) return abandon("cannot sync the replacement of");
    if (!NameStaging(folderFd, name, staging, &staged)) {
        return abandon("cannot name the replacement of");
    }
    if (close(staged.fd) != 0) {
        staged.fd = -1;
        return abandon("cannot write the replacement of");
    }
    staged.fd = -1;
    if (renameat(folderFd, staged.name.c_str(), folderFd, name.c_str()) != 0) {
        const int saved = errno;
        unlinkat(folderFd, staged.name.c_str(), 0);
        return Fail(error, "cannot replace", location.Path(), saved);
    }
    // Without this a power cut may bring back the old folder entry. Some filesystems cannot sync a
    // folder (EINVAL); their rename is as durable as it gets.
    if (fsync(folderFd) != 0 && errno != EINVAL) {
        return Fail(error, "cannot sync the folder of", location.Path(), errno);
    }
    return true;
}

bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error) {
    FileLocation location;
    return LocateFile(path, &location, error) &&
           ReplaceFileAtomically(location, bytes, size, error);
}

int RemoveStaleStagingFiles(const FileLocation& location) {
    const int listFd = openat(location.FolderFd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return 0;
    DIR* folder = fdopendir(listFd);
    if (folder == nullptr) {
        close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = readdir(folder)) {
        if (!IsStagingName(entry->d_name, location.Name())) continue;
        struct stat st;
        if (fstatat(location.FolderFd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            unlinkat(location.FolderFd(), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    closedir(folder);
    return removed;
}

int OpenFileForReading(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    // The common case, a plain file, costs one call; only a link takes the careful way.
    const int fd = open(path.c_str(), kFlags);
    if (fd >= 0 || errno != ELOOP) return fd;
    FileLocation location;
    if (!LocateFile(path, &location, nullptr)) return -1;
    return openat(location.FolderFd(), location.Name().c_str(), kFlags);
}

bool ReadOpenFile(int fd, FileBytes* bytes, uint64_t maxSize, struct stat* status) {
    struct stat st;
    if (status == nullptr) status = &st;
    if (fstat(fd, status) != 0 || !S_ISREG(status->st_mode) ||
        static_cast<uint64_t>(status->st_size) > maxSize) {
        return false;
    }
    bytes->resize(static_cast<size_t>(status->st_size));
    size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            bytes->resize(done);
            return got == 0;  // shrank under us: keep what there is
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, FileBytes* bytes, uint64_t maxSize) {
    const int fd = OpenFileForReading(path);
    if (fd < 0) return false;
    const bool ok = ReadOpenFile(fd, bytes, maxSize);
    close(fd);
    return ok;
}
