// libwardlet.so: user rights for a supervisory monitoring workstation.
//
// Conventions of every function below:
// - Texts are zero-terminated byte strings in code page 936, compared exactly (byte for byte,
//   case-sensitive). A null pointer is taken as an empty text.
// - Output buffers belong to the caller and carry no size. A buffer of 65 bytes holds any user
//   name or password the library's dialogs allow (64 bytes and the terminating zero). Exactly two
//   things can make GetPassed or GetCurUserInfo write more: a password set with
//   ModifyPWD, which takes any length, and a store received with ReceiveObjListFromArchive whose
//   names or passwords are longer than 64 bytes (`wardlet receive` and the sync agent name such
//   records when they receive them). A host that uses either must size its buffers for them.
// - The data file: a symbolic link at its path is followed only when the link belongs to the
//   user the process runs as or to root; otherwise loads answer from the defaults and saves are
//   refused with a message on standard error, the file left as it was. A data file larger than
//   64 MiB is refused unread, and so is a received store larger than 64 MiB, or any text longer
//   than 64 MiB, whether it comes from a file, a pipe or a socket.
// - Every program that uses the library on one data file (every host, the command-line tool and
//   the sync agent) serialises its reads and writes with a lock on the file "<data file>.lock"
//   beside it, which the library creates with the data file's permission bits.
// - Integers and booleans are 32 bits; a boolean result is 1 or 0.
// - Every function that needs stored data reads the whole data file afresh; nothing loaded is
//   kept between calls. A missing or unreadable data file is answered from the defaults
//   (administrator "Admin" with password "4827", no users, no groups).
// - No C++ exception ever leaves a function of this library.
//
// The framework classes a host uses with these functions (CString, CObList, CFile, CMemFile,
// CArchive) and the store records come from libwardletfx.so, shared by the host and the library.
// Hosts read records through their public fields and GetRuntimeClass()/IsKindOf(); the records'
// member functions belong to the library.
#pragma once

#include <cstdint>

#include "wardlet/platform/Archive.h"
#include "wardlet/platform/File.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/platform/String.h"
#include "wardlet/store/SaveProp.h"

#define WARDLET_API __attribute__((visibility("default")))

extern "C" {

// Sets the data file's path and creates the file mutex and the login semaphore, both named after
// the host executable, if they do not exist yet. Opens nothing and reports nothing.
WARDLET_API void SetDataSource(const char* path);
// The path last set ("" before the first SetDataSource); valid until the next SetDataSource.
WARDLET_API const char* GetDataSource(void);

// Logs an operator in through the login dialog "登录...", one at a time across every process of
// the host program. Refusals are reported as a notice to the operator and in GetLogStatus. An
// accepted login ends by itself after the stored number of minutes, counted from the login or
// from the last check GetPassed granted to that user; the timer fires only while the calling
// thread runs a message loop (a widget host's event loop, or PumpMessages of libwardletui.so).
WARDLET_API void LogIn(void);
WARDLET_API void LogInEx(int32_t ignored);
// Logs the operator out; a notice says who was logged out.
WARDLET_API void LogOut(void);
WARDLET_API void LogOutEx(int32_t ignored);
// The text of the outcome of the last LogIn or LogOut (an automatic logout changes nothing). The
// string is the library's own: read it, never free it or keep it beyond the library's life.
WARDLET_API const CString& GetLogStatus(void);

// May the operator perform the operation `code`? The logged-in user is asked first; failing that,
// whoever identifies in the verification dialog "权限验证...", unless `buffer` holds "不弹框" on
// entry. Returns 0 allowed, 1 dialog cancelled, 2 wrong password, 3 refused (also when no dialog
// was allowed), 4 account outside its validity period. `buffer` receives the name of the user
// whose right was tested (the logged-in user's or the typed one); it must hold 65 bytes.
WARDLET_API int32_t GetPassed(uint32_t code, char* buffer);

// 1 if `user` with `password` may perform the operation `code`; the administrator may perform
// every operation. 0 otherwise, and for an empty name.
WARDLET_API int32_t Islegal(const char* user, const char* password, uint32_t code);
// Writes the user's validity period: kind (0 permanent, 1 daily window, 2 date range), start and
// end as seconds since 1970 (all three always written, 0 when not found). 1 if the user (or the
// administrator) exists, else 0.
WARDLET_API int32_t GetUserTimeSect(const char* user, int32_t* kind, int32_t* from, int32_t* to);
// 1 if the pair is the administrator's or some user's; a known name with a wrong password is 0.
WARDLET_API int32_t IsUserExist(const char* user, const char* password);
// With a name in `nameBuffer`: copies that user's (or the administrator's) password into
// `passwordBuffer` and returns 1, or returns 0 writing nothing. With an empty name: copies the
// logged-in user's name and password and returns 1, or returns 0 when nobody is logged in.
WARDLET_API int32_t GetCurUserInfo(char* nameBuffer, char* passwordBuffer);
// The administration window. Asks who is there in the dialog "权限验证...": the administrator's
// pair opens the sheet "权限管理" on the whole store, saved (and forwarded) only when it is closed
// with OK; an ordinary user's pair opens the dialog to change that user's own password. Logs
// nobody in or out. With no display it returns at once and saves nothing.
WARDLET_API void Config(void);
// Changes the password of the administrator or of the first user with that name and old
// password, and saves the store. 1 only when the new password was written to the data file.
WARDLET_API int32_t ModifyPWD(const char* user, const char* oldPassword, const char* newPassword);
// Appends to `list` a freshly loaded store (a CSaveProp) that stays the library's: it is valid
// until the next GetConfigData or until the library is unloaded; never delete it. Returns 1.
WARDLET_API int32_t GetConfigData(CObList* list);
// Reads a store sent by another station (an object list holding one CSaveProp) from a loading
// archive and makes it the local data file, without forwarding it back. A damaged archive stores
// nothing and is reported on standard error.
WARDLET_API void ReceiveObjListFromArchive(CArchive& archive);

}  // extern "C"
