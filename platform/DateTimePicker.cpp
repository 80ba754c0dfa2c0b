#include "platform/DateTimePicker.h"

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
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTime(CTime::GetCurrentTime());
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
