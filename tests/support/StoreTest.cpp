#include "support/StoreTest.h"

#include <stdlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "module/WardletApp.h"
#include "resources/Cp936Text.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/platform/ObList.h"
#include "wardlet/platform/Time.h"

namespace {

int64_t g_now = 0;
int64_t FixedClock() { return g_now; }

}  // namespace

void StoreTest::ResetModuleFlags() {
    theApp.m_bBrowserLibPresent = 0;
    theApp.m_bReceiving = 0;
}

void StoreTest::SetUp() {
    char pattern[] = "/tmp/wardlet-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_dataPath = m_dir + "/rights.dat";
    setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    g_strDataSource = m_dataPath.c_str();
    ResetModuleFlags();
    theApp.m_strCurUser.Empty();
    theApp.m_strCurPassword.Empty();
    theApp.m_nCurUserID.reset();
    SetNow(LocalSeconds(2026, 12, 7, 10, 0, 0));
    CTime::SetClock(&FixedClock);
}

void StoreTest::TearDown() {
    CTime::SetClock(nullptr);
    g_strDataSource.Empty();
    g_hFileMutex.reset();
    theApp.m_hSemaphore.reset();
    theApp.m_pConfigData.reset();
    theApp.m_strCurUser.Empty();
    theApp.m_strCurPassword.Empty();
    theApp.m_nCurUserID.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

void StoreTest::SetNow(int64_t secondsSince1970) { g_now = secondsSince1970; }

int64_t StoreTest::LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    return CTime(year, month, day, hour, minute, second).GetTime();
}

std::vector<unsigned char> StoreTest::ReadDataFile() const {
    std::ifstream in(m_dataPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void StoreTest::WriteDataFile(const std::vector<unsigned char>& bytes) const {
    std::ofstream out(m_dataPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool StoreTest::DataFileExists() const { return std::filesystem::exists(m_dataPath); }

CInfoUser* StoreTest::AddUser(CSaveProp& store, int32_t id, const char* name, const char* password,
                              int32_t kind, int32_t from, int32_t to) {
    auto* user = new CInfoUser;
    user->m_nID = id;
    user->m_strName = name;
    user->m_strPassword = password;
    user->m_nTimeSectType = kind;
    user->m_tFrom = from;
    user->m_tTo = to;
    store.m_dataManager.m_userList.AddTail(user);
    return user;
}

CInfoGroup* StoreTest::AddGroup(CSaveProp& store, int32_t id, const char* name) {
    auto* group = new CInfoGroup;
    group->m_nID = id;
    group->m_strName = name;
    store.m_dataManager.m_groupList.AddTail(group);
    return group;
}

void StoreTest::AddMember(CSaveProp& store, int32_t groupID, int32_t userID) {
    auto* link = new CInfoGroupUser;
    link->m_nGroupID = groupID;
    link->m_nUserID = userID;
    store.m_dataManager.m_groupUserList.AddTail(link);
}

void StoreTest::Grant(CSaveProp& store, int32_t groupID, uint32_t code) {
    auto* link = new CInfoGroupOper;
    link->m_nGroupID = groupID;
    link->m_nOperCode = static_cast<int32_t>(code);
    store.m_dataManager.m_groupOperList.AddTail(link);
}

std::vector<unsigned char> StoredBytes(CObject& object, bool tagged) {
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    if (tagged) {
        ar.WriteObject(&object);
    } else {
        object.Serialize(ar);
    }
    ar.Close();
    return file.Bytes();
}

std::vector<unsigned char> TransferForm(CObject& object) {
    CObList list;
    list.AddTail(&object);
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list.Serialize(ar);
    ar.Close();
    return file.Bytes();
}

std::string Hex(const std::vector<unsigned char>& bytes) {
    std::string out;
    char cell[4];
    for (unsigned char byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", byte);
        out += cell;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

CString Gbk(const char* utf8) { return Cp936Text(utf8); }
