#include "platform/DateTimePicker.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

namespace {

// The pickers offer only the days that a 32-bit CTime holds in any time zone.
const QDate kFirstDay(1970, 1, 2);
const QDate kLastDay(2038, 1, 18);

}  // namespace

DateTimePickerWidget::DateTimePickerWidget(Shows shows, QWidget* parent) : QDateTimeEdit(parent) {
    // Local time is CTime's business (through TZ); the widget only holds the broken-down fields.
    setTimeSpec(Qt::UTC);
    // The bounds are whole UTC date-times like the values: a date range would be taken as local
    // time, and a time-of-day picker would then hold its time between the bounds' converted times.
    setDateTimeRange(QDateTime(kFirstDay, QTime(0, 0), Qt::UTC),
                     QDateTime(kLastDay, QTime(23, 59, 59, 999), Qt::UTC));
    setDisplayFormat(shows == Shows::kDate ? QStringLiteral("yyyy-M-d") : QStringLiteral("H:mm:ss"));
    setCalendarPopup(false);
    // A field stepped past its end starts again from its other end.
    setWrapping(true);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTime(CTime::GetCurrentTime());
    lineEdit()->installEventFilter(this);
}

void DateTimePickerWidget::SetTime(CTime time) {
    const QDate date(time.GetYear(), time.GetMonth(), time.GetDay());
    const QTime clock(time.GetHour(), time.GetMinute(), time.GetSecond());
    setDateTime(QDateTime(date.isValid() ? date : kFirstDay, clock, Qt::UTC));
}

CTime DateTimePickerWidget::GetTime() const {
    const QDateTime value = dateTime();
    const QDate date = value.date();
    const QTime clock = value.time();
    return CTime(date.year(), date.month(), date.day(), clock.hour(), clock.minute(),
                 clock.second());
}

bool DateTimePickerWidget::focusNextPrevChild(bool next) {
    // Not field by field, as the edit would: the picker is one tab stop.
    return QWidget::focusNextPrevChild(next);
}

void DateTimePickerWidget::keyPressEvent(QKeyEvent* event) {
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        SelectField(currentSectionIndex() + (event->key() == Qt::Key_Right ? 1 : -1));
        return;
    }
    QDateTimeEdit::keyPressEvent(event);
}

bool DateTimePickerWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != lineEdit()) return QDateTimeEdit::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !isEnabled()) return false;
            setFocus(Qt::MouseFocusReason);
            SelectField(FieldAt(lineEdit()->cursorPositionAt(mouse->position().toPoint())));
            return true;
        }
        case QEvent::MouseMove:
            // No selection by dragging: a field is selected whole.
            return (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) != 0;
        default:
            return false;
    }
}

void DateTimePickerWidget::SelectField(int index) {
    setCurrentSectionIndex(std::clamp(index, 0, sectionCount() - 1));
    setSelectedSection(currentSection());
}

// Every field is a run of digits; separators are not.
int DateTimePickerWidget::FieldAt(int position) const {
    const QString text = lineEdit()->text();
    int field = -1;
    bool inDigits = false;
    for (int i = 0; i < text.size() && i <= position; ++i) {
        const bool digit = text[i].isDigit();
        if (digit && !inDigits) ++field;
        inDigits = digit;
    }
    return std::max(field, 0);
}
