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

// Controls that the Users and Groups pages share.
inline constexpr int IDC_BTN_ADD = 2002;
inline constexpr int IDC_BTN_DELETE = 2003;
inline constexpr int IDC_STATIC_COUNT = 2006;

// The Users page of the configuration sheet.
inline constexpr int IDD_PAGE_USER = 2005;
inline constexpr int IDC_LIST_USER = 2004;
inline constexpr int IDC_BTN_EDIT_USER = 2005;

// The Groups page.
inline constexpr int IDD_PAGE_GROUP = 2008;
inline constexpr int IDC_LIST_GROUP = 2015;
inline constexpr int IDC_BTN_EDIT_GROUP = 2004;

// The Other page.
inline constexpr int IDD_PAGE_OTHER = 2010;
inline constexpr int IDC_EDIT_DATA_FILE = 2018;
inline constexpr int IDC_EDIT_ADMIN = 2019;
inline constexpr int IDC_EDIT_OLD_PWD = 2020;
inline constexpr int IDC_EDIT_ADMIN_NEW_PWD = 2021;
inline constexpr int IDC_EDIT_ADMIN_CONFIRM = 2022;
inline constexpr int IDC_BTN_MODIFY = 2023;
inline constexpr int IDC_CHECK_EDIT_GROUP = 2024;
inline constexpr int IDC_CHECK_EDIT_USER = 2025;
inline constexpr int IDC_CHECK_EDIT_RIGHT = 2026;
inline constexpr int IDC_CHECK_SHOW_FILE = 2028;
inline constexpr int IDC_EDIT_LOGOUT_MINUTES = 2030;
inline constexpr int IDC_CHECK_AUTO_LOGOUT = 2031;
inline constexpr int IDC_STATIC_MINUTES = 2032;
inline constexpr int IDC_STATIC_LOGOUT_WAIT = 2033;

// Controls that the user and group property dialogs share.
inline constexpr int IDC_EDIT_NAME = 2011;
inline constexpr int IDC_BTN_SELECT_ALL = 2034;
inline constexpr int IDC_BTN_SELECT_NONE = 2035;

// The user property dialog.
inline constexpr int IDD_DLG_USER_PROP = 2007;
inline constexpr int IDC_EDIT_USER_PWD = 2012;
inline constexpr int IDC_EDIT_USER_CONFIRM = 2013;
inline constexpr int IDC_EDIT_REMARK = 2014;
inline constexpr int IDC_LIST_MEMBER_GROUPS = 2015;
inline constexpr int IDC_RADIO_FOREVER = 2038;
inline constexpr int IDC_RADIO_DAILY = 2039;
inline constexpr int IDC_RADIO_PERIOD = 2040;
inline constexpr int IDC_DAILY_FROM = 2041;
inline constexpr int IDC_DAILY_TO = 2042;
inline constexpr int IDC_FROM_DATE = 2043;
inline constexpr int IDC_FROM_TIME = 2044;
inline constexpr int IDC_TO_DATE = 2045;
inline constexpr int IDC_TO_TIME = 2046;
inline constexpr int IDC_STATIC_DAILY_FROM = 2047;
inline constexpr int IDC_STATIC_DAILY_TO = 2048;
inline constexpr int IDC_STATIC_PERIOD_FROM = 2049;
inline constexpr int IDC_STATIC_PERIOD_TO = 2050;

// The group property dialog.
inline constexpr int IDD_DLG_GROUP_PROP = 2009;
inline constexpr int IDC_EDIT_DESC = 2016;
inline constexpr int IDC_LIST_MEMBER_USERS = 2004;
inline constexpr int IDC_TREE_OPER = 2036;
inline constexpr int IDC_BTN_SELECT_NO_OPERS = 2042;
inline constexpr int IDC_BTN_SELECT_ALL_OPERS = 2043;
