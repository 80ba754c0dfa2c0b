#include "sync/Agent.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>

#include "platform/AtomicFile.h"
#include "sync/Outbox.h"
#include "sync/Replica.h"
#include "sync/StoreTransfer.h"
#include "wardlet/store/LongTexts.h"
#include "wardlet/wardlet.h"
#include "wardlet/wardlet.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// After the last retained store arrived, this much quiet ends catching up.
constexpr milliseconds kCatchUpQuiet{300};
constexpr milliseconds kFirstBackoff{500};
constexpr milliseconds kLongestBackoff{30000};
constexpr int kKeepAliveSeconds = 30;
// Superseded stores kept, newest first; older ones are deleted.
constexpr size_t kSupersededKept = 50;
// Refused messages remembered so that a retained one is counted and logged once.
constexpr size_t kRefusalsRemembered = 4096;

int64_t WallTimeMs() {
    return std::chrono::duration_cast<milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::fprintf(stderr, "wardlet-sync: %s\n", line);
    std::fflush(stderr);
}

bool ReadBytes(const std::string& path, Bytes* bytes) {
    FileBytes read;
    if (!ReadWholeFile(path, &read)) return false;
    bytes->assign(read.begin(), read.end());
    return true;
}

struct Incoming {
    std::string topic;
    Bytes payload;
};

// A newer store that could not be applied yet (the data file could not be written); retried.
struct PendingApply {
    StoreVersion version;
    int64_t wallTimeMs = 0;
    Bytes form;
    Bytes dataFileBytes;
    Clock::time_point retryAt;
    milliseconds backoff{kFirstBackoff};
};

class Agent {
public:
    Agent(const SyncConfig& config, const SiteKey& key, const std::string& password)
        : config_(config), key_(key), password_(password) {}
    ~Agent();

    bool Start();
    void Run();

private:
    // Phases and the status file.
    void SetPhase(AgentPhase phase, const std::string& detail);
    void WriteStatus();
    void SaveState();

    // The broker.
    bool SetUpClient();
    void Connect();
    void ScheduleReconnect(const std::string& why);
    void Publish();
    void PumpSocket(short events);
    void OnConnect(int reasonCode);
    void OnDisconnect(int reasonCode);
    void OnPublish(int mid);
    void OnMessage(const mosquitto_message* message);

    // Stores.
    void TakeOutbox();
    void HandleIncoming(const Incoming& message);
    void Refuse(const std::string& reason, const std::string& digest, const std::string& topic,
                const std::string& detail);
    void WarnOfLongTexts(const StoreVersion& version);
    bool ApplyStore(const StoreVersion& version, int64_t wallTimeMs, const Bytes& form,
                    const Bytes& dataFileBytes);
    void RetryPendingApply();
    void KeepSuperseded(const StoreVersion& version, const Bytes& form, const std::string& why);
    void KeepDataFileAsSuperseded(const StoreVersion& replacedBy);
    void FinishCatchingUp();

    std::string PublishedPath() const { return config_.stateDir + "/published.env"; }
    std::string StatePath() const { return config_.stateDir + "/state.json"; }

    const SyncConfig& config_;
    const SiteKey& key_;
    const std::string& password_;

    mosquitto* client_ = nullptr;
    int inotifyFd_ = -1;
    int signalFd_ = -1;
    int lockFd_ = -1;

    AgentPhase phase_ = AgentPhase::kConnecting;
    bool connected_ = false;
    bool stop_ = false;
    std::string brokerError_;
    std::string lastLogError_;
    Clock::time_point reconnectAt_{};
    bool reconnectDue_ = false;
    milliseconds backoff_{kFirstBackoff};
    Clock::time_point lastMessageAt_{};
    bool ownRetainedSeen_ = false;
    int publishMid_ = -1;
    // After the outbox could not be taken (a full disk), wait before trying again.
    Clock::time_point outboxRetryAt_{};

    ReplicaState state_;
    std::deque<Incoming> incoming_;
    std::optional<PendingApply> pendingApply_;
    std::map<std::string, uint64_t> refused_;
    std::set<std::string> refusedDigests_;
    uint64_t supersededKept_ = 0;
};

const char* kPhaseNames[] = {"connecting", "catching up", "steady", "stopping"};

}  // namespace

const char* PhaseName(AgentPhase phase) { return kPhaseNames[static_cast<int>(phase)]; }

namespace {

Agent::~Agent() {
    if (client_ != nullptr) mosquitto_destroy(client_);
    for (int fd : {inotifyFd_, signalFd_, lockFd_}) {
        if (fd >= 0) close(fd);
    }
}

bool Agent::Start() {
    for (const std::string& folder :
         {config_.stateDir, config_.OutboxDir(), config_.SupersededDir()}) {
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            Log("cannot create %s: %s", folder.c_str(), std::strerror(errno));
            return false;
        }
    }
    // One agent per state folder: two would publish the same station's versions twice.
    const std::string lockPath = config_.stateDir + "/agent.lock";
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0 || flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        Log("another agent runs on %s already (%s)", config_.stateDir.c_str(),
            std::strerror(errno));
        return false;
    }
    std::string error;
    if (!LoadReplicaState(StatePath(), &state_, &error)) {
        Log("%s", error.c_str());
        return false;
    }
    for (const char* reason : kRefusalReasons) refused_[reason] = 0;
    SetDataSource(config_.dataFile.c_str());

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    inotifyFd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (signalFd_ < 0 || inotifyFd_ < 0 ||
        inotify_add_watch(inotifyFd_, config_.OutboxDir().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) <
            0) {
        Log("cannot watch %s: %s", config_.OutboxDir().c_str(), std::strerror(errno));
        return false;
    }
    Log("station %s of site %s, data file %s, holding version %s", config_.station.c_str(),
        config_.site.c_str(), config_.dataFile.c_str(),
        state_.held.IsNone() ? "none" : state_.held.Text().c_str());
    return SetUpClient();
}

void Agent::SetPhase(AgentPhase phase, const std::string& detail) {
    phase_ = phase;
    Log("%s%s%s", PhaseName(phase), detail.empty() ? "" : ": ", detail.c_str());
    WriteStatus();
}

void Agent::WriteStatus() {
    nlohmann::json status = {
        {"pid", getpid()},
        {"phase", PhaseName(phase_)},
        {"site", config_.site},
        {"station", config_.station},
        {"broker",
         {{"url", config_.broker.url}, {"connected", connected_}, {"error", brokerError_}}},
        {"held",
         {{"counter", state_.held.counter},
          {"station", state_.held.station},
          {"wall_time_ms", state_.heldWallTimeMs}}},
        {"published", {{"counter", state_.published.counter}, {"acked", state_.publishedAcked}}},
        {"refused", refused_},
        {"superseded_kept", supersededKept_},
        {"apply_pending", pendingApply_.has_value()},
        {"updated_ms", WallTimeMs()},
    };
    // Replaced whole, but not synced: a status lost in a power cut is rewritten at the next
    // start, and a sync here would slow every store on its way.
    const std::string text = status.dump(2) + "\n";
    const std::string path = config_.stateDir + "/status.json";
    const std::string staging = config_.stateDir + "/.status.json.new";
    FILE* file = std::fopen(staging.c_str(), "we");
    bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr) written = std::fclose(file) == 0 && written;
    if (!written || std::rename(staging.c_str(), path.c_str()) != 0) {
        Log("cannot write the status %s: %s", path.c_str(), std::strerror(errno));
    }
}

void Agent::SaveState() {
    std::string error;
    if (!SaveReplicaState(StatePath(), state_, &error))
        Log("cannot save the state: %s", error.c_str());
}

bool Agent::SetUpClient() {
    mosquitto_lib_init();
    const std::string clientId = "wardlet-" + config_.site + "-" + config_.station;
    client_ = mosquitto_new(clientId.c_str(), true, this);
    if (client_ == nullptr) {
        Log("cannot create the broker client");
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (!config_.broker.username.empty() &&
        mosquitto_username_pw_set(
            client_, config_.broker.username.c_str(),
            config_.broker.passwordFile.empty() ? nullptr : password_.c_str()) !=
            MOSQ_ERR_SUCCESS) {
        Log("%s: key 'broker.username': refused by the client library", config_.path.c_str());
        return false;
    }
    if (config_.broker.tls) {
        const char* caFile =
            config_.broker.caFile.empty() ? nullptr : config_.broker.caFile.c_str();
        const char* caPath = caFile == nullptr ? "/etc/ssl/certs" : nullptr;
        const int rc = mosquitto_tls_set(client_, caFile, caPath, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Log("%s: key 'broker.ca_file': %s", config_.path.c_str(), mosquitto_strerror(rc));
            return false;
        }
        mosquitto_tls_opts_set(client_, 1, "tlsv1.2", nullptr);
    }
    mosquitto_log_callback_set(client_, [](mosquitto*, void* self, int level, const char* text) {
        if (level == MOSQ_LOG_ERR) static_cast<Agent*>(self)->lastLogError_ = text;
    });
    mosquitto_connect_v5_callback_set(
        client_, [](mosquitto*, void* self, int rc, int, const mosquitto_property*) {
            static_cast<Agent*>(self)->OnConnect(rc);
        });
    mosquitto_disconnect_v5_callback_set(
        client_, [](mosquitto*, void* self, int rc, const mosquitto_property*) {
            static_cast<Agent*>(self)->OnDisconnect(rc);
        });
    mosquitto_publish_v5_callback_set(
        client_, [](mosquitto*, void* self, int mid, int, const mosquitto_property*) {
            static_cast<Agent*>(self)->OnPublish(mid);
        });
    mosquitto_message_v5_callback_set(
        client_, [](mosquitto*, void* self, const mosquitto_message* message,
                    const mosquitto_property*) { static_cast<Agent*>(self)->OnMessage(message); });
    mosquitto_subscribe_v5_callback_set(client_, [](mosquitto*, void* self, int, int count,
                                                    const int* granted, const mosquitto_property*) {
        Agent* agent = static_cast<Agent*>(self);
        if (count < 1 || granted[0] > 2) {
            agent->ScheduleReconnect("the broker refused the subscription");
            return;
        }
        agent->lastMessageAt_ = Clock::now();
        agent->ownRetainedSeen_ = false;
        agent->SetPhase(AgentPhase::kCatchingUp, "subscribed to " + agent->config_.SiteFilter());
        agent->Publish();  // a store saved while the broker was away
    });
    return true;
}

void Agent::Connect() {
    reconnectDue_ = false;
    lastLogError_.clear();
    const int rc = mosquitto_connect_async(client_, config_.broker.host.c_str(),
                                           config_.broker.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        ScheduleReconnect(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
    }
}

void Agent::ScheduleReconnect(const std::string& why) {
    const bool wasConnected = connected_;
    connected_ = false;
    brokerError_ = lastLogError_.empty() ? why : why + " (" + lastLogError_ + ")";
    if (stop_) return;
    mosquitto_disconnect(client_);
    // Back off, with some jitter so that a plant's stations do not all come back at once.
    static std::minstd_rand jitter(static_cast<unsigned>(getpid()));
    const milliseconds delay = backoff_ + milliseconds(jitter() % (backoff_.count() / 4 + 1));
    backoff_ = std::min(backoff_ * 2, kLongestBackoff);
    reconnectAt_ = Clock::now() + delay;
    reconnectDue_ = true;
    if (wasConnected || phase_ != AgentPhase::kConnecting || brokerError_ != why) {
        SetPhase(AgentPhase::kConnecting, config_.broker.url + " failed: " + brokerError_ +
                                              "; again in " + std::to_string(delay.count()) +
                                              " ms");
    } else {
        WriteStatus();
    }
}

void Agent::OnConnect(int reasonCode) {
    if (reasonCode != 0) {
        ScheduleReconnect(std::string("the broker refused the connection: ") +
                          mosquitto_reason_string(reasonCode));
        return;
    }
    connected_ = true;
    brokerError_.clear();
    backoff_ = kFirstBackoff;
    mosquitto_subscribe_v5(client_, nullptr, config_.SiteFilter().c_str(), 1, 0, nullptr);
    Log("connecting: connected to %s", config_.broker.url.c_str());
}

void Agent::OnDisconnect(int reasonCode) {
    if (stop_ || reconnectDue_) return;
    ScheduleReconnect(std::string("disconnected: ") + mosquitto_reason_string(reasonCode));
}

void Agent::OnPublish(int mid) {
    if (mid != publishMid_) return;
    publishMid_ = -1;
    state_.publishedAcked = true;
    SaveState();
    Log("%s: published version %s", PhaseName(phase_), state_.published.Text().c_str());
    WriteStatus();
}

void Agent::OnMessage(const mosquitto_message* message) {
    const auto* bytes = static_cast<const unsigned char*>(message->payload);
    incoming_.push_back({message->topic, Bytes(bytes, bytes + message->payloadlen)});
}

void Agent::Publish() {
    if (!connected_ || state_.publishedAcked || state_.published.IsNone()) return;
    Bytes envelope;
    if (!ReadBytes(PublishedPath(), &envelope)) {
        Log("cannot read %s: %s", PublishedPath().c_str(), std::strerror(errno));
        return;
    }
    const int rc =
        mosquitto_publish_v5(client_, &publishMid_, config_.Topic().c_str(),
                             static_cast<int>(envelope.size()), envelope.data(), 1, true, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        Log("cannot publish version %s: %s", state_.published.Text().c_str(),
            mosquitto_strerror(rc));
    }
}

void Agent::PumpSocket(short events) {
    int rc = MOSQ_ERR_SUCCESS;
    if (events & (POLLIN | POLLHUP | POLLERR)) rc = mosquitto_loop_read(client_, 1);
    if (rc == MOSQ_ERR_SUCCESS && (events & POLLOUT)) rc = mosquitto_loop_write(client_, 1);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(client_);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN && !reconnectDue_) {
        ScheduleReconnect(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
    }
}

void Agent::Refuse(const std::string& reason, const std::string& digest, const std::string& topic,
                   const std::string& detail) {
    if (refusedDigests_.size() >= kRefusalsRemembered) refusedDigests_.clear();
    refusedDigests_.insert(digest);
    ++refused_[reason];
    Log("%s: refused a message on %s: %s: %s", PhaseName(phase_), topic.c_str(), reason.c_str(),
        detail.c_str());
    WriteStatus();
}

void Agent::KeepSuperseded(const StoreVersion& version, const Bytes& form, const std::string& why) {
    char name[128];
    std::snprintf(name, sizeof(name), "%020llu-%s.wts",
                  static_cast<unsigned long long>(version.counter), version.station.c_str());
    const std::string path = config_.SupersededDir() + "/" + name;
    std::string error;
    if (!ReplaceFileAtomically(path, form.data(), form.size(), &error)) {
        Log("cannot keep the superseded version %s: %s", version.Text().c_str(), error.c_str());
        return;
    }
    ++supersededKept_;
    Log("%s: version %s superseded by %s; kept in %s", PhaseName(phase_), version.Text().c_str(),
        why.c_str(), path.c_str());
    // Bounded: the oldest versions go first (names sort by counter).
    std::vector<OutboxEntry> kept = ListOutbox(config_.SupersededDir());
    for (size_t i = 0; i + kSupersededKept < kept.size(); ++i) unlink(kept[i].path.c_str());
}

void Agent::KeepDataFileAsSuperseded(const StoreVersion& replacedBy) {
    Bytes file;
    if (state_.held.IsNone() || !ReadBytes(config_.dataFile, &file)) return;
    if (Digest(file) != state_.heldDigest) return;  // not what we held: its own save is queued
    Bytes form;
    std::string error;
    if (!DataFileToTransferForm(file, &form, &error)) {
        Log("cannot keep the superseded version %s: %s", state_.held.Text().c_str(), error.c_str());
        return;
    }
    KeepSuperseded(state_.held, form, replacedBy.Text());
}

// Hosts size their name and password buffers for the 64 bytes the dialogs allow; whoever runs the
// station must hear of a received store that outgrows them.
void Agent::WarnOfLongTexts(const StoreVersion& version) {
    CSaveProp* store = nullptr;
    CObList list;
    GetConfigData(&list);
    if (!list.IsEmpty()) store = static_cast<CSaveProp*>(list.GetHead());
    if (store == nullptr) return;
    for (const std::string& record : RecordsWithLongTexts(*store)) {
        Log("%s: version %s holds %s, longer than the 64 bytes hosts' buffers are sized for",
            PhaseName(phase_), version.Text().c_str(), record.c_str());
    }
}

bool Agent::ApplyStore(const StoreVersion& version, int64_t wallTimeMs, const Bytes& form,
                       const Bytes& dataFileBytes) {
    Log("%s: applying version %s", PhaseName(phase_), version.Text().c_str());
    std::string error;
    if (!ApplyTransferForm(config_.dataFile, form, dataFileBytes, &error)) {
        Log("%s: version %s not applied, will retry: %s", PhaseName(phase_), version.Text().c_str(),
            error.c_str());
        if (!pendingApply_ || pendingApply_->version < version) {
            pendingApply_ = PendingApply{
                version,      wallTimeMs, form, dataFileBytes, Clock::now() + kFirstBackoff,
                kFirstBackoff};
        }
        SaveState();
        WriteStatus();
        return false;
    }
    if (pendingApply_ && !(version < pendingApply_->version)) pendingApply_.reset();
    state_.held = version;
    state_.heldWallTimeMs = wallTimeMs;
    state_.heldDigest = Digest(dataFileBytes);
    SaveState();
    Log("%s: applied version %s; the data file holds it", PhaseName(phase_),
        version.Text().c_str());
    WarnOfLongTexts(version);
    WriteStatus();
    return true;
}

void Agent::RetryPendingApply() {
    if (!pendingApply_ || Clock::now() < pendingApply_->retryAt) return;
    if (!(state_.held < pendingApply_->version)) {
        pendingApply_.reset();
        return;
    }
    PendingApply pending = std::move(*pendingApply_);
    pendingApply_.reset();
    if (!ApplyStore(pending.version, pending.wallTimeMs, pending.form, pending.dataFileBytes)) {
        pendingApply_->backoff = std::min(pending.backoff * 2, kLongestBackoff);
        pendingApply_->retryAt = Clock::now() + pendingApply_->backoff;
    }
}

void Agent::TakeOutbox() {
    if (Clock::now() < outboxRetryAt_) return;
    const std::vector<OutboxEntry> entries = ListOutbox(config_.OutboxDir());
    if (entries.empty()) return;
    // The newest save, unless an entry holds what the data file holds now: the file is the
    // truth when two programs' saves reached the outbox in another order than the file.
    Bytes file;
    const bool haveFile = ReadBytes(config_.dataFile, &file);
    bool forced = false;
    size_t chosen = entries.size();
    Bytes form;
    Bytes dataFileBytes;
    std::string error;
    for (size_t i = entries.size(); i-- > 0;) {
        Bytes entryForm;
        Bytes entryBytes;
        std::string entryError;
        if (!ReadBytes(entries[i].path, &entryForm)) {
            entryError = std::strerror(errno);
        } else if (entryForm.size() > kMaxStoreBytes) {
            entryError =
                "a store of " + std::to_string(entryForm.size()) + " bytes, more than 64 MiB";
        } else {
            ReadTransferForm(entryForm, &entryBytes, &entryError);
        }
        const bool matchesFile = entryError.empty() && haveFile && entryBytes == file;
        if (chosen == entries.size() || matchesFile) {
            chosen = i;
            form = std::move(entryForm);
            dataFileBytes = std::move(entryBytes);
            error = entryError;
        }
        if (matchesFile) break;
    }
    for (size_t i = 0; i < entries.size(); ++i) forced = forced || entries[i].forced;
    const auto clear = [&] {
        for (const OutboxEntry& entry : entries) unlink(entry.path.c_str());
    };
    if (!error.empty()) {
        Log("%s: outbox entry %s not published: %s", PhaseName(phase_),
            entries[chosen].path.c_str(), error.c_str());
        rename(entries[chosen].path.c_str(),
               (config_.SupersededDir() + "/damaged-" + std::to_string(WallTimeMs())).c_str());
        clear();
        return;
    }
    const std::string digest = Digest(dataFileBytes);
    if (!forced && digest == state_.heldDigest) {
        clear();  // a save that changed nothing
        return;
    }
    const bool fileHoldsIt = haveFile && file == dataFileBytes;
    const StoreVersion version = NextLocalVersion(&state_, config_.station);
    // A store from another station that the file held, and that this save did not start from.
    if (!fileHoldsIt && state_.held.station != config_.station) KeepDataFileAsSuperseded(version);

    EnvelopeHeader header{config_.site, version, WallTimeMs()};
    const Bytes envelope = SealEnvelope(header, form, key_);
    if (!ReplaceFileAtomically(PublishedPath(), envelope.data(), envelope.size(), &error)) {
        // The entries stay in the outbox and are taken again, a little later.
        outboxRetryAt_ = Clock::now() + std::chrono::seconds(5);
        Log("%s: cannot keep version %s for publication: %s", PhaseName(phase_),
            version.Text().c_str(), error.c_str());
        return;
    }
    state_.published = version;
    state_.publishedAcked = false;
    NoteSeen(&state_, version, Digest(envelope));
    if (fileHoldsIt) {
        state_.held = version;
        state_.heldWallTimeMs = header.wallTimeMs;
        state_.heldDigest = digest;
        SaveState();
    } else {
        SaveState();
        ApplyStore(version, header.wallTimeMs, form, dataFileBytes);
    }
    clear();
    Log("%s: local store is version %s%s", PhaseName(phase_), version.Text().c_str(),
        forced ? " (pushed by hand)" : "");
    Publish();
    WriteStatus();
}

void Agent::HandleIncoming(const Incoming& message) {
    const std::string& topic = message.topic;
    const Bytes& payload = message.payload;
    const std::string digest = Digest(payload);
    if (refusedDigests_.count(digest) != 0) return;  // counted and logged once already
    const std::string prefix = "wardlet/" + config_.site + "/store/";
    const std::string topicStation = topic.substr(std::min(prefix.size(), topic.size()));

    EnvelopeHeader header;
    std::string error;
    EnvelopeStatus status = DecodeEnvelopeHeader(payload.data(), payload.size(), &header, &error);
    if (status == EnvelopeStatus::kOk && header.site != config_.site) {
        Refuse("other_site", digest, topic, "sealed for site " + header.site);
        return;
    }
    Bytes form;
    if (status == EnvelopeStatus::kOk) {
        status = OpenEnvelope(payload.data(), payload.size(), key_, &header, &form, &error);
    }
    switch (status) {
        case EnvelopeStatus::kOk:
            break;
        case EnvelopeStatus::kMalformed:
            return Refuse("malformed", digest, topic, error);
        case EnvelopeStatus::kTooLarge:
            return Refuse("too_large", digest, topic, error);
        case EnvelopeStatus::kBadKey:
            return Refuse("bad_key", digest, topic, error);
    }
    const StoreVersion& version = header.version;
    if (version.station != topicStation) {
        return Refuse("malformed", digest, topic,
                      "sealed by station " + version.station + ", sent on another's topic");
    }
    const bool own = version.station == config_.station;
    switch (Judge(state_, version, digest)) {
        case Verdict::kRepeat:
            if (own && version == state_.published) ownRetainedSeen_ = true;
            return;
        case Verdict::kReplay:
            Refuse("replay", digest, topic,
                   "version " + version.Text() + " is older than one seen from " + version.station);
            if (own) {
                // Our topic must carry our newest store for stations that join later.
                state_.publishedAcked = false;
                Publish();
            }
            return;
        case Verdict::kNotNewer:
        case Verdict::kApply:
            break;
    }
    Bytes dataFileBytes;
    if (!ReadTransferForm(form, &dataFileBytes, &error)) {
        // Not noted as seen: a damaged store must not hold back that station's later ones.
        return Refuse("damaged_store", digest, topic, "version " + version.Text() + ": " + error);
    }
    const Verdict verdict = Judge(state_, version, digest);
    NoteSeen(&state_, version, digest);
    if (verdict == Verdict::kNotNewer) {
        SaveState();  // an applied store saves the state with its version
        Refuse("not_newer", digest, topic,
               "version " + version.Text() + " is not newer than the held " + state_.held.Text());
        // A store of another station that this station's own newer change displaced.
        if (state_.held.station == config_.station && !own) {
            KeepSuperseded(version, form, state_.held.Text());
        }
        return;
    }
    // Our own store is kept when the newer one cannot have been made from it: a tie in the
    // counter (made at once), or ours never reached the broker.
    const bool ownUnpublished = !(state_.published == state_.held && state_.publishedAcked);
    if (state_.held.station == config_.station &&
        (ownUnpublished || version.counter == state_.held.counter)) {
        KeepDataFileAsSuperseded(version);
    }
    if (own) {
        state_.published = version;
        state_.publishedAcked = true;
    }
    ApplyStore(version, header.wallTimeMs, form, dataFileBytes);
}

void Agent::FinishCatchingUp() {
    SetPhase(AgentPhase::kSteady, "holding version " + (state_.held.IsNone() ? std::string("none")
                                                                             : state_.held.Text()));
    // A broker that lost its retained stores, or a topic that carries an older one, gets ours
    // again.
    if (!ownRetainedSeen_ && !state_.published.IsNone()) {
        state_.publishedAcked = false;
        Publish();
    }
}

void Agent::Run() {
    SetPhase(AgentPhase::kConnecting, config_.broker.url);
    TakeOutbox();
    Connect();
    while (!stop_) {
        milliseconds timeout{1000};
        const auto now = Clock::now();
        const auto until = [&](Clock::time_point when) {
            timeout = std::min(
                timeout,
                std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(when - now)));
        };
        if (reconnectDue_) until(reconnectAt_);
        if (phase_ == AgentPhase::kCatchingUp) until(lastMessageAt_ + kCatchUpQuiet);
        if (pendingApply_) until(pendingApply_->retryAt);

        pollfd fds[3] = {{signalFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}, {-1, 0, 0}};
        const int socket = mosquitto_socket(client_);
        if (socket >= 0) {
            fds[2].fd = socket;
            fds[2].events = POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0);
        }
        if (poll(fds, 3, static_cast<int>(timeout.count() + 1)) < 0 && errno != EINTR) {
            Log("poll: %s", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            if (read(signalFd_, &info, sizeof(info)) > 0) stop_ = true;
        }
        if (fds[1].revents & POLLIN) {
            char events[4096];
            while (read(inotifyFd_, events, sizeof(events)) > 0) {
            }
        }
        if (socket >= 0)
            PumpSocket(fds[2].revents);
        else if (!reconnectDue_ && !stop_)
            ScheduleReconnect(brokerError_.empty() ? "no connection" : brokerError_);
        if (!incoming_.empty()) lastMessageAt_ = Clock::now();
        while (!incoming_.empty() && !stop_) {
            const Incoming message = std::move(incoming_.front());
            incoming_.pop_front();
            HandleIncoming(message);
        }
        if (!stop_) TakeOutbox();
        if (reconnectDue_ && Clock::now() >= reconnectAt_ && !stop_) Connect();
        if (phase_ == AgentPhase::kCatchingUp && Clock::now() >= lastMessageAt_ + kCatchUpQuiet) {
            FinishCatchingUp();
        }
        RetryPendingApply();
    }
    SetPhase(AgentPhase::kStopping, "signal received");
    if (connected_) {
        mosquitto_disconnect_v5(client_, 0, nullptr);
        mosquitto_loop_write(client_, 1);
    }
    connected_ = false;
    WriteStatus();
}

}  // namespace

int RunAgent(const SyncConfig& config, const SiteKey& key, const std::string& brokerPassword) {
    Agent agent(config, key, brokerPassword);
    if (!agent.Start()) return 1;
    agent.Run();
    mosquitto_lib_cleanup();
    return 0;
}
