#include "store/RecordRules.h"

#include "module/WardletApp.h"
#include "resources/Cp936Text.h"
#include "store/RecordLists.h"
#include "wardlet/store/SaveProp.h"

CString RefusalNotice(RecordRefusal refusal) {
    switch (refusal) {
        case RecordRefusal::kNone:
            return CString();
        case RecordRefusal::kUserNameBlank:
            return Cp936Text("用户名字不能为空或空格!");
        case RecordRefusal::kUserNameTooLong:
            return Cp936Text("用户名长度不可大于64!");
        case RecordRefusal::kUserNameTaken:
            return Cp936Text("该用户名已存在!");
        case RecordRefusal::kPasswordsDiffer:
            return Cp936Text("密码和确认密码不相等，请重新输入!");
        case RecordRefusal::kPasswordTooLong:
            return Cp936Text("密码长度不可大于64!");
        case RecordRefusal::kPeriodReversed:
            return Cp936Text("时间段起始时间大于结束时间!");
        case RecordRefusal::kGroupNameBlank:
            return Cp936Text("组名字不能为空或空格!");
        case RecordRefusal::kGroupNameTaken:
            return Cp936Text("该组名已存在!");
    }
    return CString();
}

RecordRefusal CheckUserTexts(const CDataManager& records, CString& name, const CString& password,
                             const CString& confirm, bool isNew) {
    name.Trim();
    if (name.IsEmpty()) return RecordRefusal::kUserNameBlank;
    if (name.GetLength() > kMaxUserTextBytes) return RecordRefusal::kUserNameTooLong;
    if (isNew && records.IsUserNameUsed(name)) return RecordRefusal::kUserNameTaken;
    if (password != confirm) return RecordRefusal::kPasswordsDiffer;
    if (password.GetLength() > kMaxUserTextBytes) return RecordRefusal::kPasswordTooLong;
    return RecordRefusal::kNone;
}

RecordRefusal CheckGroupName(const CDataManager& records, CString& name, bool isNew) {
    name.Trim();
    if (name.IsEmpty()) return RecordRefusal::kGroupNameBlank;
    if (isNew && records.IsGroupNameUsed(name)) return RecordRefusal::kGroupNameTaken;
    return RecordRefusal::kNone;
}

CTime OnDayOf(CTime date, CTime clock) {
    return CTime(date.GetYear(), date.GetMonth(), date.GetDay(), clock.GetHour(), clock.GetMinute(),
                 clock.GetSecond());
}

CTime OnDailyWindowDay(CTime clock) { return OnDayOf(CTime(2000, 1, 1, 0, 0, 0), clock); }

RecordRefusal ComputeValidity(int32_t kind, CTime dailyFrom, CTime dailyTo, CTime rangeFrom,
                              CTime rangeTo, CTime* from, CTime* to) {
    switch (kind) {
        case kValidForever:
            *from = *to = CTime();
            return RecordRefusal::kNone;
        case kValidDaily:
            *from = OnDailyWindowDay(dailyFrom);
            *to = OnDailyWindowDay(dailyTo);
            break;
        case kValidPeriod:
            *from = rangeFrom;
            *to = rangeTo;
            break;
        default:
            return RecordRefusal::kNone;
    }
    return *to < *from ? RecordRefusal::kPeriodReversed : RecordRefusal::kNone;
}

bool IsCatalogueCode(const CDataManager& records, uint32_t code) {
    const auto stored = static_cast<int32_t>(code);
    return FindFirst<CInfoOper>(records.m_operList, [stored](const CInfoOper& oper) {
               return oper.m_nCode == stored;
           }) != nullptr;
}

void SetUserGroups(CSaveProp* store, int32_t userID, const std::vector<int32_t>& groupIDs) {
    DeleteWhere<CInfoGroupUser>(
        store->m_dataManager.m_groupUserList,
        [userID](const CInfoGroupUser& link) { return link.m_nUserID == userID; });
    for (int32_t groupID : groupIDs) theApp.AddGroupUser(store, userID, groupID);
}

void SetGroupMembers(CSaveProp* store, int32_t groupID, const std::vector<int32_t>& userIDs) {
    theApp.RemoveGroupUsers(store, groupID);
    for (int32_t userID : userIDs) theApp.AddGroupUser(store, userID, groupID);
}

void SetGroupRights(CSaveProp* store, int32_t groupID, const std::vector<uint32_t>& codes) {
    theApp.RemoveGroupOpers(store, groupID);
    for (uint32_t code : codes) theApp.AddGroupOper(store, code, groupID);
}
