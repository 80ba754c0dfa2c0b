#pragma once

#include <cstdint>

#include "wardlet/platform/ObList.h"
#include "wardlet/platform/Object.h"
#include "wardlet/store/InfoGroup.h"
#include "wardlet/store/InfoGroupOper.h"
#include "wardlet/store/InfoGroupUser.h"
#include "wardlet/store/InfoOper.h"
#include "wardlet/store/InfoUser.h"

// The container of every record of the store. It owns the records in its lists: removing one
// through the operations below deletes it, and destroying the manager deletes them all.
// A host that holds a store from GetConfigData may read the lists; the member functions are the
// library's own and not exported.
class CDataManager : public CObject {
    DECLARE_SERIAL(CDataManager)
public:
    // Builds the operations list from the catalogue; the four stored lists start empty.
    CDataManager();
    ~CDataManager() override;
    CDataManager(const CDataManager&) = delete;
    CDataManager& operator=(const CDataManager&) = delete;

    // Writes or reads users, groups, group-user links and group-operation links, in that order.
    // Reading appends; an element of the wrong class fails the read.
    void Serialize(CArchive& ar) override;

    // Deletes every user, group and link; the operations stay.
    void RemoveAllRecords();
    // REQUIRES: `user` is in m_userList. Deletes it with its memberships.
    void RemoveUser(CInfoUser* user);
    // REQUIRES: `group` is in m_groupList. Deletes it with its memberships and granted operations.
    void RemoveGroup(CInfoGroup* group);
    void RemoveUserLinks(const CInfoUser* user);
    void RemoveGroupLinks(const CInfoGroup* group);

    bool IsUserNameUsed(const CString& name) const;
    bool IsGroupNameUsed(const CString& name) const;
    // The first user of that name in list order, or null.
    CInfoUser* FindUserByName(const CString& name) const;
    // The lowest number no user (group) has; freed numbers are reused.
    int32_t NextUserID() const;
    int32_t NextGroupID() const;

    CObList m_userList;       // CInfoUser
    CObList m_operList;       // CInfoOper, the catalogue; never stored
    CObList m_groupList;      // CInfoGroup
    CObList m_groupOperList;  // CInfoGroupOper
    CObList m_groupUserList;  // CInfoGroupUser
};
