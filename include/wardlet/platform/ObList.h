// CObList: an ordered list of object pointers, doubly linked, with nodes taken from blocks.
// The list does not delete its objects; the store's containers do that themselves.
#pragma once

#include <cstddef>

#include "wardlet/platform/Object.h"

struct WardletListPosition;
typedef WardletListPosition* POSITION;

class CObList : public CObject {
public:
    explicit CObList(int nBlockSize = 10);
    ~CObList() override;
    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    CObject*& GetHead();
    CObject*& GetTail();
    CObject* RemoveHead();
    CObject* RemoveTail();
    POSITION AddHead(CObject* object);
    POSITION AddTail(CObject* object);
    // Frees every node; the objects are untouched.
    void RemoveAll();

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pNodeHead); }
    POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_pNodeTail); }
    // Returns the element at `position` and moves `position` to the next one (null at the end).
    CObject*& GetNext(POSITION& position);
    CObject* GetNext(POSITION& position) const;
    CObject*& GetPrev(POSITION& position);
    CObject*& GetAt(POSITION position);
    CObject* GetAt(POSITION position) const;
    void RemoveAt(POSITION position);
    POSITION InsertBefore(POSITION position, CObject* object);
    POSITION InsertAfter(POSITION position, CObject* object);
    // The first position holding `object` after `startAfter` (from the head when null), or null.
    POSITION Find(const CObject* object, POSITION startAfter = nullptr) const;

    // Storing: the count, then each object tagged. Loading: appends the objects read; elements
    // that are back-references or null are appended as they are.
    void Serialize(CArchive& ar) override;

private:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        CObject* data;
    };
    struct CBlock;

    CNode* NewNode(CNode* pPrev, CNode* pNext);
    void FreeNode(CNode* node);

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    int m_nCount = 0;
    CNode* m_pNodeFree = nullptr;
    CBlock* m_pBlocks = nullptr;
    int m_nBlockSize;
};
