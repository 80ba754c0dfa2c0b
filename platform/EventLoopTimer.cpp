#include "platform/EventLoopTimer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "platform/GuiApplication.h"
#include "platform/TimerQueue.h"

namespace {

// A child of the application object, gone with it. Its slot is code of this library, which is
// never unloaded (see CMakeLists.txt), so it may outlive libwardlet.so.
QPointer<QTimer> g_eventLoopTimer;

QTimer* EventLoopTimer() {
    if (gui::ProcessExiting()) return nullptr;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || application->thread() != QThread::currentThread()) return nullptr;
    if (g_eventLoopTimer.isNull()) {
        gui::WatchForProcessExit();
        g_eventLoopTimer = new QTimer(application);
        g_eventLoopTimer->setSingleShot(true);
        g_eventLoopTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(g_eventLoopTimer.data(), &QTimer::timeout, [] {
            TimerQueue::DispatchDue();
            ArmEventLoopTimer();
        });
    }
    return g_eventLoopTimer.data();
}

}  // namespace

void ArmEventLoopTimer() {
    QTimer* timer = EventLoopTimer();
    if (timer == nullptr) return;
    const int64_t dueIn = TimerQueue::MillisecondsUntilNextDue();
    if (dueIn < 0) {
        timer->stop();
        return;
    }
    timer->start(static_cast<int>(std::min<int64_t>(dueIn, INT_MAX)));
}
