#pragma once

#include "wardlet/platform/String.h"

class CSaveProp;

// True if the pair is the administrator's, or if some user has both that name and that password.
bool CheckCredentials(const CSaveProp& store, const CString& name, const CString& password);
// True if the pair is exactly the administrator's.
bool IsAdministrator(const CSaveProp& store, const CString& name, const CString& password);
