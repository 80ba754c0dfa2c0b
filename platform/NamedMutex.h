#pragma once

#include <memory>
#include <string>

// A mutex shared under one name by every process of this OS user, as hosts' kernel mutexes
// behave: it serialises the threads of one process and separate processes alike, it is recursive
// for the thread that holds it, and a holder that ends, even by SIGKILL, releases it.
//
// Handles opened under the same name in one process share one state, so a thread that holds the
// mutex through one handle may lock it again through another. A child created by fork() may use
// the handles of its parent; it holds nothing at first, whatever its parent held. Thread-safe.
class NamedMutex {
public:
    // Opens the mutex `name` shared by every process of this OS user, creating it if needed. Any
    // name is accepted ('/' included). Returns null when the object directory or its file cannot
    // be made.
    static std::unique_ptr<NamedMutex> Open(const std::string& name);

    // REQUIRES: no thread holds the mutex through this handle, unless another handle of the same
    // name in this process stays open.
    ~NamedMutex();

    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Blocks without spinning until the calling thread holds the mutex. Recursive: every Lock (or
    // successful TryLock) needs its own Unlock. Should the lock file become unusable (reopening it
    // in a forked child failed), only the threads of this process are excluded.
    void Lock();

    // Takes the mutex if no other thread or process holds it; returns whether it did. Never
    // blocks on another holder.
    bool TryLock();

    // Undoes one Lock or successful TryLock; the last one releases the mutex.
    // REQUIRES: held by the calling thread (otherwise nothing happens).
    void Unlock();

    // This process's state of one name, shared by its handles; opaque outside NamedMutex.cpp.
    struct Shared;

private:
    explicit NamedMutex(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};
