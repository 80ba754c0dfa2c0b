#include "wardlet/platform/ObList.h"

#include <new>

#include "wardlet/platform/Archive.h"

// Nodes are carved from blocks of m_nBlockSize and recycled through a free list; blocks are
// returned only when the list is emptied or destroyed.
struct CObList::CBlock {
    CBlock* pNext;
    // followed by the block's nodes
    CNode* Nodes() { return reinterpret_cast<CNode*>(this + 1); }
};

CObList::CObList(int nBlockSize) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

CObList::~CObList() { RemoveAll(); }

CObList::CNode* CObList::NewNode(CNode* pPrev, CNode* pNext) {
    if (m_pNodeFree == nullptr) {
        void* memory = ::operator new(sizeof(CBlock) + sizeof(CNode) * m_nBlockSize);
        auto* block = static_cast<CBlock*>(memory);
        block->pNext = m_pBlocks;
        m_pBlocks = block;
        CNode* nodes = block->Nodes();
        for (int i = m_nBlockSize - 1; i >= 0; --i) {
            nodes[i].pNext = m_pNodeFree;
            m_pNodeFree = &nodes[i];
        }
    }
    CNode* node = m_pNodeFree;
    m_pNodeFree = node->pNext;
    node->pPrev = pPrev;
    node->pNext = pNext;
    node->data = nullptr;
    ++m_nCount;
    return node;
}

void CObList::FreeNode(CNode* node) {
    node->pNext = m_pNodeFree;
    m_pNodeFree = node;
    if (--m_nCount == 0) RemoveAll();
}

void CObList::RemoveAll() {
    while (m_pBlocks != nullptr) {
        CBlock* next = m_pBlocks->pNext;
        ::operator delete(m_pBlocks);
        m_pBlocks = next;
    }
    m_pNodeHead = m_pNodeTail = m_pNodeFree = nullptr;
    m_nCount = 0;
}

CObject*& CObList::GetHead() { return m_pNodeHead->data; }
CObject*& CObList::GetTail() { return m_pNodeTail->data; }

POSITION CObList::AddHead(CObject* object) {
    CNode* node = NewNode(nullptr, m_pNodeHead);
    node->data = object;
    if (m_pNodeHead != nullptr) {
        m_pNodeHead->pPrev = node;
    } else {
        m_pNodeTail = node;
    }
    m_pNodeHead = node;
    return reinterpret_cast<POSITION>(node);
}

POSITION CObList::AddTail(CObject* object) {
    CNode* node = NewNode(m_pNodeTail, nullptr);
    node->data = object;
    if (m_pNodeTail != nullptr) {
        m_pNodeTail->pNext = node;
    } else {
        m_pNodeHead = node;
    }
    m_pNodeTail = node;
    return reinterpret_cast<POSITION>(node);
}

CObject* CObList::RemoveHead() {
    CObject* object = m_pNodeHead->data;
    RemoveAt(reinterpret_cast<POSITION>(m_pNodeHead));
    return object;
}

CObject* CObList::RemoveTail() {
    CObject* object = m_pNodeTail->data;
    RemoveAt(reinterpret_cast<POSITION>(m_pNodeTail));
    return object;
}

CObject*& CObList::GetNext(POSITION& position) {
    CNode* node = reinterpret_cast<CNode*>(position);
    position = reinterpret_cast<POSITION>(node->pNext);
    return node->data;
}

CObject* CObList::GetNext(POSITION& position) const {
    const CNode* node = reinterpret_cast<const CNode*>(position);
    position = reinterpret_cast<POSITION>(node->pNext);
    return node->data;
}

CObject*& CObList::GetPrev(POSITION& position) {
    CNode* node = reinterpret_cast<CNode*>(position);
    position = reinterpret_cast<POSITION>(node->pPrev);
    return node->data;
}

CObject*& CObList::GetAt(POSITION position) { return reinterpret_cast<CNode*>(position)->data; }

CObject* CObList::GetAt(POSITION position) const {
    return reinterpret_cast<const CNode*>(position)->data;
}

void CObList::RemoveAt(POSITION position) {
    CNode* node = reinterpret_cast<CNode*>(position);
    if (node == m_pNodeHead) {
        m_pNodeHead = node->pNext;
    } else {
        node->pPrev->pNext = node->pNext;
    }
    if (node == m_pNodeTail) {
        m_pNodeTail = node->pPrev;
    } else {
        node->pNext->pPrev = node->pPrev;
    }
    FreeNode(node);
}

POSITION CObList::InsertBefore(POSITION position, CObject* object) {
    if (position == nullptr) return AddHead(object);
    CNode* old = reinterpret_cast<CNode*>(position);
    CNode* node = NewNode(old->pPrev, old);
    node->data = object;
    if (old->pPrev != nullptr) {
        old->pPrev->pNext = node;
    } else {
        m_pNodeHead = node;
    }
    old->pPrev = node;
    return reinterpret_cast<POSITION>(node);
}

POSITION CObList::InsertAfter(POSITION position, CObject* object) {
    if (position == nullptr) return AddTail(object);
    CNode* old = reinterpret_cast<CNode*>(position);
    CNode* node = NewNode(old, old->pNext);
    node->data = object;
    if (old->pNext != nullptr) {
        old->pNext->pPrev = node;
    } else {
        m_pNodeTail = node;
    }
    old->pNext = node;
    return reinterpret_cast<POSITION>(node);
}

POSITION CObList::Find(const CObject* object, POSITION startAfter) const {
    const CNode* node =
        startAfter ? reinterpret_cast<const CNode*>(startAfter)->pNext : m_pNodeHead;
    for (; node != nullptr; node = node->pNext) {
        if (node->data == object) return reinterpret_cast<POSITION>(const_cast<CNode*>(node));
    }
    return nullptr;
}

void CObList::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<uint32_t>(m_nCount));
        for (CNode* node = m_pNodeHead; node != nullptr; node = node->pNext) {
            ar.WriteObject(node->data);
        }
        return;
    }
    // Elements are read one by one: a damaged count ends at the end of the data, it never
    // reserves memory.
    for (uint32_t remaining = ar.ReadCount(); remaining > 0; --remaining) {
        AddTail(ar.ReadObject(nullptr));
    }
}
