#include "audit/AuditJournal.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <string>

namespace {

enum class Sink { kJournal, kSyslog, kNone };

// Looked up once: the sockets of a running station do not come and go.
Sink FindSink() {
    static const Sink sink = [] {
        if (access("/run/systemd/journal/socket", W_OK) == 0) return Sink::kJournal;
        if (access("/dev/log", W_OK) == 0) return Sink::kSyslog;
        return Sink::kNone;
    }();
    return sink;
}

std::string Summary(const AuditRecord& record) {
    std::string text = "wardlet audit: " + record.event;
    for (const std::string* part : {&record.user, &record.outcome, &record.code, &record.via}) {
        if (!part->empty()) text += " " + *part;
    }
    return text;
}

}  // namespace

void SendAuditToJournal(const AuditRecord& record) {
    switch (FindSink()) {
        case Sink::kJournal:
            sd_journal_send("MESSAGE=%s", Summary(record).c_str(), "PRIORITY=%i", LOG_INFO,
                            "SYSLOG_IDENTIFIER=wardlet", "WARDLET_EVENT=%s", record.event.c_str(),
                            "WARDLET_USER=%s", record.user.c_str(), "WARDLET_CODE=%s",
                            record.code.c_str(), "WARDLET_OUTCOME=%s", record.outcome.c_str(),
                            "WARDLET_SEQ=%llu", static_cast<unsigned long long>(record.seq),
                            nullptr);
            break;
        case Sink::kSyslog:
            syslog(LOG_AUTHPRIV | LOG_INFO, "%s", EncodeAuditLine(record).c_str());
            break;
        case Sink::kNone:
            break;
    }
}
