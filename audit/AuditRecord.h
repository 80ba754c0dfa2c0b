// One record of the audit trail and its line format: a JSON object on one line, its keys in a
// fixed order, chained to the record before it by that record's SHA-256. docs/audit-format.md
// describes the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Part of the format: the "prev" of the first record, and the longest line a reader accepts.
inline constexpr const char kAuditFirstPrev[] =
    "0000000000000000000000000000000000000000000000000000000000000000";
inline constexpr size_t kAuditLongestLine = 65536;

struct AuditRecord {
    uint64_t seq = 0;     // 1 for the first record, one more for each after it
    std::string time;     // UTC, "2026-12-08T23:00:03Z"
    int64_t pid = 0;      // the process that wrote it
    std::string program;  // that process's program name
    std::string event;    // "login", "logout", "get-passed", "config", "modify-password", ...
    // The fields below are left out of the line when empty. Texts are UTF-8.
    std::string user;
    std::string outcome;  // "accepted", "refused", "granted", "saved", ...
    std::string code;     // a right code, "0x01010100"
    std::string via;      // how the decision was taken: "logged-in", "dialog", "hand", "timer"
    std::string reason;
    std::vector<std::pair<std::string, std::string>> detail;  // in the order given
    std::string prev;  // hex SHA-256 of the line before, kAuditFirstPrev for the first
};

// The record as its line, without the line end.
std::string EncodeAuditLine(const AuditRecord& record);

// Reads one line (without its line end) into `record`. Returns false, with `error` saying what is
// wrong, for anything but a record this writer could have written.
bool DecodeAuditLine(std::string_view line, AuditRecord* record, std::string* error);

// Lower-case hex SHA-256 of a line's bytes (without its line end): the next record's "prev".
std::string AuditLineHash(std::string_view line);
