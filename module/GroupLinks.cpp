// The application object's operations on a group's links, used by the group dialog.
#include "module/WardletApp.h"
#include "store/RecordLists.h"
#include "wardlet/store/SaveProp.h"

namespace {

CDataManager& Records(CSaveProp* store) { return store->m_dataManager; }

}  // namespace

bool CWardletApp::IsGroupUserLinked(CSaveProp* store, int32_t userID, int32_t groupID) const {
    return FindFirst<CInfoGroupUser>(Records(store).m_groupUserList,
                                     [&](const CInfoGroupUser& link) {
                                         return link.m_nGroupID == groupID &&
                                                link.m_nUserID == userID;
                                     }) != nullptr;
}

void CWardletApp::AddGroupUser(CSaveProp* store, int32_t userID, int32_t groupID) {
    if (IsGroupUserLinked(store, userID, groupID)) return;
    auto* link = new CInfoGroupUser;
    link->m_nGroupID = groupID;
    link->m_nUserID = userID;
    Records(store).m_groupUserList.AddTail(link);
}

void CWardletApp::RemoveGroupUsers(CSaveProp* store, int32_t groupID) {
    DeleteWhere<CInfoGroupUser>(Records(store).m_groupUserList,
                                [groupID](const CInfoGroupUser& link) {
                                    return link.m_nGroupID == groupID;
                                });
}

bool CWardletApp::IsGroupOperLinked(CSaveProp* store, uint32_t code, int32_t groupID) const {
    const auto storedCode = static_cast<int32_t>(code);
    return FindFirst<CInfoGroupOper>(Records(store).m_groupOperList,
                                     [&](const CInfoGroupOper& link) {
                                         return link.m_nGroupID == groupID &&
                                                link.m_nOperCode == storedCode;
                                     }) != nullptr;
}

void CWardletApp::AddGroupOper(CSaveProp* store, uint32_t code, int32_t groupID) {
    if (IsGroupOperLinked(store, code, groupID)) return;
    auto* link = new CInfoGroupOper;
    link->m_nGroupID = groupID;
    link->m_nOperCode = static_cast<int32_t>(code);
    Records(store).m_groupOperList.AddTail(link);
}

void CWardletApp::RemoveGroupOpers(CSaveProp* store, int32_t groupID) {
    DeleteWhere<CInfoGroupOper>(Records(store).m_groupOperList,
                                [groupID](const CInfoGroupOper& link) {
                                    return link.m_nGroupID == groupID;
                                });
}
