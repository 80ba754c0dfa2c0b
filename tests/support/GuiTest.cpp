#include "support/GuiTest.h"

#include <QApplication>

#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "platform/Cp936.h"
#include "platform/EventLoopTimer.h"
#include "platform/GuiApplication.h"
#include "platform/TimerQueue.h"
#include "resources/ResourceIds.h"
#include "wardlet/platform/MessagePump.h"
#include "wardlet/wardlet.h"

namespace {

int64_t g_timerNow = 0;
int64_t TimerClock() { return g_timerNow; }

}  // namespace

void GuiTest::SetUp() {
    StoreTest::SetUp();
    std::string whyNot;
    ASSERT_TRUE(gui::EnsureApplication(&whyNot)) << whyNot;
    g_timerNow = 1'000'000;
    TimerQueue::SetClock(&TimerClock);
    m_driver = std::make_unique<ModalDriver>();
    m_notices = std::make_unique<NoticeRecorder>(Dir() + "/notices.log", m_popnoteReachable);
    theApp.m_strLogStatus.Empty();
    SetDataSource(DataPath().c_str());
}

void GuiTest::TearDown() {
    if (m_driver && !m_driver->Unexpected().empty()) {
        ADD_FAILURE() << "a dialog appeared unasked: "
                      << m_driver->Unexpected().front().toStdString();
    }
    StopLogoutTimer();
    theApp.m_strLogStatus.Empty();
    m_notices.reset();
    m_driver.reset();
    TimerQueue::SetClock(nullptr);
    StoreTest::TearDown();
}

void GuiTest::MoveTimerClock(int64_t milliseconds) {
    g_timerNow += milliseconds;
    ArmEventLoopTimer();
}

void GuiTest::AdvanceTimerClock(int64_t milliseconds) {
    MoveTimerClock(milliseconds);
    PumpMessages();
}

int GuiTest::LoginSlotCount() const {
    return theApp.m_hSemaphore ? theApp.m_hSemaphore->Count() : -1;
}

void GuiTest::AnswerCredentials(const QString& user, const QString& password) {
    m_driver->OnNextModal([user, password](QWidget* dialog) {
        TypeInto(dialog, IDC_EDIT_USER, user);
        TypeInto(dialog, IDC_EDIT_PASSWORD, password);
        Click(dialog, IDOK);
    });
}

void GuiTest::LogInAs(const char* user, const char* password) {
    AnswerCredentials(QString::fromUtf8(user), QString::fromUtf8(password));
    LogIn();
}

void GuiTest::CancelNextDialog() {
    m_driver->OnNextModal([](QWidget* dialog) { Click(dialog, IDCANCEL); });
}

// Users: op/op1 (permanent, group Operators), night/n1 (daily window 00:00-06:00; the tests' clock
// says 10:00), old/o1 (period ended 2020). Group Operators (0) holds the device operations
// 0x01010000.
void GuiTest::SavePlantStore() {
    CSaveProp store;
    AddUser(store, 0, "op", "op1");
    AddUser(store, 1, "night", "n1", 1, static_cast<int32_t>(LocalSeconds(2000, 1, 1, 0, 0, 0)),
            static_cast<int32_t>(LocalSeconds(2000, 1, 1, 6, 0, 0)));
    AddUser(store, 2, "old", "o1", 2, static_cast<int32_t>(LocalSeconds(2019, 1, 1, 0, 0, 0)),
            static_cast<int32_t>(LocalSeconds(2020, 1, 1, 0, 0, 0)));
    AddGroup(store, 0, "Operators");
    AddMember(store, 0, 0);
    AddMember(store, 0, 1);
    AddMember(store, 0, 2);
    Grant(store, 0, 0x01010000);
    store.m_nLogoutMinutes = 5;
    ASSERT_EQ(store.SaveToFile(), 1);
}

std::string StatusUtf8() { return Utf8FromCp936(GetLogStatus().View()).value_or("(not CP936)"); }
