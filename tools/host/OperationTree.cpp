#include "OperationTree.h"

#include <QList>
#include <QStandardItem>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Cp936.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/store/InfoOper.h"

namespace {

constexpr int kCodeRole = Qt::UserRole + 1;

uint32_t CodeOf(const CInfoOper& oper) { return static_cast<uint32_t>(oper.m_nCode); }

// The records' class records are private to libwardlet.so, so a host knows a record by its
// class name rather than by IsKindOf.
bool IsOperation(const CObject* object) {
    return object != nullptr &&
           std::strcmp(object->GetRuntimeClass()->m_lpszClassName, "CInfoOper") == 0;
}

// Ascending codes put every parent before its children, whatever order the list is in.
std::vector<const CInfoOper*> OperationsByCode(const CObList& operations) {
    std::vector<const CInfoOper*> sorted;
    for (POSITION pos = operations.GetHeadPosition(); pos != nullptr;) {
        const CObject* object = operations.GetNext(pos);
        if (IsOperation(object)) sorted.push_back(static_cast<const CInfoOper*>(object));
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const CInfoOper* a, const CInfoOper* b) {
        return CodeOf(*a) < CodeOf(*b);
    });
    return sorted;
}

// Damaged bytes still show as much of the text as can be read.
QString ShownText(const CString& cp936) {
    return QString::fromStdString(Utf8FromCp936Replacing(cp936.View()));
}

QList<QStandardItem*> RowFor(const CInfoOper& oper) {
    const uint32_t code = CodeOf(oper);
    QList<QStandardItem*> row{new QStandardItem(ShownText(oper.m_strName)),
                              new QStandardItem(QString::asprintf("0x%08X", code)),
                              new QStandardItem(ShownText(oper.m_strDesc)), new QStandardItem()};
    for (QStandardItem* item : row) {
        item->setData(code, kCodeRole);
        item->setEditable(false);
    }
    return row;
}

}  // namespace

uint32_t ParentRightCode(uint32_t code) {
    for (uint32_t byte = 0xFF; byte != 0; byte <<= 8) {
        if ((code & byte) != 0) return code & ~byte;
    }
    return 0;
}

OperationTree::OperationTree(QObject* parent) : QStandardItemModel(0, kColumnCount, parent) {
    setHorizontalHeaderLabels({"名称", "代码", "描述", "最近结果"});
}

void OperationTree::Load(const CObList& operations) {
    removeRows(0, rowCount());
    rowsByCode_.clear();
    for (const CInfoOper* oper : OperationsByCode(operations)) {
        QStandardItem* parent = invisibleRootItem();
        for (uint32_t up = ParentRightCode(CodeOf(*oper)); up != 0; up = ParentRightCode(up)) {
            if (auto found = rowsByCode_.find(up); found != rowsByCode_.end()) {
                parent = found->second;
                break;
            }
        }
        QList<QStandardItem*> row = RowFor(*oper);
        rowsByCode_.emplace(CodeOf(*oper), row.front());  // a repeated code keeps its first row
        parent->appendRow(row);
    }
}

uint32_t OperationTree::CodeAt(const QModelIndex& index) const {
    return index.data(kCodeRole).toUInt();
}

QModelIndex OperationTree::IndexOfCode(uint32_t code) const {
    auto found = rowsByCode_.find(code);
    return found == rowsByCode_.end() ? QModelIndex() : found->second->index();
}

void OperationTree::SetAnswer(uint32_t code, const QString& text) {
    QModelIndex first = IndexOfCode(code);
    if (first.isValid()) setData(first.siblingAtColumn(kAnswerColumn), text);
}
