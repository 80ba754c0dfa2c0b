#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"
#include "wardlet/platform/String.h"

// One operation of the catalogue. Operations are rebuilt from the catalogue for every store and
// never stored in the data file.
class CInfoOper : public CObject {
    DECLARE_SERIAL(CInfoOper)
public:
    ~CInfoOper() override;
    // Body: code, name, description (texts scrambled).
    void Serialize(CArchive& ar) override;

    int32_t m_nCode = 0;  // right code; compare as uint32_t
    CString m_strName;
    CString m_strDesc;
};
