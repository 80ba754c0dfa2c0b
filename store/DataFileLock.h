#pragma once

#include <cstdint>
#include <string>

#include "platform/AtomicFile.h"

// The lock that belongs to the data file itself, whatever program takes it: an open-file-
// description lock (F_OFD_SETLKW) on "<data file>.lock", a file beside the data file (beside the
// link's target where the path is a link). The named file mutex only joins processes of one host
// program; this lock joins the monitoring program, the command-line tool and the sync agent alike.
// The kernel drops it when its holder dies, so a crashed holder never wedges the others.
// Writers replace the data file whole under it, by rename, so readers that only answer questions
// need not take it.
//
// Lock file format: its first eight bytes hold the change counter, an unsigned 64-bit number,
// little-endian; a shorter file counts as 0. Every save through the library adds one under the
// lock, so a reader that sees the same counter and the same data file knows nothing changed.
//
// Holds nest within a process: an export that loads, changes and saves the store holds the lock
// once around all three, and the load's and save's own holds within it cost nothing. Threads of
// one process exclude each other too. Between holds the lock file stays open, unlocked, so that
// the next hold of the same data file need not find and open it again.
class DataFileLock {
public:
    // Blocks until the lock of the data file at `dataPath` is held. Without a usable lock file
    // (no path, a folder this user cannot write, a lock file that is a link) the hold goes on
    // unlocked, as loads and saves did before the lock existed; that is said once on stderr.
    explicit DataFileLock(const std::string& dataPath);
    ~DataFileLock();
    DataFileLock(const DataFileLock&) = delete;
    DataFileLock& operator=(const DataFileLock&) = delete;

    // Whether a lock file is held (by this hold or by the one it nests in).
    bool Held() const;

    // Adds one to the change counter. Does nothing when no lock file is held.
    void BumpChangeCounter();

    // The data file's location as resolved when the outermost hold was taken, or null.
    const FileLocation* Location() const;

private:
    bool m_outermost = false;
};

// The data file's change counter, read without waiting for the lock; 0 when there is no lock file.
uint64_t ReadChangeCounter(const std::string& dataPath);
