// Popnote.exe: shows one operator notice for the library, which starts it without waiting and
// passes the notice as CP936 bytes in argv[1].
#include <QApplication>
#include <QObject>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "NoticeSlot.h"
#include "NoticeWindow.h"
#include "platform/Cp936.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Qt aborts when it cannot reach a display, and a notice is not worth a crash.
bool HasDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int ShowWindow(const std::string& utf8Text, const char* programName) {
    // Qt must not see the notice: a text such as "-style" would be taken as one of its options.
    static int qtArgc = 1;
    static char* qtArgv[] = {const_cast<char*>(programName), nullptr};
    QApplication app(qtArgc, qtArgv);
    const NoticeSlot slot = NoticeSlot::Claim(NoticeSlot::DefaultDirectory());
    NoticeWindow window(QString::fromStdString(utf8Text), slot.Index());
    QObject::connect(&window, &NoticeWindow::closed, &app, &QCoreApplication::quit);
    window.show();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s NOTICE-IN-CP936\n", argv[0]);
        return 2;
    }
    const std::string text = Utf8FromCp936Replacing(argv[1]);
    if (text.empty()) return 0;
    if (!HasDisplay()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return 0;
    }
    return ShowWindow(text, argv[0]);
}
