#include "platform/Dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <cstdio>
#include <string>

#include "platform/Cp936LimitValidator.h"
#include "platform/DataExchange.h"
#include "platform/DialogWindow.h"
#include "platform/GuiApplication.h"
#include "platform/TimerQueue.h"
#include "platform/WidgetText.h"

namespace {

struct WindowTimer {
    CDialog* dialog;
    uintptr_t timerID;
};
// The thread timers that serve dialogs' window timers. Dialogs live on the GUI thread only.
std::map<uintptr_t, WindowTimer> g_windowTimers;

// A multi-line edit shows lines apart with newlines; stored texts keep the framework's CR LF.
QString ToMultiLineText(const CString& text) {
    return ToWidgetText(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

CString FromMultiLineText(QString text) {
    return FromWidgetText(text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
}

}  // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate) : m_template(dialogTemplate) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    std::string whyNot;
    if (!gui::EnsureApplication(&whyNot)) {
        std::fprintf(stderr, "wardlet: %s; dialog %d \"%s\" cancelled\n", whyNot.c_str(),
                     m_template.id, m_template.caption);
        return IDCANCEL;
    }
    m_window = std::make_unique<DialogWindow>(m_template, this);
    m_nModalResult = IDCANCEL;
    m_bEnded = false;
    const QPointer<QWidget> previous = QApplication::activeWindow();
    InitWindow();
    if (!m_bEnded) m_window->exec();
    DestroyWindow();
    // The keyboard goes back to the window the operator came from.
    if (previous) previous->activateWindow();
    return m_nModalResult;
}

void CDialog::CreateEmbedded(QWidget* parent) {
    m_window = std::make_unique<DialogWindow>(m_template, this, parent);
    InitWindow();
}

void CDialog::InitWindow() {
    // A page made while its sheet is on screen leaves the focus where the operator has it.
    const bool takeFocus = m_window->isWindow() || !m_window->window()->isVisible();
    if (OnInitDialog() && takeFocus) {
        if (QWidget* first = m_window->FirstTabStop()) first->setFocus();
    }
}

void CDialog::DestroyWindow() {
    while (!m_timers.empty()) KillTimer(m_timers.begin()->first);
    m_window.reset();
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bEnded = true;
    if (m_window) m_window->QDialog::done(result);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (const DataExchangeFailure&) {
        return false;
    }
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

void CDialog::OnButton(int id) {
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    } else {
        OnCommand(id);
    }
}

QWidget* CDialog::GetDlgItem(int id) const { return m_window ? m_window->Control(id) : nullptr; }

void CDialog::SetWindowText(const CString& text) {
    if (m_window) m_window->setWindowTitle(ToWidgetText(text));
}

CString CDialog::GetWindowText() const {
    return m_window ? FromWidgetText(m_window->windowTitle()) : CString();
}

void CDialog::SetDlgItemText(int id, const CString& text) {
    QWidget* control = GetDlgItem(id);
    if (control == nullptr) return;
    if (auto* multiLine = qobject_cast<QPlainTextEdit*>(control)) {
        multiLine->setPlainText(ToMultiLineText(text));
        return;
    }
    // A limit holds what is typed or pasted, not what the program sets.
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        Cp936LimitValidator::SetTextUnchecked(edit, ToWidgetText(text));
        return;
    }
    // Labels and buttons keep their text in the "text" property.
    control->setProperty("text", ToWidgetText(text));
}

CString CDialog::GetDlgItemText(int id) const {
    QWidget* control = GetDlgItem(id);
    if (control == nullptr) return CString();
    if (auto* multiLine = qobject_cast<QPlainTextEdit*>(control)) {
        return FromMultiLineText(multiLine->toPlainText());
    }
    return FromWidgetText(control->property("text").toString());
}

void CDialog::CheckDlgButton(int id, int check) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id))) button->setChecked(check);
}

int CDialog::IsDlgButtonChecked(int id) const {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    return button != nullptr && button->isChecked() ? 1 : 0;
}

uintptr_t CDialog::SetTimer(uintptr_t timerID, uint32_t elapseMs) {
    if (!m_window) return 0;
    KillTimer(timerID);
    const uintptr_t threadTimer = ::SetTimer(nullptr, 0, elapseMs, &CDialog::WindowTimerProc);
    if (threadTimer == 0) return 0;
    m_timers[timerID] = threadTimer;
    g_windowTimers[threadTimer] = {this, timerID};
    return timerID;
}

bool CDialog::KillTimer(uintptr_t timerID) {
    auto found = m_timers.find(timerID);
    if (found == m_timers.end()) return false;
    ::KillTimer(nullptr, found->second);
    g_windowTimers.erase(found->second);
    m_timers.erase(found);
    return true;
}

void CDialog::WindowTimerProc(void*, uint32_t, uintptr_t threadTimer, uint32_t) {
    auto found = g_windowTimers.find(threadTimer);
    if (found == g_windowTimers.end()) return;
    const WindowTimer timer = found->second;  // the handler may kill it
    timer.dialog->OnTimer(timer.timerID);
}

void CDialog::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!m_window) return;
    // Queued on the window: a message for a window that has closed meanwhile is dropped with it.
    QMetaObject::invokeMethod(
        m_window.get(), [this, message, wParam, lParam] { OnMessage(message, wParam, lParam); },
        Qt::QueuedConnection);
}

void CDialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* control = GetDlgItem(id)) control->setEnabled(enable);
}

void CDialog::ShowDlgItem(int id, bool show) {
    if (QWidget* control = GetDlgItem(id)) control->setVisible(show);
}

void CDialog::GotoDlgCtrl(int id) {
    if (QWidget* control = GetDlgItem(id)) control->setFocus();
}

void CDialog::LimitText(int id, int maxBytes) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
    if (edit == nullptr) return;
    const QValidator* previous = edit->validator();
    const bool digitsOnly = edit->property(kDigitsOnlyProperty).toBool();
    edit->setValidator(new Cp936LimitValidator(maxBytes, edit, digitsOnly));
    delete previous;
}

void CDialog::SetPasswordStyle(int id, bool password) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
    if (edit == nullptr) return;
    edit->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}
