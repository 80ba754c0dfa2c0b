// Islegal and GetPassed (with its audit record) against stores of growing size, beside the floor of
// a design that reads the whole data file on every call: open, read and close of the same file.
// Steady questions are asked of a file that has settled and not changed since, so the index
// answers them; the first question after a change reads the file again.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audit/AuditTrail.h"
#include "bench/BenchStore.h"
#include "module/AuditHook.h"
#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "platform/AtomicFile.h"
#include "store/RightCheckIndex.h"
#include "store/RightCheckScan.h"
#include "wardlet/wardlet.h"

namespace {

constexpr int kGroups = 20;
constexpr uint32_t kQueriedCode = 0x01010302;  // measuring-point settings, under "operate"

const uint32_t kGrantable[] = {0x01010100, 0x01010200, 0x01010300, 0x01020200, 0x01030100,
                               0x01030200, 0x01040100, 0x01040200, 0x01040400, 0x01050100};

// Writes a store of `users` users, each in two of twenty groups, each group holding three rights,
// once per run, and waits until the file has settled: until then every question reads it.
std::string PrepareStore(int users) {
    std::string dir = std::filesystem::temp_directory_path() / "wardlet-bench";
    std::filesystem::create_directories(dir);
    std::string path = dir + "/users-" + std::to_string(users) + ".dat";
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    SetDataSource(path.c_str());
    static std::set<int> prepared;
    if (!prepared.insert(users).second) return path;
    CSaveProp store;
    CDataManager& data = store.m_dataManager;
    for (int g = 0; g < kGroups; ++g) {
        AddBenchGroup(data, g);
        for (int r = 0; r < 3; ++r) AddBenchGrant(data, g, kGrantable[(g + r * 3) % 10]);
    }
    for (int u = 0; u < users; ++u) {
        AddBenchUser(data, u);
        for (int k = 0; k < 2; ++k) AddBenchMember(data, (u + k * 7) % kGroups, u);
    }
    store.SaveToFile();
    std::this_thread::sleep_for(std::chrono::nanoseconds(kSettledAfterNs + 100'000'000));
    return path;
}

// A copy of the store of `users` users to change, so that the settled file of the steady
// questions stays settled.
std::string ChangingCopy(int users) {
    const std::string settled = PrepareStore(users);
    const std::string path = settled + ".changing";
    std::filesystem::copy_file(settled, path, std::filesystem::copy_options::overwrite_existing);
    return path;
}

void CountMemory(benchmark::State& state, const std::string& path) {
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
    state.counters["index_bytes"] = static_cast<double>(GetRightCheckIndexStats().bytesHeld);
}

void BM_Islegal(benchmark::State& state) {
    int users = static_cast<int>(state.range(0));
    const std::string path = PrepareStore(users);
    // The last user, whose groups grant "operate": every lookup walks the whole list.
    std::string name = "operator-" + std::to_string(users - 1);
    if (Islegal(name.c_str(), "secret", kQueriedCode) != 1) {
        state.SkipWithError("the benchmark store does not grant the queried right");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Islegal(name.c_str(), "secret", kQueriedCode));
    }
    CountMemory(state, path);
}

// The first question after the file changed: it is read and scanned again. The change here is a
// new modification time, which changes the file's identity as any writer would.
void BM_IslegalAfterChange(benchmark::State& state) {
    int users = static_cast<int>(state.range(0));
    const std::string path = ChangingCopy(users);
    SetDataSource(path.c_str());
    std::string name = "operator-" + std::to_string(users - 1);
    const uint64_t readsBefore = GetRightCheckIndexStats().fileReads;
    // Timed by hand: pausing the benchmark's own timer costs more than a small question.
    for (auto _ : state) {
        utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(Islegal(name.c_str(), "secret", kQueriedCode));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (GetRightCheckIndexStats().fileReads - readsBefore !=
        static_cast<uint64_t>(state.iterations())) {
        state.SkipWithError("a question after a change was not read afresh");
    }
}

// GetPassed for a logged-in operator who holds the right: what the host asks before every
// sensitive operation. It also restarts the automatic-logout timer with the stored minutes.
void BM_GetPassedLoggedIn(benchmark::State& state) {
    int users = static_cast<int>(state.range(0));
    PrepareStore(users);
    if (!TakeLoginSlot()) {
        state.SkipWithError("the login slot is taken");
        return;
    }
    theApp.m_strCurUser = ("operator-" + std::to_string(users - 1)).c_str();
    theApp.m_strCurPassword = "secret";
    char buffer[256] = "";
    if (GetPassed(kQueriedCode, buffer) != 0) state.SkipWithError("the operator was refused");
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetPassed(kQueriedCode, buffer));
    }
    StopLogoutTimer();
    theApp.m_strCurUser.Empty();
    theApp.m_strCurPassword.Empty();
    ReleaseLoginSlot();
}

// Open, read and close of the whole file: what a design that reads the file at every question
// pays at least. The buffer is the library's own, which the kernel fills at its best speed.
void ReadWhole(const std::string& path, FileBytes* buffer) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    fstat(fd, &status);
    buffer->resize(static_cast<size_t>(status.st_size));
    benchmark::DoNotOptimize(read(fd, buffer->data(), buffer->size()));
    close(fd);
}

void BM_RawReadFloor(benchmark::State& state) {
    std::string path = PrepareStore(static_cast<int>(state.range(0)));
    FileBytes buffer;
    for (auto _ : state) ReadWhole(path, &buffer);
    state.counters["file_bytes"] = static_cast<double>(buffer.size());
}

// The same floor for a file changed just before, as BM_IslegalAfterChange changes it: the change
// leaves the file's inode to be written back, which the next read of it pays for too.
void BM_RawReadFloorAfterChange(benchmark::State& state) {
    const std::string path = ChangingCopy(static_cast<int>(state.range(0)));
    FileBytes buffer;
    for (auto _ : state) {
        utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
        const auto start = std::chrono::steady_clock::now();
        ReadWhole(path, &buffer);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

// The scan alone, over bytes already in memory: what the first question after a change adds to
// the read.
void BM_ScanOnly(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    FileBytes bytes;
    if (!ReadWholeFile(PrepareStore(users), &bytes)) {
        state.SkipWithError("the benchmark store cannot be read");
        return;
    }
    const CString name = ("operator-" + std::to_string(users - 1)).c_str();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanForRightCheck(bytes.data(), bytes.size(), name));
    }
}

// One audit record of a GetPassed decision, as the library appends it on that path: the trail's
// tail read, the line encoded and hashed, appended under the data-file lock, the head rewritten.
void BM_AuditRecord(benchmark::State& state) {
    PrepareStore(1000);
    const std::string trail = AuditTrailPath(g_strDataSource.Bytes());
    std::filesystem::remove(trail);
    std::filesystem::remove(AuditHeadPath(trail));
    const AuditEntry entry{.event = "get-passed",
                           .user = "operator-999",
                           .outcome = "granted",
                           .code = kQueriedCode,
                           .via = "logged-in"};
    for (auto _ : state) WriteAudit(entry);
    state.counters["trail_bytes"] = static_cast<double>(std::filesystem::file_size(trail));
}

}  // namespace

BENCHMARK(BM_AuditRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Islegal)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IslegalAfterChange)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPassedLoggedIn)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawReadFloor)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawReadFloorAfterChange)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanOnly)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
