// The agent's durable outbox: one file per save, holding the store in the transfer form. Saves
// put files in; the agent takes them out once it has made them its own.
#pragma once

#include <string>
#include <vector>

// Puts `bytes` into `outboxDir` as a new entry (creating the folder, mode 0700, if needed): whole
// file, fsync, rename, directory fsync; mode 0600. A `forced` entry is published even when it
// holds the bytes the station already holds. Returns false with `*error` on any failure, leaving
// no partial entry behind.
bool WriteOutboxEntry(const std::string& outboxDir, const void* bytes, size_t size, bool forced,
                      std::string* error);

struct OutboxEntry {
    std::string path;
    bool forced = false;
};

// The finished entries, oldest first (names sort by the time they were written). Temporary files
// of writes still under way are not entries.
std::vector<OutboxEntry> ListOutbox(const std::string& outboxDir);
