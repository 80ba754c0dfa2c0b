// Stand-in for the remote-transfer library: records each call, so tests can see what a save
// forwards. Appends to the file named by WARDLET_FAKE_MIRROR_LOG: one line per call with the
// sender text, the list's element count and the hex of the list in its transfer form.
#include <cstdio>
#include <cstdlib>

#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/platform/String.h"

extern "C" __attribute__((visibility("default"))) int SendObjlistToRemote(CString sender,
                                                                          CObList* list) {
    const char* logPath = std::getenv("WARDLET_FAKE_MIRROR_LOG");
    if (logPath == nullptr) return 0;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list->Serialize(ar);
    ar.Close();
    FILE* log = std::fopen(logPath, "a");
    if (log == nullptr) return 0;
    std::fprintf(log, "%s %d ", sender.GetString(), list->GetCount());
    for (unsigned char byte : file.Bytes()) std::fprintf(log, "%02X", byte);
    std::fprintf(log, "\n");
    std::fclose(log);
    return 1;
}
