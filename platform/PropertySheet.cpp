#include "platform/PropertySheet.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <string>

#include "platform/DialogWindow.h"
#include "platform/GuiApplication.h"
#include "platform/MessageBox.h"
#include "platform/PropertyPage.h"
#include "platform/WidgetText.h"

// The sheet's window: the tabs above, the buttons below on the right.
class PropertySheetWindow : public QDialog {
public:
    explicit PropertySheetWindow(CPropertySheet* sheet);

    QWidget* PageHolder(int index) const { return m_tabs->widget(index); }
    void ShowTab(int index);

    void reject() override { m_sheet->Cancel(); }

protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        raise();
        activateWindow();
    }

private:
    QPushButton* AddButton(QHBoxLayout* row, const char* text, int id);
    void TabChosen(int index);

    CPropertySheet* const m_sheet;
    QTabWidget* m_tabs;
};

PropertySheetWindow::PropertySheetWindow(CPropertySheet* sheet)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_sheet(sheet),
      m_tabs(new QTabWidget(this)) {
    setWindowTitle(ToWidgetText(sheet->m_strCaption));
    m_tabs->setObjectName(QString::number(AFX_IDC_TAB_CONTROL));
    bool anyHelp = (sheet->m_psh.dwFlags & PSH_HASHELP) != 0;
    for (CPropertyPage* page : sheet->m_pages) {
        // A page's window goes into its holder's layout when first shown, so the tabs take the
        // size of the pages.
        auto* holder = new QWidget;
        auto* holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        m_tabs->addTab(holder, QString::fromUtf8(page->Template().caption));
        anyHelp = anyHelp || (page->m_psp.dwFlags & PSP_HASHELP) != 0;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    AddButton(buttons, "确定", IDOK)->setDefault(true);
    AddButton(buttons, "取消", IDCANCEL);
    if (!(sheet->m_psh.dwFlags & PSH_NOAPPLYNOW)) {
        // Nothing here marks a page modified, so Apply stays disabled as the framework keeps it.
        AddButton(buttons, "应用(&A)", ID_APPLY_NOW)->setEnabled(false);
    }
    if (anyHelp) AddButton(buttons, "帮助", IDHELP);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    connect(m_tabs, &QTabWidget::currentChanged, this, &PropertySheetWindow::TabChosen);
}

QPushButton* PropertySheetWindow::AddButton(QHBoxLayout* row, const char* text, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::number(id));
    row->addWidget(button);
    if (id == IDOK) connect(button, &QPushButton::clicked, this, [this] { m_sheet->Accept(); });
    if (id == IDCANCEL) connect(button, &QPushButton::clicked, this, [this] { reject(); });
    return button;
}

void PropertySheetWindow::ShowTab(int index) {
    QSignalBlocker quiet(m_tabs);
    m_tabs->setCurrentIndex(index);
}

void PropertySheetWindow::TabChosen(int index) {
    if (index == m_sheet->m_nActive) return;
    // The page that was shown refuses to be left: back to it.
    if (!m_sheet->ChangeTab(index)) ShowTab(m_sheet->m_nActive);
}

CPropertySheet::CPropertySheet(const CString& caption, QWidget* /*parent*/, unsigned selectPage)
    : m_strCaption(caption), m_nActive(static_cast<int>(selectPage)) {}

// The pages' windows are gone with DoModal; the pages themselves may already be destroyed.
CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* page) { m_pages.push_back(page); }

CPropertyPage* CPropertySheet::GetPage(int index) const {
    if (index < 0 || index >= GetPageCount()) return nullptr;
    return m_pages[index];
}

bool CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount()) return false;
    if (!m_window) {
        m_nActive = index;
        return true;
    }
    if (!ChangeTab(index)) return false;
    m_window->ShowTab(index);
    return true;
}

int CPropertySheet::DoModal() {
    std::string whyNot;
    if (!gui::EnsureApplication(&whyNot)) {
        std::fprintf(stderr, "wardlet: %s; property sheet \"%s\" cancelled\n", whyNot.c_str(),
                     m_strCaption.Bytes().c_str());
        return IDCANCEL;
    }
    if (m_pages.empty()) return IDCANCEL;
    if (m_nActive < 0 || m_nActive >= GetPageCount()) m_nActive = 0;
    m_window = std::make_unique<PropertySheetWindow>(this);
    m_window->ShowTab(m_nActive);
    ShowPage(m_nActive);
    const int result = m_window->exec() == IDOK ? IDOK : IDCANCEL;
    // The pages' windows live inside the sheet's: they go first.
    for (CPropertyPage* page : m_pages) page->DestroyWindow();
    m_window.reset();
    return result;
}

bool CPropertySheet::ChangeTab(int index) {
    CPropertyPage* shown = GetPage(m_nActive);
    if (shown != nullptr && shown->IsWindowCreated() && !shown->OnKillActive()) return false;
    m_nActive = index;
    ShowPage(index);
    return true;
}

void CPropertySheet::ShowPage(int index) {
    CPropertyPage* page = m_pages[index];
    if (!page->IsWindowCreated()) {
        QWidget* holder = m_window->PageHolder(index);
        page->CreateEmbedded(holder);
        holder->layout()->addWidget(page->Window());
    }
    page->Window()->show();
    page->OnSetActive();
}

void CPropertySheet::Accept() {
    CPropertyPage* shown = GetPage(m_nActive);
    if (shown != nullptr && shown->IsWindowCreated() && !shown->OnKillActive()) return;
    for (CPropertyPage* page : m_pages) {
        if (page->IsWindowCreated()) page->OnOK();
    }
    m_window->done(IDOK);
}

void CPropertySheet::Cancel() {
    for (CPropertyPage* page : m_pages) {
        if (page->IsWindowCreated()) page->OnCancel();
    }
    m_window->done(IDCANCEL);
}
