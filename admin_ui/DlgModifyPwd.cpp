#include "admin_ui/DlgModifyPwd.h"

#include "module/Notice.h"
#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"

namespace {

constexpr int kMaxPasswordBytes = 64;

}  // namespace

CDlgModifyPwd::CDlgModifyPwd() : CDialog(LoadDialogTemplate(IDD_DLG_MODIFY_PWD)) {}

void CDlgModifyPwd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_EDIT_NEW_PWD, m_strNewPwd);
    DDX_Text(pDX, IDC_EDIT_CONFIRM, m_strConfirm);
}

void CDlgModifyPwd::OnOK() {
    UpdateData(true);
    if (m_strNewPwd != m_strConfirm) {
        ShowNotice(Cp936Text("密码和确认密码不相等，请重新输入!"));
        return;
    }
    if (m_strNewPwd.GetLength() > kMaxPasswordBytes) {
        ShowNotice(Cp936Text("密码长度不可大于64!"));
        return;
    }
    EndDialog(IDOK);
}
