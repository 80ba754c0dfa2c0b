#include "support/Processes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

Pipe::Pipe() { EXPECT_EQ(pipe(fds), 0); }

Pipe::~Pipe() {
    close(fds[0]);
    CloseWriter();
}

void Pipe::Send(char c) { EXPECT_EQ(write(fds[1], &c, 1), 1); }

void Pipe::CloseWriter() {
    if (fds[1] >= 0) close(fds[1]);
    fds[1] = -1;
}

char Pipe::Receive() {
    char c = 0;
    return read(fds[0], &c, 1) == 1 ? c : 0;
}

pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

namespace {

uint64_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace

// The address space the process holds now (the size /proc/self/statm counts first), or 0.
uint64_t AddressSpaceBytes() {
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

pid_t SpawnUnderMemoryLimit(uint64_t bytes, const std::function<int()>& body) {
    return Spawn([&] {
#if !defined(__SANITIZE_ADDRESS__)
        // What the process holds already, and `bytes` more.
        const uint64_t held = AddressSpaceBytes();
        if (held == 0) return kOverMemoryLimit;
        const rlimit limit{held + bytes, held + bytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0) return kOverMemoryLimit;
#endif
        // A forked child starts with its parent's peak; only what the body adds counts.
        const uint64_t before = PeakResidentBytes();
        const int result = body();
        return PeakResidentBytes() - before > bytes ? kOverMemoryLimit : result;
    });
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
