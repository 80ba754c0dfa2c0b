#include "admin_ui/DlgUserProp.h"

#include <initializer_list>
#include <vector>

#include "admin_ui/ReportList.h"
#include "module/Notice.h"
#include "module/WardletApp.h"
#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "store/RecordRules.h"
#include "wardlet/store/SaveProp.h"

namespace {

// Each kind of validity period has its radio button.
constexpr int kKindRadios[] = {IDC_RADIO_FOREVER, IDC_RADIO_DAILY, IDC_RADIO_PERIOD};

const std::initializer_list<int> kDailyControls = {IDC_STATIC_DAILY_FROM, IDC_DAILY_FROM,
                                                   IDC_STATIC_DAILY_TO, IDC_DAILY_TO};
const std::initializer_list<int> kPeriodControls = {
    IDC_STATIC_PERIOD_FROM, IDC_FROM_DATE, IDC_FROM_TIME,
    IDC_STATIC_PERIOD_TO,   IDC_TO_DATE,   IDC_TO_TIME};

// Shows the notice of a refusal; true when there is none.
bool Accepted(RecordRefusal refusal) {
    if (refusal != RecordRefusal::kNone) ShowNotice(RefusalNotice(refusal));
    return refusal == RecordRefusal::kNone;
}

}  // namespace

CDlgUserProp::CDlgUserProp(CSaveProp* store)
    : CDialog(LoadDialogTemplate(IDD_DLG_USER_PROP)), m_pStore(store) {
    const CTime now = CTime::GetCurrentTime();
    m_tmDailyFrom = m_tmDailyTo = now;
    m_tmFromDate = m_tmFromTime = now;
    m_tmToDate = m_tmToTime = now;
}

void CDlgUserProp::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST_MEMBER_GROUPS, m_listGroup);
    DDX_Text(pDX, IDC_EDIT_NAME, m_strName);
    DDV_MaxChars(pDX, m_strName, kMaxUserTextBytes);
    DDX_Text(pDX, IDC_EDIT_USER_PWD, m_strPassword);
    DDV_MaxChars(pDX, m_strPassword, kMaxUserTextBytes);
    DDX_Text(pDX, IDC_EDIT_USER_CONFIRM, m_strConfirm);
    DDV_MaxChars(pDX, m_strConfirm, kMaxUserTextBytes);
    DDX_Text(pDX, IDC_EDIT_REMARK, m_strRemark);
    DDX_DateTimeCtrl(pDX, IDC_FROM_DATE, m_tmFromDate);
    DDX_DateTimeCtrl(pDX, IDC_TO_DATE, m_tmToDate);
    DDX_DateTimeCtrl(pDX, IDC_DAILY_FROM, m_tmDailyFrom);
    DDX_DateTimeCtrl(pDX, IDC_DAILY_TO, m_tmDailyTo);
    DDX_DateTimeCtrl(pDX, IDC_FROM_TIME, m_tmFromTime);
    DDX_DateTimeCtrl(pDX, IDC_TO_TIME, m_tmToTime);
}

bool CDlgUserProp::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(Cp936Text("用户属性"));
    ShowPeriodKind(m_nTimeSectType);
    if (HasStoredPeriod()) ShowStoredPeriod();
    UpdateData(false);
    InitGroupList();
    FillGroupList();
    return true;
}

void CDlgUserProp::OnCommand(int id) {
    switch (id) {
        case IDC_BTN_SELECT_ALL:
            OnSelectAllGroups();
            break;
        case IDC_BTN_SELECT_NONE:
            OnSelectNoGroups();
            break;
        case IDC_RADIO_FOREVER:
            OnValidForever();
            break;
        case IDC_RADIO_DAILY:
            OnValidDaily();
            break;
        case IDC_RADIO_PERIOD:
            OnValidPeriod();
            break;
        default:
            break;
    }
}

void CDlgUserProp::OnValidForever() { SwitchPeriodKind(kValidForever); }

void CDlgUserProp::OnValidDaily() { SwitchPeriodKind(kValidDaily); }

void CDlgUserProp::OnValidPeriod() { SwitchPeriodKind(kValidPeriod); }

void CDlgUserProp::OnSelectAllGroups() { CheckAllRows(m_listGroup, true); }

void CDlgUserProp::OnSelectNoGroups() { CheckAllRows(m_listGroup, false); }

void CDlgUserProp::OnOK() {
    if (!UpdateData(true)) return;
    m_strName.Trim();
    UpdateData(false);
    if (!AreTextsAcceptable() || !ComputePeriod()) return;
    SaveLinks();
    EndDialog(IDOK);
}

bool CDlgUserProp::AreTextsAcceptable() {
    return Accepted(
        CheckUserTexts(m_pStore->m_dataManager, m_strName, m_strPassword, m_strConfirm, !m_bEdit));
}

bool CDlgUserProp::ComputePeriod() {
    return Accepted(ComputeValidity(m_nTimeSectType, m_tmDailyFrom, m_tmDailyTo,
                                    OnDayOf(m_tmFromDate, m_tmFromTime),
                                    OnDayOf(m_tmToDate, m_tmToTime), &m_tFrom, &m_tTo));
}

void CDlgUserProp::SaveLinks() {
    std::vector<int32_t> groupIDs;
    for (int row = 0; row < m_listGroup.GetItemCount(); ++row) {
        if (!m_listGroup.GetCheck(row)) continue;
        groupIDs.push_back(
            reinterpret_cast<const CInfoGroup*>(m_listGroup.GetItemData(row))->m_nID);
    }
    SetUserGroups(m_pStore, m_nUserID, groupIDs);
}

void CDlgUserProp::SwitchPeriodKind(int kind) {
    if (!UpdateData(true)) return;
    if (IsDlgButtonChecked(kKindRadios[kind])) {
        m_nTimeSectType = kind;
        ShowPeriodKind(kind);
        if (HasStoredPeriod()) ShowStoredPeriodAs(kind);
    }
    UpdateData(false);
}

// The pickers show the stored period as it is.
void CDlgUserProp::ShowStoredPeriod() {
    if (m_nTimeSectType == kValidDaily) {
        m_tmDailyFrom = m_tFrom;
        m_tmDailyTo = m_tTo;
    } else if (m_nTimeSectType == kValidPeriod) {
        SetPeriodPickers(m_tFrom, m_tTo);
    }
}

// The pickers take the stored period's times of day; a range chosen again is shown on today's
// date.
void CDlgUserProp::ShowStoredPeriodAs(int kind) {
    if (kind == kValidDaily) {
        m_tmDailyFrom = OnDailyWindowDay(m_tFrom);
        m_tmDailyTo = OnDailyWindowDay(m_tTo);
    } else if (kind == kValidPeriod) {
        const CTime today = CTime::GetCurrentTime();
        m_tmDailyFrom = OnDayOf(today, m_tFrom);
        m_tmDailyTo = OnDayOf(today, m_tTo);
        SetPeriodPickers(m_tmDailyFrom, m_tmDailyTo);
    }
}

void CDlgUserProp::SetPeriodPickers(CTime from, CTime to) {
    m_tmFromDate = m_tmFromTime = from;
    m_tmToDate = m_tmToTime = to;
}

bool CDlgUserProp::HasStoredPeriod() const {
    return m_tFrom.GetTime() != 0 && m_tTo.GetTime() != 0;
}

// Checks the radio button of `kind` (none for an unknown kind) and enables the pickers it uses.
void CDlgUserProp::ShowPeriodKind(int kind) {
    for (int each = kValidForever; each <= kValidPeriod; ++each) {
        CheckDlgButton(kKindRadios[each], each == kind ? 1 : 0);
    }
    EnableDlgItems(kDailyControls, kind == kValidDaily);
    EnableDlgItems(kPeriodControls, kind == kValidPeriod);
}

void CDlgUserProp::EnableDlgItems(std::initializer_list<int> ids, bool enable) {
    for (int id : ids) EnableDlgItem(id, enable);
}

void CDlgUserProp::InitGroupList() {
    SetUpReportList(m_listGroup, {{"编号", 40}, {"组名", 80}}, LVS_EX_CHECKBOXES);
}

void CDlgUserProp::FillGroupList() {
    m_listGroup.DeleteAllItems();
    const CObList& groups = m_pStore->m_dataManager.m_groupList;
    for (POSITION pos = groups.GetHeadPosition(); pos != nullptr;) {
        auto* group = static_cast<CInfoGroup*>(groups.GetNext(pos));
        const int row = AppendReportRow(m_listGroup, {DecimalText(group->m_nID), group->m_strName},
                                        reinterpret_cast<uintptr_t>(group));
        m_listGroup.SetCheck(row, theApp.IsGroupUserLinked(m_pStore, m_nUserID, group->m_nID));
    }
}
