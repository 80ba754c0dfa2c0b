#include "wardlet/store/SaveProp.h"

#include <cstdio>
#include <string>
#include <vector>

#include "module/WardletApp.h"
#include "platform/AtomicFile.h"
#include "platform/ByteViewFile.h"
#include "platform/DynamicLibrary.h"
#include "store/DataFileLock.h"
#include "store/FileMutexHold.h"
#include "store/Scramble.h"
#include "store/StoreFormat.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"

IMPLEMENT_SERIAL(CSaveProp, CObject, kStoreSchema)

namespace {

// The entry of the sibling library: the sender's name and a list holding the one store.
using SendObjlistToRemoteFn = int (*)(CString sender, CObList* list);

// Replaces the data file with `bytes` under `lock`, clears away what saves killed before it left,
// and tells every reader that the file changed.
bool WriteDataFile(DataFileLock& lock, const std::vector<unsigned char>& bytes,
                   std::string* reason) {
    FileLocation located;
    const FileLocation* location = lock.Location();
    if (location == nullptr) {
        if (!LocateFile(g_strDataSource.Bytes(), &located, reason)) return false;
        location = &located;
    }
    // Under the lock a staging file can take one fixed name: a killed save leaves one copy at most.
    const Staging staging =
        lock.Held() ? Staging::kUnnamedUnderLock : Staging::kUnnamedWherePossible;
    if (!ReplaceFileAtomically(*location, bytes.data(), bytes.size(), reason, staging)) {
        return false;
    }
    if (lock.Held()) RemoveStaleStagingFiles(*location);
    lock.BumpChangeCounter();
    return true;
}

}  // namespace

CSaveProp::CSaveProp()
    : m_strAdminName(kDefaultAdminName),
      m_strAdminPassword(kDefaultAdminPassword),
      m_bEditGroup(1),
      m_bEditRight(1),
      m_bEditUser(1),
      m_bAutoLogout(1),
      m_nLogoutMinutes(kDefaultLogoutMinutes) {}

// The manager deletes every record it holds when it ends with the record.
CSaveProp::~CSaveProp() = default;

void CSaveProp::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << ScrambleString(m_strAdminName) << ScrambleString(m_strAdminPassword);
        ar << m_bEditGroup << m_bEditRight << m_bEditUser;
        m_dataManager.Serialize(ar);
        ar << m_bAutoLogout << m_nLogoutMinutes;
        return;
    }
    // Each field is set as soon as it is read, so a damaged file keeps what came before the damage.
    CString stored;
    ar >> stored;
    m_strAdminName = ScrambleString(stored);
    ar >> stored;
    m_strAdminPassword = ScrambleString(stored);
    ar >> m_bEditGroup >> m_bEditRight >> m_bEditUser;
    m_dataManager.Serialize(ar);
    ar >> m_bAutoLogout >> m_nLogoutMinutes;
    // A store received from another station replaces the local file once it has been read whole.
    if (theApp.m_bReceiving) SaveToFile();
}

int CSaveProp::LoadFromFile() {
    FileBytes bytes;
    {
        FileMutexHold hold;
        if (g_strDataSource.IsEmpty() ||
            !ReadWholeFile(g_strDataSource.Bytes(), &bytes, kMaxStoreBytes)) {
            return 0;
        }
    }
    // Parsed where it lies, after the mutex is released: the bytes are already a whole snapshot.
    ByteViewFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    try {
        Serialize(ar);
    } catch (const std::exception&) {
        return 0;
    }
    return 1;
}

int CSaveProp::SaveToFile() {
    CString sessionPassword = theApp.m_strCurPassword;
    CMemFile file;
    bool serialized = true;
    try {
        CArchive ar(&file, CArchive::store);
        Serialize(ar);
        ar.Close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wardlet: cannot write the store: %s\n", error.what());
        serialized = false;
    }

    bool written = false;
    if (serialized && !g_strDataSource.IsEmpty()) {
        std::string reason;
        FileMutexHold hold;
        written = WriteDataFile(hold.FileLock(), file.Bytes(), &reason);
        if (!written) {
            std::fprintf(stderr, "wardlet: cannot save %s: %s\n", g_strDataSource.GetString(),
                         reason.c_str());
        }
    }
    if (!theApp.m_bReceiving) PushToRemote();
    // A password that never reached the file must not become the session's. Restored after the
    // forwarding, which writes the store once more.
    if (!written) theApp.m_strCurPassword = sessionPassword;
    return written ? 1 : 0;
}

void CSaveProp::PushToRemote() {
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::Load(kMirrorLibraryName);
    if (!library) return;
    auto send = reinterpret_cast<SendObjlistToRemoteFn>(library->Entry(kMirrorEntryName));
    if (send == nullptr) return;
    try {
        CObList list;  // does not own: the record stays ours
        list.AddTail(this);
        send(CString(theApp.m_pszAppName) + kRemoteSenderSuffix, &list);
    } catch (...) {
        // The remote side's failures are its own; the local save stands.
    }
}
