#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/store/InfoGroupUser.h"

namespace {

class Tagged : public CObject {
public:
    explicit Tagged(int value) : value(value) {}
    int value;
};

std::string Order(const CObList& list) {
    std::string out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        out += std::to_string(static_cast<const Tagged*>(list.GetNext(pos))->value);
    }
    return out;
}

}  // namespace

TEST(ObList, InsertsAndRemovesKeepOrderInBothDirections) {
    std::vector<Tagged> items;
    for (int i = 0; i < 6; ++i) items.emplace_back(i);
    CObList list(2);
    list.AddTail(&items[2]);
    list.AddHead(&items[0]);
    POSITION last = list.AddTail(&items[4]);
    list.InsertBefore(last, &items[3]);
    list.InsertAfter(list.GetHeadPosition(), &items[1]);
    list.InsertAfter(last, &items[5]);
    EXPECT_EQ(Order(list), "012345");
    EXPECT_EQ(list.GetCount(), 6);

    list.RemoveAt(list.Find(&items[3]));
    EXPECT_EQ(list.RemoveHead(), &items[0]);
    EXPECT_EQ(list.RemoveTail(), &items[5]);
    EXPECT_EQ(Order(list), "124");
    EXPECT_EQ(list.Find(&items[3]), nullptr);

    std::string backwards;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;) {
        backwards += std::to_string(static_cast<Tagged*>(list.GetPrev(pos))->value);
    }
    EXPECT_EQ(backwards, "421");
}

TEST(ObList, NodesAreReusedAcrossManyAddsAndRemoves) {
    Tagged item(7);
    CObList list(3);
    for (int round = 0; round < 1000; ++round) {
        for (int i = 0; i < 5; ++i) list.AddTail(&item);
        for (int i = 0; i < 4; ++i) list.RemoveHead();
    }
    EXPECT_EQ(list.GetCount(), 1000);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(ObList, SerializeWritesCountThenTaggedObjects) {
    CInfoGroupUser a, b;
    b.m_nUserID = 1;
    CObList list;
    list.AddTail(&a);
    list.AddTail(&b);
    list.AddTail(nullptr);
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list.Serialize(ar);
    ar.Close();

    CMemFile in(file.Bytes());
    CArchive reader(&in, CArchive::load);
    CObList back;
    back.Serialize(reader);
    ASSERT_EQ(back.GetCount(), 3);
    EXPECT_EQ(static_cast<CInfoGroupUser*>(back.GetHead())->m_nUserID, 0);
    EXPECT_EQ(back.GetTail(), nullptr);
    POSITION second = back.GetHeadPosition();
    back.GetNext(second);
    EXPECT_EQ(static_cast<CInfoGroupUser*>(back.GetAt(second))->m_nUserID, 1);
    delete back.RemoveHead();
    delete back.RemoveHead();
}
