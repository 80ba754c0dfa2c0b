// Dialog data exchange: moving a dialog's members into its controls and back, with the
// framework's validation of lengths and numbers. A refused value is reported in a message box,
// the control gets the focus, and the exchange stops there.
#pragma once

#include "platform/Dialog.h"
#include "wardlet/platform/String.h"
#include "wardlet/platform/Time.h"

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    // Remembers the control the next validation refers to.
    void PrepareCtrl(int id) { m_idLastControl = id; }
    // Puts the focus on the last control prepared and stops the exchange.
    [[noreturn]] void Fail();

    const bool m_bSaveAndValidate;  // true: controls into members
    CDialog* const m_pDlgWnd;
    int m_idLastControl = 0;
};

// Thrown by Fail; UpdateData catches it.
struct DataExchangeFailure {};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
// An integer edit; text that is not a whole number is refused.
void DDX_Text(CDataExchange* pDX, int id, int& value);
// At most `maxBytes` bytes of code page 936 (a Chinese character counts two). When loading, it
// limits the edit last exchanged; when saving, it refuses a longer text.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxBytes);
// When saving, refuses a value outside [minimum, maximum].
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum);

// Binds a control object (CListCtrl, CTreeCtrl) to the dialog's control `id`.
template <class Control>
void DDX_Control(CDataExchange* pDX, int id, Control& control) {
    control.Attach(pDX->m_pDlgWnd->GetDlgItem(id));
}
// A check box: 1 checked, 0 not.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// A date-time picker's whole date and time, in local time.
void DDX_DateTimeCtrl(CDataExchange* pDX, int id, CTime& value);
