// The facts a permission question needs (and the logout interval a granted one restarts), read
// straight from the data file's bytes without building the store: the hot path of every Islegal.
// The scan accepts exactly what loading the store accepts and, at the first damage, stops with what
// it had read before, as a failed load does; the store tests hold the two to agreement on every
// prefix of damaged files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/StoreFormat.h"
#include "wardlet/platform/String.h"

struct RightCheckFacts {
    CString adminName = kDefaultAdminName;
    CString adminPassword = kDefaultAdminPassword;
    // The first user of the asked name, if the users read hold one.
    bool userFound = false;
    int32_t userID = 0;
    CString userPassword;
    int32_t timeSectType = 0;
    int32_t from = 0;
    int32_t to = 0;
    // The passwords of later users of the same name, in file order: a credential check accepts
    // any of them, while the evaluation takes the first user only.
    std::vector<CString> laterPasswords;
    // Groups the user belongs to, and the codes granted to any of them, as far as read.
    std::vector<int32_t> userGroups;
    std::vector<uint32_t> grantedCodes;
    // The automatic-logout interval, from the settings at the end of the file.
    int32_t logoutMinutes = kDefaultLogoutMinutes;
};

// Scans the data file's bytes for what a question about `userName` needs.
RightCheckFacts ScanForRightCheck(const unsigned char* file, size_t size, const CString& userName);
