#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/KernelObjectNames.h"

// A counting semaphore with a maximum count, shared under one name by every process of this OS
// user, as hosts' kernel semaphores behave. The count is shared state, owned by nobody: one process
// may take a unit and another give it back.
//
// The object lives while some process has it open. Once the last process that had it open has
// ended, by exit or crash alike, the next Open creates it afresh with its initial count, so a
// crashed process never keeps a unit taken for good.
//
// A child created by fork() may use the handles of its parent, provided no other thread of the
// parent was inside a call on them at the fork; it then has the object open in its own right.
// Thread-safe.
class NamedSemaphore {
public:
    // Opens the semaphore `name`, creating it with `initialCount` and `maximumCount` when no
    // process has it open. An existing object keeps its current count and the maximum it was
    // created with. Any name is accepted ('/' included). Returns null when the arguments are
    // invalid (REQUIRES 0 <= initialCount <= maximumCount, maximumCount >= 1) or the object files
    // cannot be made.
    static std::unique_ptr<NamedSemaphore> Open(const std::string& name, int initialCount,
                                                int maximumCount);

    // Closes this process's handle; the object ends with the last handle of the last process.
    ~NamedSemaphore();

    NamedSemaphore(const NamedSemaphore&) = delete;
    NamedSemaphore& operator=(const NamedSemaphore&) = delete;

    // Count > 0: decrements it and returns true. Otherwise returns false and nothing changes.
    // Never blocks on another waiter.
    bool TryWait();

    // Adds `count` (> 0) to the count and returns true, storing the count before in
    // `*previousCount` if non-null. Returns false, count unchanged, when `count` <= 0 or the result
    // would exceed the maximum.
    bool Release(int count = 1, int* previousCount = nullptr);

    // Returns the current count, for diagnostics and tests; -1 when it cannot be read.
    int Count() const;

private:
    NamedSemaphore(std::shared_ptr<const KernelObjectFolder> folder, std::string countName,
                   std::string usersName, int countFd, int usersFd, int initialCount,
                   int maximumCount);

    // Runs `change` on the record under the cross-process guard and writes the record back when
    // `change` returns true. Returns false if the record could not be locked or written.
    template <typename Change>
    bool Transact(Change change) const;

    // In a forked child, replaces the inherited descriptors with ones of its own.
    // REQUIRES: `mutex_` held.
    bool AdoptAfterFork() const;

    const std::shared_ptr<const KernelObjectFolder> folder_;
    const std::string countName_;  // of the files in `folder_`
    const std::string usersName_;
    const int initialCount_;  // stands in for a damaged record
    const int maximumCount_;
    mutable std::mutex mutex_;  // flock cannot exclude two threads sharing one descriptor
    mutable int countFd_;       // guarded by `mutex_`
    mutable int usersFd_;       // guarded by `mutex_`
    mutable pid_t pid_;         // process that opened the descriptors; guarded by `mutex_`
};
