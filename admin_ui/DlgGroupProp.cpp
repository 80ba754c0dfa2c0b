#include "admin_ui/DlgGroupProp.h"

#include <unordered_set>
#include <vector>

#include "admin_ui/ReportList.h"
#include "module/Notice.h"
#include "module/WardletApp.h"
#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "rights/Evaluation.h"
#include "rights/RightCode.h"
#include "store/RecordLists.h"
#include "store/RecordRules.h"
#include "wardlet/store/SaveProp.h"

namespace {

// The tree is filled once the dialog is on screen: the timer fires once and posts the message
// that builds it.
constexpr uintptr_t kBuildTreeTimer = 1000;
constexpr uint32_t kBuildTreeDelayMs = 100;
constexpr uint32_t kBuildTreeMessage = WM_USER + 500;

uint32_t CodeOf(const CInfoOper* oper) { return static_cast<uint32_t>(oper->m_nCode); }

}  // namespace

CDlgGroupProp::CDlgGroupProp(CSaveProp* store)
    : CDialog(LoadDialogTemplate(IDD_DLG_GROUP_PROP)), m_pStore(store) {}

void CDlgGroupProp::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TREE_OPER, m_treeOper);
    DDX_Control(pDX, IDC_LIST_MEMBER_USERS, m_listUser);
    DDX_Text(pDX, IDC_EDIT_NAME, m_strName);
    DDX_Text(pDX, IDC_EDIT_DESC, m_strDesc);
}

bool CDlgGroupProp::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bTreeBuilt = false;  // a new window: its tree is empty
    SetWindowText(Cp936Text("组属性"));
    InitUserList();
    FillUserList();
    SetTimer(kBuildTreeTimer, kBuildTreeDelayMs);
    return true;
}

void CDlgGroupProp::OnCommand(int id) {
    switch (id) {
        case IDC_BTN_SELECT_ALL:
            OnSelectAllUsers();
            break;
        case IDC_BTN_SELECT_NONE:
            OnSelectNoUsers();
            break;
        case IDC_BTN_SELECT_NO_OPERS:
            OnSelectNoOpers();
            break;
        case IDC_BTN_SELECT_ALL_OPERS:
            OnSelectAllOpers();
            break;
        default:
            break;
    }
}

void CDlgGroupProp::OnTimer(uintptr_t timerID) {
    CDialog::OnTimer(timerID);
    PostMessage(kBuildTreeMessage, 0, 0);
    KillTimer(kBuildTreeTimer);
}

void CDlgGroupProp::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == kBuildTreeMessage) {
        OnBuildTree();
        return;
    }
    CDialog::OnMessage(message, wParam, lParam);
}

void CDlgGroupProp::OnBuildTree() {
    if (m_bTreeBuilt) return;
    m_bTreeBuilt = true;
    InsertOperTree(FindRootOper(), TVI_ROOT);
}

void CDlgGroupProp::OnSelectAllUsers() { CheckAllRows(m_listUser, true); }

void CDlgGroupProp::OnSelectNoUsers() { CheckAllRows(m_listUser, false); }

void CDlgGroupProp::OnSelectAllOpers() { CheckOperSubtree(true); }

void CDlgGroupProp::OnSelectNoOpers() { CheckOperSubtree(false); }

void CDlgGroupProp::OnOK() {
    // The group's operations are rewritten from the tree: confirmed before the timer filled it,
    // an empty tree would take every one of them away.
    OnBuildTree();
    if (!UpdateData(true)) return;
    m_strName.Trim();
    UpdateData(false);
    const RecordRefusal refusal = CheckGroupName(m_pStore->m_dataManager, m_strName, !m_bEdit);
    if (refusal != RecordRefusal::kNone) {
        ShowNotice(RefusalNotice(refusal));
        return;
    }
    SaveLinks();
    EndDialog(IDOK);
}

void CDlgGroupProp::InitUserList() {
    SetUpReportList(m_listUser, {{"编号", 40}, {"用户名", 80}}, LVS_EX_CHECKBOXES);
}

void CDlgGroupProp::FillUserList() {
    m_listUser.DeleteAllItems();
    // The members are gathered in one pass over the links: asking for each user in turn would
    // walk every link once per user.
    std::unordered_set<int32_t> members;
    const CObList& links = m_pStore->m_dataManager.m_groupUserList;
    for (POSITION pos = links.GetHeadPosition(); pos != nullptr;) {
        const auto* link = static_cast<const CInfoGroupUser*>(links.GetNext(pos));
        if (link->m_nGroupID == m_nGroupId) members.insert(link->m_nUserID);
    }
    const CObList& users = m_pStore->m_dataManager.m_userList;
    for (POSITION pos = users.GetHeadPosition(); pos != nullptr;) {
        auto* user = static_cast<CInfoUser*>(users.GetNext(pos));
        const int row = AppendReportRow(m_listUser, {DecimalText(user->m_nID), user->m_strName},
                                        reinterpret_cast<uintptr_t>(user));
        m_listUser.SetCheck(row, members.count(user->m_nID) != 0);
    }
}

// The item itself and its subtree; the items above it keep their marks.
void CDlgGroupProp::CheckOperSubtree(bool check) {
    HTREEITEM item = m_treeOper.GetSelectedItem();
    if (item == nullptr) item = m_treeOper.GetRootItem();
    if (item == nullptr) return;
    m_treeOper.SetChildrenCheck(item, check);
    m_treeOper.SetCheck(item, check);
}

CInfoOper* CDlgGroupProp::FindRootOper() const {
    return FindFirst<CInfoOper>(m_pStore->m_dataManager.m_operList, [](const CInfoOper& oper) {
        return GetCodeLevel(CodeOf(&oper)) == 1 && GetCodeOrder(CodeOf(&oper)) == 1;
    });
}

void CDlgGroupProp::InsertOperTree(CInfoOper* oper, HTREEITEM parent) {
    if (oper == nullptr || parent == nullptr) return;
    const HTREEITEM item = m_treeOper.InsertItem(oper->m_strName, 0, 0, parent, TVI_LAST);
    m_treeOper.SetItemData(item, reinterpret_cast<uintptr_t>(oper));
    // Only a code linked itself is checked; a linked parent shows its children unchecked.
    if (theApp.IsGroupOperLinked(m_pStore, CodeOf(oper), m_nGroupId)) m_treeOper.SetCheck(item);
    CObList children;  // refers to the store's operations
    GetChildOpers(*m_pStore, CodeOf(oper), children);
    for (POSITION pos = children.GetHeadPosition(); pos != nullptr;) {
        InsertOperTree(static_cast<CInfoOper*>(children.GetNext(pos)), item);
    }
    // After the children are in, so that the whole tree shows expanded.
    m_treeOper.Expand(item, TVE_EXPAND);
}

void CDlgGroupProp::SaveLinks() {
    std::vector<int32_t> userIDs;
    for (int row = 0; row < m_listUser.GetItemCount(); ++row) {
        if (!m_listUser.GetCheck(row)) continue;
        userIDs.push_back(reinterpret_cast<const CInfoUser*>(m_listUser.GetItemData(row))->m_nID);
    }
    SetGroupMembers(m_pStore, m_nGroupId, userIDs);
    std::vector<uint32_t> codes;
    CollectCheckedOpers(TVI_ROOT, &codes);
    SetGroupRights(m_pStore, m_nGroupId, codes);
}

void CDlgGroupProp::CollectCheckedOpers(HTREEITEM parent, std::vector<uint32_t>* codes) {
    for (HTREEITEM item = m_treeOper.GetChildItem(parent); item != nullptr;
         item = m_treeOper.GetNextSiblingItem(item)) {
        if (m_treeOper.GetCheck(item)) {
            codes->push_back(
                CodeOf(reinterpret_cast<const CInfoOper*>(m_treeOper.GetItemData(item))));
        }
        CollectCheckedOpers(item, codes);
    }
}
