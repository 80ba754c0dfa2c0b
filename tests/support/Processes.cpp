#include "support/Processes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

pid_t SpawnUnderMemoryLimit(uint64_t bytes, const std::function<int()>& body) {
    return Spawn([&] {
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit limit{bytes, bytes};
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
