// What the library records in the audit trail beside its data file, and how: one call per event,
// made after the decision, outside every other hold of the data-file lock. Writing the record
// never changes an answer; a failure is reported on standard error once per process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wardlet/platform/String.h"

class CSaveProp;

struct AuditEntry {
    std::string event{};    // "login", "logout", "get-passed", "config", ...
    CString user{};         // code page 936, as the library holds it
    std::string outcome{};  // "accepted", "refused", "granted", ...
    std::optional<uint32_t> code{};
    std::string via{};
    std::string reason{};                                       // UTF-8
    std::vector<std::pair<std::string, std::string>> detail{};  // UTF-8
};

// Appends the entry to "<data file>.audit" under the data-file lock and sends it to the journal.
// Does nothing before a data source is set.
void WriteAudit(const AuditEntry& entry);

// Lets the next failure be reported again. For tests.
void ResetAuditFailureReport();

// What changed from `before` to `after`, as audit detail: users, groups, memberships and rights
// added or removed, users and groups changed (which fields; never a password's value) and the
// settings. Empty when nothing changed.
std::vector<std::pair<std::string, std::string>> DescribeStoreChanges(const CSaveProp& before,
                                                                      const CSaveProp& after);

// A copy of a loaded store, through its own serialisation.
void CopyStore(const CSaveProp& from, CSaveProp* to);
