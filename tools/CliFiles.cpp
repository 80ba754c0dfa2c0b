#include "tools/CliFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "tools/Cli.h"

namespace {

std::string AbsoluteFolderFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return "";
    return value;
}

// Closes the descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Empty when `fd` is an open regular file, else why it cannot be read as one.
std::string WhyNotReadable(const FileDescriptor& fd) {
    if (fd.Get() < 0) return std::strerror(errno);
    struct stat info;
    if (fstat(fd.Get(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a directory";
    if (!S_ISREG(info.st_mode)) return "it is not a regular file";
    return "";
}

// O_NONBLOCK so that a FIFO planted at the path cannot hang the open.
FileDescriptor OpenForReading(const std::string& path) {
    return FileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

bool ReadAll(int fd, std::vector<unsigned char>* bytes) {
    unsigned char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got == 0) return true;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
}

}  // namespace

std::string DefaultDataPath() {
    std::string dataHome = AbsoluteFolderFromEnvironment("XDG_DATA_HOME");
    if (dataHome.empty()) {
        std::string home = AbsoluteFolderFromEnvironment("HOME");
        if (home.empty()) {
            throw CliError(kExitUsage, "HOME is not set; name the data file with --data FILE");
        }
        dataHome = home + "/.local/share";
    }
    return dataHome + "/wardlet/rights.dat";
}

bool DataFileExists(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return false;
    std::string reason = WhyNotReadable(OpenForReading(path));
    if (!reason.empty()) {
        throw CliError(kExitDataFile, "cannot read the data file " + path + ": " + reason);
    }
    return true;
}

std::vector<unsigned char> ReadWholeRegularFile(const std::string& path, const std::string& what) {
    FileDescriptor fd = OpenForReading(path);
    std::string reason = WhyNotReadable(fd);
    std::vector<unsigned char> bytes;
    if (reason.empty() && !ReadAll(fd.Get(), &bytes)) reason = std::strerror(errno);
    if (!reason.empty())
        throw CliError(kExitUsage, "cannot read " + what + " " + path + ": " + reason);
    return bytes;
}

void CreateParentFolders(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) {
        throw CliError(kExitNo,
                       "cannot create the folder " + parent.string() + ": " + error.message());
    }
}

FileVersion CurrentVersion(const std::string& path) {
    FileVersion version;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return version;
    version.exists = true;
    version.device = info.st_dev;
    version.inode = info.st_ino;
    version.modified = info.st_mtim;
    FileDescriptor fd = OpenForReading(path);
    if (WhyNotReadable(fd).empty()) ReadAll(fd.Get(), &version.bytes);
    return version;
}

bool IsSameVersion(const FileVersion& before, const FileVersion& after) {
    return before.exists == after.exists && before.device == after.device &&
           before.inode == after.inode && before.modified.tv_sec == after.modified.tv_sec &&
           before.modified.tv_nsec == after.modified.tv_nsec && before.bytes == after.bytes;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat one, other;
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

void WritePrivateFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0077) != 0 &&
        chmod(path.c_str(), 0600) != 0) {
        throw CliError(kExitNo, "cannot make " + path + " private: " + std::strerror(errno));
    }
    std::string reason;
    if (!ReplaceFileAtomically(path, bytes.data(), bytes.size(), &reason)) {
        throw CliError(kExitNo, "cannot write " + path + ": " + reason);
    }
}
