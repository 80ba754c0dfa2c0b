// The Users and Groups pages are twins: a report list of one kind of record from the loaded
// store, with Add, Edit and Delete, all gated by one of the store's edit flags. This class is what
// they share; each page adds its columns, its rows and its property dialog.
#pragma once

#include <cstdint>

#include "platform/ListCtrl.h"
#include "platform/PropertyPage.h"

class CSaveProp;
class CDataManager;

class CDlgPageList : public CPropertyPage {
public:
    CSaveProp* const m_pStore;  // the caller's

protected:
    // `list` is the page's list member, bound to control `listID`.
    CDlgPageList(int templateID, CSaveProp* store, CListCtrl& list, int listID, int editButtonID);

    CDataManager& Records() const;
    // The store's flag that allows changes to this page's records.
    virtual bool IsEditAllowed() const = 0;
    // Sets up the columns (see ReportList.h).
    virtual void InitList() = 0;
    // Rebuilds the rows from the store; no row is selected afterwards.
    virtual void FillList() = 0;
    virtual void OnAdd() = 0;
    virtual void OnEdit() = 0;
    // Takes the record of a row out of the store, with its links.
    virtual void RemoveRecord(uintptr_t record) = 0;

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void OnCommand(int id) override;
    void OnNotify(const NMHDR& header, long* result) override;

    // Writes the number of rows into the count below the buttons.
    void ShowCount();
    // The record of the first selected row, or 0 when none is selected.
    uintptr_t FirstSelectedRecord() const;
    // Removes every selected row's record, from the last row up, then refills; no question asked.
    void OnDelete();

private:
    void OnItemChangedList();

    CListCtrl& m_list;
    const int m_nListID;
    const int m_nEditButtonID;
};
