#include "module/Notice.h"

#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/MessageBox.h"
#include "platform/ProgramLauncher.h"
#include "resources/Cp936Text.h"

namespace {

// The program is looked up again for every notice, as a program found on PATH always was.
std::string NoticeProgram() {
    const std::string beside = FindProgramBesideLibrary(
        LoadedFileOf(reinterpret_cast<const void*>(&ShowNotice)), kNoticeProgram);
    return beside.empty() ? kNoticeProgram : beside;
}

}  // namespace

void ShowNotice(const CString& text) {
    if (StartProgram(NoticeProgram(), {text.Bytes()})) return;
    // The box shows the command line that could not be run, program name included.
    const CString commandLine = CString(kNoticeProgram) + " " + text;
    MessageBoxA(nullptr, commandLine, Cp936Text("权限管理"), MB_ICONWARNING | MB_SETFOREGROUND);
}
