#include "module/WardletApp.h"

#include "module/LoginSession.h"
#include "platform/DynamicLibrary.h"
#include "platform/GuiApplication.h"
#include "store/RightCheckIndex.h"
#include "wardlet/store/SaveProp.h"

CWardletApp::CWardletApp() : CWinApp("Wardlet") {}

CWardletApp::~CWardletApp() = default;  // m_pConfigData is deleted with the module

bool CWardletApp::InitInstance() {
    ProbeBrowserLibrary(kBrowserLibraryName);
    return true;
}

int CWardletApp::ExitInstance() {
    StopLogoutTimer();
    DropRightCheckIndex();
    gui::ReleaseApplication();
    m_hSemaphore.reset();
    g_hFileMutex.reset();
    return 0;
}

void CWardletApp::ProbeBrowserLibrary(const char* libraryName) {
    // Nothing in the library is called: being loadable is all that is asked of it.
    m_bBrowserLibPresent = DynamicLibrary::Load(libraryName) != nullptr ? 1 : 0;
}

// Defined in this order on purpose: the module object first, the lifetime hook last, so that the
// hook's start-up runs on a built object and its shutdown before anything here is destroyed.
CWardletApp theApp;
CString g_strDataSource;
std::unique_ptr<NamedMutex> g_hFileMutex;

namespace {

struct ModuleLifetime {
    ModuleLifetime() { theApp.InitInstance(); }
    ~ModuleLifetime() { theApp.ExitInstance(); }
} g_moduleLifetime;

}  // namespace
