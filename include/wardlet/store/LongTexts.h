// The records of a store whose texts outgrow the 65-byte buffers of the library's interface.
#pragma once

#include <string>
#include <vector>

#include "wardlet/store/InfoUser.h"
#include "wardlet/store/SaveProp.h"

// The longest name or password the dialogs allow; longer ones come only from ModifyPWD or from
// another station, and GetPassed and GetCurUserInfo then write more than 65 bytes.
inline constexpr int kLongestBufferedText = 64;

// One line per record whose name or password is longer than kLongestBufferedText bytes: the
// administrator, or a user by number, and which text with how many bytes. Never the texts
// themselves: they may be passwords.
inline std::vector<std::string> RecordsWithLongTexts(const CSaveProp& store) {
    std::vector<std::string> found;
    const auto check = [&](const std::string& record, const char* what, const CString& text) {
        if (text.GetLength() > kLongestBufferedText) {
            found.push_back(record + ": " + what + " of " + std::to_string(text.GetLength()) +
                            " bytes");
        }
    };
    check("the administrator", "name", store.m_strAdminName);
    check("the administrator", "password", store.m_strAdminPassword);
    for (POSITION pos = store.m_dataManager.m_userList.GetHeadPosition(); pos != nullptr;) {
        const auto* user =
            static_cast<const CInfoUser*>(store.m_dataManager.m_userList.GetNext(pos));
        const std::string record = "user " + std::to_string(user->m_nID);
        check(record, "name", user->m_strName);
        check(record, "password", user->m_strPassword);
    }
    return found;
}
