#include "sync/Outbox.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/AtomicFile.h"

namespace {

constexpr const char kEntrySuffix[] = ".wts";
constexpr const char kForcedSuffix[] = "-push.wts";

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Creates the folder and its parents (mode 0700) where they are missing.
bool MakeFolders(const std::string& path, std::string* error) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

bool WriteOutboxEntry(const std::string& outboxDir, const void* bytes, size_t size, bool forced,
                      std::string* error) {
    if (!MakeFolders(outboxDir, error)) return false;
    // Nanoseconds first, so that names sort in the order of the saves; the process and a count
    // keep two saves of the same instant apart.
    static std::atomic<unsigned> sequence{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char name[96];
    std::snprintf(name, sizeof(name), "%010lld%09ld-%d-%u%s", static_cast<long long>(now.tv_sec),
                  now.tv_nsec, static_cast<int>(getpid()), sequence++,
                  forced ? kForcedSuffix : kEntrySuffix);
    return ReplaceFileAtomically(outboxDir + "/" + name, bytes, size, error);
}

std::vector<OutboxEntry> ListOutbox(const std::string& outboxDir) {
    std::vector<OutboxEntry> entries;
    DIR* directory = opendir(outboxDir.c_str());
    if (directory == nullptr) return entries;
    while (const dirent* item = readdir(directory)) {
        const std::string name = item->d_name;
        if (name.empty() || name[0] == '.' || !EndsWith(name, kEntrySuffix)) continue;
        entries.push_back({outboxDir + "/" + name, EndsWith(name, kForcedSuffix)});
    }
    closedir(directory);
    std::sort(entries.begin(), entries.end(),
              [](const OutboxEntry& a, const OutboxEntry& b) { return a.path < b.path; });
    return entries;
}
