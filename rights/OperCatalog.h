// The fixed catalogue of operations the host may ask about. The four bytes of a right code, most
// significant first, select levels 1 to 4; a right on a code covers every code beneath it.
#pragma once

#include <array>
#include <cstdint>

#include "wardlet/platform/String.h"

struct OperCatalogEntry {
    uint32_t code;
    CString name;  // code page 936
    CString desc;  // code page 936
};

inline constexpr uint32_t kRootRightCode = 0x01000000;
inline constexpr uint32_t kBrowserLoginRightCode = 0x01070000;

// The 33 operations in ascending code order (every parent before its children), then a
// terminating entry with code 0. Readers stop at the first code 0.
extern const std::array<OperCatalogEntry, 34> g_operCatalog;

// Whether the store offers `entry`: every catalogue operation, except the browser client's own
// login right while the browser library is present.
bool IsOffered(const OperCatalogEntry& entry, bool browserLibraryPresent);
// Whether `code` is an operation the store offers.
bool IsOfferedCode(uint32_t code, bool browserLibraryPresent);

// The name of the browser-login right ("登陆IE"), left out while the browser library is present.
const CString& BrowserLoginRightName();
