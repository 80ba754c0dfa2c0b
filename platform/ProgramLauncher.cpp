#include "platform/ProgramLauncher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Between fork and exec only async-signal-safe calls are allowed: the host may have other threads
// whose locks the child inherits taken.
[[noreturn]] void ExecOrReport(const char* path, char* const argv[], int reportFd) {
    execve(path, argv, environ);
    const int error = errno;
    ssize_t ignored = write(reportFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

int WaitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

}  // namespace

std::string FindProgram(const std::string& fileName) {
    if (fileName.empty()) return "";
    if (fileName.find('/') != std::string::npos) {
        return IsExecutableFile(fileName) ? fileName : "";
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty() || folder.front() != '/') continue;
        const std::string candidate = folder + "/" + fileName;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return "";
}

std::string FindProgramBesideLibrary(const std::string& libraryPath, const std::string& fileName) {
    if (fileName.empty() || fileName.find('/') != std::string::npos) return "";
    const std::filesystem::path library(libraryPath);
    if (!library.is_absolute()) return "";
    auto isLibraryFolder = [](const std::filesystem::path& folder) {
        const std::string name = folder.filename().string();
        return name == "lib" || name == "lib64" || name == "lib32" || name == "libx32";
    };
    std::filesystem::path folder = library.parent_path();
    if (!isLibraryFolder(folder)) folder = folder.parent_path();  // lib/<multiarch>/
    if (!isLibraryFolder(folder)) return "";
    const std::string candidate = (folder.parent_path() / "bin" / fileName).string();
    return IsExecutableFile(candidate) ? candidate : "";
}

bool StartProgram(const std::string& fileName, const std::vector<std::string>& arguments,
                  int* error) {
    int ignoredError = 0;
    int& failure = error != nullptr ? *error : ignoredError;
    const std::string path = FindProgram(fileName);
    if (path.empty()) {
        failure = ENOENT;
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(fileName.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through the pipe; a successful exec closes it silently.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        failure = errno;
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        failure = errno;
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // The intermediate child exits at once, so the program is adopted by init and reaped there.
        const pid_t grandchild = fork();
        if (grandchild == 0) ExecOrReport(path.c_str(), argv.data(), report[1]);
        if (grandchild < 0) {
            const int forkError = errno;
            ssize_t ignored = write(report[1], &forkError, sizeof forkError);
            (void)ignored;
        }
        _exit(0);
    }
    close(report[1]);
    WaitForChild(child);
    int execError = 0;
    ssize_t got;
    do {
        got = read(report[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        failure = execError;
        return false;
    }
    failure = 0;
    return true;
}
