// Fixture for tests that work on a real data file: a private temporary folder holding the data
// file and the kernel objects, a fixed clock, and the module's state reset around each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wardlet/platform/String.h"
#include "wardlet/store/SaveProp.h"

class StoreTest : public ::testing::Test {
protected:
    // Before any member of a derived fixture is built: stores built there must not depend on
    // whether the browser library happened to be found at start-up.
    StoreTest() { ResetModuleFlags(); }
    static void ResetModuleFlags();

    void SetUp() override;
    void TearDown() override;

    // The clock CTime::GetCurrentTime reads during the test.
    static void SetNow(int64_t secondsSince1970);
    // Local time in the zone of TZ.
    static int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second);

    const std::string& Dir() const { return m_dir; }
    const std::string& DataPath() const { return m_dataPath; }
    std::vector<unsigned char> ReadDataFile() const;
    void WriteDataFile(const std::vector<unsigned char>& bytes) const;
    bool DataFileExists() const;

    static CInfoUser* AddUser(CSaveProp& store, int32_t id, const char* name, const char* password,
                              int32_t kind = 0, int32_t from = 0, int32_t to = 0);
    static CInfoGroup* AddGroup(CSaveProp& store, int32_t id, const char* name);
    static void AddMember(CSaveProp& store, int32_t groupID, int32_t userID);
    static void Grant(CSaveProp& store, int32_t groupID, uint32_t code);

private:
    std::string m_dir;
    std::string m_dataPath;
};

// The bytes a storing archive writes for `object` (tagged) or for a body alone.
std::vector<unsigned char> StoredBytes(CObject& object, bool tagged);
// The transfer form of `object`, as another station sends it: a list holding only `object`.
std::vector<unsigned char> TransferForm(CObject& object);
// "FF 00 1A" style, for readable failure messages.
std::string Hex(const std::vector<unsigned char>& bytes);
std::vector<unsigned char> FromHex(const std::string& hex);
// CP936 bytes of a UTF-8 literal.
CString Gbk(const char* utf8);
