#include "rights/Evaluation.h"

#include <algorithm>

#include "module/WardletApp.h"
#include "rights/OperCatalog.h"
#include "rights/RightCode.h"
#include "store/RightCheckScan.h"
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
bool IsPeriodValidAt(int32_t kind, int32_t from, int32_t to, CTime now) {
    switch (kind) {
        case 0:
            return true;
        case 1: {
            CTime timeOfDay(2000, 1, 1, now.GetHour(), now.GetMinute(), now.GetSecond());
            return from <= timeOfDay.GetTime() && timeOfDay.GetTime() <= to;
        }
        case 2:
            return from <= now.GetTime() && now.GetTime() <= to;
        default:
            return false;
    }
}

bool IsPeriodValidAt(const CInfoUser& user, CTime now) {
    return IsPeriodValidAt(user.m_nTimeSectType, user.m_tFrom, user.m_tTo, now);
}

// The checks in their deciding order, whichever way the account's facts were read.
template <typename HoldsCode>
int DecideUserRight(const CString& storedPassword, int32_t id, int32_t kind, int32_t from,
                    int32_t to, const CString& password, bool codeOffered, HoldsCode holdsCode) {
    if (storedPassword != password) return kRightWrongPassword;
    if (!IsPeriodValidAt(kind, from, to, CTime::GetCurrentTime())) return kRightOutsidePeriod;
    if (id == -1 || !codeOffered) return kRightRefused;
    return holdsCode() ? kRightGranted : kRightRefused;
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
    return AnyOf<CInfoGroupOper>(
        store.m_dataManager.m_groupOperList, [code, groupID](const CInfoGroupOper& link) {
            return link.m_nGroupID == groupID &&
                   CodeCovers(static_cast<uint32_t>(link.m_nOperCode), code);
        });
}

int CheckUserRight(const CSaveProp& store, const CString& name, const CString& password,
                   uint32_t code) {
    const CInfoUser* user = store.m_dataManager.FindUserByName(name);
    if (user == nullptr) return kRightRefused;
    return DecideUserRight(user->m_strPassword, user->m_nID, user->m_nTimeSectType, user->m_tFrom,
                           user->m_tTo, password, IsInOperList(store, code), [&] {
                               return AnyOf<CInfoGroupUser>(
                                   store.m_dataManager.m_groupUserList,
                                   [&](const CInfoGroupUser& link) {
                                       return link.m_nUserID == user->m_nID &&
                                              GroupHasRight(store, code, link.m_nGroupID);
                                   });
                           });
}

int CheckUserRight(const RightCheckFacts& facts, const CString& password, uint32_t code) {
    if (!facts.userFound) return kRightRefused;
    return DecideUserRight(
        facts.userPassword, facts.userID, facts.timeSectType, facts.from, facts.to, password,
        IsOfferedCode(code, theApp.m_bBrowserLibPresent), [&] {
            return std::any_of(facts.grantedCodes.begin(), facts.grantedCodes.end(),
                               [code](uint32_t granted) { return CodeCovers(granted, code); });
        });
}

bool IsUserPeriodValid(const CInfoUser* user) {
    return user != nullptr && IsPeriodValidAt(*user, CTime::GetCurrentTime());
}
