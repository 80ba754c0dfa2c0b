// The byte scan behind Islegal must answer exactly as loading the store does, on whole files and
// on every kind of damaged one.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "module/Credentials.h"
#include "rights/Evaluation.h"
#include "store/RightCheckScan.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"

namespace {

struct Query {
    const char* name;
    const char* password;
    uint32_t code;
};

const Query kQueries[] = {
    {"alice", "a", 0x01010201},    {"alice", "a", 0x01020000},    {"alice", "x", 0x01010201},
    {"bob", "b", 0x01040201},      {"bob", "b", 0x01060000},      {"eve", "e", 0x01010100},
    {"nobody", "", 0x01000000},    {"Admin", "4827", 0xDEADBEEF}, {"root", "toor", 0x01000000},
    {"dup", "second", 0x01050100}, {"dup", "first", 0x01010201},  {"dup", "third", 0x01010201},
};

// Loads as a data file is loaded: a damaged file keeps what was read before the damage.
void Load(const std::vector<unsigned char>& bytes, CSaveProp& store) {
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    try {
        store.Serialize(ar);
    } catch (const CArchiveException&) {
    }
}

// The answer of a full load: the administrator's pair, else the evaluation on the loaded store.
int AnswerByLoading(const std::vector<unsigned char>& bytes, const Query& q) {
    CSaveProp store;
    Load(bytes, store);
    if (IsAdministrator(store, q.name, q.password)) return -1;
    return CheckUserRight(store, q.name, q.password, q.code);
}

// What IsUserExist, GetUserTimeSect and GetCurUserInfo read about a name: whether the pair passes
// the credential check, and the first user's validity period and password.
struct Account {
    bool credentials;
    bool found;
    int32_t kind;
    int32_t from;
    int32_t to;
    std::string password;

    bool operator==(const Account&) const = default;
};

Account AccountByLoading(const std::vector<unsigned char>& bytes, const Query& q) {
    CSaveProp store;
    Load(bytes, store);
    Account account{CheckCredentials(store, q.name, q.password), false, 0, 0, 0, ""};
    if (const CInfoUser* user = store.m_dataManager.FindUserByName(q.name)) {
        account = {account.credentials, true,        user->m_nTimeSectType,
                   user->m_tFrom,       user->m_tTo, user->m_strPassword.Bytes()};
    }
    return account;
}

Account AccountByScanning(const std::vector<unsigned char>& bytes, const Query& q) {
    RightCheckFacts facts = ScanForRightCheck(bytes.data(), bytes.size(), q.name);
    Account account{CheckCredentials(facts, q.name, q.password), false, 0, 0, 0, ""};
    if (facts.userFound) {
        account = {account.credentials, true,     facts.timeSectType,
                   facts.from,          facts.to, facts.userPassword.Bytes()};
    }
    return account;
}

int32_t LogoutMinutesByLoading(const std::vector<unsigned char>& bytes) {
    CSaveProp store;
    Load(bytes, store);
    return store.m_nLogoutMinutes;
}

int AnswerByScanning(const std::vector<unsigned char>& bytes, const Query& q) {
    RightCheckFacts facts = ScanForRightCheck(bytes.data(), bytes.size(), q.name);
    if (IsAdministrator(facts, q.name, q.password)) return -1;
    return CheckUserRight(facts, q.password, q.code);
}

class RightCheckScanTest : public StoreTest {
protected:
    static std::vector<unsigned char> RichStore() {
        CSaveProp store;
        store.m_strAdminName = "root";
        store.m_strAdminPassword = "toor";
        AddUser(store, 0, "alice", "a");
        AddUser(store, 1, "bob", "b", 2, 0, 0x7FFFFFFF);
        AddUser(store, 2, "eve", "e", 2, 0, 10);  // expired long ago
        AddUser(store, 3, "dup", "first");
        AddUser(store, 4, "dup", "second");
        AddUser(store, 6, "dup", "third", 2, 0, 10);
        AddUser(store, -1, "ghost", "g");
        AddGroup(store, 0, "ops");
        AddGroup(store, 1, "sys");
        AddMember(store, 0, 0);
        AddMember(store, 1, 1);
        AddMember(store, 1, 0);
        AddMember(store, 0, 4);
        Grant(store, 0, 0x01010200);
        Grant(store, 1, 0x01040000);
        Grant(store, 1, 0x01050000);
        store.m_nLogoutMinutes = 17;
        return StoredBytes(store, false);
    }

    static void ExpectAgreement(const std::vector<unsigned char>& bytes, const std::string& what) {
        for (const Query& q : kQueries) {
            ASSERT_EQ(AnswerByScanning(bytes, q), AnswerByLoading(bytes, q))
                << what << " " << q.name << " " << std::hex << q.code;
            ASSERT_EQ(AccountByScanning(bytes, q), AccountByLoading(bytes, q))
                << what << " " << q.name << " " << q.password;
        }
        ASSERT_EQ(ScanForRightCheck(bytes.data(), bytes.size(), "").logoutMinutes,
                  LogoutMinutesByLoading(bytes))
            << what;
    }
};

}  // namespace

TEST_F(RightCheckScanTest, AgreesOnAWholeStore) {
    ExpectAgreement(RichStore(), "whole");
    ExpectAgreement({}, "empty");
    EXPECT_EQ(AnswerByScanning(RichStore(), kQueries[0]), kRightGranted);
    // Of two accounts of one name, the first is evaluated, and either's password is a credential.
    const Account later = AccountByScanning(RichStore(), {"dup", "third", 0});
    EXPECT_TRUE(later.credentials);
    EXPECT_EQ(later.password, "first");
}

TEST_F(RightCheckScanTest, AgreesOnEveryPrefix) {
    const std::vector<unsigned char> whole = RichStore();
    for (size_t length = 0; length <= whole.size(); ++length) {
        ExpectAgreement({whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)},
                        "prefix " + std::to_string(length));
    }
}

TEST_F(RightCheckScanTest, AgreesOnCorruptedBytes) {
    const std::vector<unsigned char> whole = RichStore();
    std::mt19937 random(20261207);
    std::uniform_int_distribution<size_t> position(0, whole.size() - 1);
    const unsigned char interesting[] = {0x00, 0x01, 0x02, 0x7F, 0x80, 0xFE, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> damaged = whole;
        for (int flips = 1 + round % 3; flips > 0; --flips) {
            damaged[position(random)] = interesting[random() % std::size(interesting)];
        }
        ExpectAgreement(damaged, "round " + std::to_string(round));
    }
}

TEST_F(RightCheckScanTest, WideTextBeforeTheUserStopsTheScanAsItStopsTheLoad) {
    // A long remark ahead of "alice" is rewritten with the wide-text prefix FF FE FF, which the
    // load refuses: everything after it is unknown, "alice" included.
    struct Case {
        const char* what;
        std::string prefix;  // replaces the remark's own FF FF FF FE FF 00 00
    };
    const Case cases[] = {
        // 65534 bytes follow, as many as FE FF read as a plain 16-bit length would take.
        {"prefix alone", "FF FE FF"},
        // A wide text as written elsewhere: 32767 characters of two bytes.
        {"wide length", "FF FE FF FF FF 7F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSaveProp store;
        AddUser(store, 5, "pad", "p")->m_strRemark = CString(std::string(65534, 'w'));
        AddUser(store, 0, "alice", "a");
        AddGroup(store, 0, "ops");
        AddMember(store, 0, 0);
        Grant(store, 0, 0x01010200);
        std::vector<unsigned char> bytes = StoredBytes(store, false);
        const std::vector<unsigned char> own = FromHex("FF FF FF FE FF 00 00");
        auto at = std::search(bytes.begin(), bytes.end(), own.begin(), own.end());
        ASSERT_NE(at, bytes.end());
        const std::vector<unsigned char> wide = FromHex(c.prefix);
        at = bytes.erase(at, at + static_cast<ptrdiff_t>(own.size()));
        bytes.insert(at, wide.begin(), wide.end());

        ExpectAgreement(bytes, c.what);
        EXPECT_EQ(AnswerByScanning(bytes, kQueries[0]), kRightRefused);  // alice is not known
    }
}
