#pragma once

#include "module/WardletApp.h"
#include "store/DataFileLock.h"

// Holds the file mutex, shared by the processes of this host program, and the data file's own
// lock, shared by every program, for the reads and writes of the data file. Holds nest: an export
// that loads, changes and saves holds one around all three, so no other save lands in between.
// Before the first SetDataSource there is no mutex and no path, and nothing to wait for.
class FileMutexHold {
public:
    FileMutexHold() : m_fileLock(g_strDataSource.Bytes()) {}

    DataFileLock& FileLock() { return m_fileLock; }

private:
    class MutexHold {
    public:
        MutexHold() : m_mutex(g_hFileMutex.get()) {
            if (m_mutex) m_mutex->Lock();
        }
        ~MutexHold() {
            if (m_mutex) m_mutex->Unlock();
        }
        MutexHold(const MutexHold&) = delete;
        MutexHold& operator=(const MutexHold&) = delete;

    private:
        NamedMutex* m_mutex;
    };

    // Members are built in this order and end in the reverse: the mutex first, the lock within.
    MutexHold m_mutexHold;
    DataFileLock m_fileLock;
};
