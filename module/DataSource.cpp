// The data source and the two named kernel objects every other export relies on.
#include <string>

#include "module/Exports.h"
#include "module/WardletApp.h"
#include "platform/KernelObjectNames.h"

void SetDataSource(const char* path) {
    GuardExport("SetDataSource", [&] {
        g_strDataSource = path;
        // Named after the host executable, so every process of the same host program shares
        // one file mutex and one login slot.
        std::string base = ExecutableBaseName();
        if (!g_hFileMutex) g_hFileMutex = NamedMutex::Open(base + "Mutex");
        if (!theApp.m_hSemaphore) {
            theApp.m_hSemaphore = NamedSemaphore::Open(base + "Semaphore", 1, 1);
        }
    });
}

const char* GetDataSource(void) { return g_strDataSource.GetString(); }
