// wardlet-host --screenshots: pictures of the library's administration windows, taken by driving
// the real Config() export as an operator would, for the documentation and for checking layouts
// by eye.
#pragma once

#include <QString>
#include <string>

// Runs Config() and, from inside its windows, saves into `folder` (made if missing):
//   login.png         the credential dialog, the administrator's name preset, the password typed;
//   sheet-groups.png, sheet-users.png, sheet-other.png
//                     the sheet "权限管理" on each of its tabs;
//   sheet-keyboard.png
//                     its Users page after Down in the list and two Tabs: a row chosen, Edit
//                     with the keyboard focus;
//   user-dialog.png   the dialog of the first user with a daily window or a date range (else of
//                     the first user);
//   group-dialog.png  the dialog of the first group, with one unchecked branch of its rights tree
//                     checked by a mouse click on its check box;
// then cancels every window, so nothing is saved. The administrator's password is read from the
// store. No wait lasts longer than a few seconds.
//
// Returns true when every picture was saved and the data file is byte for byte what it was;
// otherwise false with the reason in `*error`, every window having been closed.
// REQUIRES: a QApplication exists and the data source is set.
bool TakeScreenshots(const QString& folder, std::string* error);
