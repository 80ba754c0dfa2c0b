#include "sync/SecretFile.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/AtomicFile.h"

namespace {

bool Fail(std::string* error, const std::string& path, const std::string& what) {
    *error = path + ": " + what;
    return false;
}

// Reads a secret only after checking who may read it besides us.
bool ReadPrivateFile(const std::string& path, size_t maxBytes, FileBytes* bytes,
                     std::string* error) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return Fail(error, path, std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Fail(error, path, "not a regular file");
    if (st.st_uid != geteuid()) {
        return Fail(error, path,
                    "owned by user " + std::to_string(st.st_uid) + ", not by user " +
                        std::to_string(geteuid()) + " who runs the agent");
    }
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return Fail(error, path,
                    std::string("readable or writable by others (mode ") + mode +
                        "); make it 0600 with chmod 600");
    }
    if (static_cast<size_t>(st.st_size) > maxBytes) return Fail(error, path, "too large");
    if (!ReadWholeFile(path, bytes)) return Fail(error, path, std::strerror(errno));
    return true;
}

}  // namespace

bool GenerateSiteKey(const std::string& path, std::string* error) {
    if (sodium_init() < 0) return Fail(error, path, "the cryptographic library did not start");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Fail(
            error, path,
            errno == EEXIST ? "exists already; a key is never overwritten" : std::strerror(errno));
    }
    SiteKey key;
    randombytes_buf(key.data(), key.size());
    const bool written =
        write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) && fsync(fd) == 0;
    const int saved = errno;
    sodium_memzero(key.data(), key.size());
    close(fd);
    if (!written) {
        unlink(path.c_str());
        return Fail(error, path, std::strerror(saved));
    }
    return true;
}

bool LoadSiteKey(const std::string& path, SiteKey* key, std::string* error) {
    FileBytes bytes;
    if (!ReadPrivateFile(path, 4096, &bytes, error)) return false;
    if (bytes.size() != key->size()) {
        return Fail(error, path,
                    "holds " + std::to_string(bytes.size()) +
                        " bytes; a site key is 32 (make one with wardlet-sync keygen)");
    }
    std::memcpy(key->data(), bytes.data(), key->size());
    sodium_memzero(bytes.data(), bytes.size());
    return true;
}

bool LoadSecretText(const std::string& path, std::string* text, std::string* error) {
    FileBytes bytes;
    if (!ReadPrivateFile(path, 4096, &bytes, error)) return false;
    text->assign(bytes.begin(), bytes.end());
    sodium_memzero(bytes.data(), bytes.size());
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
    return true;
}
