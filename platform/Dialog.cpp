#include "platform/Dialog.h"

#include <QLineEdit>
#include <cstdio>
#include <string>

#include "platform/Cp936LimitValidator.h"
#include "platform/DataExchange.h"
#include "platform/DialogWindow.h"
#include "platform/GuiApplication.h"
#include "platform/WidgetText.h"

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
    if (OnInitDialog()) {
        if (QWidget* first = m_window->FirstTabStop()) first->setFocus();
    }
    if (!m_bEnded) m_window->exec();
    m_window.reset();
    return m_nModalResult;
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
    // Edits, labels and buttons all keep their text in the "text" property.
    control->setProperty("text", ToWidgetText(text));
}

CString CDialog::GetDlgItemText(int id) const {
    QWidget* control = GetDlgItem(id);
    if (control == nullptr) return CString();
    return FromWidgetText(control->property("text").toString());
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
    edit->setValidator(new Cp936LimitValidator(maxBytes, edit));
    delete previous;
}

void CDialog::SetPasswordStyle(int id, bool password) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
    if (edit == nullptr) return;
    edit->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}
