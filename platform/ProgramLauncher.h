// Starting another program without waiting for it, and without a shell: the arguments reach it
// exactly as given, whatever characters they hold.
#pragma once

#include <string>
#include <vector>

// The path of the executable file `fileName` found through PATH (a name holding '/' is taken as
// it is), or "" when there is none. Only absolute folders of PATH are searched: an empty or
// relative element would name a folder relative to the working folder, which whoever can write
// there could fill with a program of the same name.
std::string FindProgram(const std::string& fileName);

// The executable `fileName` in the bin/ folder of the installation that holds `libraryPath`: the
// folder next to the library's lib/ (or lib64/, lib32/, libx32/, or a multiarch folder inside
// one of those). "" when the library lies in no such folder or no such program is there.
std::string FindProgramBesideLibrary(const std::string& libraryPath, const std::string& fileName);

// Starts `fileName` (found as FindProgram finds it) with `arguments` as its argv[1..] and returns
// once it runs or has failed to start: true if it runs. The program is nobody's child afterwards,
// so it never lingers as a zombie of the host and outlives the host if it must. On failure,
// `*error` (if given) receives the errno of the failed step.
bool StartProgram(const std::string& fileName, const std::vector<std::string>& arguments,
                  int* error = nullptr);
