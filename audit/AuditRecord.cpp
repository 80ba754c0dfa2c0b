#include "audit/AuditRecord.h"

#include <sodium.h>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

void PutIfAny(Json& line, const char* key, const std::string& value) {
    if (!value.empty()) line[key] = value;
}

bool IsLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool Fail(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
    return false;
}

// Reads an optional text field; false when it is there but no text.
bool TakeText(const Json& line, const char* key, std::string* out, std::string* error) {
    auto found = line.find(key);
    if (found == line.end()) return true;
    if (!found->is_string()) return Fail(error, std::string("\"") + key + "\" is not a text");
    *out = found->get<std::string>();
    return true;
}

constexpr const char* kKnownKeys[] = {"seq",     "time", "pid", "program", "event",  "user",
                                      "outcome", "code", "via", "reason",  "detail", "prev"};

bool IsKnownKey(const std::string& key) {
    for (const char* known : kKnownKeys) {
        if (key == known) return true;
    }
    return false;
}

}  // namespace

std::string EncodeAuditLine(const AuditRecord& record) {
    Json line;
    line["seq"] = record.seq;
    line["time"] = record.time;
    line["pid"] = record.pid;
    line["program"] = record.program;
    line["event"] = record.event;
    PutIfAny(line, "user", record.user);
    PutIfAny(line, "outcome", record.outcome);
    PutIfAny(line, "code", record.code);
    PutIfAny(line, "via", record.via);
    PutIfAny(line, "reason", record.reason);
    if (!record.detail.empty()) {
        Json detail = Json::object();
        for (const auto& [key, value] : record.detail) detail[key] = value;
        line["detail"] = std::move(detail);
    }
    line["prev"] = record.prev;
    // Bytes that are not UTF-8 become U+FFFD: a line is always valid JSON.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool DecodeAuditLine(std::string_view text, AuditRecord* record, std::string* error) {
    if (text.size() > kAuditLongestLine) return Fail(error, "the line is longer than 65536 bytes");
    Json line = Json::parse(text.begin(), text.end(), nullptr, false);
    if (line.is_discarded()) return Fail(error, "the line is not JSON");
    if (!line.is_object()) return Fail(error, "the line is not a JSON object");
    for (const auto& [key, value] : line.items()) {
        if (!IsKnownKey(key)) return Fail(error, "unknown key \"" + key + "\"");
    }
    AuditRecord out;
    auto seq = line.find("seq");
    if (seq == line.end() || !seq->is_number_unsigned() || seq->get<uint64_t>() == 0) {
        return Fail(error, "\"seq\" is missing or not a positive whole number");
    }
    out.seq = seq->get<uint64_t>();
    auto pid = line.find("pid");
    if (pid == line.end() || !pid->is_number_integer()) {
        return Fail(error, "\"pid\" is missing or not a whole number");
    }
    out.pid = pid->get<int64_t>();
    for (auto [key, field] : {std::pair{"time", &out.time}, std::pair{"program", &out.program},
                              std::pair{"event", &out.event}, std::pair{"prev", &out.prev}}) {
        if (!line.contains(key)) return Fail(error, std::string("\"") + key + "\" is missing");
        if (!TakeText(line, key, field, error)) return false;
    }
    for (auto [key, field] : {std::pair{"user", &out.user}, std::pair{"outcome", &out.outcome},
                              std::pair{"code", &out.code}, std::pair{"via", &out.via},
                              std::pair{"reason", &out.reason}}) {
        if (!TakeText(line, key, field, error)) return false;
    }
    if (out.event.empty()) return Fail(error, "\"event\" is empty");
    if (out.prev.size() != 64 || !IsLowerHex(out.prev)) {
        return Fail(error, "\"prev\" is not 64 lower-case hex digits");
    }
    auto detail = line.find("detail");
    if (detail != line.end()) {
        if (!detail->is_object()) return Fail(error, "\"detail\" is not an object");
        for (const auto& [key, value] : detail->items()) {
            if (!value.is_string()) return Fail(error, "detail \"" + key + "\" is not a text");
            out.detail.emplace_back(key, value.get<std::string>());
        }
    }
    *record = std::move(out);
    return true;
}

std::string AuditLineHash(std::string_view line) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(line.data()), line.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * sizeof digest);
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}
