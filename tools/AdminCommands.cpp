// The administration from the command line: users, groups, memberships and rights, changed under
// the same rules as the sheet's dialogs and saved through the library's own save, so that the
// change is forwarded as an OK of the sheet is. Every change asks for the administrator's pair.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "module/AuditHook.h"
#include "module/Credentials.h"
#include "module/WardletApp.h"
#include "store/FileMutexHold.h"
#include "store/RecordLists.h"
#include "store/RecordRules.h"
#include "tools/Cli.h"
#include "tools/CliFiles.h"
#include "tools/CliText.h"
#include "tools/PasswordInput.h"
#include "wardlet/store/SaveProp.h"

namespace {

// One change. Everything is asked first, against a first read of the store; then the data-file
// lock is taken and held from a fresh load to the save, so that no other program's save lands in
// between and is lost, and nobody waits on the lock while the administrator types.
class Change {
public:
    Change(const Invocation& invocation, std::string command)
        : m_invocation(invocation), m_command(std::move(command)), m_store(Load()) {}

    CSaveProp& Store() { return *m_store; }
    CDataManager& Records() { return m_store->m_dataManager; }
    PasswordInput& Input() { return m_input; }

    // Asks for the administrator's password (from the file, else from the input) and refuses a
    // wrong pair before anything else is asked or changed.
    void CheckAdministrator() {
        const CommandOptions& options = m_invocation.options;
        m_admin = options.admin.empty() ? m_store->m_strAdminName
                                        : CString(LibraryText(options.admin, "--admin"));
        std::string password =
            options.adminPasswordFile.empty()
                ? m_input.Ask("password of the administrator " + Printable(m_admin.View()))
                : ReadPasswordFile(options.adminPasswordFile, "administrator's password");
        m_adminPassword = CString(LibraryText(password, "the password"));
        RequireAdministrator();
    }

    // Takes the data-file lock, loads the store afresh and checks the pair against it; the
    // records handed out before are gone. `flag` is the store's own permission for this kind of
    // change, which the sheet's pages honour too.
    void Begin(int32_t CSaveProp::*flag, const char* what) {
        m_hold.emplace();
        m_store = Load();
        RequireAdministrator();
        if (!(m_store.get()->*flag)) {
            throw CliError(kExitNo, std::string("the store does not allow editing ") + what +
                                        " (the sheet's Other page switches it on)");
        }
        CopyStore(*m_store, &m_before);
    }

    // CheckAdministrator, then Begin: for a change that asks nothing more.
    void Authorise(int32_t CSaveProp::*flag, const char* what) {
        CheckAdministrator();
        Begin(flag, what);
    }

    void Save(const std::string& done) {
        if (!m_invocation.dataFileExisted) CreateParentFolders(m_invocation.dataPath);
        const bool saved = m_store->SaveToFile() == 1;
        m_hold.reset();
        std::vector<std::pair<std::string, std::string>> detail = {{"command", m_command}};
        for (auto& item : DescribeStoreChanges(m_before, *m_store)) detail.push_back(item);
        WriteAudit({.event = "cli-change",
                    .user = m_admin,
                    .outcome = saved ? "saved" : "save-failed",
                    .detail = detail});
        if (!saved) {
            throw CliError(kExitNo, "the change could not be saved to " + m_invocation.dataPath);
        }
        std::cout << done << '\n';
    }

private:
    // A missing file gives the defaults, which the save then writes; a damaged one is never
    // rewritten from the part that could be read.
    std::unique_ptr<CSaveProp> Load() const {
        auto store = std::make_unique<CSaveProp>();
        if (m_invocation.dataFileExisted && store->LoadFromFile() != 1) {
            throw CliError(kExitDataFile, "cannot read the whole store from " +
                                              m_invocation.dataPath + "; nothing was changed");
        }
        return store;
    }

    void RequireAdministrator() {
        if (IsAdministrator(*m_store, m_admin, m_adminPassword)) return;
        m_hold.reset();
        WriteAudit({.event = "cli-change",
                    .user = m_admin,
                    .outcome = "refused",
                    .reason = "wrong administrator name or password",
                    .detail = {{"command", m_command}}});
        throw CliError(kExitNo, "not the administrator's name and password; nothing was changed");
    }

    const Invocation& m_invocation;
    std::string m_command;
    std::unique_ptr<CSaveProp> m_store;
    CSaveProp m_before;
    CString m_admin;
    CString m_adminPassword;
    PasswordInput m_input;
    std::optional<FileMutexHold> m_hold;
};

[[noreturn]] void Refused(RecordRefusal refusal) {
    throw CliError(kExitNo, Printable(RefusalNotice(refusal).View()));
}

void Require(RecordRefusal refusal) {
    if (refusal != RecordRefusal::kNone) Refused(refusal);
}

// The one record of that name: two accounts of one name would make the change ambiguous.
template <typename Record>
Record* FindOne(const CObList& list, const std::string& name, const char* kind) {
    CString wanted(LibraryText(name, kind));
    std::vector<Record*> found;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        auto* record = static_cast<Record*>(list.GetNext(pos));
        if (record->m_strName == wanted) found.push_back(record);
    }
    if (found.empty()) throw CliError(kExitNo, std::string("no ") + kind + " named " + name);
    if (found.size() > 1) {
        throw CliError(kExitNo, std::to_string(found.size()) + " " + kind + "s are named " + name +
                                    "; tell them apart in the sheet");
    }
    return found.front();
}

std::vector<int32_t> GroupIDs(CDataManager& records, const std::vector<std::string>& names) {
    std::vector<int32_t> ids;
    for (const std::string& name : names) {
        ids.push_back(FindOne<CInfoGroup>(records.m_groupList, name, "group")->m_nID);
    }
    return ids;
}

// "HH:MM:SS"; false for anything else.
bool ParseClock(const std::string& text, int* hour, int* minute, int* second) {
    char rest;
    return std::sscanf(text.c_str(), "%2d:%2d:%2d%c", hour, minute, second, &rest) == 3 &&
           text.size() == 8 && *hour >= 0 && *hour < 24 && *minute >= 0 && *minute < 60 &&
           *second >= 0 && *second < 60;
}

CTime ParseDailyTime(const std::string& text) {
    int hour, minute, second;
    if (!ParseClock(text, &hour, &minute, &second)) {
        throw CliError(kExitUsage, "'" + text + "' is no time of day; write HH:MM:SS");
    }
    return CTime(2000, 1, 1, hour, minute, second);
}

// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DDTHH:MM:SS", local time; a date that does not exist is
// refused rather than rolled over.
CTime ParseDateTime(const std::string& text) {
    int year, month, day, hour, minute, second;
    char separator;
    bool parsed =
        text.size() == 19 &&
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &separator) == 4 &&
        (separator == ' ' || separator == 'T') &&
        ParseClock(text.substr(11), &hour, &minute, &second) && year >= 1970 && year <= 2037 &&
        month >= 1 && month <= 12 && day >= 1 && day <= 31;
    if (parsed) {
        CTime time(year, month, day, hour, minute, second);
        if (time.GetYear() == year && time.GetMonth() == month && time.GetDay() == day) return time;
    }
    throw CliError(kExitUsage, "'" + text + "' is no date and time; write YYYY-MM-DD HH:MM:SS");
}

struct Validity {
    int32_t kind = kValidForever;
    CTime dailyFrom, dailyTo, rangeFrom, rangeTo;
};

// The validity the options ask for; none when they name none.
std::optional<Validity> RequestedValidity(const CommandOptions& options) {
    Validity validity;
    if (options.daily) {
        size_t dash = options.daily->find('-');
        if (dash == std::string::npos) {
            throw CliError(kExitUsage, "--daily takes HH:MM:SS-HH:MM:SS");
        }
        validity.kind = kValidDaily;
        validity.dailyFrom = ParseDailyTime(options.daily->substr(0, dash));
        validity.dailyTo = ParseDailyTime(options.daily->substr(dash + 1));
    } else if (!options.period.empty()) {
        validity.kind = kValidPeriod;
        validity.rangeFrom = ParseDateTime(options.period[0]);
        validity.rangeTo = ParseDateTime(options.period[1]);
    } else if (!options.permanent) {
        return std::nullopt;
    }
    return validity;
}

void ApplyValidity(const Validity& validity, CInfoUser* user) {
    CTime from, to;
    Require(ComputeValidity(validity.kind, validity.dailyFrom, validity.dailyTo, validity.rangeFrom,
                            validity.rangeTo, &from, &to));
    user->m_nTimeSectType = validity.kind;
    user->m_tFrom = from.GetTime();
    user->m_tTo = to.GetTime();
}

std::vector<uint32_t> CatalogueCodes(const CDataManager& records,
                                     const std::vector<std::string>& texts) {
    std::vector<uint32_t> codes;
    for (const std::string& text : texts) {
        std::optional<uint32_t> code = ParseRightCode(text);
        if (!code) {
            throw CliError(kExitUsage, "'" + text +
                                           "' is not a right code; give it in hexadecimal, " +
                                           "as in 0x01010201");
        }
        if (!IsCatalogueCode(records, *code)) {
            throw CliError(
                kExitUsage,
                FormatCode(*code) + " is not in the catalogue; 'wardlet catalogue' lists them");
        }
        codes.push_back(*code);
    }
    return codes;
}

}  // namespace

int RunUserAdd(const Invocation& invocation) {
    const CommandOptions& options = invocation.options;
    std::optional<Validity> validity = RequestedValidity(options);  // bad options ask nothing
    Change change(invocation, "user add");
    CString name(LibraryText(invocation.operands[0], "NAME"));
    CString remark(LibraryText(options.remark.value_or(""), "--remark"));
    change.CheckAdministrator();
    CString password(
        LibraryText(change.Input().AskNew("password of the new user"), "the password"));
    change.Begin(&CSaveProp::m_bEditUser, "users");
    CDataManager& records = change.Records();
    std::vector<int32_t> groups = GroupIDs(records, options.groups);
    Require(CheckUserTexts(records, name, password, password, true));
    auto user = std::make_unique<CInfoUser>();
    user->m_nID = records.NextUserID();
    user->m_strName = name;
    user->m_strPassword = password;
    user->m_strRemark = remark;
    ApplyValidity(validity.value_or(Validity{}), user.get());
    // As the dialog does: the memberships first, then the record at the end of the list.
    SetUserGroups(&change.Store(), user->m_nID, groups);
    const int32_t id = user->m_nID;
    records.m_userList.AddTail(user.release());
    change.Save("user " + Printable(name.View()) + " added as number " + std::to_string(id));
    return kExitOk;
}

int RunUserSet(const Invocation& invocation) {
    const CommandOptions& options = invocation.options;
    std::optional<Validity> validity = RequestedValidity(options);
    Change change(invocation, "user set");
    change.CheckAdministrator();
    std::optional<CString> newPassword;
    if (options.password) {
        newPassword = CString(LibraryText(
            change.Input().AskNew("new password of " + invocation.operands[0]), "the password"));
    }
    change.Begin(&CSaveProp::m_bEditUser, "users");
    CDataManager& records = change.Records();
    CInfoUser* user = FindOne<CInfoUser>(records.m_userList, invocation.operands[0], "user");
    CString name =
        options.rename ? CString(LibraryText(*options.rename, "--rename")) : user->m_strName;
    CString remark =
        options.remark ? CString(LibraryText(*options.remark, "--remark")) : user->m_strRemark;
    std::optional<std::vector<int32_t>> groups;
    if (!options.groups.empty() || options.noGroups) groups = GroupIDs(records, options.groups);
    CString password = newPassword.value_or(user->m_strPassword);
    // An edited user may keep or take any name, as in the dialog.
    Require(CheckUserTexts(records, name, password, password, false));
    if (validity) ApplyValidity(*validity, user);
    user->m_strName = name;
    user->m_strPassword = password;
    user->m_strRemark = remark;
    if (groups) SetUserGroups(&change.Store(), user->m_nID, *groups);
    change.Save("user " + Printable(name.View()) + " changed");
    return kExitOk;
}

int RunUserDel(const Invocation& invocation) {
    Change change(invocation, "user del");
    change.Authorise(&CSaveProp::m_bEditUser, "users");
    CDataManager& records = change.Records();
    records.RemoveUser(FindOne<CInfoUser>(records.m_userList, invocation.operands[0], "user"));
    change.Save("user " + invocation.operands[0] + " deleted with its memberships");
    return kExitOk;
}

int RunGroupAdd(const Invocation& invocation) {
    Change change(invocation, "group add");
    change.Authorise(&CSaveProp::m_bEditGroup, "groups");
    CDataManager& records = change.Records();
    CString name(LibraryText(invocation.operands[0], "NAME"));
    Require(CheckGroupName(records, name, true));
    auto group = std::make_unique<CInfoGroup>();
    group->m_nID = records.NextGroupID();
    group->m_strName = name;
    group->m_strDesc = CString(LibraryText(invocation.options.desc.value_or(""), "--desc"));
    const int32_t id = group->m_nID;
    records.m_groupList.AddTail(group.release());
    change.Save("group " + Printable(name.View()) + " added as number " + std::to_string(id));
    return kExitOk;
}

int RunGroupSet(const Invocation& invocation) {
    const CommandOptions& options = invocation.options;
    Change change(invocation, "group set");
    change.Authorise(&CSaveProp::m_bEditGroup, "groups");
    CDataManager& records = change.Records();
    CInfoGroup* group = FindOne<CInfoGroup>(records.m_groupList, invocation.operands[0], "group");
    CString name =
        options.rename ? CString(LibraryText(*options.rename, "--rename")) : group->m_strName;
    Require(CheckGroupName(records, name, false));
    group->m_strName = name;
    if (options.desc) group->m_strDesc = CString(LibraryText(*options.desc, "--desc"));
    change.Save("group " + Printable(name.View()) + " changed");
    return kExitOk;
}

int RunGroupDel(const Invocation& invocation) {
    Change change(invocation, "group del");
    change.Authorise(&CSaveProp::m_bEditGroup, "groups");
    CDataManager& records = change.Records();
    records.RemoveGroup(FindOne<CInfoGroup>(records.m_groupList, invocation.operands[0], "group"));
    change.Save("group " + invocation.operands[0] + " deleted with its memberships and rights");
    return kExitOk;
}

// The group named first and the codes named after it, for grant and revoke: the codes are
// checked against the catalogue before the administrator is asked.
struct GroupAndCodes {
    CInfoGroup* group;
    std::vector<uint32_t> codes;
};
GroupAndCodes AuthoriseGroupRights(Change& change, const Invocation& invocation) {
    std::vector<std::string> texts(invocation.operands.begin() + 1, invocation.operands.end());
    std::vector<uint32_t> codes = CatalogueCodes(change.Records(), texts);
    change.Authorise(&CSaveProp::m_bEditGroup, "groups");
    return {FindOne<CInfoGroup>(change.Records().m_groupList, invocation.operands[0], "group"),
            std::move(codes)};
}

int RunGroupGrant(const Invocation& invocation) {
    Change change(invocation, "group grant");
    const auto [group, codes] = AuthoriseGroupRights(change, invocation);
    for (uint32_t code : codes) theApp.AddGroupOper(&change.Store(), code, group->m_nID);
    change.Save(std::to_string(codes.size()) + " right(s) granted to " + invocation.operands[0]);
    return kExitOk;
}

int RunGroupRevoke(const Invocation& invocation) {
    Change change(invocation, "group revoke");
    const auto [group, codes] = AuthoriseGroupRights(change, invocation);
    const int32_t groupID = group->m_nID;
    int revoked = 0;
    for (uint32_t code : codes) {
        const auto stored = static_cast<int32_t>(code);
        revoked += theApp.IsGroupOperLinked(&change.Store(), code, groupID) ? 1 : 0;
        DeleteWhere<CInfoGroupOper>(
            change.Records().m_groupOperList, [&](const CInfoGroupOper& link) {
                return link.m_nGroupID == groupID && link.m_nOperCode == stored;
            });
    }
    if (revoked == 0) {
        throw CliError(kExitNo,
                       invocation.operands[0] + " holds none of these rights; nothing was changed");
    }
    change.Save(std::to_string(revoked) + " right(s) revoked from " + invocation.operands[0]);
    return kExitOk;
}
