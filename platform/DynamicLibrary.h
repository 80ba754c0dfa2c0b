#pragma once

#include <memory>
#include <string>

// A shared library loaded into this process for as long as the object lives.
class DynamicLibrary {
public:
    // Loads `name` through the dynamic linker's usual search (a name with '/' is taken as a path),
    // binding every symbol now and keeping them out of the global namespace. Returns null when it
    // cannot be loaded (or `name` is null); `error`, if non-null, then receives the linker's
    // reason.
    static std::unique_ptr<DynamicLibrary> Load(const char* name, std::string* error = nullptr);

    // Unloads the library (the linker keeps it while other handles to it remain). Pointers
    // obtained from Entry must not be used afterwards.
    ~DynamicLibrary();

    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Returns the address of `symbol` in this library or its dependencies, null when absent.
    void* Entry(const char* symbol) const;

private:
    explicit DynamicLibrary(void* handle);

    void* const handle_;
};

// The canonical path of the file (shared library or program) this process loaded the code at
// `address` from, links resolved; "" when no loaded file holds that address.
std::string LoadedFileOf(const void* address);
