#include "support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QVariant>

class ModalDriver::ShowFilter : public QObject {
public:
    explicit ShowFilter(ModalDriver* driver) : m_driver(driver) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->isModal()) m_driver->Shown(widget);
        }
        return false;
    }

private:
    ModalDriver* m_driver;
};

ModalDriver::ModalDriver() : m_filter(new ShowFilter(this)) { qApp->installEventFilter(m_filter); }

ModalDriver::~ModalDriver() {
    qApp->removeEventFilter(m_filter);
    delete m_filter;
}

void ModalDriver::OnNextModal(Action action) { m_actions.push_back(std::move(action)); }

void ModalDriver::Shown(QWidget* window) {
    ++m_shown;
    m_captions.push_back(window->windowTitle());
    Action action;
    if (!m_actions.empty()) {
        action = std::move(m_actions.front());
        m_actions.erase(m_actions.begin());
    } else {
        m_unexpected.push_back(window->windowTitle());
        action = [](QWidget* unexpected) { PressKey(unexpected, Qt::Key_Escape); };
    }
    // Runs once the window's modal loop is turning, as the operator's input would arrive.
    QPointer<QWidget> target(window);
    QTimer::singleShot(0, window, [target, action] {
        if (target) action(target);
    });
}

QWidget* Control(QWidget* dialog, int id) {
    return dialog->findChild<QWidget*>(QString::number(id));
}

void TypeInto(QWidget* dialog, int id, const QString& text) {
    QWidget* control = Control(dialog, id);
    if (control == nullptr) return;
    control->setFocus();
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QApplication::sendEvent(control, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, character);
        QApplication::sendEvent(control, &release);
    }
}

void Click(QWidget* dialog, int id) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(dialog, id))) button->click();
}

void PressKey(QWidget* dialog, int key) {
    QWidget* target = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

QString ControlText(QWidget* dialog, int id) {
    QWidget* control = Control(dialog, id);
    return control != nullptr ? control->property("text").toString() : QString();
}

QString MessageText(QWidget* box) {
    auto* messageBox = qobject_cast<QMessageBox*>(box);
    return messageBox != nullptr ? messageBox->text() : QString();
}
