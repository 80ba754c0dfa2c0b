// The Groups page "  组 ": every group of the store, with Add, Edit and Delete through the group
// property dialog, allowed by the store's groups-edit flag.
#pragma once

#include "admin_ui/DlgPageList.h"

class CDlgPageGroup : public CDlgPageList {
public:
    explicit CDlgPageGroup(CSaveProp* store);

    CListCtrl m_listGroup;  // each row's item data is its CInfoGroup

protected:
    bool IsEditAllowed() const override;
    void InitList() override;
    void FillList() override;
    void OnAdd() override;
    void OnEdit() override;
    void RemoveRecord(uintptr_t record) override;
};
