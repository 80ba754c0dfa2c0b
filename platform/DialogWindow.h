// The widget of an open CDialog: the template's controls laid out in dialog units of the dialog
// font, each named after its id, in the template's tab order.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "platform/DialogTemplate.h"

class CDialog;
class QKeyEvent;
class QPushButton;

// Enter on either keyboard block.
bool IsEnterKey(const QKeyEvent& event);

class DialogWindow : public QDialog {
public:
    // A top-level modal window; or, with `embedIn`, a child widget of it (a property page).
    DialogWindow(const DialogTemplate& dialogTemplate, CDialog* owner, QWidget* embedIn = nullptr);

    QWidget* Control(int id) const;
    // The first control that takes the focus from the keyboard, in tab order.
    QWidget* FirstTabStop() const;
    // The controls that take the focus from the keyboard, in the template's order, whether or not
    // they can take it now (hidden or disabled).
    const std::vector<QWidget*>& TabStops() const { return m_tabOrder; }
    // The template's default push button, or null.
    QPushButton* DefaultButton() const { return m_defaultButton; }

    // Escape and the close box come here, as the Cancel button does. In a page they go to the
    // window that holds it.
    void reject() override;

protected:
    // A dialog the operator asked for comes to the front.
    void showEvent(QShowEvent* event) override;
    // Enter presses the default button, Escape cancels. In a page both go on to the sheet.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* MakeControl(const ControlTemplate& control);
    QWidget* MakeEdit(const ControlTemplate& control);
    QWidget* MakeButton(const ControlTemplate& control, const QString& text);
    QWidget* MakeListView(int id);
    void Notify(int id, int code, uint16_t key = 0);
    QRect ToPixels(int x, int y, int width, int height) const;

    CDialog* const m_owner;
    std::map<int, QWidget*> m_controls;
    std::vector<QWidget*> m_tabOrder;
    QPushButton* m_defaultButton = nullptr;
    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
};
