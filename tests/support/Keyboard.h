// An operator's keyboard: each key goes to the widget that has the keyboard focus in the active
// window, through the application, so that shortcuts and mnemonics see it first and a key the
// widget does not take travels up through its parents. Nothing here picks the widget that is to
// get a key: what the platform decides is what the test sees.
#pragma once

#include <QPoint>
#include <QString>
#include <Qt>
#include <vector>

class QWidget;

// The widget that has the keyboard focus, or null.
QWidget* FocusWidget();
// The control id (its object name) of the focused widget; a sheet's tab bar is "tabs"; "" when
// nothing has the focus.
QString FocusName();

// Presses and releases `key`, with `modifiers` held.
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Types `text` character by character.
void Type(const QString& text);
// Presses Tab (or Shift+Tab) `count` times and names the focused control after each press.
std::vector<QString> TabWalk(int count, bool backwards = false);

// A left click at `at` in `widget`, once its window has become the active one.
void MouseClick(QWidget* widget, QPoint at);
