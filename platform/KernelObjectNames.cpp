#include "platform/KernelObjectNames.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

std::string KernelObjectBaseName(const std::string& executablePath) {
    const size_t slash = executablePath.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = executablePath.find('.', start);
    return executablePath.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string ExecutableBaseName() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return "";
        // readlink truncates silently; a full buffer may be a cut path, so grow and retry.
        if (static_cast<size_t>(length) < buffer.size()) {
            return KernelObjectBaseName(std::string(buffer.data(), static_cast<size_t>(length)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

bool OwnedByUserOrRoot(const struct stat& st) { return st.st_uid == geteuid() || st.st_uid == 0; }

// A folder others cannot rename entries in: not writable by group or others, unless sticky.
bool SafeParent(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && OwnedByUserOrRoot(st) &&
           ((st.st_mode & 022) == 0 || (st.st_mode & S_ISVTX) != 0);
}

// Makes (if missing) and opens the folder `name` in `parentFd`; -1 unless it is a real folder of
// the effective user with mode 0700.
int OpenPrivateFolder(int parentFd, const char* name) {
    if (mkdirat(parentFd, name, 0700) == 0) {
        // A restrictive umask may have dropped owner bits we need; the folder is still ours alone.
        fchmodat(parentFd, name, 0700, 0);
    } else if (errno != EEXIST) {
        return -1;
    }
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 07777) != 0700) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenFolder(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

std::string UserHome() {
    struct stat st;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/' && stat(home, &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == geteuid()) {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return "";
}

// "<runtime>/wardlet" where the runtime folder is trustworthy; -1 with `*usable` false otherwise.
int OpenInRuntimeFolder(const std::string& runtime, bool* usable) {
    *usable = false;
    const int parentFd = OpenFolder(runtime);
    if (parentFd < 0) return -1;
    *usable = SafeParent(parentFd);
    const int fd = *usable ? OpenPrivateFolder(parentFd, "wardlet") : -1;
    close(parentFd);
    return fd;
}

// "<home>/.cache/wardlet".
int OpenInHome(const std::string& home) {
    const int homeFd = OpenFolder(home);
    if (homeFd < 0) return -1;
    int fd = -1;
    if (SafeParent(homeFd)) {
        // .cache is the user's own; it need not be private, only not another's to rename in.
        if (mkdirat(homeFd, ".cache", 0700) == 0 || errno == EEXIST) {
            const int cacheFd =
                openat(homeFd, ".cache", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (cacheFd >= 0) {
                struct stat st;
                if (fstat(cacheFd, &st) == 0 && st.st_uid == geteuid() && SafeParent(cacheFd)) {
                    fd = OpenPrivateFolder(cacheFd, "wardlet");
                }
                close(cacheFd);
            }
        }
    }
    close(homeFd);
    return fd;
}

struct FolderCache {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const KernelObjectFolder>> byPlace;
};

FolderCache& Cache() {
    static FolderCache cache;
    return cache;
}

std::shared_ptr<const KernelObjectFolder> Remember(const std::string& place, int fd,
                                                   const std::string& path) {
    auto folder = std::make_shared<const KernelObjectFolder>(fd, path);
    Cache().byPlace[place] = folder;
    return folder;
}

}  // namespace

KernelObjectFolder::~KernelObjectFolder() { close(fd); }

std::shared_ptr<const KernelObjectFolder> OpenKernelObjectFolder() {
    std::lock_guard<std::mutex> guard(Cache().mutex);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        const std::string place = std::string(runtime) + "/wardlet";
        if (auto found = Cache().byPlace.find(place); found != Cache().byPlace.end()) {
            return found->second;
        }
        bool usable = false;
        const int fd = OpenInRuntimeFolder(runtime, &usable);
        if (fd >= 0) return Remember(place, fd, place);
        // A runtime folder of our own whose "wardlet" is wrong is a fault to show, not to hide.
        if (usable) return nullptr;
    }
    const std::string home = UserHome();
    if (home.empty()) return nullptr;
    const std::string place = home + "/.cache/wardlet";
    if (auto found = Cache().byPlace.find(place); found != Cache().byPlace.end()) {
        return found->second;
    }
    const int fd = OpenInHome(home);
    if (fd < 0) return nullptr;
    return Remember(place, fd, place);
}

std::string KernelObjectDirectory() {
    const auto folder = OpenKernelObjectFolder();
    return folder ? folder->path : "";
}

std::string KernelObjectFileName(const std::string& name, const char* suffix) {
    std::string file;
    for (const char c : name) {
        if (c == '%') {
            file += "%25";
        } else if (c == '/') {
            file += "%2F";
        } else {
            file += c;
        }
    }
    return file + suffix;
}

std::string KernelObjectPath(const std::string& name, const char* suffix) {
    const std::string folder = KernelObjectDirectory();
    if (folder.empty()) return "";
    return folder + "/" + KernelObjectFileName(name, suffix);
}
