// The user property dialog "用户属性": one account's name, password (typed twice), remark,
// validity period and groups. On OK it validates, computes the period's stored times and rewrites
// the user's group memberships in the store; the Users page then creates or updates the record
// from the members.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/Dialog.h"
#include "platform/ListCtrl.h"
#include "wardlet/platform/Time.h"

class CSaveProp;

class CDlgUserProp : public CDialog {
public:
    // `store` stays the caller's.
    explicit CDlgUserProp(CSaveProp* store);

    CSaveProp* const m_pStore;
    int32_t m_bEdit = 0;    // an existing user: the duplicate-name test is skipped
    int32_t m_nUserID = 0;  // the user's number, or the one reserved for a new user
    CString m_strName;      // at most 64 bytes
    CString m_strPassword;  // at most 64 bytes
    CString m_strConfirm;   // at most 64 bytes
    CString m_strRemark;
    CListCtrl m_listGroup;
    int32_t m_nTimeSectType = 0;  // 0 permanent, 1 daily window, 2 date-time range
    CTime m_tFrom;                // the period as stored in the user record
    CTime m_tTo;
    // What the pickers show; all start at the current time.
    CTime m_tmDailyFrom;
    CTime m_tmDailyTo;
    CTime m_tmFromDate;
    CTime m_tmFromTime;
    CTime m_tmToDate;
    CTime m_tmToTime;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void OnValidForever();
    void OnValidDaily();
    void OnValidPeriod();
    void OnSelectAllGroups();
    void OnSelectNoGroups();

    // Refuses, with a notice, a blank, too long or taken name and a mistyped or too long password.
    bool AreTextsAcceptable();
    // Sets m_tFrom and m_tTo from the pickers; refuses, with a notice, a period that ends before
    // it begins.
    bool ComputePeriod();
    // Replaces the user's group memberships with the checked rows.
    void SaveLinks();

    void SwitchPeriodKind(int kind);
    void ShowPeriodKind(int kind);
    void ShowStoredPeriod();
    void ShowStoredPeriodAs(int kind);
    void SetPeriodPickers(CTime from, CTime to);
    bool HasStoredPeriod() const;
    void EnableDlgItems(std::initializer_list<int> ids, bool enable);

    void InitGroupList();
    void FillGroupList();
};
