#include "admin_ui/CheckTreeCtrl.h"

void CCheckTreeCtrl::SetChildrenCheck(HTREEITEM item, bool check) {
    for (HTREEITEM child = GetChildItem(item); child != nullptr;
         child = GetNextSiblingItem(child)) {
        SetCheck(child, check);
        SetChildrenCheck(child, check);
    }
}

void CCheckTreeCtrl::OnClick(long* result) {
    *result = 0;  // the tree goes on to toggle the clicked check box
    const QPoint point = CursorPosInClient();
    // A little to the right of a check box is the same item's row.
    const HTREEITEM item = HitTest(QPoint(point.x() + 10, point.y()));
    if (item == nullptr) return;
    // The check box lies in the band one item height wide just left of the label; a click
    // anywhere else (the label, the expand button) carries nothing.
    QRect label;
    if (!GetItemRect(item, &label, true)) return;
    const int h = label.height();
    if (!(label.left() - h < point.x() && point.x() < label.left())) return;

    // The state before the tree toggles it.
    const bool wasChecked = GetCheck(item);
    SetChildrenCheck(item, !wasChecked);
    if (wasChecked) {
        for (HTREEITEM parent = GetParentItem(item); parent != nullptr;
             parent = GetParentItem(parent)) {
            SetCheck(parent, false);
        }
    }
}
