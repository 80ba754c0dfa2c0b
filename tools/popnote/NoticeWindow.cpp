#include "NoticeWindow.h"

#include <QCloseEvent>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

NoticeWindow::NoticeWindow(const QString& text, int slot, std::chrono::milliseconds lifetime,
                           QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      label_(new QLabel(this)) {
    // The operator is typing into the monitoring application; a notice must not steal the keys.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 255, 225));  // the pale yellow of a tooltip
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    SetUpLabel(text);
    PlaceOnPrimaryScreen(slot);

    lifetimeTimer_.setSingleShot(true);
    lifetimeTimer_.setInterval(lifetime);
    connect(&lifetimeTimer_, &QTimer::timeout, this, &QWidget::close);
}

void NoticeWindow::SetUpLabel(const QString& text) {
    // Plain text: a notice that happens to contain '<' must show as written.
    label_->setTextFormat(Qt::PlainText);
    label_->setText(text);
    label_->setWordWrap(true);
    label_->setAlignment(Qt::AlignCenter);
    // The texts are Chinese; without a CJK family first Qt may pick a Latin font and show boxes.
    QFont font = label_->font();
    font.setFamilies(
        {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(11);
    label_->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(label_);
}

void NoticeWindow::PlaceOnPrimaryScreen(int slot) {
    setFixedSize(kSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(FrameForSlot(screen->availableGeometry(), slot));
    }
}

QRect NoticeWindow::FrameForSlot(const QRect& available, int slot) {
    const int pitchY = kSize.height() + kMargin;
    const int pitchX = kSize.width() + kMargin;
    const int perColumn = std::max(1, (available.height() - kMargin) / pitchY);
    const int column = std::max(slot, 0) / perColumn;
    const int row = std::max(slot, 0) % perColumn;
    const int right = available.right() + 1 - kMargin - column * pitchX;
    const int bottom = available.bottom() + 1 - kMargin - row * pitchY;
    // A screen too small for the columns keeps the notice on it, overlapping rather than lost.
    const int left = std::max(available.left(), right - kSize.width());
    const int top = std::max(available.top(), bottom - kSize.height());
    return QRect(QPoint(left, top), kSize);
}

void NoticeWindow::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    // The time to read starts when the notice can be seen.
    if (!lifetimeTimer_.isActive()) lifetimeTimer_.start();
}

void NoticeWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    close();
}

void NoticeWindow::closeEvent(QCloseEvent* event) {
    lifetimeTimer_.stop();
    QFrame::closeEvent(event);
    emit closed();
}
