// Exports that change or hand over the store as a whole.
#include <cstdio>

#include "admin_ui/DlgLogin.h"
#include "admin_ui/DlgModifyPwd.h"
#include "admin_ui/DlgPageGroup.h"
#include "admin_ui/DlgPageOther.h"
#include "admin_ui/DlgPageUser.h"
#include "admin_ui/DlgSheetConfig.h"
#include "module/Credentials.h"
#include "module/Exports.h"
#include "module/Notice.h"
#include "module/WardletApp.h"
#include "resources/Cp936Text.h"
#include "rights/Evaluation.h"
#include "store/FileMutexHold.h"

namespace {

// Clears the receiving flag on every way out, so forwarding never stays switched off.
struct ReceivingFlag {
    ReceivingFlag() { theApp.m_bReceiving = 1; }
    ~ReceivingFlag() { theApp.m_bReceiving = 0; }
};

// Reads the transfer form: a list holding one store, which saves itself to the local data file
// once its body has been read whole. A damaged list therefore stores nothing.
void ReceiveStore(CArchive& archive) {
    ReceivingFlag receiving;
    uint32_t count = archive.ReadCount();
    if (count == 0) return;
    if (count > 1) {
        // The sending side never sends more than one; taking several would leave only the last.
        throw CArchiveException(CArchiveException::genericException,
                                "the received list holds more than one store");
    }
    delete archive.ReadOwnedObject(RUNTIME_CLASS(CSaveProp));
}

// The administrator maintains the whole store in the sheet; it is saved only when the sheet ends
// with OK.
void RunConfigurationSheet(CSaveProp& store) {
    CDlgSheetConfig sheet(Cp936Text("权限管理"));
    CDlgPageGroup groupPage(&store);
    CDlgPageUser userPage(&store);
    CDlgPageOther otherPage(&store);
    // OK and Cancel only.
    for (CPropertyPage* page :
         {static_cast<CPropertyPage*>(&groupPage), static_cast<CPropertyPage*>(&userPage),
          static_cast<CPropertyPage*>(&otherPage)}) {
        page->m_psp.dwFlags &= ~PSP_HASHELP;
        sheet.AddPage(page);
    }
    sheet.m_psh.dwFlags &= ~PSH_HASHELP;
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.SetActivePage(0);
    if (sheet.DoModal() == IDOK) store.SaveToFile();
}

// An ordinary user changes his own password, unless the account is outside its validity period.
void ChangeOwnPassword(CSaveProp& store, CInfoUser* user) {
    if (!IsUserPeriodValid(user)) {
        ShowNotice(Cp936Text("用户帐户已过期!"));
        return;
    }
    CDlgModifyPwd dialog;
    if (dialog.DoModal() != IDOK) return;
    user->m_strPassword = dialog.m_strNewPwd;
    store.SaveToFile();
    ShowNotice(Cp936Text("用户密码修改成功!"));
}

}  // namespace

void Config() {
    GuardExport("Config", [] {
        CSaveProp store;
        store.LoadFromFile();
        CDlgLogin login(Cp936Text("权限验证..."));
        login.m_strUser = store.m_strAdminName;
        if (login.DoModal() != IDOK) return;
        if (!CheckCredentials(store, login.m_strUser, login.m_strPassword)) {
            ShowNotice(Cp936Text("用户不存在或密码错误!"));
        } else if (IsAdministrator(store, login.m_strUser, login.m_strPassword)) {
            RunConfigurationSheet(store);
        } else {
            // The record that matched both name and password: another user of the same name is
            // never the one changed.
            ChangeOwnPassword(store,
                              FindUserByCredentials(store, login.m_strUser, login.m_strPassword));
        }
    });
}

int32_t ModifyPWD(const char* user, const char* oldPassword, const char* newPassword) {
    return GuardExport("ModifyPWD", 0, [&] {
        CString name = HostText(user);
        if (name.IsEmpty()) return 0;
        // One hold from the load to the save: a save of another process cannot land in between
        // and be overwritten with the older copy.
        FileMutexHold hold;
        CSaveProp store;
        store.LoadFromFile();
        if (IsAdministrator(store, name, HostText(oldPassword))) {
            store.m_strAdminPassword = HostText(newPassword);
        } else if (CInfoUser* record = FindUserByCredentials(store, name, HostText(oldPassword))) {
            record->m_strPassword = HostText(newPassword);
        } else {
            return 0;
        }
        // The change counts only once it is in the data file.
        return store.SaveToFile();
    });
}

int32_t GetConfigData(CObList* list) {
    return GuardExport("GetConfigData", 1, [&] {
        theApp.m_pConfigData = std::make_unique<CSaveProp>();
        theApp.m_pConfigData->LoadFromFile();
        if (list != nullptr) list->AddTail(theApp.m_pConfigData.get());
        return 1;
    });
}

void ReceiveObjListFromArchive(CArchive& archive) {
    GuardExport("ReceiveObjListFromArchive", [&] {
        try {
            ReceiveStore(archive);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "wardlet: received store rejected, nothing stored: %s\n",
                         error.what());
        }
    });
}
