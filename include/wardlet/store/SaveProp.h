#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"
#include "wardlet/platform/String.h"
#include "wardlet/store/DataManager.h"

// The root of the store: the administrator's credentials, the store-wide settings and every
// record. The data file is exactly this record's body.
class CSaveProp : public CObject {
    DECLARE_SERIAL(CSaveProp)
public:
    CSaveProp();
    ~CSaveProp() override;
    CSaveProp(const CSaveProp&) = delete;
    CSaveProp& operator=(const CSaveProp&) = delete;

    // Writes or reads the body of the data file. A record read while a received store is being
    // taken in saves itself to the local data file when its body is complete.
    void Serialize(CArchive& ar) override;

    // Reads the data file into this freshly constructed record. Returns 1 when the whole body was
    // read, 0 otherwise; after a failure the fields and records read before it stay.
    int LoadFromFile();
    // Replaces the data file with this record (atomically, under the file mutex), then hands the
    // record to the remote station unless a received store is being taken in. Returns 1 when the
    // file was written, 0 when it was not.
    int SaveToFile();
    // Hands this record to the sibling library's SendObjlistToRemote, if it is there.
    void PushToRemote();

    CDataManager m_dataManager;
    CString m_strAdminName;
    CString m_strAdminPassword;
    int32_t m_bEditGroup;
    int32_t m_bEditRight;
    int32_t m_bEditUser;
    int32_t m_bAutoLogout;
    int32_t m_nLogoutMinutes;
};
