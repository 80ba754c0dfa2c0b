#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"
#include "wardlet/platform/String.h"

// One group; users get rights only through the groups they belong to.
class CInfoGroup : public CObject {
    DECLARE_SERIAL(CInfoGroup)
public:
    ~CInfoGroup() override;
    // Body: id, name, description (texts scrambled).
    void Serialize(CArchive& ar) override;

    int32_t m_nID = 0;
    CString m_strName;
    CString m_strDesc;
};
