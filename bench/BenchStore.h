// Records of the benchmark stores: groups "group-N" and users "operator-N" (password "secret"),
// with their links.
#pragma once

#include <cstdint>
#include <string>

#include "wardlet/store/DataManager.h"

inline void AddBenchGroup(CDataManager& data, int id) {
    auto* group = new CInfoGroup;
    group->m_nID = id;
    group->m_strName = ("group-" + std::to_string(id)).c_str();
    data.m_groupList.AddTail(group);
}

inline void AddBenchUser(CDataManager& data, int id) {
    auto* user = new CInfoUser;
    user->m_nID = id;
    user->m_strName = ("operator-" + std::to_string(id)).c_str();
    user->m_strPassword = "secret";
    user->m_strRemark = "shift B";
    data.m_userList.AddTail(user);
}

inline void AddBenchGrant(CDataManager& data, int groupID, uint32_t code) {
    auto* grant = new CInfoGroupOper;
    grant->m_nGroupID = groupID;
    grant->m_nOperCode = static_cast<int32_t>(code);
    data.m_groupOperList.AddTail(grant);
}

inline void AddBenchMember(CDataManager& data, int groupID, int userID) {
    auto* member = new CInfoGroupUser;
    member->m_nGroupID = groupID;
    member->m_nUserID = userID;
    data.m_groupUserList.AddTail(member);
}
