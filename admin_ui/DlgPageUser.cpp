#include "admin_ui/DlgPageUser.h"

#include <string>

#include "admin_ui/DlgUserProp.h"
#include "admin_ui/ReportList.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

namespace {

// One "*" per byte of the password; the password itself is never shown.
CString PasswordMask(const CString& password) {
    return CString(std::string(static_cast<size_t>(password.GetLength()), '*'));
}

void CopyAccount(const CDlgUserProp& dialog, CInfoUser* user) {
    user->m_strName = dialog.m_strName;
    user->m_strPassword = dialog.m_strPassword;
    user->m_strRemark = dialog.m_strRemark;
    user->m_nTimeSectType = dialog.m_nTimeSectType;
    user->m_tFrom = dialog.m_tFrom.GetTime();
    user->m_tTo = dialog.m_tTo.GetTime();
}

}  // namespace

CDlgPageUser::CDlgPageUser(CSaveProp* store)
    : CDlgPageList(IDD_PAGE_USER, store, m_listUser, IDC_LIST_USER, IDC_BTN_EDIT_USER) {}

bool CDlgPageUser::IsEditAllowed() const { return m_pStore->m_bEditUser != 0; }

void CDlgPageUser::InitList() {
    SetUpReportList(m_listUser, {{"编号", 40}, {"用户名", 100}, {"备注", 100}, {"密码", 50}});
}

void CDlgPageUser::FillList() {
    m_listUser.DeleteAllItems();
    const CObList& users = Records().m_userList;
    for (POSITION pos = users.GetHeadPosition(); pos != nullptr;) {
        auto* user = static_cast<CInfoUser*>(users.GetNext(pos));
        AppendReportRow(m_listUser,
                        {DecimalText(user->m_nID), user->m_strName, user->m_strRemark,
                         PasswordMask(user->m_strPassword)},
                        reinterpret_cast<uintptr_t>(user));
    }
    ShowCount();
}

void CDlgPageUser::OnAdd() {
    if (!IsEditAllowed()) return;
    CDlgUserProp dialog(m_pStore);
    dialog.m_bEdit = 0;
    dialog.m_nUserID = Records().NextUserID();
    if (dialog.DoModal() != IDOK) return;
    auto* user = new CInfoUser;
    user->m_nID = dialog.m_nUserID;
    CopyAccount(dialog, user);
    Records().m_userList.AddTail(user);
    FillList();
}

void CDlgPageUser::OnEdit() {
    auto* user = reinterpret_cast<CInfoUser*>(FirstSelectedRecord());
    if (user == nullptr) return;
    CDlgUserProp dialog(m_pStore);
    dialog.m_bEdit = 1;
    dialog.m_nUserID = user->m_nID;
    dialog.m_strName = user->m_strName;
    dialog.m_strPassword = user->m_strPassword;
    dialog.m_strConfirm = user->m_strPassword;
    dialog.m_strRemark = user->m_strRemark;
    dialog.m_nTimeSectType = user->m_nTimeSectType;
    dialog.m_tFrom = CTime(user->m_tFrom);
    dialog.m_tTo = CTime(user->m_tTo);
    if (dialog.DoModal() != IDOK) return;
    CopyAccount(dialog, user);
    FillList();
}

void CDlgPageUser::RemoveRecord(uintptr_t record) {
    Records().RemoveUser(reinterpret_cast<CInfoUser*>(record));
}
