// Dialog templates: a dialog's layout kept as data (control ids, kinds, styles, texts and positions
// in dialog units, and the dialog font), turned into widgets when the dialog opens. The templates
// themselves live with the resources.
#pragma once

#include <vector>

// The id of a control that nothing refers to (labels).
inline constexpr int IDC_STATIC = -1;

enum class ControlKind {
    kStatic,
    kEdit,
    kPushButton,
    kDefPushButton,  // the button Enter presses, unless another push button has the focus
    kCheckBox,       // toggles itself when clicked
    kRadioButton,    // checks itself when clicked; clearing the others is the dialog's business
    kGroupBox,       // a frame with a caption around other controls
    kListView,       // a report list (CListCtrl)
    kTreeView,       // a tree with check boxes (CTreeCtrl)
    kDateTimePicker, // a time of day, or a date with up-down buttons (CDateTimeCtrl)
};

// Style bits of a control; combine with |.
enum ControlStyle : unsigned {
    kStyleNone = 0,
    kEditPassword = 1u << 0,     // shows placeholders instead of the typed characters
    kEditAutoHScroll = 1u << 1,  // text may be longer than the edit is wide
    kBorder = 1u << 2,
    kStaticRight = 1u << 3,  // right-aligned label
    kDisabled = 1u << 4,
    kHidden = 1u << 5,          // created without the visible style
    kEditReadOnly = 1u << 6,
    kEditNumber = 1u << 7,      // digits only
    kEditMultiLine = 1u << 8,   // several lines, scrolls vertically; Ctrl+Enter starts a line
    kPickerDate = 1u << 9,      // a date picker (short date, up-down); otherwise a time picker
    kEditWantReturn = 1u << 10, // multi-line: Enter starts a line instead of pressing the default
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    unsigned style;
    const char* text;         // UTF-8
    int x, y, width, height;  // dialog units
};

struct DialogTemplate {
    int id;
    const char* caption;   // UTF-8
    int width, height;     // client area, dialog units
    const char* fontFace;  // UTF-8; CJK fonts that are installed stand in when it is missing
    int fontPointSize;
    std::vector<ControlTemplate> controls;  // in tab order
};
