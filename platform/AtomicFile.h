#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Whole-file reads and crash-safe whole-file replacement, for the stores that hold rights and
// passwords. Every step after the path is resolved works from the descriptor of the folder that
// holds the file, so nothing swapped in the folder's path after the check can redirect it.

// The largest file ReadWholeFile takes by default: a store is far smaller, and a sparse or
// planted file must never drive the memory of the process that reads it.
constexpr uint64_t kMaxWholeFileBytes = 64ull << 20;

// The folder that holds a file, opened once, and the file's name in it.
class FileLocation {
public:
    FileLocation() = default;
    FileLocation(int folderFd, std::string name, std::string path);
    ~FileLocation();
    FileLocation(FileLocation&& other) noexcept;
    FileLocation& operator=(FileLocation&& other) noexcept;
    FileLocation(const FileLocation&) = delete;
    FileLocation& operator=(const FileLocation&) = delete;

    int FolderFd() const { return m_folderFd; }
    const std::string& Name() const { return m_name; }
    // The resolved path, for messages only.
    const std::string& Path() const { return m_path; }

private:
    int m_folderFd = -1;
    std::string m_name;
    std::string m_path;
};

// Resolves `path` to the file it names, which need not exist yet. A symbolic link in the last
// component is followed (up to 40 hops) only when the link belongs to the effective user or to
// root: a link that another user planted in a shared folder must never choose which file a save
// replaces or a load reads. Returns false with a reason in `error` when the folder cannot be
// opened or a link is refused.
bool LocateFile(const std::string& path, FileLocation* location, std::string* error);

// How the replacement's bytes are staged before they take the file's name.
enum class Staging {
    // An unnamed file (O_TMPFILE) that gets a name only just before the rename, so a crash
    // leaves no copy behind; where the filesystem has no unnamed files, a named one.
    kUnnamedWherePossible,
    // As kUnnamedWherePossible, but the unnamed file always takes the one name ".<name>.saving",
    // removing what a killed save left there first, so kills leave at most one copy behind.
    // REQUIRES: the caller holds the lock that every save of this file takes.
    kUnnamedUnderLock,
    // Always a named temporary ".<name>.XXXXXX" beside the file.
    kNamed,
};

// Replaces the file at `location` with `bytes` (`size` bytes; `bytes` may be null when `size` is
// 0) so that a reader sees the old file or the new one, never a torn or empty file: stages the
// bytes in the same folder, fsyncs them, renames them over the name, fsyncs the folder. A new file
// is created with mode 0600 (it holds passwords); an existing file keeps its permission bits (and,
// where the caller may set it, its owner). Returns true on success. Returns false, the old file
// untouched and the staging file removed, on any failure; `error` (if non-null) then receives a
// short reason with strerror. Only if the final folder sync fails is the new content already in
// place when false is returned.
bool ReplaceFileAtomically(const FileLocation& location, const void* bytes, size_t size,
                           std::string* error, Staging staging = Staging::kUnnamedWherePossible);

// LocateFile, then ReplaceFileAtomically.
bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error);

// Removes the named staging files ".<name>.XXXXXX" that a save killed between naming and renaming
// them left beside the file; only regular files of the effective user are touched. Returns how
// many were removed.
// REQUIRES: the caller holds the lock that every save of this file takes, so no live save's
// staging file can be among them.
int RemoveStaleStagingFiles(const FileLocation& location);

// Bytes read from a file. Growing the buffer does not zero it first: the read fills every byte,
// and on the path of every permission check the zeroing would cost as much as the read. The buffer
// starts on a page boundary: some processors copy file pages many times more slowly into a buffer
// that starts 16 bytes into a page, which is where large allocations otherwise start (measured on
// this project's build machine: 5.1 ms instead of 0.47 ms for 7.6 MB).
template <typename T>
struct FileBufferAllocator {
    using value_type = T;
    static constexpr std::align_val_t kAlignment{4096};

    FileBufferAllocator() = default;
    template <typename U>
    FileBufferAllocator(const FileBufferAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        return static_cast<T*>(::operator new(count * sizeof(T), kAlignment));
    }
    void deallocate(T* place, size_t) noexcept { ::operator delete(place, kAlignment); }

    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const FileBufferAllocator<U>&) const noexcept {
        return true;
    }
};
using FileBytes = std::vector<unsigned char, FileBufferAllocator<unsigned char>>;

// Opens the file at `path` for reading, following a link in the last component only as
// LocateFile allows, without waiting on a FIFO planted there. -1 with errno set on failure.
int OpenFileForReading(const std::string& path);

// Reads the whole of the open file `fd` into `*bytes`, as ReadWholeFile does, leaving the
// descriptor open; `*status` (if non-null) receives its status from before the read.
bool ReadOpenFile(int fd, FileBytes* bytes, uint64_t maxSize = kMaxWholeFileBytes,
                  struct stat* status = nullptr);

// Reads the whole regular file at `path` (resolved as LocateFile does) into `*bytes`. Returns false
// if it cannot be opened or read, is not a regular file (a FIFO planted there must not hang the
// caller), or is larger than `maxSize`, which is refused before a byte is read.
bool ReadWholeFile(const std::string& path, FileBytes* bytes,
                   uint64_t maxSize = kMaxWholeFileBytes);
