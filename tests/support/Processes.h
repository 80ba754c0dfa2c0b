// Forked child processes for tests, and one-byte messages between them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>

// One-byte messages that order events between processes without sleeping. Each side closes the
// write end it does not use, so that a reader sees end-of-file, not a hang, once the writer is
// gone.
struct Pipe {
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    void Send(char c);
    void CloseWriter();
    char Receive();  // 0 at end-of-file

    int fds[2];
};

// Runs `body` in a child process that exits with its result.
pid_t Spawn(const std::function<int()>& body);

// Runs `body` in a child process that may add no more than `bytes` to the memory it starts with:
// by RLIMIT_AS, so that a huge allocation fails at once, and, where a sanitizer's reserved address
// space rules that out, by the growth of its peak resident size, measured afterwards. The child
// exits with `body`'s result, or with kOverMemoryLimit when it used more.
constexpr int kOverMemoryLimit = 99;
pid_t SpawnUnderMemoryLimit(uint64_t bytes, const std::function<int()>& body);

// Waits for `pid`: its exit status, 128 + the signal that ended it, or -1 if it cannot be waited
// for.
int ExitCode(pid_t pid);
