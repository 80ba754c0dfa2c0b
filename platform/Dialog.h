// CDialog: a modal dialog built from a dialog template. The system's dialogs derive from it and
// override OnInitDialog, OnOK, OnCancel and DoDataExchange; they reach their controls by id.
// Texts given to and read from controls are code page 936 bytes.
#pragma once

#include <map>
#include <memory>

#include "platform/DialogTemplate.h"
#include "platform/MessageBox.h"
#include "wardlet/platform/String.h"

class CDataExchange;
class QDialog;
class QWidget;
class DialogWindow;

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

protected:
    // Fills the controls from the members; return true to put the focus on the first control in
    // tab order, false when the dialog has set the focus itself.
    virtual bool OnInitDialog();
    // OK: takes the controls into the members and ends with IDOK, unless validation refuses.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);
    // A push button other than OK and Cancel.
    virtual void OnCommand(int /*id*/) {}

private:
    friend class DialogWindow;
    void OnButton(int id);

    const DialogTemplate& m_template;
    std::unique_ptr<DialogWindow> m_window;  // exists while the dialog is open
    int m_nModalResult = IDCANCEL;
    bool m_bEnded = false;
};
