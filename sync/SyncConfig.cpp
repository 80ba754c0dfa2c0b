#include "sync/SyncConfig.h"

#include <toml++/toml.h>

#include <cstdlib>
#include <set>

namespace {

constexpr const char kSystemConfigPath[] = "/etc/wardlet/sync.toml";

class ConfigReader {
public:
    ConfigReader(const std::string& path, std::string* error) : path_(path), error_(error) {}

    bool Fail(const std::string& key, const std::string& what) {
        if (error_ != nullptr) *error_ = path_ + ": key '" + key + "': " + what;
        return false;
    }

    // Refuses keys this program does not know: a misspelt optional key must not pass silently.
    bool OnlyKnownKeys(const toml::table& table, const std::string& prefix,
                       const std::set<std::string>& known) {
        for (const auto& [key, value] : table) {
            const std::string name(key.str());
            if (known.count(name) == 0) return Fail(prefix + name, "unknown key");
        }
        return true;
    }

    bool Text(const toml::table& table, const std::string& prefix, const char* key, bool required,
              std::string* out) {
        const toml::node* node = table.get(key);
        if (node == nullptr) return required ? Fail(prefix + key, "missing") : true;
        if (!node->is_string()) return Fail(prefix + key, "must be a text in quotes");
        *out = **node->as_string();
        if (out->empty()) return Fail(prefix + key, "must not be empty");
        return true;
    }

private:
    std::string path_;
    std::string* error_;
};

bool ParseBrokerUrl(const std::string& url, BrokerConfig* broker) {
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        broker->tls = true;
        rest = url.substr(8);
    } else {
        return false;
    }
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) return false;
    broker->host = rest.substr(0, colon);
    if (broker->host.front() == '[' && broker->host.back() == ']') {
        broker->host = broker->host.substr(1, broker->host.size() - 2);
    }
    const std::string port = rest.substr(colon + 1);
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    broker->port = std::atoi(port.c_str());
    return broker->port > 0 && broker->port <= 65535 && !broker->host.empty() &&
           broker->host.find('/') == std::string::npos;
}

}  // namespace

bool IsValidSyncName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) return false;
    }
    return true;
}

std::string DefaultSyncConfigPath() {
    const char* named = std::getenv("WARDLET_SYNC_CONFIG");
    return named != nullptr && *named != '\0' ? named : kSystemConfigPath;
}

bool LoadSyncConfig(const std::string& path, SyncConfig* config, std::string* error) {
    toml::table root;
    try {
        root = toml::parse_file(path);
    } catch (const toml::parse_error& failure) {
        if (error != nullptr) {
            const auto& where = failure.source().begin;
            *error = path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) +
                     ": " + std::string(failure.description());
        }
        return false;
    }
    ConfigReader reader(path, error);
    SyncConfig read;
    read.path = path;
    if (!reader.OnlyKnownKeys(
            root, "", {"data_file", "site", "station", "key_file", "state_dir", "broker"}) ||
        !reader.Text(root, "", "data_file", true, &read.dataFile) ||
        !reader.Text(root, "", "site", true, &read.site) ||
        !reader.Text(root, "", "station", true, &read.station) ||
        !reader.Text(root, "", "key_file", true, &read.keyFile) ||
        !reader.Text(root, "", "state_dir", true, &read.stateDir)) {
        return false;
    }
    if (!IsValidSyncName(read.site)) {
        return reader.Fail("site", "1 to 64 letters, digits, '.', '_' or '-'");
    }
    if (!IsValidSyncName(read.station)) {
        return reader.Fail("station", "1 to 64 letters, digits, '.', '_' or '-'");
    }
    const toml::node* brokerNode = root.get("broker");
    if (brokerNode == nullptr) return reader.Fail("broker", "missing (a table [broker])");
    if (!brokerNode->is_table()) return reader.Fail("broker", "must be a table [broker]");
    const toml::table& broker = *brokerNode->as_table();
    if (!reader.OnlyKnownKeys(broker, "broker.", {"url", "username", "password_file", "ca_file"}) ||
        !reader.Text(broker, "broker.", "url", true, &read.broker.url) ||
        !reader.Text(broker, "broker.", "username", false, &read.broker.username) ||
        !reader.Text(broker, "broker.", "password_file", false, &read.broker.passwordFile) ||
        !reader.Text(broker, "broker.", "ca_file", false, &read.broker.caFile)) {
        return false;
    }
    if (!ParseBrokerUrl(read.broker.url, &read.broker)) {
        return reader.Fail("broker.url", "must be mqtt://host:port or mqtts://host:port");
    }
    if (!read.broker.passwordFile.empty() && read.broker.username.empty()) {
        return reader.Fail("broker.username", "missing (password_file needs a user name)");
    }
    if (!read.broker.caFile.empty() && !read.broker.tls) {
        return reader.Fail("broker.ca_file", "only for an mqtts:// broker");
    }
    *config = std::move(read);
    return true;
}
