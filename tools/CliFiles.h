// The files the command-line host touches besides going through the library: locating and
// checking the data file, reading a received transfer, noticing that a file was rewritten.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

// ${XDG_DATA_HOME:-$HOME/.local/share}/wardlet/rights.dat; a usage CliError when neither variable
// gives an absolute folder.
std::string DefaultDataPath();

// True for a readable regular file, false when nothing is there; a data-file CliError when
// something is there that cannot be read as a file.
bool DataFileExists(const std::string& path);

// The whole regular file at `path`; a usage CliError naming `what` when it cannot be read.
std::vector<unsigned char> ReadWholeRegularFile(const std::string& path, const std::string& what);

// Creates the folders above `path` that are missing; a CliError when that fails.
void CreateParentFolders(const std::string& path);

// What identifies one version of a file: the library replaces the data file by renaming a new
// file over it, so a save shows as a new inode even when the bytes are the same.
struct FileVersion {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    std::vector<unsigned char> bytes;
};

FileVersion CurrentVersion(const std::string& path);
bool IsSameVersion(const FileVersion& before, const FileVersion& after);

// True when both paths name one existing file.
bool IsSameFile(const std::string& first, const std::string& second);

// Replaces the file at `path` with `bytes` whole, mode 0600 (an existing file is made 0600 first);
// a CliError when that fails, the old file then untouched.
void WritePrivateFile(const std::string& path, const std::vector<unsigned char>& bytes);
