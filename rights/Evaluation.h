// Whether a user may perform an operation, and whether an account is valid now. Everything here
// reads the store it is given and keeps nothing.
#pragma once

#include <cstdint>

#include "wardlet/platform/ObList.h"
#include "wardlet/platform/String.h"

class CInfoUser;
class CSaveProp;
struct RightCheckFacts;

// Results of CheckUserRight. DO NOT CHANGE: hosts receive them through GetPassed.
enum RightCheckResult : int {
    kRightGranted = 0,
    kRightWrongPassword = 2,
    kRightRefused = 3,
    kRightOutsidePeriod = 4,
};
// GetPassed's answer when the operator closed its verification dialog without OK.
inline constexpr int kGetPassedCancelled = 1;

// Appends to `children` (not owning) the operations one level below `code` whose leading bytes
// equal its own, ordered by ascending order; equal orders keep the operation list's order.
void GetChildOpers(const CSaveProp& store, uint32_t code, CObList& children);
// True when one of the group's granted codes covers `code`.
bool GroupHasRight(const CSaveProp& store, uint32_t code, int32_t groupID);
// The full evaluation; the first failing check decides: unknown user 3, wrong password 2, account
// outside its period 4, user number -1 or code not in the operations list 3, no group of the user
// covers the code 3; else 0. The administrator gets no special treatment here.
int CheckUserRight(const CSaveProp& store, const CString& name, const CString& password,
                   uint32_t code);
// The same evaluation from the facts scanned out of the data file's bytes.
int CheckUserRight(const RightCheckFacts& facts, const CString& password, uint32_t code);
// True if the account is valid at this moment; a null user is not.
bool IsUserPeriodValid(const CInfoUser* user);
