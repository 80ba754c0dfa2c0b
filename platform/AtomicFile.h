#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Whole-file reads and crash-safe whole-file replacement, for the stores that hold rights and
// passwords.

// Replaces the file at `path` with `bytes` (`size` bytes; `bytes` may be null when `size` is 0)
// so that a reader sees the old file or the new one, never a torn or empty file: writes a
// temporary file in the same directory, fsyncs it, renames it over `path`, fsyncs the directory.
// A new file is created with mode 0600 (it holds passwords); an existing file keeps its permission
// bits (and, where the caller may set it, its owner). If `path` is a symlink, the link's final
// target is replaced and the link kept. Returns true on success. Returns false, the old file
// untouched and the temporary removed, on any failure; `error` (if non-null) then receives a short
// reason with strerror. Only if the final directory sync fails is the new content already in place
// when false is returned.
bool ReplaceFileAtomically(const std::string& path, const void* bytes, size_t size,
                           std::string* error);

// Bytes read from a file. Growing the buffer does not zero it first: the read fills every byte,
// and on the path of every permission check the zeroing would cost as much as the read.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};
using FileBytes = std::vector<unsigned char, UninitializedAllocator<unsigned char>>;

// Reads the whole regular file at `path` into `*bytes`. Returns false if it cannot be opened or
// read, or is not a regular file (a FIFO planted there must not hang the caller).
bool ReadWholeFile(const std::string& path, FileBytes* bytes);
