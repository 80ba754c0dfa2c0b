// Fixture for tests that show the library's dialogs and notices on a real data file: the GUI
// application (offscreen), a driver for the modal windows, a recorder of notices, a data source
// with its login slot, and a thread-timer clock the test moves by hand.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "support/ModalDriver.h"
#include "support/NoticeRecorder.h"
#include "support/StoreTest.h"

class GuiTest : public StoreTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Whether Popnote.exe is found; decided before SetUp (default: the recording one is).
    void HidePopnote() { m_popnoteReachable = false; }

    // Moves the thread timers' clock; the event loop that turns next runs what is due then.
    static void MoveTimerClock(int64_t milliseconds);
    // Moves the clock and runs one turn of the message loop, as a waiting host does.
    static void AdvanceTimerClock(int64_t milliseconds);
    int LoginSlotCount() const;

    // Queues the operator's answer to the next credential dialog: type both, press OK.
    void AnswerCredentials(const QString& user, const QString& password);
    void CancelNextDialog();
    // Logs in through the login dialog, answering it with the pair.
    void LogInAs(const char* user, const char* password);

    // Saves a store with users and groups for the tests (see the .cpp).
    void SavePlantStore();

    std::unique_ptr<ModalDriver> m_driver;
    std::unique_ptr<NoticeRecorder> m_notices;

private:
    bool m_popnoteReachable = true;
};

// The status text of the last login or logout, as UTF-8.
std::string StatusUtf8();
