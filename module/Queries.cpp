// Permission queries. Each answers as reading the data file at that moment would; the questions
// about users are answered from the process's index of the file while the file is unchanged.
#include <cstring>

#include "admin_ui/DlgLogin.h"
#include "module/AuditHook.h"
#include "module/Credentials.h"
#include "module/Exports.h"
#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "platform/Cp936.h"
#include "resources/Cp936Text.h"
#include "rights/Evaluation.h"
#include "store/RightCheckIndex.h"

namespace {

// The logged-in user's check, when somebody is logged in in this process: granted postpones the
// automatic logout by a full interval. The buffer receives the user's name either way.
bool LoggedInUserPasses(uint32_t code, char* buffer) {
    if (TakeLoginSlot()) {
        ReleaseLoginSlot();  // nobody is logged in: give the count back at once
        return false;
    }
    const CString& user = theApp.m_strCurUser;
    CopyToHostBuffer(buffer, user);
    if (user.IsEmpty()) return false;  // logged in by another process of the host
    // One scan of the data file answers the question and gives the stored interval.
    const SharedFacts facts = LoadRightCheckFacts(user);
    if (!IsAllowed(*facts, user, theApp.m_strCurPassword, code)) return false;
    RestartLogoutTimer(facts->logoutMinutes);
    return true;
}

// Whoever identifies in the verification dialog (named in `who`); the login state is left as it is.
int VerifyInDialog(uint32_t code, char* buffer, CString* who) {
    CDlgLogin dialog(Cp936Text("权限验证..."));
    if (dialog.DoModal() != IDOK) return kGetPassedCancelled;
    *who = dialog.m_strUser;
    CopyToHostBuffer(buffer, dialog.m_strUser);
    CSaveProp store;
    store.LoadFromFile();
    if (IsAdministrator(store, dialog.m_strUser, dialog.m_strPassword)) return kRightGranted;
    return CheckUserRight(store, dialog.m_strUser, dialog.m_strPassword, code);
}

const char* PassedOutcome(int32_t result) {
    switch (result) {
        case kRightGranted:
            return "granted";
        case kGetPassedCancelled:
            return "cancelled";
        case 2:
            return "wrong-password";
        case 4:
            return "expired";
        default:
            return "refused";
    }
}

int32_t AuditPassed(uint32_t code, const CString& user, const char* via, int32_t result) {
    WriteAudit({.event = "get-passed",
                .user = user,
                .outcome = PassedOutcome(result),
                .code = code,
                .via = via});
    return result;
}

}  // namespace

void CopyToHostBuffer(char* buffer, const CString& text) {
    if (buffer == nullptr) return;
    std::memcpy(buffer, text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
}

int32_t Islegal(const char* user, const char* password, uint32_t code) {
    return GuardExport("Islegal", 0, [&] {
        CString name = HostText(user);
        if (name.IsEmpty()) return 0;
        // Answered from the facts scanned out of the file's bytes: the same answer as loading
        // the store, without building every record for one question.
        return IsAllowed(*LoadRightCheckFacts(name), name, HostText(password), code) ? 1 : 0;
    });
}

int32_t GetPassed(uint32_t code, char* buffer) {
    // A failure never grants: refused is the answer when anything goes wrong.
    return GuardExport("GetPassed", static_cast<int32_t>(kRightRefused), [&]() -> int32_t {
        // Decided on the text as the host passed it in, before the buffer is written.
        const bool noDialog = Cp936Contains(HostText(buffer).View(), Cp936Text("不弹框").View());
        if (LoggedInUserPasses(code, buffer)) {
            return AuditPassed(code, theApp.m_strCurUser, "logged-in", kRightGranted);
        }
        if (noDialog) return AuditPassed(code, theApp.m_strCurUser, "logged-in", kRightRefused);
        CString who;
        const int32_t result = VerifyInDialog(code, buffer, &who);
        return AuditPassed(code, who, "dialog", result);
    });
}

int32_t GetUserTimeSect(const char* user, int32_t* kind, int32_t* from, int32_t* to) {
    return GuardExport("GetUserTimeSect", 0, [&] {
        int32_t ignored;
        int32_t& outKind = kind ? *kind : ignored;
        int32_t& outFrom = from ? *from : ignored;
        int32_t& outTo = to ? *to : ignored;
        outKind = outFrom = outTo = 0;
        CString name = HostText(user);
        if (name.IsEmpty()) return 0;
        const SharedFacts facts = LoadRightCheckFacts(name);
        // The administrator's account is permanent.
        if (name == facts->adminName) return 1;
        if (!facts->userFound) return 0;
        outKind = facts->timeSectType;
        outFrom = facts->from;
        outTo = facts->to;
        return 1;
    });
}

int32_t IsUserExist(const char* user, const char* password) {
    return GuardExport("IsUserExist", 0, [&] {
        CString name = HostText(user);
        if (name.IsEmpty()) return 0;
        return CheckCredentials(*LoadRightCheckFacts(name), name, HostText(password)) ? 1 : 0;
    });
}

int32_t GetCurUserInfo(char* nameBuffer, char* passwordBuffer) {
    return GuardExport("GetCurUserInfo", 0, [&] {
        CString name = HostText(nameBuffer);
        if (name.IsEmpty()) {
            // Asking for the logged-in user: answered from the session, nothing is loaded.
            if (theApp.m_strCurUser.IsEmpty()) return 0;
            CopyToHostBuffer(nameBuffer, theApp.m_strCurUser);
            CopyToHostBuffer(passwordBuffer, theApp.m_strCurPassword);
            return 1;
        }
        const SharedFacts facts = LoadRightCheckFacts(name);
        if (name == facts->adminName) {
            CopyToHostBuffer(passwordBuffer, facts->adminPassword);
            return 1;
        }
        if (!facts->userFound) return 0;
        CopyToHostBuffer(passwordBuffer, facts->userPassword);
        return 1;
    });
}
