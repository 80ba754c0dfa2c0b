// Logging the operator in and out of the workstation.
#include <optional>

#include "admin_ui/DlgLogin.h"
#include "module/AuditHook.h"
#include "module/Credentials.h"
#include "module/Exports.h"
#include "module/LoginSession.h"
#include "module/Notice.h"
#include "module/WardletApp.h"
#include "resources/Cp936Text.h"
#include "rights/Evaluation.h"
#include "wardlet/store/SaveProp.h"

namespace {

// Gives the login slot back on every way out, unless a user was logged in with it.
class LoginSlotHold {
public:
    ~LoginSlotHold() { Release(); }
    void Release() {
        if (m_held) ReleaseLoginSlot();
        m_held = false;
    }
    void Keep() { m_held = false; }

private:
    bool m_held = true;
};

CString Formatted(const char* utf8Format, const CString& name) {
    CString text;
    text.Format(Cp936Text(utf8Format), name.GetString());
    return text;
}

void AuditLogin(const CString& name, const char* outcome, const char* reason) {
    WriteAudit({.event = "login", .user = name, .outcome = outcome, .reason = reason});
}

// A refused login: the status for the host, the slot given back, the record, then the operator's
// notice.
void RefuseLogin(LoginSlotHold& slot, const char* statusFormat, const CString& name,
                 const char* notice, const char* reason) {
    theApp.m_strLogStatus = Formatted(statusFormat, name);
    slot.Release();
    AuditLogin(name, "refused", reason);
    ShowNotice(Cp936Text(notice));
}

// The record an accepted pair logged in with: none for the administrator's pair, else the first
// user with both that name and that password, as the credential check found it.
std::optional<int32_t> SessionRecordID(const CSaveProp& store, const CString& name,
                                       const CString& password) {
    if (IsAdministrator(store, name, password)) return std::nullopt;
    const CInfoUser* user = FindUserByCredentials(store, name, password);
    if (user == nullptr) return std::nullopt;
    return user->m_nID;
}

void LogInWithDialog() {
    theApp.m_strLogStatus.Empty();
    if (!TakeLoginSlot()) {
        const CString& user = theApp.m_strCurUser;
        theApp.m_strLogStatus = Formatted("用户%s已登录!本地用户登录操作失败!", user);
        AuditLogin(user, "refused", "somebody is logged in already");
        ShowNotice(Cp936Text("用户 ") + user + Cp936Text(" 已登录!"));
        return;
    }
    LoginSlotHold slot;
    CDlgLogin dialog(Cp936Text("登录..."));
    if (dialog.DoModal() != IDOK) {
        AuditLogin(CString(), "cancelled", "the login dialog was cancelled");
        return;
    }

    CSaveProp store;
    store.LoadFromFile();
    const CString& name = dialog.m_strUser;
    if (!CheckCredentials(store, name, dialog.m_strPassword)) {
        RefuseLogin(slot, "本地用户登录失败!用户%s帐号/密码错误!", name,
                    "帐号/密码错误，登录失败！", "wrong name or password");
        return;
    }
    // The administrator is no user record: no validity period applies to that name.
    const bool valid =
        IsUserPeriodValid(store.m_dataManager.FindUserByName(name)) || name == store.m_strAdminName;
    if (!valid) {
        RefuseLogin(slot, "本地用户登录失败!用户%s帐号已过期!", name, "帐号已过期，登录失败！",
                    "the account is outside its validity period");
        return;
    }
    theApp.m_strCurUser = name;
    theApp.m_strCurPassword = dialog.m_strPassword;
    theApp.m_nCurUserID = SessionRecordID(store, name, dialog.m_strPassword);
    RestartLogoutTimer(store.m_nLogoutMinutes);
    theApp.m_strLogStatus = Formatted("本地用户%s登录成功!", name);
    slot.Keep();
    AuditLogin(name, "accepted", "");
}

void LogOutCurrentUser() {
    CString notice;
    theApp.m_strLogStatus = Cp936Text("注销操作：当前无人登录！");
    if (!TakeLoginSlot()) {
        StopLogoutTimer();
        const CString& user = theApp.m_strCurUser;
        if (user.IsEmpty()) {
            notice = Cp936Text("注销操作：当前无人登录！");
        } else {
            notice = Formatted("用户“%s”注销成功", user);
            theApp.m_strLogStatus = Formatted("本地用户%s注销成功!", user);
        }
        WriteAudit({.event = "logout", .user = user, .outcome = "logged-out", .via = "hand"});
        theApp.m_strCurUser.Empty();
        theApp.m_strCurPassword.Empty();
        theApp.m_nCurUserID.reset();
    }
    // Ends the login, or gives back the count just taken.
    ReleaseLoginSlot();
    if (!notice.IsEmpty()) ShowNotice(notice);
}

}  // namespace

void LogIn(void) { GuardExport("LogIn", LogInWithDialog); }

void LogInEx(int32_t /*ignored*/) { GuardExport("LogInEx", LogInWithDialog); }

void LogOut(void) { GuardExport("LogOut", LogOutCurrentUser); }

void LogOutEx(int32_t /*ignored*/) { GuardExport("LogOutEx", LogOutCurrentUser); }

const CString& GetLogStatus(void) { return theApp.m_strLogStatus; }
