#include "admin_ui/DlgPageGroup.h"

#include "admin_ui/DlgGroupProp.h"
#include "admin_ui/ReportList.h"
#include "resources/ResourceIds.h"
#include "wardlet/store/SaveProp.h"

CDlgPageGroup::CDlgPageGroup(CSaveProp* store)
    : CDlgPageList(IDD_PAGE_GROUP, store, m_listGroup, IDC_LIST_GROUP, IDC_BTN_EDIT_GROUP) {}

bool CDlgPageGroup::IsEditAllowed() const { return m_pStore->m_bEditGroup != 0; }

void CDlgPageGroup::InitList() {
    SetUpReportList(m_listGroup, {{"编号", 40}, {"组名", 80}, {"描述", 170}});
}

void CDlgPageGroup::FillList() {
    m_listGroup.DeleteAllItems();
    const CObList& groups = Records().m_groupList;
    for (POSITION pos = groups.GetHeadPosition(); pos != nullptr;) {
        auto* group = static_cast<CInfoGroup*>(groups.GetNext(pos));
        AppendReportRow(m_listGroup, {DecimalText(group->m_nID), group->m_strName, group->m_strDesc},
                        reinterpret_cast<uintptr_t>(group));
    }
    ShowCount();
}

void CDlgPageGroup::OnAdd() {
    if (!IsEditAllowed()) return;
    CDlgGroupProp dialog(m_pStore);
    dialog.m_bEdit = 0;
    dialog.m_nGroupId = Records().NextGroupID();
    if (dialog.DoModal() != IDOK) return;
    auto* group = new CInfoGroup;
    group->m_nID = dialog.m_nGroupId;
    group->m_strName = dialog.m_strName;
    group->m_strDesc = dialog.m_strDesc;
    Records().m_groupList.AddTail(group);
    FillList();
}

void CDlgPageGroup::OnEdit() {
    auto* group = reinterpret_cast<CInfoGroup*>(FirstSelectedRecord());
    if (group == nullptr) return;
    CDlgGroupProp dialog(m_pStore);
    dialog.m_bEdit = 1;
    dialog.m_nGroupId = group->m_nID;
    dialog.m_strName = group->m_strName;
    dialog.m_strDesc = group->m_strDesc;
    if (dialog.DoModal() != IDOK) return;
    group->m_strName = dialog.m_strName;
    group->m_strDesc = dialog.m_strDesc;
    FillList();
}

void CDlgPageGroup::RemoveRecord(uintptr_t record) {
    Records().RemoveGroup(reinterpret_cast<CInfoGroup*>(record));
}
