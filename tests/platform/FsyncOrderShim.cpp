// Preloaded into a saving process: records every fsync and rename, in order, as lines appended to
// the file named by FSYNC_ORDER_LOG, then does the real call.
//   fsync file <inode>      fsync of a regular file
//   fsync folder <inode>    fsync of a folder
//   rename <new name>       any rename, by the last component of its new name
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void Record(const std::string& line) {
    const char* log = std::getenv("FSYNC_ORDER_LOG");
    if (log == nullptr) return;
    const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::string text = line + "\n";
    [[maybe_unused]] ssize_t ignored = write(fd, text.data(), text.size());
    close(fd);
}

void RecordRename(const char* newPath) {
    const char* slash = strrchr(newPath, '/');
    Record(std::string("rename ") + (slash != nullptr ? slash + 1 : newPath));
}

}  // namespace

extern "C" {

int fsync(int fd) {
    struct stat st;
    if (fstat(fd, &st) == 0) {
        Record(std::string(S_ISDIR(st.st_mode) ? "fsync folder " : "fsync file ") +
               std::to_string(st.st_ino));
    }
    return Real<int (*)(int)>("fsync")(fd);
}

int rename(const char* oldPath, const char* newPath) {
    RecordRename(newPath);
    return Real<int (*)(const char*, const char*)>("rename")(oldPath, newPath);
}

int renameat(int oldFolder, const char* oldPath, int newFolder, const char* newPath) {
    RecordRename(newPath);
    return Real<int (*)(int, const char*, int, const char*)>("renameat")(oldFolder, oldPath,
                                                                         newFolder, newPath);
}

int renameat2(int oldFolder, const char* oldPath, int newFolder, const char* newPath,
              unsigned flags) {
    RecordRename(newPath);
    return Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
        oldFolder, oldPath, newFolder, newPath, flags);
}

}  // extern "C"
