#include "support/Keyboard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTabBar>
#include <QTest>

QWidget* FocusWidget() {
    // Activation comes from the window system a moment after a window is shown.
    QApplication::processEvents();
    return QApplication::focusWidget();
}

QString FocusName() {
    QWidget* focus = FocusWidget();
    if (focus == nullptr) return QString();
    if (qobject_cast<QTabBar*>(focus) != nullptr) return QStringLiteral("tabs");
    return focus->objectName();
}

void Key(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = FocusWidget();
    if (focus == nullptr) {
        ADD_FAILURE() << "no widget has the keyboard focus for key " << key;
        return;
    }
    QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
}

void Type(const QString& text) {
    for (const char32_t codePoint : text.toUcs4()) {
        QWidget* focus = FocusWidget();
        if (focus == nullptr) {
            ADD_FAILURE() << "no widget has the keyboard focus for typing";
            return;
        }
        const QString character = QString::fromUcs4(&codePoint, 1);
        const auto key = codePoint < 0x80
                             ? static_cast<Qt::Key>(QChar(codePoint).toUpper().unicode())
                             : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, focus, key, character, Qt::NoModifier);
    }
}

std::vector<QString> TabWalk(int count, bool backwards) {
    std::vector<QString> names;
    for (int i = 0; i < count; ++i) {
        Key(Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        names.push_back(FocusName());
    }
    return names;
}

void MouseClick(QWidget* widget, QPoint at) {
    QApplication::processEvents();
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}
