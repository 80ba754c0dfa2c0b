#pragma once

#include "module/WardletApp.h"

// Holds the file mutex for one read or write of the data file. Before the first SetDataSource
// there is no mutex and nothing to wait for (and no path to open either).
class FileMutexHold {
public:
    FileMutexHold() : m_mutex(g_hFileMutex.get()) {
        if (m_mutex) m_mutex->Lock();
    }
    ~FileMutexHold() {
        if (m_mutex) m_mutex->Unlock();
    }
    FileMutexHold(const FileMutexHold&) = delete;
    FileMutexHold& operator=(const FileMutexHold&) = delete;

private:
    NamedMutex* m_mutex;
};
