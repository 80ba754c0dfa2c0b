// A tree-view widget alone in a window with the dialogs' font, for tests of the tree controls.
#pragma once

#include <QWidget>
#include <memory>

#include "platform/TreeCtrl.h"

// Makes the GUI application if needed, then `window` (of `size`) holding a tree that fills it.
// The caller attaches its control, fills the tree and shows the window.
TreeViewWidget* MakeTreeWindow(std::unique_ptr<QWidget>& window, QSize size);
