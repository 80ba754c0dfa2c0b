// Walks over the store's record lists, shared by the data manager and the link operations.
#pragma once

#include "wardlet/platform/ObList.h"

// Calls `visit` with every record of a list, as the list's record class.
template <typename Record, typename Visit>
void ForEachRecord(const CObList& list, Visit visit) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        visit(*static_cast<const Record*>(list.GetNext(pos)));
    }
}

// Deletes every element for which `matches` holds, walking the list once.
template <typename Record, typename Predicate>
void DeleteWhere(CObList& list, Predicate matches) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        POSITION current = pos;
        auto* record = static_cast<Record*>(list.GetNext(pos));
        if (matches(*record)) {
            list.RemoveAt(current);
            delete record;
        }
    }
}

// The first element, from the head, for which `matches` holds; null if none.
template <typename Record, typename Predicate>
Record* FindFirst(const CObList& list, Predicate matches) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        auto* record = static_cast<Record*>(list.GetNext(pos));
        if (matches(*record)) return record;
    }
    return nullptr;
}
