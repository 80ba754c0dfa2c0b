// Real brokers and real agent processes for the sync tests: a mosquitto on a free loopback port
// with its own configuration in a temporary folder, and stations, each with its data file, its
// configuration, its state folder and its wardlet-sync process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sync/Envelope.h"

using namespace std::chrono_literals;

// Polls `done` every few milliseconds until it is true or `limit` has passed.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes, int mode = 0600);

// A data file with `users` users u0..uN-1 (password "pw"), no groups: the bytes the library
// writes for such a store.
Bytes DataFileWithUsers(int users);

class Broker {
public:
    struct Tls {
        std::string caFile, certFile, keyFile;
    };
    // Starts mosquitto in `dir` (its configuration, persistence and log live there).
    explicit Broker(const std::string& dir, const Tls* tls = nullptr);
    ~Broker();
    // SIGTERM (the broker writes its persistence) and wait; Start again on the same port.
    void Stop();
    void Start();
    int Port() const { return port_; }
    std::string Url() const;

private:
    std::string dir_;
    bool tls_ = false;
    int port_ = 0;
    pid_t pid_ = -1;
};

// Publishes one message on `topic` through a client of our own; true once the broker has it.
bool PublishRaw(int port, const std::string& topic, const Bytes& payload, bool retain = false);

class Station {
public:
    // A station `name` of site `site` in `dir`/`name`, using the broker at `url` and `keyFile`.
    Station(const std::string& dir, const std::string& name, const std::string& site,
            const std::string& url, const std::string& keyFile, const std::string& caFile = "");
    ~Station();

    void StartAgent();
    // SIGTERM and wait; returns the exit status.
    int StopAgent();
    void KillAgent();  // SIGKILL
    bool AgentAlive() const;

    // Saves on this station through the library, as a host does (ModifyPWD).
    bool ChangePassword(const char* user, const char* oldPassword, const char* newPassword) const;
    // Whether the data file holds the pair (IsUserExist through the library).
    bool Holds(const char* user, const char* password) const;

    nlohmann::json Status() const;  // status.json, or {} before the agent wrote one
    std::string Log() const;
    Bytes DataFile() const { return ReadFileBytes(dataFile); }
    std::vector<std::string> Superseded() const;

    std::string name, dir, dataFile, configFile, stateDir;

private:
    pid_t pid_ = -1;
};

// Runs wardlet-sync with `args` to its end; its standard output and error in `*output`.
int RunSyncCommand(const std::vector<std::string>& args, std::string* output);
