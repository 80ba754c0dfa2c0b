// The rules of the administration for users and groups: what a name, a password and a validity
// period must be, how the stored times are made, and how a record's links are rewritten. The
// sheet's property dialogs and the command line apply the same rules through these functions;
// nothing here shows anything.
#pragma once

#include <cstdint>
#include <vector>

#include "wardlet/platform/String.h"
#include "wardlet/platform/Time.h"

class CDataManager;
class CSaveProp;

// A user name, a password and its confirmation hold at most this many code page 936 bytes.
inline constexpr int kMaxUserTextBytes = 64;

// The kinds of validity period, as the user record stores them.
inline constexpr int32_t kValidForever = 0;
inline constexpr int32_t kValidDaily = 1;
inline constexpr int32_t kValidPeriod = 2;

enum class RecordRefusal {
    kNone,
    kUserNameBlank,
    kUserNameTooLong,
    kUserNameTaken,
    kPasswordsDiffer,
    kPasswordTooLong,
    kPeriodReversed,
    kGroupNameBlank,
    kGroupNameTaken,
};

// The notice the administrator is shown for a refusal, in code page 936; empty for kNone.
CString RefusalNotice(RecordRefusal refusal);

// Trims `name` in place, then checks it and the password in the dialog's order: a blank or too
// long name, a name already used (only when `isNew`: an edited user may keep or take any name),
// a confirmation that differs, a too long password.
RecordRefusal CheckUserTexts(const CDataManager& records, CString& name, const CString& password,
                             const CString& confirm, bool isNew);
// Trims `name` in place; refuses a blank name and, when `isNew`, a name already used.
RecordRefusal CheckGroupName(const CDataManager& records, CString& name, bool isNew);

// `date`'s day at the time of day of `clock`, local time.
CTime OnDayOf(CTime date, CTime clock);
// A daily window keeps only times of day; they are stored on 1 January 2000.
CTime OnDailyWindowDay(CTime clock);

// The times a user record stores for a validity of `kind`: nothing (zero) when permanent, the
// window's times of day for a daily window, `rangeFrom`..`rangeTo` for a period. Refuses an end
// before the beginning, leaving `from` and `to` set. An unknown kind leaves them as they are.
RecordRefusal ComputeValidity(int32_t kind, CTime dailyFrom, CTime dailyTo, CTime rangeFrom,
                              CTime rangeTo, CTime* from, CTime* to);

// True when `code` is an operation of the store's catalogue.
bool IsCatalogueCode(const CDataManager& records, uint32_t code);

// Replaces a user's memberships by `groupIDs`, in that order.
void SetUserGroups(CSaveProp* store, int32_t userID, const std::vector<int32_t>& groupIDs);
// Replaces a group's members by `userIDs`, and its rights by `codes`, each in that order.
void SetGroupMembers(CSaveProp* store, int32_t groupID, const std::vector<int32_t>& userIDs);
void SetGroupRights(CSaveProp* store, int32_t groupID, const std::vector<uint32_t>& codes);
