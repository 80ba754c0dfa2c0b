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

}  // namespace

const DialogTemplate& LoadDialogTemplate(int id) {
    for (const DialogTemplate* dialogTemplate : {&kLogin, &kModifyPwd}) {
        if (dialogTemplate->id == id) return *dialogTemplate;
    }
    throw std::out_of_range("no dialog template " + std::to_string(id));
}
