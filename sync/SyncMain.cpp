// wardlet-sync: the sync agent of a station, and the commands around it.
#include <fcntl.h>
#include <sodium.h>
#include <sys/file.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/AtomicFile.h"
#include "sync/Agent.h"
#include "sync/Outbox.h"
#include "sync/Replica.h"
#include "sync/SecretFile.h"
#include "sync/StoreTransfer.h"
#include "sync/SyncConfig.h"
#include "wardlet/wardlet.h"

namespace {

constexpr int kConfigError = 2;

int Fail(int code, const std::string& message) {
    std::cerr << "wardlet-sync: " << message << '\n';
    return code;
}

// Whether an agent holds the state folder's lock now.
bool AgentRuns(const SyncConfig& config) {
    const std::string path = config.stateDir + "/agent.lock";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return held;
}

int Keygen(const std::string& path) {
    std::string error;
    if (!GenerateSiteKey(path, &error)) return Fail(1, error);
    std::cout << "site key written to " << path << " (mode 0600); copy it to every station\n";
    return 0;
}

int Run(const SyncConfig& config) {
    SiteKey key;
    std::string password;
    std::string error;
    if (sodium_init() < 0) return Fail(1, "the cryptographic library did not start");
    if (!LoadSiteKey(config.keyFile, &key, &error)) {
        return Fail(kConfigError, "key 'key_file' in " + config.path + ": " + error);
    }
    if (!config.broker.passwordFile.empty() &&
        !LoadSecretText(config.broker.passwordFile, &password, &error)) {
        return Fail(kConfigError, "key 'broker.password_file' in " + config.path + ": " + error);
    }
    const int code = RunAgent(config, key, password);
    sodium_memzero(key.data(), key.size());
    sodium_memzero(password.data(), password.size());
    return code;
}

int Push(const SyncConfig& config, int timeoutSeconds) {
    Bytes form;
    std::string error;
    if (!CurrentTransferForm(config.dataFile, &form, &error)) return Fail(1, error);
    ReplicaState before;
    LoadReplicaState(config.stateDir + "/state.json", &before, &error);
    if (!WriteOutboxEntry(config.OutboxDir(), form.data(), form.size(), true, &error)) {
        return Fail(1, error);
    }
    if (!AgentRuns(config)) {
        return Fail(1, "queued in " + config.OutboxDir() +
                           ", but no agent runs on it: it is published when the agent starts");
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        ReplicaState now;
        if (LoadReplicaState(config.stateDir + "/state.json", &now, &error) &&
            before.published < now.published && now.published.station == config.station &&
            now.publishedAcked) {
            std::cout << "published " << config.dataFile << " as version " << now.published.Text()
                      << '\n';
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Fail(1, "queued, but the agent has not published it within " +
                       std::to_string(timeoutSeconds) + " s (see wardlet-sync status)");
}

std::string TimeText(int64_t ms) {
    if (ms == 0) return "-";
    const time_t seconds = static_cast<time_t>(ms / 1000);
    tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

int Status(const SyncConfig& config, bool json) {
    FileBytes bytes;
    nlohmann::json status = nlohmann::json::object();
    if (ReadWholeFile(config.stateDir + "/status.json", &bytes)) {
        status = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
        if (status.is_discarded()) status = nlohmann::json::object();
    }
    const bool running = AgentRuns(config);
    status["running"] = running;
    status["outbox_depth"] = ListOutbox(config.OutboxDir()).size();
    if (!running) status["phase"] = "not running";
    const bool connected = running && status.value("/broker/connected"_json_pointer, false);
    if (json) {
        std::cout << status.dump(2) << '\n';
        return connected ? 0 : 1;
    }
    std::cout << "station:    " << config.station << " of site " << config.site << '\n';
    std::cout << "agent:      " << status.value("phase", "never ran") << '\n';
    std::cout << "broker:     " << config.broker.url << ", "
              << (connected ? "connected" : "not connected") << '\n';
    const std::string brokerError = status.value("/broker/error"_json_pointer, std::string());
    if (!brokerError.empty()) std::cout << "            " << brokerError << '\n';
    const uint64_t counter = status.value("/held/counter"_json_pointer, uint64_t{0});
    if (counter == 0) {
        std::cout << "holds:      no version yet\n";
    } else {
        std::cout << "holds:      version " << counter << "@"
                  << status.value("/held/station"_json_pointer, std::string()) << ", made "
                  << TimeText(status.value("/held/wall_time_ms"_json_pointer, int64_t{0})) << '\n';
    }
    std::cout << "outbox:     " << status["outbox_depth"].get<size_t>() << " waiting\n";
    std::cout << "superseded: " << status.value("superseded_kept", uint64_t{0})
              << " kept by this run in " << config.SupersededDir() << '\n';
    std::cout << "refused:   ";
    for (const char* reason : kRefusalReasons) {
        std::cout << ' ' << reason << ' '
                  << status.value(nlohmann::json::json_pointer(std::string("/refused/") + reason),
                                  uint64_t{0});
    }
    std::cout << '\n';
    return connected ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "wardlet-sync: shares a station's rights store with the other stations of its "
        "site through an MQTT broker"};
    app.require_subcommand(1);
    std::string keyPath;
    std::string configPath;
    bool json = false;
    int timeoutSeconds = 30;
    CLI::App* keygen = app.add_subcommand("keygen", "make a new site key (32 random bytes, 0600)");
    keygen->add_option("FILE", keyPath, "where to write it; never overwritten")->required();
    CLI::App* run = app.add_subcommand("run", "run the agent until SIGTERM or SIGINT");
    CLI::App* push = app.add_subcommand("push", "publish the data file as the newest store");
    push->add_option("--timeout", timeoutSeconds, "seconds to wait for the agent (30)");
    CLI::App* status = app.add_subcommand("status", "connection, held version, outbox, refusals");
    status->add_flag("--json", json, "as JSON");
    for (CLI::App* command : {run, push, status}) {
        command->add_option("--config", configPath, "the station's configuration (TOML)")
            ->required();
    }
    CLI11_PARSE(app, argc, argv);

    if (keygen->parsed()) return Keygen(keyPath);
    SyncConfig config;
    std::string error;
    if (!LoadSyncConfig(configPath, &config, &error)) return Fail(kConfigError, error);
    if (run->parsed()) return Run(config);
    if (push->parsed()) return Push(config, timeoutSeconds);
    return Status(config, json);
}
