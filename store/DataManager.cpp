#include "wardlet/store/DataManager.h"

#include <vector>

#include "module/WardletApp.h"
#include "rights/OperCatalog.h"
#include "store/RecordLists.h"
#include "store/StoreFormat.h"
#include "wardlet/platform/Archive.h"

IMPLEMENT_SERIAL(CDataManager, CObject, kStoreSchema)

namespace {

constexpr int kListBlockSize = 10;

void DeleteAll(CObList& list) {
    while (!list.IsEmpty()) delete list.RemoveHead();
}

template <typename Record>
Record* FindByName(const CObList& list, const CString& name) {
    return FindFirst<Record>(list, [&name](const Record& record) { return record.m_strName == name; });
}

// The lowest non-negative number no record uses. With n records the answer is at most n, so one
// pass over the list marking the numbers below n is enough.
template <typename Record>
int32_t LowestFreeID(const CObList& list) {
    std::vector<bool> used(static_cast<size_t>(list.GetCount()) + 1, false);
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        int32_t id = static_cast<const Record*>(list.GetNext(pos))->m_nID;
        if (id >= 0 && static_cast<size_t>(id) < used.size()) used[static_cast<size_t>(id)] = true;
    }
    size_t id = 0;
    while (used[id]) ++id;
    return static_cast<int32_t>(id);
}

// Reads one stored list. The lists own their records, so an element must be a new object of the
// list's own class; anything else fails the read, keeping the elements read before it.
void ReadOwnedList(CArchive& ar, CObList& list, const CRuntimeClass* elementClass) {
    for (uint32_t remaining = ar.ReadCount(); remaining > 0; --remaining) {
        list.AddTail(ar.ReadOwnedObject(elementClass));
    }
}

}  // namespace

CDataManager::CDataManager()
    : m_userList(kListBlockSize),
      m_operList(kListBlockSize),
      m_groupList(kListBlockSize),
      m_groupOperList(kListBlockSize),
      m_groupUserList(kListBlockSize) {
    for (const OperCatalogEntry& entry : g_operCatalog) {
        if (entry.code == 0) break;
        if (!IsOffered(entry, theApp.m_bBrowserLibPresent)) continue;
        auto* oper = new CInfoOper;
        oper->m_nCode = static_cast<int32_t>(entry.code);
        oper->m_strName = entry.name;
        oper->m_strDesc = entry.desc;
        m_operList.AddTail(oper);
    }
}

CDataManager::~CDataManager() {
    RemoveAllRecords();
    DeleteAll(m_operList);
}

void CDataManager::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        m_userList.Serialize(ar);
        m_groupList.Serialize(ar);
        m_groupUserList.Serialize(ar);
        m_groupOperList.Serialize(ar);
    } else {
        ReadOwnedList(ar, m_userList, RUNTIME_CLASS(CInfoUser));
        ReadOwnedList(ar, m_groupList, RUNTIME_CLASS(CInfoGroup));
        ReadOwnedList(ar, m_groupUserList, RUNTIME_CLASS(CInfoGroupUser));
        ReadOwnedList(ar, m_groupOperList, RUNTIME_CLASS(CInfoGroupOper));
    }
}

void CDataManager::RemoveAllRecords() {
    DeleteAll(m_groupList);
    DeleteAll(m_userList);
    DeleteAll(m_groupUserList);
    DeleteAll(m_groupOperList);
}

void CDataManager::RemoveUser(CInfoUser* user) {
    m_userList.RemoveAt(m_userList.Find(user));
    RemoveUserLinks(user);
    delete user;
}

void CDataManager::RemoveGroup(CInfoGroup* group) {
    m_groupList.RemoveAt(m_groupList.Find(group));
    RemoveGroupLinks(group);
    delete group;
}

void CDataManager::RemoveUserLinks(const CInfoUser* user) {
    int32_t id = user->m_nID;
    DeleteWhere<CInfoGroupUser>(m_groupUserList,
                                [id](const CInfoGroupUser& link) { return link.m_nUserID == id; });
}

void CDataManager::RemoveGroupLinks(const CInfoGroup* group) {
    int32_t id = group->m_nID;
    DeleteWhere<CInfoGroupUser>(m_groupUserList,
                                [id](const CInfoGroupUser& link) { return link.m_nGroupID == id; });
    DeleteWhere<CInfoGroupOper>(m_groupOperList,
                                [id](const CInfoGroupOper& link) { return link.m_nGroupID == id; });
}

bool CDataManager::IsUserNameUsed(const CString& name) const {
    return FindByName<CInfoUser>(m_userList, name) != nullptr;
}

bool CDataManager::IsGroupNameUsed(const CString& name) const {
    return FindByName<CInfoGroup>(m_groupList, name) != nullptr;
}

CInfoUser* CDataManager::FindUserByName(const CString& name) const {
    return FindByName<CInfoUser>(m_userList, name);
}

int32_t CDataManager::NextUserID() const { return LowestFreeID<CInfoUser>(m_userList); }

int32_t CDataManager::NextGroupID() const { return LowestFreeID<CInfoGroup>(m_groupList); }
