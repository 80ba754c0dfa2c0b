#include "platform/GuiApplication.h"

#include <QApplication>
#include <QThread>
#include <cstdlib>

#include "platform/DisplayProbe.h"
#include "platform/EventLoopTimer.h"

namespace {

// The application object made here, if any; the host's is never ours to delete.
QApplication* g_ownApplication = nullptr;
// Set by the exit handlers: the toolkit's globals are being destroyed.
bool g_processExiting = false;

void MarkProcessExiting() { g_processExiting = true; }

// The toolkit reads its arguments for the life of the application object.
int g_argc = 1;
char g_appName[] = "wardlet";
char* g_argv[] = {g_appName, nullptr};

}  // namespace

namespace gui {

std::string WhyNoGui() {
    QCoreApplication* existing = QCoreApplication::instance();
    if (existing != nullptr) {
        if (qobject_cast<QApplication*>(existing) == nullptr) {
            return "the host's application object cannot show widgets";
        }
        if (existing->thread() != QThread::currentThread()) {
            return "dialogs can be shown only on the host's GUI thread";
        }
        return "";
    }
    return WhyDisplayUnreachable();
}

bool EnsureApplication(std::string* whyNot) {
    std::string reason = WhyNoGui();
    if (!reason.empty()) {
        if (whyNot != nullptr) *whyNot = reason;
        return false;
    }
    if (QCoreApplication::instance() == nullptr) {
        g_ownApplication = new QApplication(g_argc, g_argv);
        // At exit the toolkit destroys its globals before the library's shutdown runs; deleting
        // the application object then would touch them. It is left to the ending process.
        WatchForProcessExit();
        // Dialogs come and go inside a host that keeps running.
        QApplication::setQuitOnLastWindowClosed(false);
        ArmEventLoopTimer();  // for timers set before the application existed
    }
    return true;
}

void ReleaseApplication() {
    if (g_ownApplication == nullptr || ProcessExiting()) return;
    delete g_ownApplication;
    g_ownApplication = nullptr;
}

bool ProcessExiting() { return g_processExiting; }

void WatchForProcessExit() {
    // Exit handlers run in the reverse order of their registration: registered now, after the
    // library's own shutdown steps were registered at load, this one runs before them.
    static const bool registered = std::atexit(MarkProcessExiting) == 0;
    (void)registered;
}

}  // namespace gui
