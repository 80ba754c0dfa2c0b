#include "module/Credentials.h"

#include "wardlet/store/SaveProp.h"

bool IsAdministrator(const CSaveProp& store, const CString& name, const CString& password) {
    return name == store.m_strAdminName && password == store.m_strAdminPassword;
}

bool CheckCredentials(const CSaveProp& store, const CString& name, const CString& password) {
    if (IsAdministrator(store, name, password)) return true;
    const CObList& users = store.m_dataManager.m_userList;
    for (POSITION pos = users.GetHeadPosition(); pos != nullptr;) {
        const auto* user = static_cast<const CInfoUser*>(users.GetNext(pos));
        if (user->m_strName == name && user->m_strPassword == password) return true;
    }
    return false;
}
