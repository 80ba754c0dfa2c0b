// Acts on the library's modal dialogs and message boxes from inside their modal loops, as an
// operator would: each queued action runs once the next modal window is on screen. A modal window
// that appears with no action queued is recorded and cancelled, so a test never hangs on it.
#pragma once

#include <QString>
#include <functional>
#include <vector>

class QWidget;

class ModalDriver {
public:
    using Action = std::function<void(QWidget* window)>;

    ModalDriver();  // REQUIRES: the GUI application exists
    ~ModalDriver();

    void OnNextModal(Action action);
    // Forgets the actions queued for windows that did not come.
    void DropPending() { m_actions.clear(); }

    int ShownCount() const { return m_shown; }
    // Captions of the modal windows shown so far, in order.
    const std::vector<QString>& Captions() const { return m_captions; }
    // Captions of modal windows that appeared with no action queued.
    const std::vector<QString>& Unexpected() const { return m_unexpected; }

private:
    class ShowFilter;
    void Shown(QWidget* window);

    ShowFilter* m_filter;
    std::vector<Action> m_actions;
    int m_shown = 0;
    std::vector<QString> m_captions;
    std::vector<QString> m_unexpected;
};

// What an operator does in a dialog. Controls are found by their ids.
void TypeInto(QWidget* dialog, int id, const QString& text);  // key by key, at the end
void Click(QWidget* dialog, int id);
void PressKey(QWidget* dialog, int key);  // to the focused control, e.g. Qt::Key_Escape
QWidget* Control(QWidget* dialog, int id);
QString ControlText(QWidget* dialog, int id);
// The text of a message box.
QString MessageText(QWidget* box);
