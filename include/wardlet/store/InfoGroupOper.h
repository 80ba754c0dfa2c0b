#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"

// One right code granted to one group (by number); it covers every code beneath it.
class CInfoGroupOper : public CObject {
    DECLARE_SERIAL(CInfoGroupOper)
public:
    ~CInfoGroupOper() override;
    // Body: group id, operation code.
    void Serialize(CArchive& ar) override;

    int32_t m_nGroupID = 0;
    int32_t m_nOperCode = 0;
};
