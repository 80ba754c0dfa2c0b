// The application object of a loaded library: a name, and the start-up and shutdown steps that
// run when the library is loaded and unloaded.
#pragma once

#include "platform/MessageBox.h"

class CWinApp {
public:
    explicit CWinApp(const char* appName) : m_pszAppName(appName) { AfxSetAppName(appName); }
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return 0; }

    const char* const m_pszAppName;
};
