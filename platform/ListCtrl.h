// CListCtrl: the framework's report-style list view, over a table widget that a dialog creates
// for a list-view control. The control object only refers to the widget; the dialog owns it.
// Texts are code page 936 bytes.
#pragma once

#include <QTableWidget>
#include <cstdint>
#include <functional>

#include "wardlet/platform/String.h"

// Extended list styles.
inline constexpr unsigned LVS_EX_GRIDLINES = 0x0001;
inline constexpr unsigned LVS_EX_CHECKBOXES = 0x0004;
inline constexpr unsigned LVS_EX_FULLROWSELECT = 0x0020;
inline constexpr unsigned LVS_EX_INFOTIP = 0x0400;
// Column alignment.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;
inline constexpr int LVCFMT_CENTER = 2;
// The sunken client edge of a window's extended style.
inline constexpr unsigned WS_EX_CLIENTEDGE = 0x0200;
// Virtual keys a list reports in its key-down notification.
inline constexpr uint16_t VK_DELETE = 46;

// The widget of a list-view control: rows selected whole, several at a time, never edited in
// place. It tells its dialog about selection and check changes, double clicks and keys. Tab
// leaves it; the arrows, Home and End move between rows; Space toggles the check box of the row
// that has the focus, whichever of its cells was clicked.
class ListViewWidget : public QTableWidget {
public:
    explicit ListViewWidget(QWidget* parent);

    std::function<void()> onItemChanged;      // selection or a check box changed
    std::function<void()> onDoubleClick;      // on a row
    std::function<void(uint16_t)> onKeyDown;  // the key's virtual-key code

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    // False when the list has no check boxes or no row has the focus.
    bool ToggleCurrentCheck();
};

class CListCtrl {
public:
    // Refers to `widget`, which must be a ListViewWidget (the dialog binds it in data exchange).
    void Attach(QWidget* widget);
    ListViewWidget* GetWidget() const { return m_pWidget; }

    unsigned SetExtendedStyle(unsigned exStyle);
    unsigned GetExtendedStyle() const { return m_exStyle; }
    void ModifyStyleEx(unsigned remove, unsigned add);

    int InsertColumn(int column, const CString& heading, int format = LVCFMT_LEFT, int width = -1);
    int GetItemCount() const;
    // Inserts a row at `index` (clamped to the end) with `text` in column 0; returns its index.
    int InsertItem(int index, const CString& text);
    bool SetItemText(int row, int column, const CString& text);
    CString GetItemText(int row, int column) const;
    bool SetItemData(int row, uintptr_t data);
    uintptr_t GetItemData(int row) const;
    bool DeleteAllItems();

    bool SetCheck(int row, bool check = true);
    bool GetCheck(int row) const;

    unsigned GetSelectedCount() const;
    // The selected rows in ascending order: the first position, then each next row; -1 at the end.
    // A position is the row index plus one; 0 means no (further) selected row.
    intptr_t GetFirstSelectedItemPosition() const;
    int GetNextSelectedItem(intptr_t& position) const;
    bool SetItemState(int row, bool selected);

private:
    QTableWidgetItem* Cell(int row, int column) const;
    void ApplyCheckBoxes(int row);

    ListViewWidget* m_pWidget = nullptr;
    unsigned m_exStyle = 0;
};
