// A tree whose check marks follow the hierarchy when the operator clicks a check box: checking an
// item checks everything below it and never anything above; unchecking an item unchecks everything
// below it and every item above it. A check changed from the keyboard changes that item alone.
#pragma once

#include "platform/TreeCtrl.h"

class CCheckTreeCtrl : public CTreeCtrl {
public:
    // Sets the check box of every item below `item`, at every level, but not of `item` itself.
    void SetChildrenCheck(HTREEITEM item, bool check);

protected:
    // Carries a click on a check box to the clicked item's subtree and, when it unchecks the
    // item, to its ancestors. The tree toggles the clicked item itself afterwards.
    void OnClick(long* result) override;
};
