// The remote side, against a real mosquitto on loopback and real agents:
// - BM_SaveToPeer/N: ModifyPWD on station A until station B's data file holds the change, on a
//   store of N users. Each sample is timed on its own; the counters give the median and p99.
// - BM_OutboxCost/N: ModifyPWD without and with a sync configuration, in pairs; the counters give
//   what the outbox adds to a save.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "SyncFixture.h"
#include "sync/Outbox.h"
#include "wardlet/wardlet.h"

namespace {

std::string ScratchDir() {
    char scratch[] = "/tmp/wardlet-bench-XXXXXX";
    return mkdtemp(scratch);
}

struct Site {
    explicit Site(int users) : dir(ScratchDir()) {
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        std::string output;
        RunSyncCommand({"keygen", dir + "/site.key"}, &output);
        broker = std::make_unique<Broker>(dir + "/broker");
        const Bytes data = DataFileWithUsers(users);
        for (const char* name : {"a", "b"}) {
            stations.push_back(
                std::make_unique<Station>(dir, name, "bench", broker->Url(), dir + "/site.key"));
            WriteFileBytes(stations.back()->dataFile, data);
            stations.back()->StartAgent();
        }
        for (auto& station : stations) {
            WaitFor([&] { return station->Status().value("phase", "") == "steady"; });
        }
    }
    ~Site() {
        stations.clear();
        broker.reset();
        std::filesystem::remove_all(dir);
    }
    std::string dir;
    std::unique_ptr<Broker> broker;
    std::vector<std::unique_ptr<Station>> stations;
};

// Waits (at most 60 s) until `path` holds `expected`, woken by each rename into its folder.
bool WaitUntilHolds(int inotifyFd, const std::string& path, const Bytes& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadFileBytes(path) != expected) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd fd{inotifyFd, POLLIN, 0};
        if (poll(&fd, 1, 100) > 0) {
            char events[4096];
            while (read(inotifyFd, events, sizeof(events)) > 0) {
            }
        }
    }
    return true;
}

double Percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    const size_t at = std::min(samples.size() - 1,
                               static_cast<size_t>(fraction * static_cast<double>(samples.size())));
    return samples[at];
}

void BM_SaveToPeer(benchmark::State& state) {
    Site site(static_cast<int>(state.range(0)));
    Station& a = *site.stations[0];
    Station& b = *site.stations[1];
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(inotifyFd, b.dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    std::vector<double> samples;
    const char* passwords[] = {"pw", "pw2"};
    int turn = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!a.ChangePassword("u1", passwords[turn % 2], passwords[(turn + 1) % 2])) {
            state.SkipWithError("ModifyPWD failed");
            break;
        }
        ++turn;
        if (!WaitUntilHolds(inotifyFd, b.dataFile, a.DataFile())) {
            state.SkipWithError("the peer did not get the change within 60 s");
            break;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        samples.push_back(seconds * 1000);
        state.SetIterationTime(seconds);
    }
    close(inotifyFd);
    if (!samples.empty()) {
        state.counters["median_ms"] = Percentile(samples, 0.5);
        state.counters["p99_ms"] = Percentile(samples, 0.99);
    }
}
BENCHMARK(BM_SaveToPeer)
    ->Arg(1000)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToPeer)
    ->Arg(100000)
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Saves in pairs, one without and one with a sync configuration, each timed on its own, so that
// the disk's drift over the run weighs on both alike. The counters give each side's median and the
// median of the pairs' differences: what the outbox adds to a save.
void BM_OutboxCost(benchmark::State& state) {
    const std::string dir = ScratchDir();
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    Station station(dir, "a", "bench", "mqtt://127.0.0.1:1", dir + "/site.key");
    WriteFileBytes(station.dataFile, DataFileWithUsers(static_cast<int>(state.range(0))));
    SetDataSource(station.dataFile.c_str());
    const char* passwords[] = {"pw", "pw2"};
    int turn = 0;
    const auto timedSave = [&](bool withOutbox) {
        if (withOutbox) {
            setenv("WARDLET_SYNC_CONFIG", station.configFile.c_str(), 1);
        } else {
            unsetenv("WARDLET_SYNC_CONFIG");
        }
        const auto start = std::chrono::steady_clock::now();
        const bool saved = ModifyPWD("u1", passwords[turn % 2], passwords[(turn + 1) % 2]) == 1;
        const auto end = std::chrono::steady_clock::now();
        ++turn;
        return saved ? std::chrono::duration<double, std::micro>(end - start).count() : -1.0;
    };
    std::vector<double> without, with, added;
    for (auto _ : state) {
        const double plain = timedSave(false);
        const double queued = timedSave(true);
        if (plain < 0 || queued < 0) {
            state.SkipWithError("ModifyPWD failed");
            break;
        }
        state.SetIterationTime((plain + queued) / 1e6);
        without.push_back(plain);
        with.push_back(queued);
        added.push_back(queued - plain);
        for (const OutboxEntry& entry : ListOutbox(station.stateDir + "/outbox")) {
            unlink(entry.path.c_str());
        }
    }
    unsetenv("WARDLET_SYNC_CONFIG");
    std::filesystem::remove_all(dir);
    if (added.empty()) return;
    state.counters["without_us"] = Percentile(without, 0.5);
    state.counters["with_us"] = Percentile(with, 0.5);
    state.counters["added_us"] = Percentile(added, 0.5);
}
BENCHMARK(BM_OutboxCost)
    ->Arg(1000)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
