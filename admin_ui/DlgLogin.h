// The credential dialog: a user name and a password, handed back to the caller unchecked. The
// caller chooses the caption ("登录...", "权限验证...") and may preset the user name.
#pragma once

#include "platform/Dialog.h"

class CDlgLogin : public CDialog {
public:
    // An empty caption keeps the template's "管理员登录".
    explicit CDlgLogin(const CString& title = CString());

    CString m_strUser;      // at most 64 bytes
    CString m_strPassword;  // at most 64 bytes
    CString m_strTitle;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
};
