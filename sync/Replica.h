// What a station knows of the stores of its site, and the rule that picks one answer on every
// station: last writer wins on the version (Lamport counter, then station name). Pure state and
// decisions, kept in state_dir/state.json between runs.
#pragma once

#include <map>
#include <string>

#include "sync/Envelope.h"

struct SeenMark {
    uint64_t counter = 0;
    std::string digest;  // of the envelope
};

struct ReplicaState {
    // The store the data file holds, as far as this station made or applied it.
    StoreVersion held;
    int64_t heldWallTimeMs = 0;
    std::string heldDigest;  // of the data file's bytes
    // The highest counter seen on any authentic store: a new local store takes one more.
    uint64_t maxCounter = 0;
    // The newest envelope of each station seen so far, against replays.
    std::map<std::string, SeenMark> lastSeen;
    // This station's own newest envelope and whether the broker has taken it.
    StoreVersion published;
    bool publishedAcked = true;
};

enum class Verdict {
    kApply,     // newer than the held store
    kRepeat,    // the same envelope again (a redelivered retained message): nothing to do
    kReplay,    // an envelope older than one already seen from that station
    kNotNewer,  // a first sight of a store that loses to the held one
};

// Judges an authentic envelope of version `version` whose bytes have digest `digest`.
Verdict Judge(const ReplicaState& state, const StoreVersion& version, const std::string& digest);

// Records that an authentic envelope was seen (last seen per station, the Lamport counter).
void NoteSeen(ReplicaState* state, const StoreVersion& version, const std::string& digest);

// The version of a new local store: one more than any counter seen.
StoreVersion NextLocalVersion(ReplicaState* state, const std::string& station);

bool SaveReplicaState(const std::string& path, const ReplicaState& state, std::string* error);
// A missing file gives the empty state; a damaged one is an error.
bool LoadReplicaState(const std::string& path, ReplicaState* state, std::string* error);
