// Byte-exact forms of every record, of the data file and of the transfer form, and how damaged
// object framing is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/WardletApp.h"
#include "store/Scramble.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/store/SaveProp.h"

namespace {

// Class-name bytes as they stand in the stream.
const std::string kUserClass = "FF FF 01 00 09 00 43 49 6E 66 6F 55 73 65 72";
const std::string kGroupClass = "FF FF 01 00 0A 00 43 49 6E 66 6F 47 72 6F 75 70";
const std::string kGroupUserClass = "FF FF 01 00 0E 00 43 49 6E 66 6F 47 72 6F 75 70 55 73 65 72";
const std::string kGroupOperClass = "FF FF 01 00 0E 00 43 49 6E 66 6F 47 72 6F 75 70 4F 70 65 72";
const std::string kSavePropClass = "FF FF 01 00 09 00 43 53 61 76 65 50 72 6F 70";
// Administrator "Admin" / "4827", flags 1 1 1.
const std::string kDefaultHead =
    "05 2A 0F 06 02 05 04 5F 53 59 5C 01 00 00 00 01 00 00 00 01 00 00 00";
const std::string kDefaultTail = "01 00 00 00 03 00 00 00";

std::string Zeros(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += i ? " 00" : "00";
    return out;
}

std::string Join(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : " ") + part;
    return out;
}

// Loads `hex` into a fresh store; returns whether the whole body was read.
bool LoadInto(CSaveProp& store, const std::string& hex) {
    CMemFile file(FromHex(hex));
    CArchive ar(&file, CArchive::load);
    try {
        store.Serialize(ar);
        return true;
    } catch (const CArchiveException&) {
        return false;
    }
}

class RecordsTest : public StoreTest {};

}  // namespace

TEST_F(RecordsTest, EveryRecordBodyIsByteExact) {
    CInfoUser user;
    user.m_nID = 1;
    user.m_strName = "ab";
    user.m_strPassword = "k";  // 0x6B, the key: stored as a zero byte
    user.m_nTimeSectType = 2;
    user.m_tFrom = 0x10;
    user.m_tTo = 0x20;
    EXPECT_EQ(Hex(StoredBytes(user, true)),
              kUserClass + " 01 00 00 00 02 0A 09 01 00 00 02 00 00 00 10 00 00 00 20 00 00 00");

    CInfoGroup group;
    group.m_strName = "G";
    group.m_strDesc = "d";
    EXPECT_EQ(Hex(StoredBytes(group, false)), "00 00 00 00 01 2C 01 0F");

    CInfoOper oper;
    oper.m_nCode = 0x01010201;
    oper.m_strName = "x";
    EXPECT_EQ(Hex(StoredBytes(oper, false)), "01 02 01 01 01 13 00");

    CInfoGroupUser member;
    member.m_nGroupID = 2;
    member.m_nUserID = 3;
    EXPECT_EQ(Hex(StoredBytes(member, false)), "02 00 00 00 03 00 00 00");

    CInfoGroupOper grant;
    grant.m_nGroupID = -1;
    grant.m_nOperCode = 0x01000000;
    EXPECT_EQ(Hex(StoredBytes(grant, false)), "FF FF FF FF 00 00 00 01");
}

TEST_F(RecordsTest, ScrambleIsItsOwnInverseAndKeepsLength) {
    CString text(std::string("k\0\xB2\xE2", 4));
    CString stored = ScrambleString(text);
    EXPECT_EQ(stored.GetLength(), 4);
    EXPECT_EQ(stored.GetAt(0), '\0');
    EXPECT_EQ(ScrambleString(stored), text);
    EXPECT_TRUE(ScrambleString(CString()).IsEmpty());
}

TEST_F(RecordsTest, DefaultStoreIs39Bytes) {
    CSaveProp store;
    std::vector<unsigned char> bytes = StoredBytes(store, false);
    EXPECT_EQ(bytes.size(), 39u);
    EXPECT_EQ(Hex(bytes), Join({kDefaultHead, "00 00 00 00 00 00 00 00", kDefaultTail}));
}

TEST_F(RecordsTest, AllListsShareOneIndexCounter) {
    // Two users, one group, one membership, three grants: tags FFFF 8001 FFFF FFFF FFFF 8008 8008.
    CSaveProp store;
    AddUser(store, 0, "", "");
    AddUser(store, 1, "", "");
    AddGroup(store, 0, "");
    AddMember(store, 0, 0);
    for (uint32_t code : {0x01000000u, 0x01010000u, 0x01020000u}) Grant(store, 0, code);
    // One line per list element.
    // clang-format off
    const std::string expected = Join({
        kDefaultHead,
        "02 00", kUserClass, Zeros(19),
        "01 80 01 00 00 00", Zeros(15),
        "01 00", kGroupClass, Zeros(6),
        "01 00", kGroupUserClass, Zeros(8),
        "03 00", kGroupOperClass, "00 00 00 00 00 00 00 01",
        "08 80 00 00 00 00 00 00 01 01",
        "08 80 00 00 00 00 00 00 02 01",
        kDefaultTail,
    });
    // clang-format on
    EXPECT_EQ(Hex(StoredBytes(store, false)), expected);
}

TEST_F(RecordsTest, EmptyListTakesNoIndex) {
    CSaveProp store;
    AddGroup(store, 0, "");
    AddMember(store, 0, 0);
    std::string bytes = Hex(StoredBytes(store, false));
    // No users: the group's class is index 1, its object 2, the membership class 3.
    EXPECT_NE(bytes.find("00 00 01 00 " + kGroupClass), std::string::npos) << bytes;
    CSaveProp two;
    AddGroup(two, 0, "");
    AddGroup(two, 1, "");
    EXPECT_NE(Hex(StoredBytes(two, false)).find("01 80 01 00 00 00"), std::string::npos);
}

TEST_F(RecordsTest, TransferFormWrapsTheStoreInAList) {
    CSaveProp store;
    AddUser(store, 0, "", "");
    AddUser(store, 1, "", "");
    const std::vector<unsigned char> form = TransferForm(store);
    std::string bytes = Hex(form);
    EXPECT_EQ(bytes.substr(0, 6 + kSavePropClass.size()), "01 00 " + kSavePropClass);
    // Inside, the user class takes index 3, so the second user is tagged 0x8003.
    EXPECT_NE(bytes.find("03 80 01 00 00 00"), std::string::npos) << bytes;
    EXPECT_EQ(form.size(), 2 + 15 + StoredBytes(store, false).size());
}

TEST_F(RecordsTest, WritingTheLoggedInUserRefreshesTheSessionPassword) {
    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "old";
    theApp.m_nCurUserID = 1;
    CSaveProp store;
    AddUser(store, 0, "other", "x");
    StoredBytes(store, false);
    EXPECT_EQ(theApp.m_strCurPassword, "old");
    AddUser(store, 1, "op", "new");
    StoredBytes(store, false);
    EXPECT_EQ(theApp.m_strCurPassword, "new");
    // Reading has no such effect.
    std::string stored = Hex(StoredBytes(store, false));
    theApp.m_strCurPassword = "old";
    CSaveProp reread;
    EXPECT_TRUE(LoadInto(reread, stored));
    EXPECT_EQ(theApp.m_strCurPassword, "old");
}

struct DamagedStream {
    const char* what;
    std::string lists;  // the four lists as they follow the default head
    CArchiveException::Cause cause;
    int usersKept;
};

TEST_F(RecordsTest, DamagedFramingFailsAndKeepsWhatCameBefore) {
    const std::string user = " " + Zeros(19);
    const DamagedStream cases[] = {
        {"unknown class", "01 00 FF FF 01 00 05 00 43 4E 6F 70 65", CArchiveException::badClass, 0},
        {"wrong schema", "01 00 FF FF 02 00 09 00 43 49 6E 66 6F 55 73 65 72",
         CArchiveException::badSchema, 0},
        {"class index out of range", "02 00 " + kUserClass + user + " 05 80",
         CArchiveException::badIndex, 1},
        {"object index out of range", "02 00 " + kUserClass + user + " 09 00",
         CArchiveException::badIndex, 1},
        {"same object twice", "02 00 " + kUserClass + user + " 02 00", CArchiveException::badIndex,
         1},
        {"null element", "01 00 00 00", CArchiveException::badClass, 0},
        {"class reference to an object", "02 00 " + kUserClass + user + " 02 80",
         CArchiveException::badIndex, 1},
        {"group in the users list", "01 00 " + kGroupClass + " 00 00 00 00 00 00",
         CArchiveException::badClass, 0},
        {"class name too long", "01 00 FF FF 01 00 40 00", CArchiveException::badClass, 0},
    };
    for (const DamagedStream& c : cases) {
        CSaveProp store;
        CMemFile file(FromHex(kDefaultHead + " " + c.lists));
        CArchive ar(&file, CArchive::load);
        try {
            store.Serialize(ar);
            ADD_FAILURE() << c.what;
        } catch (const CArchiveException& error) {
            EXPECT_EQ(error.m_cause, c.cause) << c.what;
        }
        EXPECT_EQ(store.m_dataManager.m_userList.GetCount(), c.usersKept) << c.what;
        EXPECT_EQ(store.m_nLogoutMinutes, 3) << c.what;
    }
}

TEST_F(RecordsTest, ReaderFollowsBackReferencesAndTheBigIndexEscape) {
    // A plain object list may name an object twice; the 0x7FFF escape carries 32-bit indices.
    const std::string link = " 01 00 00 00 02 00 00 00";
    std::string hex = "04 00 " + kGroupUserClass + link + " FF 7F 01 00 00 80" + link +
                      " FF 7F 02 00 00 00 02 00";
    CMemFile file(FromHex(hex));
    CArchive ar(&file, CArchive::load);
    CObList list;
    list.Serialize(ar);
    ASSERT_EQ(list.GetCount(), 4);
    POSITION pos = list.GetHeadPosition();
    CObject* first = list.GetNext(pos);
    CObject* second = list.GetNext(pos);
    EXPECT_NE(first, second);
    EXPECT_EQ(list.GetNext(pos), first);
    EXPECT_EQ(list.GetNext(pos), first);
    EXPECT_EQ(static_cast<CInfoGroupUser*>(second)->m_nUserID, 2);
    delete first;
    delete second;
}

TEST_F(RecordsTest, BytesAfterTheLastFieldAreNotRead) {
    CSaveProp store;
    std::string hex = Hex(StoredBytes(store, false)) + " DE AD BE EF";
    CSaveProp reread;
    EXPECT_TRUE(LoadInto(reread, hex));
}
