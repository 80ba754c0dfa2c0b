#pragma once

#include <QFrame>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <chrono>

class QLabel;

// A small notice in the bottom-right corner of the primary screen that stays above every window,
// never takes the keyboard from the operator's application, and goes away by itself after a while
// or at a click. Notices in higher slots stand higher, so that several can be read at once.
class NoticeWindow : public QFrame {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultLifetime{5000};
    // Fixed, so that every notice process knows how far up each slot is without asking the others.
    static constexpr QSize kSize{320, 110};
    // Between notices, and between a notice and the screen's edge.
    static constexpr int kMargin = 8;

    NoticeWindow(const QString& text, int slot,
                 std::chrono::milliseconds lifetime = kDefaultLifetime, QWidget* parent = nullptr);

    // The frame of the notice in `slot` on a screen whose usable area is `available`. Slots fill
    // the right edge from the bottom up, then carry on in a column further left, so even the
    // highest slot stays on screen.
    static QRect FrameForSlot(const QRect& available, int slot);

signals:
    // The notice has been closed, by its timer or by a click.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetUpLabel(const QString& text);
    void PlaceOnPrimaryScreen(int slot);

    QLabel* label_;
    QTimer lifetimeTimer_;
};
