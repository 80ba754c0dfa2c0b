#include "SyncFixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "wardlet/wardlet.h"

namespace {

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

pid_t SpawnWithLog(const std::vector<std::string>& args, const std::string& logPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(log, 1);
        dup2(log, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Ends `pid` with `signal`, waiting at most 10 s before SIGKILL.
int EndProcess(pid_t pid, int signal) {
    kill(pid, signal);
    for (int i = 0; i < 1000; ++i) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    return WaitExit(pid);
}

void PutInt(Bytes* out, int32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutScrambled(Bytes* out, const std::string& text) {
    out->push_back(static_cast<unsigned char>(text.size()));
    for (char c : text) out->push_back(static_cast<unsigned char>(c) ^ 0x6B);
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes, int mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    chmod(path.c_str(), static_cast<mode_t>(mode));
}

Bytes DataFileWithUsers(int users) {
    Bytes out;
    PutScrambled(&out, "Admin");
    PutScrambled(&out, "4827");
    for (int flag = 0; flag < 3; ++flag) PutInt(&out, 1);
    out.push_back(static_cast<unsigned char>(users));
    out.push_back(static_cast<unsigned char>(users >> 8));
    if (users >= 0xFFFF) {
        out.resize(out.size() - 2);
        out.insert(out.end(), {0xFF, 0xFF});
        PutInt(&out, users);
    }
    for (int i = 0; i < users; ++i) {
        if (i == 0) {
            const std::string name = "CInfoUser";
            out.insert(out.end(), {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00});
            out.insert(out.end(), name.begin(), name.end());
        } else {
            out.insert(out.end(), {0x01, 0x80});
        }
        PutInt(&out, i);
        PutScrambled(&out, "u" + std::to_string(i));
        PutScrambled(&out, "pw");
        PutScrambled(&out, "");
        for (int field = 0; field < 3; ++field) PutInt(&out, 0);
    }
    for (int list = 0; list < 3; ++list) out.insert(out.end(), {0x00, 0x00});
    PutInt(&out, 1);
    PutInt(&out, 3);
    return out;
}

Broker::Broker(const std::string& dir, const Tls* tls) : dir_(dir), tls_(tls != nullptr) {
    std::filesystem::create_directories(dir_);
    port_ = FreeLoopbackPort();
    std::ofstream conf(dir_ + "/mosquitto.conf");
    if (geteuid() == 0) conf << "user root\n";  // keep reading our own 0700 folder
    conf << "listener " << port_ << " 127.0.0.1\n"
         << "allow_anonymous true\n"
         << "persistence true\n"
         << "persistence_location " << dir_ << "/\n"
         << "autosave_interval 1\n";
    if (tls != nullptr) {
        conf << "cafile " << tls->caFile << "\ncertfile " << tls->certFile << "\nkeyfile "
             << tls->keyFile << "\n";
    }
    conf.close();
    Start();
}

Broker::~Broker() { Stop(); }

void Broker::Start() {
    pid_ = SpawnWithLog({"/usr/sbin/mosquitto", "-c", dir_ + "/mosquitto.conf"},
                        dir_ + "/mosquitto.log");
    ASSERT_TRUE(WaitFor([&] { return Accepts(port_); }, 10s)) << "mosquitto did not start";
}

void Broker::Stop() {
    if (pid_ > 0) EndProcess(pid_, SIGTERM);
    pid_ = -1;
}

std::string Broker::Url() const {
    return std::string(tls_ ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(port_);
}

bool PublishRaw(int port, const std::string& topic, const Bytes& payload, bool retain) {
    mosquitto_lib_init();
    mosquitto* client = mosquitto_new(nullptr, true, nullptr);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    bool published = false;
    mosquitto_publish_v5_callback_set(
        client, [](mosquitto*, void* flag, int, int, const mosquitto_property*) {
            *static_cast<bool*>(flag) = true;
        });
    mosquitto_user_data_set(client, &published);
    if (mosquitto_connect(client, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
        mosquitto_publish_v5(client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), 1, retain, nullptr) == MOSQ_ERR_SUCCESS) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!published && std::chrono::steady_clock::now() < deadline) {
            mosquitto_loop(client, 50, 1);
        }
    }
    mosquitto_disconnect(client);
    mosquitto_destroy(client);
    return published;
}

Station::Station(const std::string& root, const std::string& stationName, const std::string& site,
                 const std::string& url, const std::string& keyFile, const std::string& caFile)
    : name(stationName), dir(root + "/" + stationName) {
    std::filesystem::create_directories(dir);
    dataFile = dir + "/rights.dat";
    configFile = dir + "/sync.toml";
    stateDir = dir + "/state";
    std::ofstream conf(configFile);
    conf << "data_file = \"" << dataFile << "\"\nsite = \"" << site << "\"\nstation = \"" << name
         << "\"\nkey_file = \"" << keyFile << "\"\nstate_dir = \"" << stateDir
         << "\"\n[broker]\nurl = \"" << url << "\"\n";
    if (!caFile.empty()) conf << "ca_file = \"" << caFile << "\"\n";
}

Station::~Station() {
    if (pid_ > 0) EndProcess(pid_, SIGKILL);
}

void Station::StartAgent() {
    pid_ = SpawnWithLog({WARDLET_SYNC_PROGRAM, "run", "--config", configFile}, dir + "/agent.log");
}

int Station::StopAgent() {
    const int code = pid_ > 0 ? EndProcess(pid_, SIGTERM) : -1;
    pid_ = -1;
    return code;
}

void Station::KillAgent() {
    if (pid_ > 0) EndProcess(pid_, SIGKILL);
    pid_ = -1;
}

bool Station::AgentAlive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

bool Station::ChangePassword(const char* user, const char* oldPassword,
                             const char* newPassword) const {
    setenv("WARDLET_SYNC_CONFIG", configFile.c_str(), 1);
    SetDataSource(dataFile.c_str());
    const bool changed = ModifyPWD(user, oldPassword, newPassword) == 1;
    unsetenv("WARDLET_SYNC_CONFIG");
    return changed;
}

bool Station::Holds(const char* user, const char* password) const {
    SetDataSource(dataFile.c_str());
    return IsUserExist(user, password) == 1;
}

nlohmann::json Station::Status() const {
    const Bytes bytes = ReadFileBytes(stateDir + "/status.json");
    nlohmann::json status = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    return status.is_discarded() ? nlohmann::json::object() : status;
}

std::string Station::Log() const {
    const Bytes bytes = ReadFileBytes(dir + "/agent.log");
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Station::Superseded() const {
    std::vector<std::string> paths;
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(stateDir + "/superseded", ignored)) {
        paths.push_back(entry.path());
    }
    return paths;
}

int RunSyncCommand(const std::vector<std::string>& args, std::string* output) {
    char logPath[] = "/tmp/wardlet-sync-command-XXXXXX";
    const int fd = mkstemp(logPath);
    close(fd);
    std::vector<std::string> argv = {WARDLET_SYNC_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    const int code = WaitExit(SpawnWithLog(argv, logPath));
    const Bytes bytes = ReadFileBytes(logPath);
    output->assign(bytes.begin(), bytes.end());
    unlink(logPath);
    return code;
}
