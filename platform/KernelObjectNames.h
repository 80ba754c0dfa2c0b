#pragma once

#include <memory>
#include <string>

// Named kernel objects (mutexes, semaphores) are files in a directory private to the OS user, so
// that every process of that user reaches the same object under the same name. These functions
// derive the names and find, or make, that directory.

// Returns the text after the last '/' of `executablePath` and, of that, the text before the first
// '.'; a name without '.' is taken whole ("/usr/bin/monitor" -> "monitor", "/opt/a.b.exe" -> "a",
// "/x/.hidden" -> "").
std::string KernelObjectBaseName(const std::string& executablePath);

// Returns KernelObjectBaseName of this process's executable, or "" when /proc/self/exe cannot be
// read.
std::string ExecutableBaseName();

// This OS user's folder of named objects, opened once: every object file is made and reopened
// from its descriptor (forked children included), so nothing swapped in its path after the check
// can redirect them.
struct KernelObjectFolder {
    KernelObjectFolder(int fd, std::string path) : fd(fd), path(std::move(path)) {}
    ~KernelObjectFolder();
    KernelObjectFolder(const KernelObjectFolder&) = delete;
    KernelObjectFolder& operator=(const KernelObjectFolder&) = delete;

    const int fd;
    const std::string path;  // for messages, and for programs that reach it by name
};

// Returns this OS user's folder of named objects, or null when none can be made or trusted:
// - "wardlet" in $XDG_RUNTIME_DIR, when that is an absolute path of a folder that belongs to the
//   effective user or to root and that no one else may write to;
// - otherwise ".cache/wardlet" in the effective user's home ($HOME when it is such a folder of the
//   user's own, else the home of the password database), a place no other user can take first.
// The folder is created with mode 0700 if missing. It is refused when what is there is not a real
// folder (a link is refused) owned by the effective uid with mode 0700: another user must never
// be able to plant or read our objects. The environment is read on every call; the folder is
// opened and checked once per place and kept open for the life of the process.
std::shared_ptr<const KernelObjectFolder> OpenKernelObjectFolder();

// The path of OpenKernelObjectFolder(), or "" when there is none.
std::string KernelObjectDirectory();

// Returns the name, in the folder of named objects, of the file that backs object `name`,
// `suffix` appended (".lock", ".count"). '%' and '/' in `name` are escaped so that every name maps
// to exactly one file of the folder.
std::string KernelObjectFileName(const std::string& name, const char* suffix);

// The folder's path joined with KernelObjectFileName; "" when there is no folder.
std::string KernelObjectPath(const std::string& name, const char* suffix);
