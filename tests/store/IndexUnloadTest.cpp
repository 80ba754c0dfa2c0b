// A host that loads libwardlet.so, asks questions that the index answers, and unloads it, three
// times: the index must go with the library and leave nothing behind (run under LeakSanitizer in
// the sanitised build; here the heap in use after the second and third unloads must not grow by
// the index's size, and no descriptor of the data file, its lock file, its audit trail or their
// folder may stay open).
#include <dlfcn.h>
#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "store/RightCheckIndex.h"
#include "support/HostChecks.h"
#include "wardlet/wardlet.h"

namespace {

constexpr int kUsers = 20000;
constexpr unsigned char kScrambleKey = 0x6B;

void Put16(std::vector<unsigned char>& out, uint16_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

void PutText(std::vector<unsigned char>& out, const std::string& text) {
    out.push_back(static_cast<unsigned char>(text.size()));
    for (char c : text) out.push_back(static_cast<unsigned char>(c) ^ kScrambleKey);
}

// A data file of kUsers users "u0", "u1", ... with password "p", in no group.
std::vector<unsigned char> ManyUsers() {
    std::vector<unsigned char> out;
    PutText(out, "Admin");
    PutText(out, "4827");
    for (int flag = 0; flag < 3; ++flag) Put32(out, 1);
    Put16(out, kUsers);
    for (int user = 0; user < kUsers; ++user) {
        if (user == 0) {
            Put16(out, 0xFFFF);  // the class, named once
            Put16(out, 1);
            Put16(out, 9);
            for (char c : std::string("CInfoUser")) out.push_back(static_cast<unsigned char>(c));
        } else {
            Put16(out, 0x8001);
        }
        Put32(out, static_cast<uint32_t>(user));
        PutText(out, "u" + std::to_string(user));
        PutText(out, "p");
        PutText(out, "");
        for (int field = 0; field < 3; ++field) Put32(out, 0);
    }
    for (int list = 0; list < 3; ++list) Put16(out, 0);
    Put32(out, 1);
    Put32(out, 3);
    return out;
}

// How many of this process's descriptors name the folder `folder` or the data file and its
// companions ("rights.dat", "rights.dat.lock", "rights.dat.audit", ...) in it.
int DescriptorsOfStore(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && (target == folder || target.rfind(folder + "/rights", 0) == 0)) ++count;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char folder[] = "/tmp/wardlet-unload-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 2;
    // The kernel objects' folder apart, so that its descriptor is not taken for the store's.
    const std::string runtimeFolder = std::string(folder) + "/run";
    std::filesystem::create_directory(runtimeFolder);
    std::filesystem::permissions(runtimeFolder, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
    const std::string dataPath = std::string(folder) + "/rights.dat";
    const std::vector<unsigned char> bytes = ManyUsers();
    std::ofstream(dataPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    // Until the file has settled every question reads it and the index keeps nothing.
    std::this_thread::sleep_for(std::chrono::nanoseconds(kSettledAfterNs + 100'000'000));

    size_t heapAfterUnload[3] = {};
    for (size_t& heap : heapAfterUnload) {
        void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        Check(library != nullptr, "dlopen libwardlet.so");
        if (library == nullptr) return 1;
        Find<decltype(&SetDataSource)>(library, "SetDataSource")(dataPath.c_str());
        auto exists = Find<decltype(&IsUserExist)>(library, "IsUserExist");
        for (int question = 0; question < 10; ++question) {
            const std::string user = "u" + std::to_string(kUsers - 1 - question);
            Check(exists(user.c_str(), "p") == 1, "a stored user is found");
        }
        // A change, which the audit trail records: its files are held open between records.
        Check(Find<decltype(&ModifyPWD)>(library, "ModifyPWD")("u0", "p", "p") == 1,
              "a password is changed");
        Check(dlclose(library) == 0, "dlclose");
        Check(dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD) == nullptr, "the library is unloaded");
        heap = mallinfo2().uordblks;
        Check(DescriptorsOfStore(folder) == 0, "no descriptor of the store stays open");
    }
    Check(heapAfterUnload[2] < heapAfterUnload[1] + bytes.size() / 2,
          "unloading gives the index's memory back");
    std::filesystem::remove_all(folder);
    std::printf("%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
