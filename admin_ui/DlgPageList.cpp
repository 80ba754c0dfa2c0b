#include "admin_ui/DlgPageList.h"

#include <vector>

#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

namespace {

constexpr unsigned kListExStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;

}  // namespace

CDlgPageList::CDlgPageList(int templateID, CSaveProp* store, CListCtrl& list, int listID,
                           int editButtonID)
    : CPropertyPage(LoadDialogTemplate(templateID)),
      m_pStore(store),
      m_list(list),
      m_nListID(listID),
      m_nEditButtonID(editButtonID) {}

CDataManager& CDlgPageList::Records() const { return m_pStore->m_dataManager; }

void CDlgPageList::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, m_nListID, m_list);
}

bool CDlgPageList::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    InitList();
    FillList();
    return true;
}

bool CDlgPageList::OnSetActive() {
    EnableDlgItem(IDC_BTN_ADD, IsEditAllowed());
    return CPropertyPage::OnSetActive();
}

void CDlgPageList::OnCommand(int id) {
    if (id == IDC_BTN_ADD) {
        OnAdd();
    } else if (id == m_nEditButtonID) {
        OnEdit();
    } else if (id == IDC_BTN_DELETE) {
        OnDelete();
    }
}

void CDlgPageList::OnNotify(const NMHDR& header, long* result) {
    if (header.idFrom != m_nListID) return;
    switch (header.code) {
        case LVN_ITEMCHANGED:
            OnItemChangedList();
            break;
        case LVN_KEYDOWN:
            if (IsEditAllowed() && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
                OnDelete();
            }
            break;
        case NM_DBLCLK:
            if (IsEditAllowed()) OnEdit();
            break;
        default:
            return;
    }
    *result = 0;
}

void CDlgPageList::OnItemChangedList() {
    const bool enable = m_list.GetSelectedCount() > 0 && IsEditAllowed();
    EnableDlgItem(m_nEditButtonID, enable);
    EnableDlgItem(IDC_BTN_DELETE, enable);
}

void CDlgPageList::SetUpColumns(std::initializer_list<ListColumn> columns) {
    m_list.ModifyStyleEx(0, WS_EX_CLIENTEDGE);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | kListExStyle);
    int index = 0;
    for (const ListColumn& column : columns) {
        m_list.InsertColumn(index++, Cp936Text(column.heading), LVCFMT_CENTER, column.width);
    }
}

void CDlgPageList::ClearRows() { m_list.DeleteAllItems(); }

void CDlgPageList::AppendRow(std::initializer_list<CString> texts, uintptr_t record) {
    const int row = m_list.InsertItem(m_list.GetItemCount(), *texts.begin());
    int column = 0;
    for (const CString& text : texts) m_list.SetItemText(row, column++, text);
    m_list.SetItemData(row, record);
}

CString CDlgPageList::Decimal(int32_t number) {
    CString text;
    text.Format("%d", number);
    return text;
}

void CDlgPageList::ShowCount() { SetDlgItemText(IDC_STATIC_COUNT, Decimal(m_list.GetItemCount())); }

uintptr_t CDlgPageList::FirstSelectedRecord() const {
    intptr_t position = m_list.GetFirstSelectedItemPosition();
    if (position == 0) return 0;
    return m_list.GetItemData(m_list.GetNextSelectedItem(position));
}

void CDlgPageList::OnDelete() {
    if (!IsEditAllowed() || m_list.GetSelectedCount() == 0) return;
    std::vector<int> rows;
    for (intptr_t position = m_list.GetFirstSelectedItemPosition(); position != 0;) {
        rows.push_back(m_list.GetNextSelectedItem(position));
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        RemoveRecord(m_list.GetItemData(*row));
    }
    FillList();
}
