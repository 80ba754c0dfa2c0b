#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"
#include "wardlet/platform/String.h"

// One user account. Texts are code page 936; times are CTime seconds.
class CInfoUser : public CObject {
    DECLARE_SERIAL(CInfoUser)
public:
    ~CInfoUser() override;
    // Body: id, name, password, remark (texts scrambled), validity kind, from, to. Writing the
    // record of the logged-in user refreshes the session's password from it.
    void Serialize(CArchive& ar) override;

    int32_t m_nID = 0;
    CString m_strName;
    CString m_strPassword;
    CString m_strRemark;
    // 0 permanent, 1 daily window (times of day on 2000-01-01), 2 date range; else never valid.
    int32_t m_nTimeSectType = 0;
    int32_t m_tFrom = 0;
    int32_t m_tTo = 0;
};
