// Feeds any bytes to the audit trail's reader and verifier: no crash, no runaway memory, and the
// two agree on where the trail stops reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "audit/AuditRecord.h"
#include "audit/AuditTrail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first line is taken as a head file, the rest as the trail.
    const size_t split = bytes.find('\n');
    const std::string head = split == std::string::npos ? "" : bytes.substr(0, split + 1);
    const std::string trail = split == std::string::npos ? bytes : bytes.substr(split + 1);
    AuditVerdict verdict = VerifyAuditBytes(trail, head);
    // Every record the verifier accepted decodes, and re-encodes to a line that decodes again.
    size_t start = 0;
    for (uint64_t line = 0; line < verdict.records; ++line) {
        size_t end = trail.find('\n', start);
        if (end == std::string::npos) std::abort();
        AuditRecord record;
        if (!DecodeAuditLine(std::string_view(trail).substr(start, end - start), &record,
                             nullptr)) {
            std::abort();
        }
        AuditRecord again;
        if (!DecodeAuditLine(EncodeAuditLine(record), &again, nullptr)) std::abort();
        if (again.seq != record.seq || again.prev != record.prev) std::abort();
        start = end + 1;
    }
    return 0;
}
