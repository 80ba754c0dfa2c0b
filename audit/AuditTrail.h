// The audit trail file: records appended one line at a time, each chained to the one before, and
// a small head file beside it naming the last record written, so that lines cut off the end show
// as well as lines edited or deleted in the middle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/AuditRecord.h"

// "<data file>.audit" and "<data file>.audit.head".
std::string AuditTrailPath(const std::string& dataPath);
std::string AuditHeadPath(const std::string& trailPath);

// Appends `record` to the trail at `trailPath` (created mode 0600; an existing file is made 0600),
// setting its "seq" and "prev" from the last line. A last line left without its line end by a
// writer that died is cut off first. Returns false, with `error` set, when the record could not be
// written whole; the trail then holds what it held before.
// REQUIRES: the caller holds the lock that serialises every writer of the trail.
bool AppendAuditRecord(const std::string& trailPath, AuditRecord record, std::string* error);

struct AuditReadResult {
    std::vector<AuditRecord> records;  // those read before the first broken line
    bool missing = false;              // there is no trail
    std::string error;                 // empty when every line reads
};
// Reads the trail; never throws for a bad file.
AuditReadResult ReadAuditTrail(const std::string& trailPath);

struct AuditVerdict {
    bool intact = false;
    uint64_t records = 0;     // records that check out, from the first
    uint64_t brokenLine = 0;  // the first line that does not (0 when intact, or for the head)
    std::string reason;
};
// Checks every line, the numbering and the chain of hashes, and the head file.
AuditVerdict VerifyAuditTrail(const std::string& trailPath);
// The same for a trail's bytes and its head file's bytes ("" for no head file).
AuditVerdict VerifyAuditBytes(const std::string& trail, const std::string& head);
