#include "platform/NamedMutex.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "platform/KernelObjectNames.h"

namespace {

int OpenLockFile(const KernelObjectFolder& folder, const std::string& name) {
    return openat(folder.fd, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

// The state of one name in this process. Processes are excluded by flock on the lock file, which
// the kernel drops when the holder dies; threads by `inProcess`, since flock cannot tell two
// threads of one process apart.
struct NamedMutex::Shared {
    Shared(std::shared_ptr<const KernelObjectFolder> folder, std::string name, int fd)
        : folder(std::move(folder)), name(std::move(name)), fd(fd) {}
    ~Shared() { close(fd); }

    // Takes the flock. Returns false only when another process holds it and `wait` is false. A
    // lock file that cannot be used counts as taken: the in-process exclusion still stands.
    // REQUIRES: `inProcess` held by the calling thread.
    bool LockFile(bool wait) {
        if (inheritedDescription) {
            // A forked child shares its parent's open file description and with it the parent's
            // flock; only a description of its own makes it a separate contender.
            const int own = OpenLockFile(*folder, name);
            if (own >= 0) {
                close(fd);
                fd = own;
                inheritedDescription = false;
            }
        }
        while (flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) return false;
            if (errno != EINTR) break;
        }
        return true;
    }

    // A forked child starts with one thread and holds nothing, whatever the parent's threads held
    // at the fork: their in-process locks would otherwise stay taken forever.
    // REQUIRES: the only thread of a freshly forked child.
    void ForgetParentHolders() {
        new (&inProcess) std::mutex;
        owner.store(std::thread::id(), std::memory_order_relaxed);
        depth = 0;
        inheritedDescription = true;
    }

    const std::shared_ptr<const KernelObjectFolder> folder;
    const std::string name;  // of the lock file in `folder`
    std::mutex inProcess;
    std::atomic<std::thread::id> owner{};  // read without `inProcess` only to recognise oneself
    int depth = 0;                         // guarded by `inProcess`
    int fd;                                // guarded by `inProcess`
    // Set in a forked child until it has opened `fd` anew; guarded by `inProcess`. Told by the
    // fork handler rather than by comparing process ids, which would cost a system call per lock.
    bool inheritedDescription = false;
};

namespace {

// Every live name of this process, so that handles of one name share one state. Destroyed with
// the library, so that a host that unloads it keeps nothing of it; only Open and the fork handler
// use the registry, never a handle that ends.
std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::weak_ptr<NamedMutex::Shared>>& Registry() {
    static std::map<std::string, std::weak_ptr<NamedMutex::Shared>> registry;
    return registry;
}

void RegisterForkHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        pthread_atfork([] { RegistryMutex().lock(); }, [] { RegistryMutex().unlock(); },
                       [] {
                           for (auto& [path, weak] : Registry()) {
                               if (auto shared = weak.lock()) shared->ForgetParentHolders();
                           }
                           RegistryMutex().unlock();
                       });
    });
}

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::Open(const std::string& name) {
    std::shared_ptr<const KernelObjectFolder> folder = OpenKernelObjectFolder();
    if (!folder) return nullptr;
    std::string fileName = KernelObjectFileName(name, ".lock");
    const std::string path = folder->path + "/" + fileName;
    RegisterForkHandlers();

    std::lock_guard<std::mutex> guard(RegistryMutex());
    auto& registry = Registry();
    for (auto it = registry.begin(); it != registry.end();) {
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    }
    if (auto found = registry.find(path); found != registry.end()) {
        // May have expired since the sweep: its last handle is destroyed without the registry.
        if (auto shared = found->second.lock()) {
            return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(shared)));
        }
    }
    const int fd = OpenLockFile(*folder, fileName);
    if (fd < 0) return nullptr;
    auto shared = std::make_shared<Shared>(std::move(folder), std::move(fileName), fd);
    registry[path] = shared;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(shared)));
}

NamedMutex::NamedMutex(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

NamedMutex::~NamedMutex() = default;

void NamedMutex::Lock() {
    Shared& s = *shared_;
    if (s.owner.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
        ++s.depth;
        return;
    }
    s.inProcess.lock();
    s.LockFile(true);
    s.depth = 1;
    s.owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

bool NamedMutex::TryLock() {
    Shared& s = *shared_;
    if (s.owner.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
        ++s.depth;
        return true;
    }
    if (!s.inProcess.try_lock()) return false;
    if (!s.LockFile(false)) {
        s.inProcess.unlock();
        return false;
    }
    s.depth = 1;
    s.owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return true;
}

void NamedMutex::Unlock() {
    Shared& s = *shared_;
    if (s.owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
    if (--s.depth > 0) return;
    s.owner.store(std::thread::id(), std::memory_order_relaxed);
    flock(s.fd, LOCK_UN);
    s.inProcess.unlock();
}
