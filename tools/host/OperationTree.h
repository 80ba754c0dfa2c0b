// The catalogue's operations as a tree model for the host window: one row per operation, placed
// under the operation whose code is its parent code.
#pragma once

#include <QStandardItemModel>
#include <QString>
#include <cstdint>
#include <map>

class CObList;

// The code one level up: `code` with its lowest non-zero byte cleared (0x01010201 -> 0x01010200,
// 0x01000000 -> 0). 0 for the code 0.
uint32_t ParentRightCode(uint32_t code);

class OperationTree : public QStandardItemModel {
    Q_OBJECT

public:
    enum Column { kNameColumn, kCodeColumn, kDescColumn, kAnswerColumn, kColumnCount };

    explicit OperationTree(QObject* parent = nullptr);

    // Replaces the rows with the operations of `operations` (CInfoOper records, texts in code page
    // 936), siblings in ascending code order. An operation whose parent code is not in the list
    // goes under its nearest ancestor that is, or at the top. Elements of other classes are left
    // out. Nothing of `operations` is kept.
    void Load(const CObList& operations);

    // The right code of the row of `index`, any column; 0 for an invalid index.
    uint32_t CodeAt(const QModelIndex& index) const;
    // The first column of the row of `code`, or an invalid index when no row has it.
    QModelIndex IndexOfCode(uint32_t code) const;
    // Writes `text` in the last-answer column of the row of `code`, if there is one.
    void SetAnswer(uint32_t code, const QString& text);

private:
    std::map<uint32_t, QStandardItem*> rowsByCode_;  // the first column's item of each code
};
