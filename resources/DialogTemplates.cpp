#include "resources/DialogTemplates.h"

#include <stdexcept>
#include <string>

#include "platform/MessageBox.h"
#include "resources/ResourceIds.h"

namespace {

constexpr char kDialogFont[] = "宋体";
constexpr int kDialogFontPoints = 9;
constexpr unsigned kEditStyle = kEditAutoHScroll | kBorder;
constexpr unsigned kPasswordStyle = kEditPassword | kEditAutoHScroll | kBorder;

const DialogTemplate kLogin = {
    IDD_DLG_LOGIN,
    "管理员登录",
    185,
    67,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_EDIT_USER, ControlKind::kEdit, kEditStyle, "", 66, 7, 112, 12},
        {IDC_EDIT_PASSWORD, ControlKind::kEdit, kPasswordStyle, "", 66, 24, 112, 12},
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确定", 71, 46, 50, 14},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消", 128, 46, 50, 14},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "用户:", 6, 10, 57, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "密码:", 6, 27, 55, 8},
    },
};

const DialogTemplate kModifyPwd = {
    IDD_DLG_MODIFY_PWD,
    "修改密码",
    187,
    71,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确定(&O)", 30, 51, 50, 14},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消(&C)", 103, 51, 50, 14},
        {IDC_STATIC, ControlKind::kStatic, kStaticRight, "新密码：", 10, 10, 33, 8},
        {IDC_STATIC, ControlKind::kStatic, kStaticRight, "确认：", 18, 27, 25, 8},
        {IDC_EDIT_NEW_PWD, ControlKind::kEdit, kPasswordStyle, "", 46, 7, 131, 14},
        {IDC_EDIT_CONFIRM, ControlKind::kEdit, kPasswordStyle, "", 46, 25, 131, 14},
    },
};


constexpr unsigned kListStyle = kBorder;
constexpr unsigned kHiddenCheck = kHidden;

// The Users and Groups pages are twins: a list, three buttons and the count.
const DialogTemplate kPageUser = {
    IDD_PAGE_USER,
    "用 户",
    259,
    181,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_LIST_USER, ControlKind::kListView, kListStyle, "", 7, 7, 208, 166},
        {IDC_BTN_ADD, ControlKind::kPushButton, kStyleNone, "添加", 221, 7, 31, 21},
        {IDC_BTN_EDIT_USER, ControlKind::kPushButton, kDisabled, "编辑", 221, 37, 31, 21},
        {IDC_BTN_DELETE, ControlKind::kPushButton, kDisabled, "删除", 221, 69, 31, 21},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "用户:", 220, 164, 20, 8},
        {IDC_STATIC_COUNT, ControlKind::kStatic, kStaticRight, "", 242, 163, 11, 10},
    },
};

const DialogTemplate kPageGroup = {
    IDD_PAGE_GROUP,
    "  组 ",
    259,
    181,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_LIST_GROUP, ControlKind::kListView, kListStyle, "", 7, 7, 208, 166},
        {IDC_BTN_ADD, ControlKind::kPushButton, kStyleNone, "添加", 221, 7, 31, 21},
        {IDC_BTN_EDIT_GROUP, ControlKind::kPushButton, kDisabled, "编辑", 221, 36, 31, 21},
        {IDC_BTN_DELETE, ControlKind::kPushButton, kDisabled, "删除", 221, 68, 31, 21},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, " 组:", 220, 164, 16, 8},
        {IDC_STATIC_COUNT, ControlKind::kStatic, kStaticRight, "", 242, 163, 11, 10},
    },
};

const DialogTemplate kPageOther = {
    IDD_PAGE_OTHER,
    "其 它",
    260,
    181,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_CHECK_SHOW_FILE, ControlKind::kCheckBox, kHiddenCheck, "显示密码文件", 7, 7, 59, 10},
        {IDC_EDIT_DATA_FILE, ControlKind::kEdit, kEditReadOnly | kEditStyle | kHidden, "", 7, 20,
         246, 12},
        {IDC_EDIT_ADMIN, ControlKind::kEdit, kEditStyle, "", 51, 91, 70, 12},
        {IDC_EDIT_OLD_PWD, ControlKind::kEdit, kPasswordStyle, "", 51, 106, 70, 12},
        {IDC_EDIT_ADMIN_NEW_PWD, ControlKind::kEdit, kPasswordStyle, "", 51, 121, 70, 12},
        {IDC_EDIT_ADMIN_CONFIRM, ControlKind::kEdit, kPasswordStyle, "", 51, 136, 70, 12},
        {IDC_BTN_MODIFY, ControlKind::kPushButton, kStyleNone, "修 改", 60, 155, 47, 13},
        {IDC_CHECK_AUTO_LOGOUT, ControlKind::kCheckBox, kHiddenCheck, "自动注销", 150, 80, 95, 10},
        {IDC_EDIT_LOGOUT_MINUTES, ControlKind::kEdit, kEditNumber | kEditStyle, "", 150, 109, 41,
         12},
        {IDC_CHECK_EDIT_GROUP, ControlKind::kCheckBox, kHiddenCheck | kDisabled,
         "允许对  组  进行编辑", 150, 126, 91, 10},
        {IDC_CHECK_EDIT_USER, ControlKind::kCheckBox, kHiddenCheck | kDisabled,
         "允许对 用户 进行编辑", 150, 140, 91, 10},
        {IDC_CHECK_EDIT_RIGHT, ControlKind::kCheckBox, kHiddenCheck | kDisabled,
         "允许对 权限 进行编辑", 150, 155, 91, 10},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "管理员密码设置", 7, 77, 123, 96},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "管理员:", 17, 93, 30, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "旧密码:", 17, 108, 31, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "新密码:", 17, 123, 29, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "确  认:", 17, 138, 29, 8},
        {IDC_STATIC_LOGOUT_WAIT, ControlKind::kStatic, kStyleNone, "自动注销等待时间:", 149, 98,
         104, 8},
        {IDC_STATIC_MINUTES, ControlKind::kStatic, kStyleNone, "分钟", 195, 111, 52, 8},
        {IDOK, ControlKind::kDefPushButton, kHidden, "确认", 229, 51, 24, 23},
    },
};

const DialogTemplate kUserProp = {
    IDD_DLG_USER_PROP,
    "",
    315,
    300,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_EDIT_NAME, ControlKind::kEdit, kEditStyle, "", 11, 29, 122, 13},
        {IDC_EDIT_USER_PWD, ControlKind::kEdit, kPasswordStyle, "", 11, 58, 122, 13},
        {IDC_EDIT_USER_CONFIRM, ControlKind::kEdit, kPasswordStyle, "", 11, 87, 122, 13},
        {IDC_EDIT_REMARK, ControlKind::kEdit, kEditMultiLine | kBorder, "", 11, 115, 122, 49},
        {IDC_LIST_MEMBER_GROUPS, ControlKind::kListView, kListStyle, "", 154, 15, 152, 234},
        {IDC_BTN_SELECT_ALL, ControlKind::kPushButton, kStyleNone, "全选(&A)", 154, 254, 52, 14},
        {IDC_BTN_SELECT_NONE, ControlKind::kPushButton, kStyleNone, "全不选(&N)", 217, 254, 51, 14},
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确认(&O)", 215, 280, 44, 15},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消(&C)", 267, 280, 44, 15},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "用户信息", 3, 4, 140, 169},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "隶属组", 148, 4, 164, 270},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "用户名:", 11, 18, 111, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "密码:", 11, 46, 111, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "确认密码:", 11, 75, 109, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "备注:", 11, 104, 109, 8},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "账户有效时间", 3, 176, 140, 98},
        {IDC_RADIO_FOREVER, ControlKind::kRadioButton, kStyleNone, "永久有效", 10, 187, 48, 10},
        {IDC_RADIO_DAILY, ControlKind::kRadioButton, kStyleNone, "每天时间段有效", 10, 197, 72, 10},
        {IDC_RADIO_PERIOD, ControlKind::kRadioButton, kStyleNone, "时间段有效", 10, 225, 56, 10},
        {IDC_DAILY_FROM, ControlKind::kDateTimePicker, kStyleNone, "", 20, 208, 56, 15},
        {IDC_DAILY_TO, ControlKind::kDateTimePicker, kStyleNone, "", 84, 208, 56, 15},
        {IDC_STATIC_DAILY_TO, ControlKind::kStatic, kStyleNone, "到", 76, 212, 8, 8},
        {IDC_FROM_DATE, ControlKind::kDateTimePicker, kPickerDate, "", 20, 236, 63, 15},
        {IDC_FROM_TIME, ControlKind::kDateTimePicker, kStyleNone, "", 84, 236, 56, 15},
        {IDC_TO_DATE, ControlKind::kDateTimePicker, kPickerDate, "", 20, 253, 63, 15},
        {IDC_TO_TIME, ControlKind::kDateTimePicker, kStyleNone, "", 84, 253, 56, 15},
        {IDC_STATIC_PERIOD_FROM, ControlKind::kStatic, kStyleNone, "从", 10, 239, 8, 8},
        {IDC_STATIC_PERIOD_TO, ControlKind::kStatic, kStyleNone, "到", 10, 256, 8, 8},
        {IDC_STATIC_DAILY_FROM, ControlKind::kStatic, kStyleNone, "从", 10, 212, 8, 8},
    },
};

const DialogTemplate kGroupProp = {
    IDD_DLG_GROUP_PROP,
    "",
    315,
    300,
    kDialogFont,
    kDialogFontPoints,
    {
        {IDC_EDIT_NAME, ControlKind::kEdit, kEditStyle, "", 10, 27, 89, 13},
        {IDC_EDIT_DESC, ControlKind::kEdit, kEditMultiLine | kEditWantReturn | kBorder, "", 10, 54,
         90, 32},
        {IDC_LIST_MEMBER_USERS, ControlKind::kListView, kListStyle, "", 10, 109, 90, 140},
        {IDC_BTN_SELECT_ALL, ControlKind::kPushButton, kStyleNone, "全选(&S)", 9, 254, 43, 14},
        {IDC_BTN_SELECT_NONE, ControlKind::kPushButton, kStyleNone, "全不选(&L)", 56, 254, 44, 14},
        {IDC_TREE_OPER, ControlKind::kTreeView, kBorder, "", 120, 16, 186, 233},
        {IDC_BTN_SELECT_ALL_OPERS, ControlKind::kPushButton, kHidden, "全选(&A)", 120, 254, 52, 14},
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确认(&O)", 215, 280, 43, 15},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消(&C)", 267, 280, 43, 15},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "组名:", 11, 16, 87, 8},
        {IDC_STATIC, ControlKind::kStatic, kStyleNone, "描述:", 11, 44, 88, 8},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "组信息", 3, 4, 104, 88},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "包含用户", 3, 98, 104, 175},
        {IDC_STATIC, ControlKind::kGroupBox, kStyleNone, "包含操作", 113, 4, 198, 269},
        {IDC_BTN_SELECT_NO_OPERS, ControlKind::kPushButton, kHidden, "全不选(&N)", 180, 254, 52,
         14},
    },
};

}  // namespace

const DialogTemplate& LoadDialogTemplate(int id) {
    for (const DialogTemplate* dialogTemplate : {&kLogin, &kModifyPwd, &kPageUser, &kPageGroup,
                                                   &kPageOther, &kUserProp, &kGroupProp}) {
        if (dialogTemplate->id == id) return *dialogTemplate;
    }
    throw std::out_of_range("no dialog template " + std::to_string(id));
}
