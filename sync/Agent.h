// The sync agent of one station: takes the station's own saves from the outbox and publishes
// them, and applies the newer stores other stations publish. Its life is four phases, which its
// log lines name: connecting, catching up (the retained stores arrive), steady, stopping.
#pragma once

#include <string>

#include "sync/Envelope.h"
#include "sync/SyncConfig.h"

enum class AgentPhase { kConnecting, kCatchingUp, kSteady, kStopping };
const char* PhaseName(AgentPhase phase);

// Reasons a received message is refused; their names appear in the log and the status.
// DO NOT RENAME: monitoring reads them from `status --json`.
inline constexpr const char* kRefusalReasons[] = {
    "malformed", "bad_key", "other_site", "not_newer", "replay", "damaged_store", "too_large"};

// Runs the agent in the foreground until SIGTERM or SIGINT. Returns the process's exit code: 0
// after a signal, 1 when it cannot start (the reason is on standard error).
int RunAgent(const SyncConfig& config, const SiteKey& key, const std::string& brokerPassword);
