#include "platform/EventLoopTimer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "platform/TimerQueue.h"

namespace {

QPointer<QTimer> g_eventLoopTimer;  // a child of the application object, gone with it

QTimer* EventLoopTimer() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || application->thread() != QThread::currentThread()) return nullptr;
    if (g_eventLoopTimer.isNull()) {
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

// Unloading the library deletes the toolkit timer while the host's application lives on.
struct DisarmAtUnload {
    ~DisarmAtUnload() { DisarmEventLoopTimer(); }
} g_disarmAtUnload;

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

void DisarmEventLoopTimer() {
    if (g_eventLoopTimer.isNull()) return;
    if (g_eventLoopTimer->thread() == QThread::currentThread()) {
        delete g_eventLoopTimer.data();
    } else {
        g_eventLoopTimer->deleteLater();
    }
}
