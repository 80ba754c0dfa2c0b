#include "platform/PropertySheet.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/DialogWindow.h"
#include "platform/GuiApplication.h"
#include "platform/MessageBox.h"
#include "platform/PropertyPage.h"
#include "platform/WidgetText.h"

namespace {

// The tab bar of a sheet: a click or a key that chooses another tab asks the sheet first, so that
// the tab shown changes only once the page being left has agreed to be left.
class SheetTabBar : public QTabBar {
public:
    explicit SheetTabBar(std::function<void(int)> choose) : m_choose(std::move(choose)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        const int index = tabAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index >= 0) {
            setFocus(Qt::MouseFocusReason);
            m_choose(index);
            return;
        }
        QTabBar::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int last = count() - 1;
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Up:
                m_choose(std::max(currentIndex() - 1, 0));
                return;
            case Qt::Key_Right:
            case Qt::Key_Down:
                m_choose(std::min(currentIndex() + 1, last));
                return;
            case Qt::Key_Home:
                m_choose(0);
                return;
            case Qt::Key_End:
                m_choose(last);
                return;
            default:
                QTabBar::keyPressEvent(event);
        }
    }
    // The wheel leaves the tabs alone.
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }

private:
    std::function<void(int)> m_choose;
};

// The tabs of a sheet, with the tab bar above.
class SheetTabs : public QTabWidget {
public:
    SheetTabs(QWidget* parent, std::function<void(int)> choose) : QTabWidget(parent) {
        setTabBar(new SheetTabBar(std::move(choose)));
    }

protected:
    // The sheet's shortcuts switch pages; the tab widget's own switching would come too late.
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
};

}  // namespace

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
    // Enter presses OK from any control but a push button or an edit that keeps Enter; Escape
    // cancels.
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and Shift+Tab: the tabs, the shown page's controls in its template's order, then the
    // sheet's buttons.
    bool focusNextPrevChild(bool next) override;

private:
    QPushButton* AddButton(QHBoxLayout* row, const char* text, int id);
    void AddPageShortcut(const QKeySequence& keys, int step);
    void TabChosen(int index);
    // Switches to tab `index` once the page shown agrees to be left; with `focusPage`, the new
    // page's first control takes the focus.
    void ChooseTab(int index, bool focusPage);
    std::vector<QWidget*> TabStops() const;

    CPropertySheet* const m_sheet;
    QTabWidget* m_tabs;
    std::vector<QPushButton*> m_buttons;
    QPushButton* m_ok = nullptr;
};

PropertySheetWindow::PropertySheetWindow(CPropertySheet* sheet)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_sheet(sheet),
      m_tabs(new SheetTabs(this, [this](int index) { ChooseTab(index, false); })) {
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
    m_ok = AddButton(buttons, "确定", IDOK);
    m_ok->setDefault(true);
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
    AddPageShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
    AddPageShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
    AddPageShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1);
    AddPageShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
}

QPushButton* PropertySheetWindow::AddButton(QHBoxLayout* row, const char* text, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::number(id));
    row->addWidget(button);
    m_buttons.push_back(button);
    if (id == IDOK) connect(button, &QPushButton::clicked, this, [this] { m_sheet->Accept(); });
    if (id == IDCANCEL) connect(button, &QPushButton::clicked, this, [this] { reject(); });
    return button;
}

// Ctrl+Tab and Ctrl+PgDn go to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to the one before,
// round the end, from whatever control has the focus.
void PropertySheetWindow::AddPageShortcut(const QKeySequence& keys, int step) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, step] {
        const int count = m_tabs->count();
        if (count < 2) return;
        QWidget* focus = QApplication::focusWidget();
        const bool inPage = focus != nullptr && m_tabs->currentWidget() != nullptr &&
                            m_tabs->currentWidget()->isAncestorOf(focus);
        ChooseTab((m_sheet->m_nActive + step + count) % count, inPage || focus == nullptr);
    });
}

void PropertySheetWindow::ShowTab(int index) {
    QSignalBlocker quiet(m_tabs);
    m_tabs->setCurrentIndex(index);
}

// A tab chosen by the program: the page that was shown may refuse, and is shown again.
void PropertySheetWindow::TabChosen(int index) {
    if (index == m_sheet->m_nActive) return;
    if (!m_sheet->ChangeTab(index)) ShowTab(m_sheet->m_nActive);
}

void PropertySheetWindow::ChooseTab(int index, bool focusPage) {
    if (index == m_sheet->m_nActive || !m_sheet->ChangeTab(index)) return;
    ShowTab(index);
    if (!focusPage) return;
    const DialogWindow* page = m_sheet->PageWindow(index);
    if (QWidget* first = page != nullptr ? page->FirstTabStop() : nullptr) {
        first->setFocus(Qt::TabFocusReason);
    }
}

void PropertySheetWindow::keyPressEvent(QKeyEvent* event) {
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && IsEnterKey(*event)) {
        if (m_ok->isEnabled()) m_ok->click();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

std::vector<QWidget*> PropertySheetWindow::TabStops() const {
    std::vector<QWidget*> stops{m_tabs->tabBar()};
    const DialogWindow* page = m_sheet->PageWindow(m_sheet->m_nActive);
    if (page != nullptr) {
        for (QWidget* control : page->TabStops()) stops.push_back(control);
    }
    for (QPushButton* button : m_buttons) stops.push_back(button);
    return stops;
}

bool PropertySheetWindow::focusNextPrevChild(bool next) {
    const std::vector<QWidget*> stops = TabStops();
    QWidget* focus = QApplication::focusWidget();
    const int count = static_cast<int>(stops.size());
    int at = -1;
    for (int i = 0; i < count; ++i) {
        if (stops[i] == focus || (focus != nullptr && stops[i]->isAncestorOf(focus))) at = i;
    }
    for (int step = 1; step <= count; ++step) {
        const int i = at < 0 ? (next ? step - 1 : count - step)
                             : (at + (next ? step : -step) + count) % count;
        QWidget* candidate = stops[i];
        if (candidate->isVisible() && candidate->isEnabled()) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
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

const DialogWindow* CPropertySheet::PageWindow(int index) const {
    CPropertyPage* page = GetPage(index);
    return page != nullptr ? page->Window() : nullptr;
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
