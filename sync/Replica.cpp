#include "sync/Replica.h"

#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"

Verdict Judge(const ReplicaState& state, const StoreVersion& version, const std::string& digest) {
    const auto seen = state.lastSeen.find(version.station);
    const bool known = seen != state.lastSeen.end();
    const bool repeat =
        known && seen->second.counter == version.counter && seen->second.digest == digest;
    if (known && !repeat && version.counter <= seen->second.counter) return Verdict::kReplay;
    if (!(state.held < version)) return repeat ? Verdict::kRepeat : Verdict::kNotNewer;
    return Verdict::kApply;
}

void NoteSeen(ReplicaState* state, const StoreVersion& version, const std::string& digest) {
    SeenMark& mark = state->lastSeen[version.station];
    if (version.counter >= mark.counter) mark = {version.counter, digest};
    if (version.counter > state->maxCounter) state->maxCounter = version.counter;
}

StoreVersion NextLocalVersion(ReplicaState* state, const std::string& station) {
    state->maxCounter = std::max(state->maxCounter, state->held.counter) + 1;
    return {state->maxCounter, station};
}

namespace {

nlohmann::json VersionJson(const StoreVersion& version) {
    return {{"counter", version.counter}, {"station", version.station}};
}

StoreVersion VersionFrom(const nlohmann::json& json) {
    return {json.at("counter").get<uint64_t>(), json.at("station").get<std::string>()};
}

}  // namespace

bool SaveReplicaState(const std::string& path, const ReplicaState& state, std::string* error) {
    nlohmann::json json = {
        {"held", VersionJson(state.held)},           {"held_wall_time_ms", state.heldWallTimeMs},
        {"held_digest", state.heldDigest},           {"max_counter", state.maxCounter},
        {"published", VersionJson(state.published)}, {"published_acked", state.publishedAcked},
        {"last_seen", nlohmann::json::object()},
    };
    for (const auto& [station, mark] : state.lastSeen) {
        json["last_seen"][station] = {{"counter", mark.counter}, {"digest", mark.digest}};
    }
    const std::string text = json.dump(2) + "\n";
    return ReplaceFileAtomically(path, text.data(), text.size(), error);
}

bool LoadReplicaState(const std::string& path, ReplicaState* state, std::string* error) {
    FileBytes bytes;
    if (!ReadWholeFile(path, &bytes)) {
        *state = ReplicaState();
        return true;
    }
    try {
        const nlohmann::json json = nlohmann::json::parse(bytes.begin(), bytes.end());
        ReplicaState read;
        read.held = VersionFrom(json.at("held"));
        read.heldWallTimeMs = json.at("held_wall_time_ms").get<int64_t>();
        read.heldDigest = json.at("held_digest").get<std::string>();
        read.maxCounter = json.at("max_counter").get<uint64_t>();
        read.published = VersionFrom(json.at("published"));
        read.publishedAcked = json.at("published_acked").get<bool>();
        for (const auto& [station, mark] : json.at("last_seen").items()) {
            read.lastSeen[station] = {mark.at("counter").get<uint64_t>(),
                                      mark.at("digest").get<std::string>()};
        }
        *state = std::move(read);
    } catch (const std::exception& failure) {
        *error = path + ": damaged state: " + failure.what();
        return false;
    }
    return true;
}
