// The one module object of the library and the globals beside it: all the state that lives
// between export calls.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"
#include "platform/WinApp.h"
#include "wardlet/platform/String.h"

class CSaveProp;

class CWardletApp : public CWinApp {
public:
    CWardletApp();
    ~CWardletApp() override;

    // Probes whether the browser client's library can be loaded (and unloads it at once); the
    // answer decides, for the module's whole life, whether the browser-login right is offered.
    bool InitInstance() override;
    // Stops the automatic-logout timer, so that it never calls into an unloaded library, closes
    // the login semaphore and the file mutex, and destroys the GUI application object if the
    // library made it.
    int ExitInstance() override;

    // Sets m_bBrowserLibPresent from whether `libraryName` loads through the usual search.
    void ProbeBrowserLibrary(const char* libraryName);

    // The links of a group, as the group dialog rewrites them in a loaded store. Adding never
    // makes a second equal link; new links go to the tail of their list.
    bool IsGroupUserLinked(CSaveProp* store, int32_t userID, int32_t groupID) const;
    void AddGroupUser(CSaveProp* store, int32_t userID, int32_t groupID);
    void RemoveGroupUsers(CSaveProp* store, int32_t groupID);
    bool IsGroupOperLinked(CSaveProp* store, uint32_t code, int32_t groupID) const;
    void AddGroupOper(CSaveProp* store, uint32_t code, int32_t groupID);
    void RemoveGroupOpers(CSaveProp* store, int32_t groupID);

    CString m_strLogStatus;    // outcome of the last login or logout
    CString m_strCurUser;      // logged-in user; empty when nobody is logged in
    CString m_strCurPassword;  // the logged-in user's password, refreshed when a save writes it
    // The number of the user record the operator logged in with: a save refreshes the session's
    // password from that record alone, never from another record of the same name. Empty for
    // the administrator's pair, which is no record, and when nobody is logged in.
    std::optional<int32_t> m_nCurUserID;
    uintptr_t m_nTimerID = 0;  // automatic-logout timer; already stopped when nobody is logged in
    // The login slot: count 1 nobody logged in, 0 somebody is. Shared by every process of the
    // host program; made by the first SetDataSource.
    std::unique_ptr<NamedSemaphore> m_hSemaphore;
    int32_t m_bBrowserLibPresent = 0;
    int32_t m_bReceiving = 0;                  // set only while a received store is being read
    std::unique_ptr<CSaveProp> m_pConfigData;  // the record last handed out by GetConfigData
};

// The library file that marks the browser client as installed.
inline constexpr const char kBrowserLibraryName[] = "libbrowsergate.so";
// The sibling library that forwards every saved store to the remote station, and its entry.
inline constexpr const char kMirrorLibraryName[] = "libmirrorpost.so";
inline constexpr const char kMirrorEntryName[] = "SendObjlistToRemote";

extern CWardletApp theApp;
// Full path of the data file, as last given to SetDataSource.
extern CString g_strDataSource;
// Serialises every read and write of the data file among all processes of the host program.
extern std::unique_ptr<NamedMutex> g_hFileMutex;
