// The group property dialog "组属性": a group's name and description, its member users (a list
// with check boxes) and the operations it may perform (a check-box tree of the catalogue). On OK
// it validates the name and rewrites the group's links in the store; the Groups page then
// creates or updates the group record from the members.
#pragma once

#include <cstdint>
#include <vector>

#include "admin_ui/CheckTreeCtrl.h"
#include "platform/Dialog.h"
#include "platform/ListCtrl.h"

class CInfoOper;
class CSaveProp;

class CDlgGroupProp : public CDialog {
public:
    // `store` stays the caller's.
    explicit CDlgGroupProp(CSaveProp* store);

    CSaveProp* const m_pStore;
    CCheckTreeCtrl m_treeOper;
    CListCtrl m_listUser;
    CString m_strName;
    CString m_strDesc;
    int32_t m_bEdit = 0;     // an existing group: the duplicate-name test is skipped
    int32_t m_nGroupId = 0;  // the group whose links are shown and rewritten

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    void OnTimer(uintptr_t timerID) override;
    void OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    void OnSelectAllUsers();
    void OnSelectNoUsers();
    // The selected operation (or the first top-level one) and everything below it.
    void OnSelectAllOpers();
    void OnSelectNoOpers();
    // Fills the operations tree, once per showing; later calls do nothing.
    void OnBuildTree();

    void InitUserList();
    void FillUserList();
    void CheckOperSubtree(bool check);

    // The top of the hierarchy (level 1, order 1), or null when the store lacks it.
    CInfoOper* FindRootOper() const;
    // Adds `oper` under `parent` with all its descendants, checking those linked to the group.
    void InsertOperTree(CInfoOper* oper, HTREEITEM parent);

    // Replaces the group's members by the checked rows and its operations by the checked items.
    void SaveLinks();
    // The codes of the checked items below `parent`, depth first, parents before children.
    void CollectCheckedOpers(HTREEITEM parent, std::vector<uint32_t>* codes);

    bool m_bTreeBuilt = false;
};
