// The Other page of the configuration sheet: the administrator's name and password, changed
// together with the "修 改" button, and the automatic-logout minutes. Hidden controls carry the
// stored edit flags through unchanged.
#pragma once

#include <cstdint>

#include "platform/PropertyPage.h"

class CSaveProp;

class CDlgPageOther : public CPropertyPage {
public:
    // `store` stays the caller's.
    explicit CDlgPageOther(CSaveProp* store);

    CSaveProp* const m_pStore;
    CString m_strAdmin;
    CString m_strOldPwd;
    CString m_strNewPwd;
    CString m_strConfirm;
    CString m_strDataFile;
    int m_bEditGroup = 0;
    int m_bEditRight = 0;
    int m_bEditUser = 0;
    int m_bShowFile = 0;
    int m_nLogoutMinutes = 3;
    int m_bAutoLogout = 1;

    // Takes the flags and the minutes into the store; the administrator's pair changes only
    // through OnModify.
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

private:
    void OnModify();
    void OnShowFile();
};
