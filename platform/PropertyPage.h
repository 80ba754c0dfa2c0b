// CPropertyPage: one tab of a property sheet, built from a dialog template whose caption is the
// tab's. Its window is made the first time its tab is shown; OnInitDialog runs then.
#pragma once

#include "platform/Dialog.h"

// A page's flag that asks for the sheet's Help button.
inline constexpr unsigned PSP_HASHELP = 0x0020;

struct PropertyPageHeader {
    unsigned dwFlags = PSP_HASHELP;
};

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(const DialogTemplate& dialogTemplate);

    PropertyPageHeader m_psp;

    // The tab is being shown; return false to refuse.
    virtual bool OnSetActive() { return true; }
    // The tab is being left, or the sheet accepted: takes the controls into the members; false
    // (the operator has been told why) keeps the page on screen.
    virtual bool OnKillActive() { return UpdateData(true); }
    // The sheet was closed with OK; called on every page whose window was made.
    void OnOK() override {}
    // The sheet was cancelled; the page's window stays until the sheet closes.
    void OnCancel() override {}

private:
    friend class CPropertySheet;
};
