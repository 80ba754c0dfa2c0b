#include "platform/DialogWindow.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/Cp936LimitValidator.h"
#include "platform/DateTimePicker.h"
#include "platform/Dialog.h"
#include "platform/ListCtrl.h"
#include "platform/TreeCtrl.h"

namespace {

// Stand-ins for the template's face when it is not installed: CJK fonts that Debian packages.
const QStringList kFallbackFaces = {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei"),
                                    QStringLiteral("Noto Sans CJK SC")};

QFont DialogFont(const DialogTemplate& dialogTemplate) {
    QFont font;
    font.setFamilies(QStringList{QString::fromUtf8(dialogTemplate.fontFace)} + kFallbackFaces);
    font.setPointSize(dialogTemplate.fontPointSize);
    return font;
}

// Each radio button starts a group of its own, so clicking one never clears another (the dialog
// does that); and clicking a checked one leaves it checked.
class GroupStartRadioButton : public QRadioButton {
public:
    GroupStartRadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override { setChecked(true); }
};

// A push button that its mnemonic (Alt and the letter after "&") presses at once, as a click does.
class DialogPushButton : public QPushButton {
public:
    DialogPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
        // With the focus, a push button takes Enter itself.
        setAutoDefault(true);
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Shortcut) {
            if (isEnabled()) click();
            return true;
        }
        return QPushButton::event(event);
    }
};

// A multi-line edit. Enter starts a new line only where the template asks for it; elsewhere it
// goes on to the dialog, which presses the default button, and Ctrl+Enter starts a line. Tab
// leaves the edit.
class MultiLineEdit : public QPlainTextEdit {
public:
    MultiLineEdit(bool wantReturn, QWidget* parent)
        : QPlainTextEdit(parent), m_bWantReturn(wantReturn) {
        setTabChangesFocus(true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!m_bWantReturn && IsEnterKey(*event)) {
            if (event->modifiers() & Qt::ControlModifier) {
                insertPlainText(QStringLiteral("\n"));
                return;
            }
            event->ignore();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

private:
    const bool m_bWantReturn;
};

}  // namespace

bool IsEnterKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

DialogWindow::DialogWindow(const DialogTemplate& dialogTemplate, CDialog* owner,
                           QWidget* embedIn)
    : QDialog(embedIn, embedIn ? Qt::Widget
                               : Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowCloseButtonHint),
      m_owner(owner) {
    // A dialog is made a window whatever flags it is given; a page must be a plain child.
    if (embedIn != nullptr) setWindowFlags(Qt::Widget);
    setObjectName(QString::number(dialogTemplate.id));
    setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    setFont(DialogFont(dialogTemplate));
    // Dialog units: a quarter of the font's average character width across, an eighth of its
    // height down, so that a layout keeps its proportions in any font.
    const QFontMetrics metrics(font());
    const int alphabetWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseUnitX = (alphabetWidth / 26 + 1) / 2;
    m_baseUnitY = metrics.height();
    setFixedSize(ToPixels(0, 0, dialogTemplate.width, dialogTemplate.height).size());

    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = MakeControl(control);
        widget->setGeometry(ToPixels(control.x, control.y, control.width, control.height));
        widget->setEnabled((control.style & kDisabled) == 0);
        if (control.style & kHidden) widget->hide();
        if (control.id != IDC_STATIC) {
            widget->setObjectName(QString::number(control.id));
            m_controls[control.id] = widget;
        }
        if (widget->focusPolicy() & Qt::TabFocus) m_tabOrder.push_back(widget);
    }
    for (size_t i = 1; i < m_tabOrder.size(); ++i) {
        QWidget::setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
    }
    // A group box frames controls that come before it in the template: keep it beneath them.
    for (QGroupBox* frame : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) frame->lower();
}

QWidget* DialogWindow::MakeControl(const ControlTemplate& control) {
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    switch (control.kind) {
        case ControlKind::kEdit:
            return MakeEdit(control);
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton:
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            return MakeButton(control, text);
        case ControlKind::kGroupBox: {
            auto* frame = new QGroupBox(text, this);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            frame->setFocusPolicy(Qt::NoFocus);
            return frame;
        }
        case ControlKind::kListView:
            return MakeListView(control.id);
        case ControlKind::kTreeView:
            return new TreeViewWidget(this);
        case ControlKind::kDateTimePicker:
            return new DateTimePickerWidget((control.style & kPickerDate)
                                                ? DateTimePickerWidget::Shows::kDate
                                                : DateTimePickerWidget::Shows::kTimeOfDay,
                                            this);
        case ControlKind::kStatic:
        default: {
            auto* label = new QLabel(text, this);
            const Qt::Alignment across =
                (control.style & kStaticRight) ? Qt::AlignRight : Qt::AlignLeft;
            label->setAlignment(across | Qt::AlignTop);
            return label;
        }
    }
}

QWidget* DialogWindow::MakeEdit(const ControlTemplate& control) {
    if (control.style & kEditMultiLine) {
        return new MultiLineEdit((control.style & kEditWantReturn) != 0, this);
    }
    auto* edit = new QLineEdit(this);
    edit->setFrame((control.style & kBorder) != 0);
    edit->setReadOnly((control.style & kEditReadOnly) != 0);
    if (control.style & kEditPassword) edit->setEchoMode(QLineEdit::Password);
    const bool digitsOnly = (control.style & kEditNumber) != 0;
    edit->setProperty(kDigitsOnlyProperty, digitsOnly);
    edit->setValidator(new Cp936LimitValidator(0, edit, digitsOnly));
    return edit;
}

QWidget* DialogWindow::MakeButton(const ControlTemplate& control, const QString& text) {
    QAbstractButton* button;
    if (control.kind == ControlKind::kCheckBox) {
        button = new QCheckBox(text, this);
    } else if (control.kind == ControlKind::kRadioButton) {
        button = new GroupStartRadioButton(text, this);
    } else {
        auto* push = new DialogPushButton(text, this);
        if (control.kind == ControlKind::kDefPushButton) {
            m_defaultButton = push;
            // A page's default button would take the sheet's OK's place as the window's default.
            push->setDefault(isWindow());
        }
        button = push;
    }
    const int id = control.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { m_owner->OnButton(id); });
    return button;
}

QWidget* DialogWindow::MakeListView(int id) {
    auto* list = new ListViewWidget(this);
    list->onItemChanged = [this, id] { Notify(id, LVN_ITEMCHANGED); };
    list->onDoubleClick = [this, id] { Notify(id, NM_DBLCLK); };
    list->onKeyDown = [this, id](uint16_t key) { Notify(id, LVN_KEYDOWN, key); };
    return list;
}

void DialogWindow::Notify(int id, int code, uint16_t key) {
    long result = 0;
    if (code == LVN_KEYDOWN) {
        const NMLVKEYDOWN keyDown{{id, code}, key};
        m_owner->OnNotify(keyDown.hdr, &result);
    } else {
        m_owner->OnNotify({id, code}, &result);
    }
}

QRect DialogWindow::ToPixels(int x, int y, int width, int height) const {
    return QRect(x * m_baseUnitX / 4, y * m_baseUnitY / 8, width * m_baseUnitX / 4,
                 height * m_baseUnitY / 8);
}

QWidget* DialogWindow::Control(int id) const {
    auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

QWidget* DialogWindow::FirstTabStop() const {
    for (QWidget* widget : m_tabOrder) {
        if (widget->isEnabled() && !widget->isHidden()) return widget;
    }
    return nullptr;
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    const bool enter = IsEnterKey(*event) && plain;
    const bool escape = event->key() == Qt::Key_Escape && plain;
    if (!enter && !escape) {
        QDialog::keyPressEvent(event);
        return;
    }
    // In a page, Enter and Escape belong to the sheet that holds it.
    if (!isWindow()) {
        event->ignore();
        return;
    }
    if (escape) {
        reject();
        return;
    }
    // A push button with the focus has taken Enter itself; this is Enter from any other control.
    if (m_defaultButton != nullptr && m_defaultButton->isVisible() &&
        m_defaultButton->isEnabled()) {
        m_defaultButton->click();
    }
}

void DialogWindow::reject() {
    if (isWindow()) {
        m_owner->OnButton(IDCANCEL);
    } else if (auto* holder = qobject_cast<QDialog*>(window())) {
        holder->reject();
    }
}

void DialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!isWindow()) return;
    raise();
    activateWindow();
}
