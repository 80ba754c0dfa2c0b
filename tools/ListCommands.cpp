// Lists of the users and the groups, for people and (with --json) for scripts.
#include <iostream>

#include "tools/Cli.h"
#include "tools/CliJson.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "-" : text;
}

}  // namespace

int RunUserList(const Invocation& invocation) {
    const CSaveProp& store = LoadStore();
    const CObList& users = store.m_dataManager.m_userList;
    if (invocation.options.json) {
        OrderedJson list = OrderedJson::array();
        ForEachRecord<CInfoUser>(
            users, [&](const CInfoUser& user) { list.push_back(UserJson(store, user)); });
        PrintJson(list);
        return kExitOk;
    }
    ForEachRecord<CInfoUser>(users, [&](const CInfoUser& user) {
        std::cout << PadToWidth(std::to_string(user.m_nID), 5)
                  << PadToWidth(Printable(user.m_strName.View()), 16)
                  << PadToWidth(Joined(GroupNamesOfUser(store, user.m_nID)), 20)
                  << DescribeValidity(user.m_nTimeSectType, user.m_tFrom, user.m_tTo) << '\n';
    });
    return kExitOk;
}

int RunGroupList(const Invocation& invocation) {
    const CSaveProp& store = LoadStore();
    const CObList& groups = store.m_dataManager.m_groupList;
    if (invocation.options.json) {
        OrderedJson list = OrderedJson::array();
        ForEachRecord<CInfoGroup>(
            groups, [&](const CInfoGroup& group) { list.push_back(GroupJson(store, group)); });
        PrintJson(list);
        return kExitOk;
    }
    ForEachRecord<CInfoGroup>(groups, [&](const CInfoGroup& group) {
        std::vector<std::string> codes;
        for (uint32_t code : CodesGrantedToGroup(store, group.m_nID))
            codes.push_back(FormatCode(code));
        std::cout << PadToWidth(std::to_string(group.m_nID), 5)
                  << PadToWidth(Printable(group.m_strName.View()), 16) << "members "
                  << Joined(UserNamesOfGroup(store, group.m_nID)) << "; rights " << Joined(codes)
                  << '\n';
    });
    return kExitOk;
}
