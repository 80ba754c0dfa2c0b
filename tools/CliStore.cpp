#include "tools/CliStore.h"

#include "rights/RightCode.h"
#include "tools/Cli.h"
#include "tools/CliText.h"

namespace {

const CInfoGroup* FindGroup(const CSaveProp& store, int32_t id) {
    const CInfoGroup* found = nullptr;
    ForEachRecord<CInfoGroup>(store.m_dataManager.m_groupList, [&](const CInfoGroup& group) {
        if (found == nullptr && group.m_nID == id) found = &group;
    });
    return found;
}

// The code's ancestor at `level` (itself at its own level).
uint32_t AncestorAt(int level, uint32_t code) { return code & (0xFFFFFFFFu << (8 * (4 - level))); }

std::string OperName(const CSaveProp& store, uint32_t code) {
    const CInfoOper* oper = FindOper(store, code);
    return oper ? Printable(oper->m_strName.View()) : FormatCode(code);
}

}  // namespace

const CSaveProp& LoadStore() {
    CObList list;
    GetConfigData(&list);
    if (list.IsEmpty() || !list.GetHead()->IsKindOf(RUNTIME_CLASS(CSaveProp))) {
        throw CliError(kExitNo, "the library handed out no store");
    }
    return *static_cast<const CSaveProp*>(list.GetHead());
}

const CInfoOper* FindOper(const CSaveProp& store, uint32_t code) {
    const CInfoOper* found = nullptr;
    ForEachRecord<CInfoOper>(store.m_dataManager.m_operList, [&](const CInfoOper& oper) {
        if (found == nullptr && static_cast<uint32_t>(oper.m_nCode) == code) found = &oper;
    });
    return found;
}

uint32_t CatalogueCode(const CSaveProp& store, const std::string& text) {
    std::optional<uint32_t> code = ParseRightCode(text);
    if (!code) {
        throw CliError(kExitUsage, "'" + text + "' is not a right code; give it in hexadecimal, " +
                                       "as in 0x01010201");
    }
    if (FindOper(store, *code) == nullptr) {
        throw CliError(kExitUsage, FormatCode(*code) +
                                       " is not in the catalogue; 'wardlet catalogue' lists them");
    }
    return *code;
}

std::string OperPath(const CSaveProp& store, uint32_t code) {
    int level = GetCodeLevel(code);
    if (level == 1) return OperName(store, code);
    std::string path;
    for (int step = 2; step <= level; ++step) {
        if (!path.empty()) path += " / ";
        path += OperName(store, AncestorAt(step, code));
    }
    return path;
}

std::vector<const CInfoOper*> TopLevelOpers(const CSaveProp& store) {
    std::vector<const CInfoOper*> opers;
    ForEachRecord<CInfoOper>(store.m_dataManager.m_operList, [&](const CInfoOper& oper) {
        if (GetCodeLevel(static_cast<uint32_t>(oper.m_nCode)) == 2) opers.push_back(&oper);
    });
    return opers;
}

std::vector<std::string> GroupNamesOfUser(const CSaveProp& store, int32_t userID) {
    std::vector<std::string> names;
    ForEachRecord<CInfoGroupUser>(
        store.m_dataManager.m_groupUserList, [&](const CInfoGroupUser& link) {
            if (link.m_nUserID != userID) return;
            const CInfoGroup* group = FindGroup(store, link.m_nGroupID);
            names.push_back(group ? Printable(group->m_strName.View())
                                  : "#" + std::to_string(link.m_nGroupID) + " (no such group)");
        });
    return names;
}

std::vector<std::string> UserNamesOfGroup(const CSaveProp& store, int32_t groupID) {
    std::vector<std::string> names;
    ForEachRecord<CInfoGroupUser>(
        store.m_dataManager.m_groupUserList, [&](const CInfoGroupUser& link) {
            if (link.m_nGroupID != groupID) return;
            const CInfoUser* user = nullptr;
            ForEachRecord<CInfoUser>(store.m_dataManager.m_userList, [&](const CInfoUser& each) {
                if (user == nullptr && each.m_nID == link.m_nUserID) user = &each;
            });
            names.push_back(user ? Printable(user->m_strName.View())
                                 : "#" + std::to_string(link.m_nUserID) + " (no such user)");
        });
    return names;
}

std::vector<uint32_t> CodesGrantedToGroup(const CSaveProp& store, int32_t groupID) {
    std::vector<uint32_t> codes;
    ForEachRecord<CInfoGroupOper>(store.m_dataManager.m_groupOperList,
                                  [&](const CInfoGroupOper& link) {
                                      if (link.m_nGroupID == groupID) {
                                          codes.push_back(static_cast<uint32_t>(link.m_nOperCode));
                                      }
                                  });
    return codes;
}
