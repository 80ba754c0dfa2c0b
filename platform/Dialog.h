// CDialog: a modal dialog built from a dialog template. The system's dialogs derive from it and
// override OnInitDialog, OnOK, OnCancel and DoDataExchange; they reach their controls by id.
// Texts given to and read from controls are code page 936 bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "platform/DialogTemplate.h"
#include "platform/MessageBox.h"
#include "wardlet/platform/String.h"

class CDataExchange;
class QDialog;
class QWidget;
class DialogWindow;

// Notifications a control sends to its dialog.
inline constexpr int NM_CLICK = -2;
inline constexpr int NM_DBLCLK = -3;
inline constexpr int LVN_ITEMCHANGED = -101;
inline constexpr int LVN_KEYDOWN = -155;

struct NMHDR {
    int idFrom;  // the control
    int code;    // one of the codes above
};
// The key-down notification of a list: the key's virtual-key code.
struct NMLVKEYDOWN {
    NMHDR hdr;
    uint16_t wVKey;
};

// The first message number a dialog may use for its own posted messages.
inline constexpr uint32_t WM_USER = 0x0400;

class CDialog {
public:
    explicit CDialog(const DialogTemplate& dialogTemplate);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Builds the window, runs OnInitDialog and then a nested message loop until EndDialog; returns
    // the value given to EndDialog (IDOK, IDCANCEL). Cancel, Escape and the close box end it
    // through OnCancel. When no GUI can be shown, says so on standard error and returns IDCANCEL at
    // once.
    int DoModal();
    // Ends the modal loop with `result`.
    void EndDialog(int result);

    // Moves the members into the controls (false) or the controls into the members (true), with
    // validation; returns false when a value was refused (the operator has been told why and the
    // offending control has the focus).
    bool UpdateData(bool saveAndValidate = true);

    // The control `id`, or null; valid while the dialog is open.
    QWidget* GetDlgItem(int id) const;
    const DialogTemplate& Template() const { return m_template; }
    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    void SetDlgItemText(int id, const CString& text);
    CString GetDlgItemText(int id) const;
    void EnableDlgItem(int id, bool enable);
    void ShowDlgItem(int id, bool show);
    void GotoDlgCtrl(int id);
    // Limits what can be typed into edit `id` to `maxBytes` bytes of code page 936 (0: no limit).
    // Characters that code page 936 lacks can never be typed into an edit.
    void LimitText(int id, int maxBytes);
    void SetPasswordStyle(int id, bool password);
    // Check boxes and radio buttons: 1 checked, 0 not.
    void CheckDlgButton(int id, int check);
    int IsDlgButtonChecked(int id) const;

    // A timer of this dialog's window: OnTimer(timerID) runs every `elapseMs` milliseconds from
    // the thread's message loop until KillTimer or until the dialog closes. Returns `timerID`, or
    // 0 when the dialog is not open.
    uintptr_t SetTimer(uintptr_t timerID, uint32_t elapseMs);
    bool KillTimer(uintptr_t timerID);
    // Queues `message` for this dialog: OnMessage runs from the message loop once the current
    // handler has returned, provided the dialog is still open then.
    void PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

protected:
    // Fills the controls from the members; return true to put the focus on the first control in
    // tab order, false when the dialog has set the focus itself.
    virtual bool OnInitDialog();
    // OK: takes the controls into the members and ends with IDOK, unless validation refuses.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    // A push button other than OK and Cancel, a check box or a radio button was clicked.
    virtual void OnCommand(int /*id*/) {}
    // A control's notification; `result` starts at 0.
    virtual void OnNotify(const NMHDR& /*header*/, long* /*result*/) {}
    virtual void OnTimer(uintptr_t /*timerID*/) {}
    // A message posted with PostMessage.
    virtual void OnMessage(uint32_t /*message*/, uintptr_t /*wParam*/, intptr_t /*lParam*/) {}

    // For a property page: builds the window as a child of `parent` and initialises it.
    void CreateEmbedded(QWidget* parent);
    // Stops the dialog's timers and destroys its window.
    void DestroyWindow();
    bool IsWindowCreated() const { return m_window != nullptr; }
    DialogWindow* Window() const { return m_window.get(); }

private:
    friend class DialogWindow;
    void OnButton(int id);
    // Runs OnInitDialog and gives the first control the focus unless the dialog took it.
    void InitWindow();
    static void WindowTimerProc(void*, uint32_t, uintptr_t threadTimer, uint32_t);

    const DialogTemplate& m_template;
    std::unique_ptr<DialogWindow> m_window;  // exists while the dialog is open
    std::map<uintptr_t, uintptr_t> m_timers;  // this dialog's timer id -> the thread timer
    int m_nModalResult = IDCANCEL;
    bool m_bEnded = false;
};
