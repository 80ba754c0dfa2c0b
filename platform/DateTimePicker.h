// The date-time picker control: a time of day (hours, minutes, seconds) or a short date with
// up-down buttons, right-aligned. Like the framework's picker it keeps a whole date and time,
// whichever part it shows, so a value set into a time picker keeps its date.
//
// Its fields are edited one at a time: a click selects the field under the mouse, digits replace
// the selected field, Up and Down step it, Left and Right select the field beside it, and one Tab
// (or Shift+Tab) leaves the picker.
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

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Clicks on the text select a field.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Selects field `index` (0 is the leftmost), kept within the fields.
    void SelectField(int index);
    // The field that the text position lies in; on a separator, the field before it.
    int FieldAt(int position) const;
};
