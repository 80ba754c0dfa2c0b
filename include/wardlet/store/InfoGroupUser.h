#pragma once

#include <cstdint>

#include "wardlet/platform/Object.h"

// Membership of one user (by number) in one group (by number).
class CInfoGroupUser : public CObject {
    DECLARE_SERIAL(CInfoGroupUser)
public:
    ~CInfoGroupUser() override;
    // Body: group id, user id.
    void Serialize(CArchive& ar) override;

    int32_t m_nGroupID = 0;
    int32_t m_nUserID = 0;
};
