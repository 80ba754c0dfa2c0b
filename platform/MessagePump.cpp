#include "wardlet/platform/MessagePump.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <climits>

#include "platform/TimerQueue.h"

void PumpMessages(void) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application != nullptr && application->thread() == QThread::currentThread()) {
        QCoreApplication::processEvents();
    }
    TimerQueue::DispatchDue();
}

int32_t NextTimerDueIn(void) {
    return static_cast<int32_t>(std::min<int64_t>(TimerQueue::MillisecondsUntilNextDue(), INT_MAX));
}
