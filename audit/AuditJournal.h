// Forwards audit records to the station's journal, where plants collect them centrally: to the
// systemd journal with structured fields when its socket exists, else to syslog when /dev/log
// exists, else nowhere.
#pragma once

#include "audit/AuditRecord.h"

// Sends `record` with WARDLET_EVENT=, WARDLET_USER=, WARDLET_CODE= and WARDLET_OUTCOME=.
// Never blocks the caller for long and never fails it.
void SendAuditToJournal(const AuditRecord& record);
