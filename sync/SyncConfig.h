// The configuration of a station's sync agent, shared by the agent and by libmirrorpost.so. Read
// once into a plain struct; every error names the file and the key.
#pragma once

#include <string>

struct BrokerConfig {
    std::string url;   // mqtt://host:port or mqtts://host:port, as written
    bool tls = false;  // mqtts
    std::string host;
    int port = 0;
    std::string username;      // empty: no login
    std::string passwordFile;  // empty: no password
    std::string caFile;        // empty: the system's certificate authorities (mqtts only)
};

struct SyncConfig {
    std::string path;      // the file it was read from
    std::string dataFile;  // the station's data file
    std::string site;      // wardlet/<site>/store/<station>
    std::string station;
    std::string keyFile;   // the 32-byte site key
    std::string stateDir;  // the agent's own folder: outbox, state, superseded stores
    BrokerConfig broker;

    std::string OutboxDir() const { return stateDir + "/outbox"; }
    std::string SupersededDir() const { return stateDir + "/superseded"; }
    std::string Topic() const { return "wardlet/" + site + "/store/" + station; }
    std::string SiteFilter() const { return "wardlet/" + site + "/store/+"; }
};

// Reads the TOML file at `path`. Returns false with `*error` naming the file and the key (or the
// line of a syntax error) when the file cannot be read, a required key is missing, a key is
// unknown or a value is not of its form.
bool LoadSyncConfig(const std::string& path, SyncConfig* config, std::string* error);

// The configuration a station uses when none is named: $WARDLET_SYNC_CONFIG if set, else
// /etc/wardlet/sync.toml.
std::string DefaultSyncConfigPath();

// Site and station names travel in topic names and envelope headers: 1 to 64 bytes of letters,
// digits, '.', '_' and '-'.
bool IsValidSyncName(const std::string& name);
