#include "module/AuditHook.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "audit/AuditJournal.h"
#include "audit/AuditTrail.h"
#include "module/WardletApp.h"
#include "platform/Cp936.h"
#include "store/FileMutexHold.h"
#include "store/RecordLists.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/Time.h"
#include "wardlet/store/SaveProp.h"

namespace {

std::atomic<bool> g_auditFailureReported{false};

std::string Utf8(const CString& text) { return Utf8FromCp936Replacing(text.View()); }

std::string CodeText(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

std::string UtcTime(int64_t seconds) {
    time_t when = static_cast<time_t>(seconds);
    tm parts{};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

void ReportFailureOnce(const std::string& error) {
    if (g_auditFailureReported.exchange(true)) return;
    std::fprintf(stderr,
                 "wardlet: cannot write the audit trail (%s); answers are not affected, and this "
                 "is reported once\n",
                 error.c_str());
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

template <typename Record>
std::map<int32_t, const Record*> ById(const CObList& list) {
    std::map<int32_t, const Record*> records;
    ForEachRecord<Record>(list,
                          [&](const Record& record) { records.emplace(record.m_nID, &record); });
    return records;
}

// The name of record `id`, or "#<id>" where the store holds none.
template <typename Record>
std::string NameOf(const std::map<int32_t, const Record*>& records, int32_t id) {
    auto found = records.find(id);
    return found != records.end() ? Utf8(found->second->m_strName) : "#" + std::to_string(id);
}

std::string UserChanges(const CInfoUser& before, const CInfoUser& after) {
    std::vector<std::string> fields;
    if (before.m_strName != after.m_strName) fields.push_back("name " + Utf8(after.m_strName));
    if (before.m_strPassword != after.m_strPassword) fields.push_back("password");
    if (before.m_strRemark != after.m_strRemark) fields.push_back("remark");
    if (before.m_nTimeSectType != after.m_nTimeSectType || before.m_tFrom != after.m_tFrom ||
        before.m_tTo != after.m_tTo) {
        fields.push_back("validity");
    }
    return Joined(fields);
}

std::string GroupChanges(const CInfoGroup& before, const CInfoGroup& after) {
    std::vector<std::string> fields;
    if (before.m_strName != after.m_strName) fields.push_back("name " + Utf8(after.m_strName));
    if (before.m_strDesc != after.m_strDesc) fields.push_back("description");
    return Joined(fields);
}

// Added, removed and changed records of one kind, by number.
template <typename Record, typename Describe>
void CompareRecords(const CObList& beforeList, const CObList& afterList, const std::string& kind,
                    Describe describe, std::vector<std::pair<std::string, std::string>>* detail) {
    auto before = ById<Record>(beforeList);
    auto after = ById<Record>(afterList);
    std::vector<std::string> added, removed, changed;
    for (const auto& [id, record] : after) {
        auto old = before.find(id);
        if (old == before.end()) {
            added.push_back(Utf8(record->m_strName));
        } else if (std::string what = describe(*old->second, *record); !what.empty()) {
            changed.push_back(Utf8(old->second->m_strName) + " (" + what + ")");
        }
    }
    for (const auto& [id, record] : before) {
        if (after.count(id) == 0) removed.push_back(Utf8(record->m_strName));
    }
    if (!added.empty()) detail->emplace_back(kind + "_added", Joined(added));
    if (!removed.empty()) detail->emplace_back(kind + "_removed", Joined(removed));
    if (!changed.empty()) detail->emplace_back(kind + "_changed", Joined(changed));
}

// Links as "user / group" or "group / code" texts, named from the store they belong to.
std::set<std::string> Memberships(const CSaveProp& store) {
    auto users = ById<CInfoUser>(store.m_dataManager.m_userList);
    auto groups = ById<CInfoGroup>(store.m_dataManager.m_groupList);
    std::set<std::string> links;
    ForEachRecord<CInfoGroupUser>(
        store.m_dataManager.m_groupUserList, [&](const CInfoGroupUser& link) {
            links.insert(NameOf(users, link.m_nUserID) + " / " + NameOf(groups, link.m_nGroupID));
        });
    return links;
}

std::set<std::string> Rights(const CSaveProp& store) {
    auto groups = ById<CInfoGroup>(store.m_dataManager.m_groupList);
    std::set<std::string> links;
    ForEachRecord<CInfoGroupOper>(
        store.m_dataManager.m_groupOperList, [&](const CInfoGroupOper& link) {
            links.insert(NameOf(groups, link.m_nGroupID) + " / " +
                         CodeText(static_cast<uint32_t>(link.m_nOperCode)));
        });
    return links;
}

void CompareSets(const std::set<std::string>& before, const std::set<std::string>& after,
                 const std::string& kind,
                 std::vector<std::pair<std::string, std::string>>* detail) {
    std::vector<std::string> added, removed;
    for (const std::string& link : after) {
        if (before.count(link) == 0) added.push_back(link);
    }
    for (const std::string& link : before) {
        if (after.count(link) == 0) removed.push_back(link);
    }
    if (!added.empty()) detail->emplace_back(kind + "_added", Joined(added));
    if (!removed.empty()) detail->emplace_back(kind + "_removed", Joined(removed));
}

}  // namespace

void WriteAudit(const AuditEntry& entry) {
    try {
        if (g_strDataSource.IsEmpty()) return;
        AuditRecord record;
        record.time = UtcTime(CTime::GetCurrentTime().GetTime());
        record.pid = getpid();
        record.program = program_invocation_short_name;
        record.event = entry.event;
        record.user = Utf8(entry.user);
        record.outcome = entry.outcome;
        if (entry.code) record.code = CodeText(*entry.code);
        record.via = entry.via;
        record.reason = entry.reason;
        record.detail = entry.detail;
        std::string error;
        bool written;
        {
            FileMutexHold hold;
            written = AppendAuditRecord(AuditTrailPath(g_strDataSource.Bytes()), record, &error);
        }
        if (!written) ReportFailureOnce(error);
        SendAuditToJournal(record);
    } catch (const std::exception& error) {
        ReportFailureOnce(error.what());
    }
}

void ResetAuditFailureReport() { g_auditFailureReported = false; }

std::vector<std::pair<std::string, std::string>> DescribeStoreChanges(const CSaveProp& before,
                                                                      const CSaveProp& after) {
    std::vector<std::pair<std::string, std::string>> detail;
    CompareRecords<CInfoUser>(before.m_dataManager.m_userList, after.m_dataManager.m_userList,
                              "users", UserChanges, &detail);
    CompareRecords<CInfoGroup>(before.m_dataManager.m_groupList, after.m_dataManager.m_groupList,
                               "groups", GroupChanges, &detail);
    CompareSets(Memberships(before), Memberships(after), "memberships", &detail);
    CompareSets(Rights(before), Rights(after), "rights", &detail);
    std::vector<std::string> settings;
    if (before.m_strAdminName != after.m_strAdminName) settings.push_back("administrator name");
    if (before.m_strAdminPassword != after.m_strAdminPassword) {
        settings.push_back("administrator password");
    }
    if (before.m_bEditGroup != after.m_bEditGroup || before.m_bEditRight != after.m_bEditRight ||
        before.m_bEditUser != after.m_bEditUser) {
        settings.push_back("edit permissions");
    }
    if (before.m_bAutoLogout != after.m_bAutoLogout ||
        before.m_nLogoutMinutes != after.m_nLogoutMinutes) {
        settings.push_back("automatic logout");
    }
    if (!settings.empty()) detail.emplace_back("settings_changed", Joined(settings));
    return detail;
}

void CopyStore(const CSaveProp& from, CSaveProp* to) {
    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        const_cast<CSaveProp&>(from).Serialize(out);
        out.Close();
    }
    CMemFile in(file.Bytes());
    CArchive archive(&in, CArchive::load);
    to->m_dataManager.RemoveAllRecords();
    to->Serialize(archive);
}
