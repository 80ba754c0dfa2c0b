#include "rights/Evaluation.h"

#include "rights/RightCode.h"
#include "wardlet/platform/Time.h"
#include "wardlet/store/SaveProp.h"

namespace {

// Walks an object list as records of one class. The store's lists hold only their own class:
// reading rejects anything else.
template <typename Record, typename Visit>
bool AnyOf(const CObList& list, Visit visit) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        if (visit(*static_cast<const Record*>(list.GetNext(pos)))) return true;
    }
    return false;
}

bool IsInOperList(const CSaveProp& store, uint32_t code) {
    return AnyOf<CInfoOper>(store.m_dataManager.m_operList, [code](const CInfoOper& oper) {
        return static_cast<uint32_t>(oper.m_nCode) == code;
    });
}

// Kind 1 compares times of day through their place on 2000-01-01, so a window never wraps
// past midnight.
bool IsPeriodValidAt(const CInfoUser& user, CTime now) {
    switch (user.m_nTimeSectType) {
        case 0:
            return true;
        case 1: {
            CTime timeOfDay(2000, 1, 1, now.GetHour(), now.GetMinute(), now.GetSecond());
            return user.m_tFrom <= timeOfDay.GetTime() && timeOfDay.GetTime() <= user.m_tTo;
        }
        case 2:
            return user.m_tFrom <= now.GetTime() && now.GetTime() <= user.m_tTo;
        default:
            return false;
    }
}

}  // namespace

void GetChildOpers(const CSaveProp& store, uint32_t code, CObList& children) {
    int level = GetCodeLevel(code);
    if (level == 4) return;
    const CObList& opers = store.m_dataManager.m_operList;
    for (POSITION pos = opers.GetHeadPosition(); pos != nullptr;) {
        auto* oper = static_cast<CInfoOper*>(opers.GetNext(pos));
        uint32_t candidate = static_cast<uint32_t>(oper->m_nCode);
        if (GetCodeLevel(candidate) != level + 1 || !CodeCovers(code, candidate)) continue;
        int order = GetCodeOrder(candidate);
        POSITION before = children.GetHeadPosition();
        while (before != nullptr) {
            POSITION here = before;
            auto* gathered = static_cast<const CInfoOper*>(children.GetNext(before));
            if (GetCodeOrder(static_cast<uint32_t>(gathered->m_nCode)) > order) {
                before = here;
                break;
            }
        }
        if (before != nullptr) {
            children.InsertBefore(before, oper);
        } else {
            children.AddTail(oper);
        }
    }
}

bool GroupHasRight(const CSaveProp& store, uint32_t code, int32_t groupID) {
    return AnyOf<CInfoGroupOper>(store.m_dataManager.m_groupOperList,
                                 [code, groupID](const CInfoGroupOper& link) {
                                     return link.m_nGroupID == groupID &&
                                            CodeCovers(static_cast<uint32_t>(link.m_nOperCode), code);
                                 });
}

int CheckUserRight(const CSaveProp& store, const CString& name, const CString& password,
                   uint32_t code) {
    const CInfoUser* user = store.m_dataManager.FindUserByName(name);
    if (user == nullptr) return kRightRefused;
    if (user->m_strPassword != password) return kRightWrongPassword;
    if (!IsPeriodValidAt(*user, CTime::GetCurrentTime())) return kRightOutsidePeriod;
    if (user->m_nID == -1 || !IsInOperList(store, code)) return kRightRefused;
    bool granted = AnyOf<CInfoGroupUser>(
        store.m_dataManager.m_groupUserList, [&](const CInfoGroupUser& link) {
            return link.m_nUserID == user->m_nID && GroupHasRight(store, code, link.m_nGroupID);
        });
    return granted ? kRightGranted : kRightRefused;
}

bool IsUserPeriodValid(const CInfoUser* user) {
    return user != nullptr && IsPeriodValidAt(*user, CTime::GetCurrentTime());
}
