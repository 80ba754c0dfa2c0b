#include "module/Credentials.h"

#include <algorithm>

#include "rights/Evaluation.h"
#include "store/RightCheckScan.h"
#include "wardlet/store/SaveProp.h"

namespace {

bool IsAdministratorPair(const CString& adminName, const CString& adminPassword,
                         const CString& name, const CString& password) {
    return name == adminName && password == adminPassword;
}

}  // namespace

bool IsAdministrator(const CSaveProp& store, const CString& name, const CString& password) {
    return IsAdministratorPair(store.m_strAdminName, store.m_strAdminPassword, name, password);
}

bool IsAdministrator(const RightCheckFacts& facts, const CString& name, const CString& password) {
    return IsAdministratorPair(facts.adminName, facts.adminPassword, name, password);
}

bool IsAllowed(const RightCheckFacts& facts, const CString& name, const CString& password,
               uint32_t code) {
    return IsAdministrator(facts, name, password) ||
           CheckUserRight(facts, password, code) == kRightGranted;
}

CInfoUser* FindUserByCredentials(const CSaveProp& store, const CString& name,
                                 const CString& password) {
    const CObList& users = store.m_dataManager.m_userList;
    for (POSITION pos = users.GetHeadPosition(); pos != nullptr;) {
        auto* user = static_cast<CInfoUser*>(users.GetNext(pos));
        if (user->m_strName == name && user->m_strPassword == password) return user;
    }
    return nullptr;
}

bool CheckCredentials(const CSaveProp& store, const CString& name, const CString& password) {
    return IsAdministrator(store, name, password) ||
           FindUserByCredentials(store, name, password) != nullptr;
}

bool CheckCredentials(const RightCheckFacts& facts, const CString& name, const CString& password) {
    if (IsAdministrator(facts, name, password)) return true;
    if (!facts.userFound) return false;
    return facts.userPassword == password ||
           std::find(facts.laterPasswords.begin(), facts.laterPasswords.end(), password) !=
               facts.laterPasswords.end();
}
