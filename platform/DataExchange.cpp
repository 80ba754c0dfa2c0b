#include "platform/DataExchange.h"

#include <QLineEdit>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/Cp936.h"
#include "platform/DateTimePicker.h"
#include "platform/Dialog.h"

namespace {

// The framework's validation messages, shown in its own message box.
constexpr char kEnterInteger[] = "请输入一个整数。";
constexpr char kEnterAtMost[] = "请输入不超过 %d 个字符。";
constexpr char kEnterBetween[] = "请输入一个介于 %d 和 %d 之间的整数。";

void Refuse(CDataExchange* pDX, const std::string& utf8Message) {
    AfxMessageBox(CString(Cp936FromUtf8(utf8Message).value_or(utf8Message)));
    pDX->Fail();
}

std::string Formatted(const char* format, int a, int b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool ParseInteger(const std::string& text, int* value) {
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    while (*end == ' ') ++end;
    if (*end != '\0') return false;
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

void CDataExchange::Fail() {
    if (QWidget* control = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        control->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    }
    throw DataExchangeFailure{};
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    pDX->PrepareCtrl(id);
    if (!pDX->m_bSaveAndValidate) {
        CString text;
        text.Format("%d", value);
        pDX->m_pDlgWnd->SetDlgItemText(id, text);
        return;
    }
    int parsed = 0;
    if (!ParseInteger(pDX->m_pDlgWnd->GetDlgItemText(id).Bytes(), &parsed)) {
        Refuse(pDX, kEnterInteger);
    }
    value = parsed;
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxBytes) {
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->LimitText(pDX->m_idLastControl, maxBytes);
    } else if (value.GetLength() > maxBytes) {
        Refuse(pDX, Formatted(kEnterAtMost, maxBytes));
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum) {
    if (pDX->m_bSaveAndValidate && (value < minimum || value > maximum)) {
        Refuse(pDX, Formatted(kEnterBetween, minimum, maximum));
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(id);
    } else {
        pDX->m_pDlgWnd->CheckDlgButton(id, value);
    }
}

void DDX_DateTimeCtrl(CDataExchange* pDX, int id, CTime& value) {
    pDX->PrepareCtrl(id);
    auto* picker = dynamic_cast<DateTimePickerWidget*>(pDX->m_pDlgWnd->GetDlgItem(id));
    if (picker == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        value = picker->GetTime();
    } else {
        picker->SetTime(value);
    }
}
