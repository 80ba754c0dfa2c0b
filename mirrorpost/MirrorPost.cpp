// libmirrorpost.so: the library hands every saved store to the station's sync agent through the
// agent's outbox. It is loaded and unloaded around each save, so it keeps nothing: no thread, no
// connection, no state outlives a call, and it never touches the network.
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <string>

#include "sync/Outbox.h"
#include "sync/SyncConfig.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/platform/String.h"

namespace {

void Complain(const std::string& what) {
    std::fprintf(stderr,
                 "mirrorpost: the store was saved but not queued for the other stations: %s\n",
                 what.c_str());
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The list in the transfer form: its own serialisation, exactly what ReceiveObjListFromArchive
// reads on the other side.
std::vector<unsigned char> TransferFormOf(CObList& list) {
    CMemFile file;
    CArchive archive(&file, CArchive::store);
    list.Serialize(archive);
    archive.Close();
    return file.Bytes();
}

int Queue(CObList* list) {
    const std::string configPath = DefaultSyncConfigPath();
    // A station without a configuration does not take part in sync.
    if (std::getenv("WARDLET_SYNC_CONFIG") == nullptr && !Exists(configPath)) return 0;
    SyncConfig config;
    std::string error;
    if (!LoadSyncConfig(configPath, &config, &error)) {
        Complain(error);
        return 0;
    }
    if (list == nullptr || list->GetCount() != 1) {
        Complain("the list does not hold exactly one store");
        return 0;
    }
    const std::vector<unsigned char> bytes = TransferFormOf(*list);
    if (!WriteOutboxEntry(config.OutboxDir(), bytes.data(), bytes.size(), false, &error)) {
        Complain(error);
        return 0;
    }
    return 1;
}

}  // namespace

// The sender ("Wardlet.dll") names the library the store comes from; every store this library
// sees is the library's, so it needs no further use. The list and its record stay the caller's.
extern "C" __attribute__((visibility("default"))) int SendObjlistToRemote(CString sender,
                                                                          CObList* list) {
    (void)sender;
    try {
        return Queue(list);
    } catch (const std::exception& failure) {
        Complain(failure.what());
    } catch (...) {
        Complain("unknown failure");
    }
    return 0;
}
