#pragma once

// A notice the library sends, as it sends it and as the operator must read it.
inline constexpr const char* kLoginFailedCp936 =
    "\xd5\xca\xba\xc5\x2f\xc3\xdc\xc2\xeb\xb4\xed\xce\xf3\xa3\xac\xb5\xc7\xc2\xbc\xca\xa7\xb0\xdc"
    "\xa3\xa1";
inline constexpr const char* kLoginFailedUtf8 = "帐号/密码错误，登录失败！";
