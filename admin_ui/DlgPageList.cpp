#include "admin_ui/DlgPageList.h"

#include <vector>

#include "admin_ui/ReportList.h"
#include "platform/DataExchange.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

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

void CDlgPageList::ShowCount() {
    SetDlgItemText(IDC_STATIC_COUNT, DecimalText(m_list.GetItemCount()));
}

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
