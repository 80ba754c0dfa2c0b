// The five record classes: their bodies in the archive, in the order written and read.
#include "module/WardletApp.h"
#include "store/Scramble.h"
#include "store/StoreFormat.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/store/InfoGroup.h"
#include "wardlet/store/InfoGroupOper.h"
#include "wardlet/store/InfoGroupUser.h"
#include "wardlet/store/InfoOper.h"
#include "wardlet/store/InfoUser.h"

IMPLEMENT_SERIAL(CInfoUser, CObject, kStoreSchema)
IMPLEMENT_SERIAL(CInfoGroup, CObject, kStoreSchema)
IMPLEMENT_SERIAL(CInfoOper, CObject, kStoreSchema)
IMPLEMENT_SERIAL(CInfoGroupUser, CObject, kStoreSchema)
IMPLEMENT_SERIAL(CInfoGroupOper, CObject, kStoreSchema)

namespace {

void WriteScrambled(CArchive& ar, const CString& text) { ar << ScrambleString(text); }

void ReadScrambled(CArchive& ar, CString& text) {
    CString stored;
    ar >> stored;
    text = ScrambleString(stored);
}

}  // namespace

CInfoUser::~CInfoUser() = default;

void CInfoUser::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        // Whenever the store is saved, the running session follows a change of its own password:
        // that of the record it logged in with, not of another account that shares the name.
        if (theApp.m_nCurUserID == m_nID && m_strName == theApp.m_strCurUser) {
            theApp.m_strCurPassword = m_strPassword;
        }
        ar << m_nID;
        WriteScrambled(ar, m_strName);
        WriteScrambled(ar, m_strPassword);
        WriteScrambled(ar, m_strRemark);
        ar << m_nTimeSectType << m_tFrom << m_tTo;
    } else {
        ar >> m_nID;
        ReadScrambled(ar, m_strName);
        ReadScrambled(ar, m_strPassword);
        ReadScrambled(ar, m_strRemark);
        ar >> m_nTimeSectType >> m_tFrom >> m_tTo;
    }
}

CInfoGroup::~CInfoGroup() = default;

void CInfoGroup::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << m_nID;
        WriteScrambled(ar, m_strName);
        WriteScrambled(ar, m_strDesc);
    } else {
        ar >> m_nID;
        ReadScrambled(ar, m_strName);
        ReadScrambled(ar, m_strDesc);
    }
}

CInfoOper::~CInfoOper() = default;

void CInfoOper::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << m_nCode;
        WriteScrambled(ar, m_strName);
        WriteScrambled(ar, m_strDesc);
    } else {
        ar >> m_nCode;
        ReadScrambled(ar, m_strName);
        ReadScrambled(ar, m_strDesc);
    }
}

CInfoGroupUser::~CInfoGroupUser() = default;

void CInfoGroupUser::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << m_nGroupID << m_nUserID;
    } else {
        ar >> m_nGroupID >> m_nUserID;
    }
}

CInfoGroupOper::~CInfoGroupOper() = default;

void CInfoGroupOper::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << m_nGroupID << m_nOperCode;
    } else {
        ar >> m_nGroupID >> m_nOperCode;
    }
}
