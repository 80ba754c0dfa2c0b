// Constants of the data file and of the transfer form. DO NOT CHANGE ANY OF THESE: they are
// embedded in stored files and in what other stations send and expect (docs/data-format.md).
#pragma once

#include <cstdint>

#include "platform/AtomicFile.h"

// Every serialisable class of the store is written with this schema.
inline constexpr uint16_t kStoreSchema = 1;
// Each byte of a stored text is XORed with this key.
inline constexpr unsigned char kScrambleKey = 0x6B;

// Defaults of a store that was never saved.
inline constexpr const char kDefaultAdminName[] = "Admin";
inline constexpr const char kDefaultAdminPassword[] = "4827";
inline constexpr int32_t kDefaultLogoutMinutes = 3;

// The largest store the library reads, from the data file or from another station; the header
// tells hosts. Larger ones are refused before they are read.
inline constexpr uint64_t kMaxStoreBytes = kMaxWholeFileBytes;
// The sender named to the remote station: the library's name as peers know it.
inline constexpr const char kRemoteSenderSuffix[] = ".dll";
