#include "platform/DialogWindow.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Cp936LimitValidator.h"
#include "platform/Dialog.h"

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

}  // namespace

DialogWindow::DialogWindow(const DialogTemplate& dialogTemplate, CDialog* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_owner(owner) {
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
        if (control.id != IDC_STATIC) {
            widget->setObjectName(QString::number(control.id));
            m_controls[control.id] = widget;
        }
        if (widget->focusPolicy() & Qt::TabFocus) m_tabOrder.push_back(widget);
    }
    for (size_t i = 1; i < m_tabOrder.size(); ++i) {
        QWidget::setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
    }
}

QWidget* DialogWindow::MakeControl(const ControlTemplate& control) {
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    switch (control.kind) {
        case ControlKind::kEdit: {
            auto* edit = new QLineEdit(this);
            edit->setFrame((control.style & kBorder) != 0);
            if (control.style & kEditPassword) edit->setEchoMode(QLineEdit::Password);
            edit->setValidator(new Cp936LimitValidator(0, edit));
            return edit;
        }
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton: {
            auto* button = new QPushButton(text, this);
            button->setDefault(control.kind == ControlKind::kDefPushButton);
            const int id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] { m_owner->OnButton(id); });
            return button;
        }
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
        if (widget->isEnabled()) return widget;
    }
    return nullptr;
}

void DialogWindow::reject() { m_owner->OnButton(IDCANCEL); }

void DialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
}
