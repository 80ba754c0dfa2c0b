#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <chrono>

#include "LoginFailedText.h"
#include "NoticeSlot.h"
#include "NoticeWindow.h"
#include "platform/Cp936.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kLongLife = std::chrono::hours(1);

TEST(NoticeWindow, ShowsTheChineseTextInItsSlotInAFontThatHasIt) {
    NoticeWindow window(QString::fromStdString(Utf8FromCp936Replacing(kLoginFailedCp936)), 2,
                        kLongLife);
    window.show();

    const auto* label = window.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), QString::fromUtf8(kLoginFailedUtf8));
    EXPECT_TRUE(QFontMetrics(label->font()).inFont(QChar(u'帐')))
        << label->font().family().toStdString();
    EXPECT_EQ(label->textFormat(), Qt::PlainText);  // a '<' in a notice is shown, not parsed
    EXPECT_EQ(window.geometry(),
              NoticeWindow::FrameForSlot(QGuiApplication::primaryScreen()->availableGeometry(), 2));
}

TEST(NoticeWindow, ClosesWhenItsTimeRunsOut) {
    NoticeWindow window(QStringLiteral("x"), 0, 10ms);
    QSignalSpy closed(&window, &NoticeWindow::closed);
    window.show();
    ASSERT_TRUE(closed.wait(30000));
    EXPECT_FALSE(window.isVisible());
}

TEST(NoticeWindow, ClosesWhenClickedAnywhere) {
    NoticeWindow window(QStringLiteral("x"), 0, kLongLife);
    QSignalSpy closed(&window, &NoticeWindow::closed);
    window.show();
    QTest::mouseClick(window.findChild<QLabel*>(), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(window.isVisible());
}

TEST(NoticeWindowFrame, SlotsRiseFromTheBottomRightCornerWithoutOverlapping) {
    const QRect available(100, 50, 1920, 1040);  // panels on the left and at the top
    const QRect bottom = NoticeWindow::FrameForSlot(available, 0);
    EXPECT_EQ(bottom.bottomRight(),
              available.bottomRight() - QPoint(NoticeWindow::kMargin, NoticeWindow::kMargin));
    EXPECT_EQ(NoticeWindow::FrameForSlot(available, 1).bottom(),
              bottom.top() - 1 - NoticeWindow::kMargin);
    for (int a = 0; a < NoticeSlot::kDefaultCount; ++a) {
        const QRect frame = NoticeWindow::FrameForSlot(available, a);
        EXPECT_TRUE(available.contains(frame)) << a;
        for (int b = 0; b < a; ++b) {
            EXPECT_FALSE(frame.intersects(NoticeWindow::FrameForSlot(available, b))) << a << b;
        }
    }
}

}  // namespace
