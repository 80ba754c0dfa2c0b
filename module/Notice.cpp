#include "module/Notice.h"

#include "platform/MessageBox.h"
#include "platform/ProgramLauncher.h"
#include "resources/Cp936Text.h"

void ShowNotice(const CString& text) {
    if (StartProgram(kNoticeProgram, {text.Bytes()})) return;
    // The box shows the command line that could not be run, program name included.
    const CString commandLine = CString(kNoticeProgram) + " " + text;
    MessageBoxA(nullptr, commandLine, Cp936Text("权限管理"), MB_ICONWARNING | MB_SETFOREGROUND);
}
