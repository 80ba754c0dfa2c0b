// What the administration dialogs do alike with their report lists: centred columns with the
// same extended styles, rows of texts carrying their record, and checking every row at once.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/ListCtrl.h"

struct ReportColumn {
    const char* heading;  // UTF-8
    int width;            // pixels
};

// A sunken edge, full-row selection, grid lines and info tips (plus `extraExStyle`), and the
// columns, centred, in order.
void SetUpReportList(CListCtrl& list, std::initializer_list<ReportColumn> columns,
                     unsigned extraExStyle = 0);
// Appends a row with one text per column and `record` as its item data; returns its index.
int AppendReportRow(CListCtrl& list, std::initializer_list<CString> texts, uintptr_t record);
void CheckAllRows(CListCtrl& list, bool check);
CString DecimalText(int32_t number);
