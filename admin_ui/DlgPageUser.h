// The Users page "用 户": every user account of the store, with Add, Edit and Delete through the
// user property dialog, allowed by the store's users-edit flag. The password is never shown.
#pragma once

#include "admin_ui/DlgPageList.h"

class CDlgPageUser : public CDlgPageList {
public:
    explicit CDlgPageUser(CSaveProp* store);

    CListCtrl m_listUser;  // each row's item data is its CInfoUser

protected:
    bool IsEditAllowed() const override;
    void InitList() override;
    void FillList() override;
    void OnAdd() override;
    void OnEdit() override;
    void RemoveRecord(uintptr_t record) override;
};
