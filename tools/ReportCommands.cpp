// Readable reports of the store: everything but the passwords, and the operation catalogue.
#include <iostream>
#include <string>
#include <vector>

#include "rights/RightCode.h"
#include "tools/Cli.h"
#include "tools/CliJson.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"

namespace {

const char* YesNo(int32_t flag) { return flag ? "yes" : "no"; }

std::string JoinOrNone(const std::vector<std::string>& items) {
    if (items.empty()) return "(none)";
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

void PrintField(const char* label, const std::string& value) {
    std::cout << "       " << PadToWidth(label, 14) << value << '\n';
}

void PrintSettings(const CSaveProp& store) {
    std::cout << "Settings\n";
    PrintField("administrator", Printable(store.m_strAdminName.View()));
    PrintField("edit groups", YesNo(store.m_bEditGroup));
    PrintField("edit rights", YesNo(store.m_bEditRight));
    PrintField("edit users", YesNo(store.m_bEditUser));
    std::string minutes = std::to_string(store.m_nLogoutMinutes) + " minutes";
    PrintField("auto logout", store.m_bAutoLogout ? "yes, after " + minutes
                                                  : "no (" + minutes + " when switched on)");
}

// Passwords are deliberately left out: a report gets pasted into tickets and mails.
void PrintUser(const CSaveProp& store, const CInfoUser& user) {
    std::cout << "  " << PadToWidth(std::to_string(user.m_nID), 4)
              << Printable(user.m_strName.View()) << '\n';
    PrintField("remark", Printable(user.m_strRemark.View()));
    PrintField("groups", JoinOrNone(GroupNamesOfUser(store, user.m_nID)));
    PrintField("validity", DescribeValidity(user.m_nTimeSectType, user.m_tFrom, user.m_tTo));
}

std::vector<std::string> DescribeRights(const CSaveProp& store, int32_t groupID) {
    std::vector<std::string> rights;
    for (uint32_t code : CodesGrantedToGroup(store, groupID)) {
        std::string where =
            FindOper(store, code) ? OperPath(store, code) : "(not in the catalogue)";
        rights.push_back(FormatCode(code) + "  " + where);
    }
    return rights;
}

void PrintGroup(const CSaveProp& store, const CInfoGroup& group) {
    std::cout << "  " << PadToWidth(std::to_string(group.m_nID), 4)
              << Printable(group.m_strName.View()) << '\n';
    PrintField("description", Printable(group.m_strDesc.View()));
    std::vector<std::string> rights = DescribeRights(store, group.m_nID);
    if (rights.empty()) PrintField("rights", "(none)");
    for (size_t i = 0; i < rights.size(); ++i) PrintField(i == 0 ? "rights" : "", rights[i]);
}

void PrintUsers(const CSaveProp& store) {
    const CObList& users = store.m_dataManager.m_userList;
    std::cout << "\nUsers (" << users.GetCount() << ")\n";
    ForEachRecord<CInfoUser>(users, [&](const CInfoUser& user) { PrintUser(store, user); });
}

void PrintGroups(const CSaveProp& store) {
    const CObList& groups = store.m_dataManager.m_groupList;
    std::cout << "\nGroups (" << groups.GetCount() << ")\n";
    ForEachRecord<CInfoGroup>(groups, [&](const CInfoGroup& group) { PrintGroup(store, group); });
}

void PrintCatalogueLine(const CInfoOper& oper) {
    uint32_t code = static_cast<uint32_t>(oper.m_nCode);
    std::string indent(static_cast<size_t>(GetCodeLevel(code) - 1) * 2, ' ');
    std::cout << indent << FormatCode(code) << "  " << Printable(oper.m_strName.View()) << " — "
              << Printable(oper.m_strDesc.View()) << '\n';
}

}  // namespace

int RunDump(const Invocation& invocation) {
    const CSaveProp& store = LoadStore();
    if (invocation.options.json) {
        OrderedJson users = OrderedJson::array();
        ForEachRecord<CInfoUser>(store.m_dataManager.m_userList, [&](const CInfoUser& user) {
            users.push_back(UserJson(store, user));
        });
        OrderedJson groups = OrderedJson::array();
        ForEachRecord<CInfoGroup>(store.m_dataManager.m_groupList, [&](const CInfoGroup& group) {
            groups.push_back(GroupJson(store, group));
        });
        PrintJson({{"settings", SettingsJson(store)}, {"users", users}, {"groups", groups}});
        return kExitOk;
    }
    PrintSettings(store);
    PrintUsers(store);
    PrintGroups(store);
    return kExitOk;
}

int RunCatalogue(const Invocation& invocation) {
    if (invocation.options.json) {
        PrintJson(CatalogueJson(LoadStore()));
        return kExitOk;
    }
    ForEachRecord<CInfoOper>(LoadStore().m_dataManager.m_operList, PrintCatalogueLine);
    return kExitOk;
}
