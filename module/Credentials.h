#pragma once

#include <cstdint>

#include "wardlet/platform/String.h"

class CInfoUser;
class CSaveProp;
struct RightCheckFacts;

// True if the pair is the administrator's, or if some user has both that name and that password.
bool CheckCredentials(const CSaveProp& store, const CString& name, const CString& password);
// The same from the facts scanned for `name` out of the data file.
bool CheckCredentials(const RightCheckFacts& facts, const CString& name, const CString& password);
// True if the pair is exactly the administrator's, in a loaded store or in the facts scanned
// from the data file.
bool IsAdministrator(const CSaveProp& store, const CString& name, const CString& password);
bool IsAdministrator(const RightCheckFacts& facts, const CString& name, const CString& password);
// Islegal's answer from the scanned facts: the administrator may do everything, anybody else what
// the evaluation grants.
bool IsAllowed(const RightCheckFacts& facts, const CString& name, const CString& password,
               uint32_t code);
// The first user with that name and password, or null.
CInfoUser* FindUserByCredentials(const CSaveProp& store, const CString& name,
                                 const CString& password);
