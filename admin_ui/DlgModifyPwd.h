// The change-password dialog: a new password and its confirmation, accepted only when the two are
// equal and the password is at most 64 bytes long.
#pragma once

#include "platform/Dialog.h"

class CDlgModifyPwd : public CDialog {
public:
    CDlgModifyPwd();

    CString m_strNewPwd;
    CString m_strConfirm;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
};
