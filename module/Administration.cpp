// Exports that change or hand over the store as a whole.
#include <cstdio>

#include "module/Credentials.h"
#include "module/Exports.h"
#include "module/WardletApp.h"

namespace {

// Clears the receiving flag on every way out, so forwarding never stays switched off.
struct ReceivingFlag {
    ReceivingFlag() { theApp.m_bReceiving = 1; }
    ~ReceivingFlag() { theApp.m_bReceiving = 0; }
};

// Reads the transfer form: a list holding one store, which saves itself to the local data file
// once its body has been read whole. A damaged list therefore stores nothing.
void ReceiveStore(CArchive& archive) {
    ReceivingFlag receiving;
    uint32_t count = archive.ReadCount();
    if (count == 0) return;
    if (count > 1) {
        // The sending side never sends more than one; taking several would leave only the last.
        throw CArchiveException(CArchiveException::genericException,
                                "the received list holds more than one store");
    }
    delete archive.ReadOwnedObject(RUNTIME_CLASS(CSaveProp));
}

}  // namespace

int32_t ModifyPWD(const char* user, const char* oldPassword, const char* newPassword) {
    return GuardExport("ModifyPWD", 0, [&] {
        CString name = HostText(user);
        if (name.IsEmpty()) return 0;
        CSaveProp store;
        store.LoadFromFile();
        if (IsAdministrator(store, name, HostText(oldPassword))) {
            store.m_strAdminPassword = HostText(newPassword);
        } else if (CInfoUser* record = FindUserByCredentials(store, name, HostText(oldPassword))) {
            record->m_strPassword = HostText(newPassword);
        } else {
            return 0;
        }
        // The change counts only once it is in the data file.
        return store.SaveToFile();
    });
}

int32_t GetConfigData(CObList* list) {
    return GuardExport("GetConfigData", 1, [&] {
        theApp.m_pConfigData = std::make_unique<CSaveProp>();
        theApp.m_pConfigData->LoadFromFile();
        if (list != nullptr) list->AddTail(theApp.m_pConfigData.get());
        return 1;
    });
}

void ReceiveObjListFromArchive(CArchive& archive) {
    GuardExport("ReceiveObjListFromArchive", [&] {
        try {
            ReceiveStore(archive);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "wardlet: received store rejected, nothing stored: %s\n",
                         error.what());
        }
    });
}
