#include "platform/KernelObjectNames.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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

std::string KernelObjectDirectory() {
    struct stat st;
    std::string directory;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        directory = std::string(runtime) + "/wardlet";
    } else {
        directory = "/tmp/wardlet-" + std::to_string(geteuid());
    }
    if (mkdir(directory.c_str(), 0700) == 0) {
        // A restrictive umask may have dropped owner bits we need.
        chmod(directory.c_str(), 0700);
    } else if (errno != EEXIST) {
        return "";
    }
    // In /tmp anyone may have made this name first; only a directory that is ours alone will do.
    if (lstat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0) {
        return "";
    }
    return directory;
}

std::string KernelObjectPath(const std::string& name, const char* suffix) {
    std::string path = KernelObjectDirectory();
    if (path.empty()) return "";
    path += '/';
    for (const char c : name) {
        if (c == '%') {
            path += "%25";
        } else if (c == '/') {
            path += "%2F";
        } else {
            path += c;
        }
    }
    return path + suffix;
}
