#include "admin_ui/DlgUserProp.h"

#include <initializer_list>

#include "admin_ui/ReportList.h"
#include "module/Notice.h"
#include "module/WardletApp.h"
#include "platform/DataExchange.h"
#include "resources/Cp936Text.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "store/RecordLists.h"
#include "wardlet/store/SaveProp.h"

namespace {

// A user name, password or confirmation typed here, in code page 936 bytes.
constexpr int kMaxTextBytes = 64;

// The kinds of validity period, as the user record stores them; each has its radio button.
constexpr int kValidForever = 0;
constexpr int kValidDaily = 1;
constexpr int kValidPeriod = 2;
constexpr int kKindRadios[] = {IDC_RADIO_FOREVER, IDC_RADIO_DAILY, IDC_RADIO_PERIOD};

const std::initializer_list<int> kDailyControls = {IDC_STATIC_DAILY_FROM, IDC_DAILY_FROM,
                                                   IDC_STATIC_DAILY_TO, IDC_DAILY_TO};
const std::initializer_list<int> kPeriodControls = {
    IDC_STATIC_PERIOD_FROM, IDC_FROM_DATE, IDC_FROM_TIME,
    IDC_STATIC_PERIOD_TO,   IDC_TO_DATE,   IDC_TO_TIME};

// `date`'s day at the time of day of `clock`, local time.
CTime OnDayOf(CTime date, CTime clock) {
    return CTime(date.GetYear(), date.GetMonth(), date.GetDay(), clock.GetHour(), clock.GetMinute(),
                 clock.GetSecond());
}

// A daily window keeps only times of day; they are stored on 1 January 2000.
CTime OnDailyWindowDay(CTime clock) { return OnDayOf(CTime(2000, 1, 1, 0, 0, 0), clock); }

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
    DDV_MaxChars(pDX, m_strName, kMaxTextBytes);
    DDX_Text(pDX, IDC_EDIT_USER_PWD, m_strPassword);
    DDV_MaxChars(pDX, m_strPassword, kMaxTextBytes);
    DDX_Text(pDX, IDC_EDIT_USER_CONFIRM, m_strConfirm);
    DDV_MaxChars(pDX, m_strConfirm, kMaxTextBytes);
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

bool CDlgUserProp::AreTextsAcceptable() const {
    const char* refusal = nullptr;
    if (m_strName.IsEmpty()) {
        refusal = "用户名字不能为空或空格!";
    } else if (m_strName.GetLength() > kMaxTextBytes) {
        refusal = "用户名长度不可大于64!";
    } else if (IsNameTaken()) {
        refusal = "该用户名已存在!";
    } else if (m_strPassword != m_strConfirm) {
        refusal = "密码和确认密码不相等，请重新输入!";
    } else if (m_strPassword.GetLength() > kMaxTextBytes) {
        refusal = "密码长度不可大于64!";
    }
    if (refusal != nullptr) ShowNotice(Cp936Text(refusal));
    return refusal == nullptr;
}

// Only a new user's name must be free; an edited user may keep or take any name.
bool CDlgUserProp::IsNameTaken() const {
    return !m_bEdit && m_pStore->m_dataManager.IsUserNameUsed(m_strName);
}

bool CDlgUserProp::ComputePeriod() {
    switch (m_nTimeSectType) {
        case kValidForever:
            m_tFrom = m_tTo = CTime();
            return true;
        case kValidDaily:
            m_tFrom = OnDailyWindowDay(m_tmDailyFrom);
            m_tTo = OnDailyWindowDay(m_tmDailyTo);
            break;
        case kValidPeriod:
            m_tFrom = OnDayOf(m_tmFromDate, m_tmFromTime);
            m_tTo = OnDayOf(m_tmToDate, m_tmToTime);
            break;
        default:
            return true;
    }
    if (m_tTo < m_tFrom) {
        ShowNotice(Cp936Text("时间段起始时间大于结束时间!"));
        return false;
    }
    return true;
}

void CDlgUserProp::SaveLinks() {
    CObList& links = m_pStore->m_dataManager.m_groupUserList;
    const int32_t userID = m_nUserID;
    DeleteWhere<CInfoGroupUser>(
        links, [userID](const CInfoGroupUser& link) { return link.m_nUserID == userID; });
    for (int row = 0; row < m_listGroup.GetItemCount(); ++row) {
        if (!m_listGroup.GetCheck(row)) continue;
        const auto* group = reinterpret_cast<const CInfoGroup*>(m_listGroup.GetItemData(row));
        theApp.AddGroupUser(m_pStore, userID, group->m_nID);
    }
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
