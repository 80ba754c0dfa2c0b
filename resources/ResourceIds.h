// Ids of the library's dialog resources and of their controls. Hosts and tests find controls by
// these numbers.
#pragma once

// The credential dialog.
inline constexpr int IDD_DLG_LOGIN = 2000;
inline constexpr int IDC_EDIT_USER = 2000;
inline constexpr int IDC_EDIT_PASSWORD = 2001;

// The change-password dialog.
inline constexpr int IDD_DLG_MODIFY_PWD = 2036;
inline constexpr int IDC_EDIT_NEW_PWD = 2051;
inline constexpr int IDC_EDIT_CONFIRM = 2052;
