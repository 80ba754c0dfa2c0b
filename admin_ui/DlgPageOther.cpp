#include "admin_ui/DlgPageOther.h"

#include "module/Notice.h"
#include "module/WardletApp.h"
#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

namespace {

constexpr int kMaxTextBytes = 64;
constexpr int kFewestLogoutMinutes = 1;
constexpr int kMostLogoutMinutes = 999;

void ExchangeLimitedText(CDataExchange* pDX, int id, CString& value) {
    DDX_Text(pDX, id, value);
    DDV_MaxChars(pDX, value, kMaxTextBytes);
}

}  // namespace

CDlgPageOther::CDlgPageOther(CSaveProp* store)
    : CPropertyPage(LoadDialogTemplate(IDD_PAGE_OTHER)), m_pStore(store) {}

void CDlgPageOther::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    ExchangeLimitedText(pDX, IDC_EDIT_ADMIN, m_strAdmin);
    ExchangeLimitedText(pDX, IDC_EDIT_ADMIN_NEW_PWD, m_strNewPwd);
    ExchangeLimitedText(pDX, IDC_EDIT_ADMIN_CONFIRM, m_strConfirm);
    ExchangeLimitedText(pDX, IDC_EDIT_OLD_PWD, m_strOldPwd);
    DDX_Text(pDX, IDC_EDIT_DATA_FILE, m_strDataFile);
    DDX_Check(pDX, IDC_CHECK_EDIT_GROUP, m_bEditGroup);
    DDX_Check(pDX, IDC_CHECK_EDIT_RIGHT, m_bEditRight);
    DDX_Check(pDX, IDC_CHECK_EDIT_USER, m_bEditUser);
    DDX_Check(pDX, IDC_CHECK_SHOW_FILE, m_bShowFile);
    DDX_Text(pDX, IDC_EDIT_LOGOUT_MINUTES, m_nLogoutMinutes);
    DDV_MinMaxInt(pDX, m_nLogoutMinutes, kFewestLogoutMinutes, kMostLogoutMinutes);
    DDX_Check(pDX, IDC_CHECK_AUTO_LOGOUT, m_bAutoLogout);
}

bool CDlgPageOther::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_strDataFile = g_strDataSource;
    m_strAdmin = m_pStore->m_strAdminName;
    m_bEditGroup = m_pStore->m_bEditGroup;
    m_bEditUser = m_pStore->m_bEditUser;
    m_bEditRight = m_pStore->m_bEditRight;
    m_bAutoLogout = m_pStore->m_bAutoLogout;
    m_nLogoutMinutes = m_pStore->m_nLogoutMinutes;
    ShowDlgItem(IDC_EDIT_DATA_FILE, false);
    UpdateData(false);
    return true;
}

void CDlgPageOther::OnCommand(int id) {
    switch (id) {
        case IDC_BTN_MODIFY:
            OnModify();
            break;
        case IDC_CHECK_SHOW_FILE:
            OnShowFile();
            break;
        case IDC_CHECK_AUTO_LOGOUT:
            UpdateData(true);
            break;
        default:
            break;  // the edit-flag check boxes do nothing when clicked
    }
}

void CDlgPageOther::OnModify() {
    // A refused waiting time is reported by the exchange, yet the texts before it in the exchange
    // have been read and the administrator change goes on.
    UpdateData(true);
    if (CString(m_strAdmin).Trim().IsEmpty()) {
        ShowNotice(Cp936Text("管理员名字不能为空或空格!"));
        return;
    }
    if (m_strOldPwd != m_pStore->m_strAdminPassword) {
        ShowNotice(Cp936Text("旧密码不正确，请重新输入!"));
        m_strOldPwd.Empty();
        UpdateData(false);
        return;
    }
    if (m_strNewPwd != m_strConfirm) {
        ShowNotice(Cp936Text("新密码和确认不相等，请重新输入!"));
        return;
    }
    m_pStore->m_strAdminName = m_strAdmin;
    m_pStore->m_strAdminPassword = m_strNewPwd;
    ShowNotice(Cp936Text("密码修改成功"));
    m_strOldPwd.Empty();
    m_strNewPwd.Empty();
    m_strConfirm.Empty();
    UpdateData(false);
}

void CDlgPageOther::OnShowFile() {
    m_bShowFile = !m_bShowFile;
    ShowDlgItem(IDC_EDIT_DATA_FILE, m_bShowFile != 0);
}

void CDlgPageOther::OnOK() {
    if (!UpdateData(true)) return;
    m_pStore->m_bEditGroup = m_bEditGroup;
    m_pStore->m_bEditRight = m_bEditRight;
    m_pStore->m_bEditUser = m_bEditUser;
    m_pStore->m_bAutoLogout = m_bAutoLogout;
    m_pStore->m_nLogoutMinutes = m_nLogoutMinutes;
    CPropertyPage::OnOK();
}
