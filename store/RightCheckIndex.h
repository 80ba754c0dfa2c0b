// The per-process index behind the permission questions (Islegal, GetPassed for the logged-in
// user, IsUserExist, GetUserTimeSect, GetCurUserInfo): every answer is the one that reading the
// data file at that moment would give, without reading it again while it has not changed.
//
// The index keeps the bytes of the last read of the data file and, for each user asked about
// since, the facts scanned from them: password, validity period and the union of the rights of
// the user's groups. It is reused while the file at the data path has the identity (device,
// inode, size, mode, modification and change times to the nanosecond) that the file read had:
// one stat per question. The file read is held open meanwhile, so no new file can take its
// inode number; a save through the library, which renames a new file into place and bumps the
// change counter in the same hold, therefore always shows as a new identity, and the counter
// need not be read per question. A writer that bypasses the library changes the times.
//
// When in doubt, the file is read. A read is kept only if it took the whole file, and if the
// file's timestamps were already kSettledAfterNs old when the read began:
// a change within the same timestamp tick (as coarse as 2 seconds on some filesystems) could
// otherwise leave the identity as it was. A file that cannot be read is never kept either.
//
// Times are never kept: the validity period is judged against the clock at every question.
// The index is freed when the library is unloaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "store/RightCheckScan.h"
#include "wardlet/platform/String.h"

// How old the data file's timestamps must be before a read of it is reused.
inline constexpr int64_t kSettledAfterNs = 2'100'000'000;

// The facts a question about `userName` needs, as reading the data file now would give them;
// the defaults when there is no data source or the file cannot be read. Shared with the index,
// so that an answer from it copies nothing.
using SharedFacts = std::shared_ptr<const RightCheckFacts>;
SharedFacts LoadRightCheckFacts(const CString& userName);

// What the index holds and how it has answered, for tests and benchmarks.
struct RightCheckIndexStats {
    uint64_t fileReads = 0;         // questions that read the data file
    uint64_t answersFromIndex = 0;  // questions answered without reading it
    size_t bytesHeld = 0;           // memory held by the index: the file's bytes and the facts
};
RightCheckIndexStats GetRightCheckIndexStats();

// Forgets the kept read.
void DropRightCheckIndex();

// The wall clock, in nanoseconds since 1970, that decides whether a file has settled; null
// restores the system's real-time clock. For tests.
using SettleClock = int64_t (*)();
void SetRightCheckIndexClock(SettleClock clock);
