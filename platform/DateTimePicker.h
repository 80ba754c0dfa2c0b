// The date-time picker control: a time of day (hours, minutes, seconds) or a short date with
// up-down buttons, right-aligned. Like the framework's picker it keeps a whole date and time,
// whichever part it shows, so a value set into a time picker keeps its date.
#pragma once

#include <QDateTimeEdit>

#include "wardlet/platform/Time.h"

class DateTimePickerWidget : public QDateTimeEdit {
public:
    enum class Shows { kTimeOfDay, kDate };
    DateTimePickerWidget(Shows shows, QWidget* parent);

    // The value in local time, as CTime keeps it; a picker set to a time outside what CTime can
    // hold shows the nearest time it can.
    void SetTime(CTime time);
    CTime GetTime() const;
};
