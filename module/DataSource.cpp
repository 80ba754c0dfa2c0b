// The data source and the two named kernel objects every other export relies on.
#include <cstdio>
#include <string>

#include "module/Exports.h"
#include "module/WardletApp.h"
#include "platform/KernelObjectNames.h"

namespace {

// The library goes on without the object (and tries again at the next call), but an operator
// must learn that the data file is not guarded across processes.
void ReportMissingObject(const std::string& name) {
    std::string folder = KernelObjectDirectory();
    if (folder.empty()) folder = "(no private folder could be made or trusted)";
    std::fprintf(stderr,
                 "wardlet: cannot create %s in %s; will try again at the next SetDataSource\n",
                 name.c_str(), folder.c_str());
}

}  // namespace

void SetDataSource(const char* path) {
    GuardExport("SetDataSource", [&] {
        g_strDataSource = path;
        // Named after the host executable, so every process of the same host program shares
        // one file mutex and one login slot.
        std::string base = ExecutableBaseName();
        if (!g_hFileMutex) {
            g_hFileMutex = NamedMutex::Open(base + "Mutex");
            if (!g_hFileMutex) ReportMissingObject(base + "Mutex");
        }
        if (!theApp.m_hSemaphore) {
            theApp.m_hSemaphore = NamedSemaphore::Open(base + "Semaphore", 1, 1);
            if (!theApp.m_hSemaphore) ReportMissingObject(base + "Semaphore");
        }
    });
}

const char* GetDataSource(void) { return g_strDataSource.GetString(); }
