// CPropertySheet: a modal window of tabs, one per page, with OK and Cancel (and Apply and Help
// unless they are switched off). A page is validated before its tab can be left and before OK;
// at OK every page whose window was made is told to take over its values.
#pragma once

#include <memory>
#include <vector>

#include "wardlet/platform/String.h"

class CPropertyPage;
class DialogWindow;
class PropertySheetWindow;
class QWidget;

// Sheet flags: no Apply button; a Help button.
inline constexpr unsigned PSH_NOAPPLYNOW = 0x0080;
inline constexpr unsigned PSH_HASHELP = 0x0200;
// Ids of the sheet's own controls.
inline constexpr int ID_APPLY_NOW = 0x3021;
inline constexpr int IDHELP = 9;
inline constexpr int AFX_IDC_TAB_CONTROL = 0x3020;

struct PropertySheetHeader {
    unsigned dwFlags = PSH_HASHELP;
};

class CPropertySheet {
public:
    // `caption` in code page 936; the window has no owner. `selectPage` is shown first.
    explicit CPropertySheet(const CString& caption, QWidget* parent = nullptr,
                            unsigned selectPage = 0);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // The sheet refers to the page; the caller owns it and keeps it alive while the sheet is.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    // Before DoModal: the page shown first. While open: switches tabs, validating the page left.
    bool SetActivePage(int index);
    int GetActiveIndex() const { return m_nActive; }

    // Shows the sheet and runs its loop until OK or Cancel; returns IDOK or IDCANCEL. With no GUI
    // it says so on standard error and returns IDCANCEL at once.
    int DoModal();

    PropertySheetHeader m_psh;

private:
    friend class PropertySheetWindow;
    // The operator chose another tab; false when the page that was shown refuses to be left.
    bool ChangeTab(int index);
    void ShowPage(int index);
    // The window of page `index`, or null while it has none.
    const DialogWindow* PageWindow(int index) const;
    void Accept();
    void Cancel();

    CString m_strCaption;
    std::vector<CPropertyPage*> m_pages;
    int m_nActive = 0;
    std::unique_ptr<PropertySheetWindow> m_window;  // exists while the sheet is open
};
