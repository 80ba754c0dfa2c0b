#include "admin_ui/ReportList.h"

#include "resources/Cp936Text.h"

void SetUpReportList(CListCtrl& list, std::initializer_list<ReportColumn> columns,
                     unsigned extraExStyle) {
    list.ModifyStyleEx(0, WS_EX_CLIENTEDGE);
    list.SetExtendedStyle(list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES |
                          LVS_EX_INFOTIP | extraExStyle);
    int index = 0;
    for (const ReportColumn& column : columns) {
        list.InsertColumn(index++, Cp936Text(column.heading), LVCFMT_CENTER, column.width);
    }
}

int AppendReportRow(CListCtrl& list, std::initializer_list<CString> texts, uintptr_t record) {
    const int row = list.InsertItem(list.GetItemCount(), *texts.begin());
    int column = 0;
    for (const CString& text : texts) list.SetItemText(row, column++, text);
    list.SetItemData(row, record);
    return row;
}

void CheckAllRows(CListCtrl& list, bool check) {
    for (int row = 0; row < list.GetItemCount(); ++row) list.SetCheck(row, check);
}

CString DecimalText(int32_t number) {
    CString text;
    text.Format("%d", number);
    return text;
}
