// Reading and checking the audit trail beside the data file.
#include <ctime>
#include <iostream>

#include "audit/AuditTrail.h"
#include "tools/Cli.h"
#include "tools/CliJson.h"
#include "tools/CliText.h"
#include "wardlet/platform/Time.h"

namespace {

// Seconds since 1970 of a record's "2026-12-08T23:00:03Z"; -1 when it is not that.
int64_t RecordSeconds(const std::string& text) {
    tm parts{};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts);
    if (end == nullptr || *end != '\0') return -1;
    return static_cast<int64_t>(timegm(&parts));
}

// --since: a local "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (or with T).
int64_t SinceSeconds(const std::string& text) {
    int year, month, day, hour = 0, minute = 0, second = 0;
    char separator = ' ', rest;
    int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &year, &month, &day,
                             &separator, &hour, &minute, &second, &rest);
    bool dateOnly = fields == 3 && text.size() == 10;
    bool dateTime = fields == 7 && text.size() == 19 && (separator == ' ' || separator == 'T');
    if ((!dateOnly && !dateTime) || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59) {
        throw CliError(
            kExitUsage,
            "--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM:SS (local time), not '" + text + "'");
    }
    return CTime(year, month, day, hour, minute, second).GetTime();
}

OrderedJson RecordJson(const AuditRecord& record) {
    OrderedJson detail = OrderedJson::object();
    for (const auto& [key, value] : record.detail) detail[key] = value;
    return {{"seq", record.seq},         {"time", record.time},   {"pid", record.pid},
            {"program", record.program}, {"event", record.event}, {"user", record.user},
            {"outcome", record.outcome}, {"code", record.code},   {"via", record.via},
            {"reason", record.reason},   {"detail", detail}};
}

void PrintRecord(const AuditRecord& record) {
    std::cout << record.time << "  #" << record.seq << "  " << record.event;
    for (const std::string* part : {&record.user, &record.outcome, &record.code, &record.via}) {
        if (!part->empty()) std::cout << "  " << *part;
    }
    if (!record.reason.empty()) std::cout << "  (" << record.reason << ")";
    for (const auto& [key, value] : record.detail) std::cout << "  " << key << ": " << value;
    std::cout << "  [" << record.program << " " << record.pid << "]\n";
}

}  // namespace

int RunAudit(const Invocation& invocation) {
    const CommandOptions& options = invocation.options;
    const int64_t since = options.since ? SinceSeconds(*options.since) : INT64_MIN;
    const std::string path = AuditTrailPath(invocation.dataPath);
    AuditReadResult trail = ReadAuditTrail(path);
    if (trail.missing) std::cerr << "wardlet: no audit trail at " << path << " yet\n";
    OrderedJson list = OrderedJson::array();
    for (const AuditRecord& record : trail.records) {
        if (RecordSeconds(record.time) < since) continue;
        if (options.json) {
            list.push_back(RecordJson(record));
        } else {
            PrintRecord(record);
        }
    }
    if (options.json) PrintJson(list);
    if (!trail.error.empty()) {
        throw CliError(kExitNo, "the audit trail " + path + " breaks off at " + trail.error +
                                    " ('wardlet audit verify' checks it)");
    }
    return kExitOk;
}

int RunAuditVerify(const Invocation& invocation) {
    const std::string path = AuditTrailPath(invocation.dataPath);
    AuditVerdict verdict = VerifyAuditTrail(path);
    if (verdict.intact) {
        std::cout << "the audit trail " << path << " is whole: " << verdict.records
                  << " record(s), every one chained to the one before\n";
        return kExitOk;
    }
    std::string where = verdict.brokenLine == 0
                            ? "the trail"
                            : "record " + std::to_string(verdict.brokenLine) + " (line " +
                                  std::to_string(verdict.brokenLine) + ")";
    throw CliError(kExitNo, "the audit trail " + path + " is broken at " + where + ": " +
                                verdict.reason + "; the " + std::to_string(verdict.records) +
                                " record(s) before it hold");
}
