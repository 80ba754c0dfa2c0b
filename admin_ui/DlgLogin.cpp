#include "admin_ui/DlgLogin.h"

#include "platform/DataExchange.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"

namespace {

// A user name or password typed into the library's dialogs, in code page 936 bytes.
constexpr int kMaxCredentialBytes = 64;

}  // namespace

CDlgLogin::CDlgLogin(const CString& title)
    : CDialog(LoadDialogTemplate(IDD_DLG_LOGIN)), m_strTitle(title) {}

void CDlgLogin::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_EDIT_USER, m_strUser);
    DDV_MaxChars(pDX, m_strUser, kMaxCredentialBytes);
    DDX_Text(pDX, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(pDX, m_strPassword, kMaxCredentialBytes);
}

bool CDlgLogin::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!m_strTitle.IsEmpty()) SetWindowText(m_strTitle);
    return true;
}
