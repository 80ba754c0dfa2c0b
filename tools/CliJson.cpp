#include "tools/CliJson.h"

#include <iostream>

#include "rights/RightCode.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"

namespace {

std::string Text(const CString& cp936) { return Printable(cp936.View()); }

}  // namespace

OrderedJson ValidityJson(int32_t kind, int32_t from, int32_t to) {
    switch (kind) {
        case 0:
            return {{"kind", "permanent"}};
        case 1:
            return {
                {"kind", "daily"}, {"from", FormatTimeOfDay(from)}, {"to", FormatTimeOfDay(to)}};
        case 2:
            return {{"kind", "period"}, {"from", FormatDateTime(from)}, {"to", FormatDateTime(to)}};
        default:
            return {{"kind", "never"}, {"stored_kind", kind}};
    }
}

OrderedJson UserJson(const CSaveProp& store, const CInfoUser& user) {
    return {{"id", user.m_nID},
            {"name", Text(user.m_strName)},
            {"remark", Text(user.m_strRemark)},
            {"groups", GroupNamesOfUser(store, user.m_nID)},
            {"validity", ValidityJson(user.m_nTimeSectType, user.m_tFrom, user.m_tTo)}};
}

OrderedJson GroupJson(const CSaveProp& store, const CInfoGroup& group) {
    OrderedJson members = OrderedJson::array();
    for (const std::string& name : UserNamesOfGroup(store, group.m_nID)) members.push_back(name);
    OrderedJson rights = OrderedJson::array();
    for (uint32_t code : CodesGrantedToGroup(store, group.m_nID))
        rights.push_back(FormatCode(code));
    return {{"id", group.m_nID},
            {"name", Text(group.m_strName)},
            {"description", Text(group.m_strDesc)},
            {"members", members},
            {"rights", rights}};
}

OrderedJson SettingsJson(const CSaveProp& store) {
    return {
        {"administrator", Text(store.m_strAdminName)}, {"edit_groups", store.m_bEditGroup != 0},
        {"edit_rights", store.m_bEditRight != 0},      {"edit_users", store.m_bEditUser != 0},
        {"auto_logout", store.m_bAutoLogout != 0},     {"logout_minutes", store.m_nLogoutMinutes}};
}

OrderedJson CatalogueJson(const CSaveProp& store) {
    OrderedJson opers = OrderedJson::array();
    ForEachRecord<CInfoOper>(store.m_dataManager.m_operList, [&](const CInfoOper& oper) {
        uint32_t code = static_cast<uint32_t>(oper.m_nCode);
        opers.push_back({{"code", FormatCode(code)},
                         {"level", GetCodeLevel(code)},
                         {"name", Text(oper.m_strName)},
                         {"description", Text(oper.m_strDesc)}});
    });
    return opers;
}

void PrintJson(const OrderedJson& document) {
    std::cout << document.dump(2, ' ', false, OrderedJson::error_handler_t::replace) << '\n';
}
