#pragma once

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

// Returns the directory that holds this OS user's named objects: $XDG_RUNTIME_DIR/wardlet when
// XDG_RUNTIME_DIR is an absolute path of an existing directory, /tmp/wardlet-<euid> otherwise. The
// directory is created with mode 0700 if missing. Returns "" when it cannot be created, or when
// what exists there is not a real directory (a symlink is refused) owned by the effective uid with
// no group or other permission bits: another user must never be able to plant or read our objects.
// The environment is read on every call.
std::string KernelObjectDirectory();

// Returns the path of the file that backs object `name`, `suffix` appended (".lock", ".count"), in
// KernelObjectDirectory(); "" when that directory is unavailable. '%' and '/' in `name` are escaped
// so that every name maps to exactly one file of the directory.
std::string KernelObjectPath(const std::string& name, const char* suffix);
