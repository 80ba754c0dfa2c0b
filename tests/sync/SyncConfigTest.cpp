#include <gtest/gtest.h>

#include <fstream>

#include "support/RuntimeDirTest.h"
#include "sync/SyncConfig.h"

namespace {

const char kGood[] = R"(data_file = "/var/lib/wardlet/rights.dat"
site = "north"
station = "op-1"
key_file = "/etc/wardlet/site.key"
state_dir = "/var/lib/wardlet-sync"
[broker]
url = "mqtts://broker.example:8883"
username = "op-1"
password_file = "/etc/wardlet/broker.pass"
ca_file = "/etc/wardlet/ca.pem"
)";

class SyncConfigTest : public ScratchDirTest {
protected:
    bool Load(const std::string& text, SyncConfig* config, std::string* error) {
        const std::string path = dir_ + "/sync.toml";
        std::ofstream(path) << text;
        return LoadSyncConfig(path, config, error);
    }
    static std::string Replace(std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    }
};

TEST_F(SyncConfigTest, ReadsEveryKey) {
    SyncConfig config;
    std::string error;
    ASSERT_TRUE(Load(kGood, &config, &error)) << error;
    EXPECT_EQ(config.dataFile, "/var/lib/wardlet/rights.dat");
    EXPECT_EQ(config.Topic(), "wardlet/north/store/op-1");
    EXPECT_EQ(config.SiteFilter(), "wardlet/north/store/+");
    EXPECT_EQ(config.OutboxDir(), "/var/lib/wardlet-sync/outbox");
    EXPECT_TRUE(config.broker.tls);
    EXPECT_EQ(config.broker.host, "broker.example");
    EXPECT_EQ(config.broker.port, 8883);
    EXPECT_EQ(config.broker.username, "op-1");
    EXPECT_EQ(config.broker.caFile, "/etc/wardlet/ca.pem");
}

// Each error names the key and the file.
TEST_F(SyncConfigTest, EveryErrorNamesTheKey) {
    const std::string good = kGood;
    struct Case {
        std::string text;
        std::string key;
    } cases[] = {
        {Replace(good, "site = \"north\"\n", ""), "'site': missing"},
        {Replace(good, "state_dir", "statedir"), "'statedir': unknown key"},
        {Replace(good, "station = \"op-1\"", "station = \"op/1\""), "'station'"},
        {Replace(good, "site = \"north\"", "site = \"nor+th\""), "'site'"},
        {Replace(good, "data_file = \"/var/lib/wardlet/rights.dat\"", "data_file = 3"),
         "'data_file': must be a text"},
        {Replace(good, "key_file = \"/etc/wardlet/site.key\"", "key_file = \"\""), "'key_file'"},
        {Replace(good, "mqtts://broker.example:8883", "http://broker.example"), "'broker.url'"},
        {Replace(good, "mqtts://broker.example:8883", "mqtt://broker.example:99999"),
         "'broker.url'"},
        {Replace(good, "mqtts://broker.example:8883", "mqtt://broker.example"), "'broker.url'"},
        {Replace(good, "mqtts://broker.example:8883", "mqtt://broker.example:1883"),
         "'broker.ca_file': only for an mqtts"},
        {Replace(good, "username = \"op-1\"\n", ""), "'broker.username'"},
        {Replace(good, "ca_file", "cafile"), "'broker.cafile': unknown key"},
        {good.substr(0, good.find("[broker]")), "'broker': missing"},
    };
    for (const Case& c : cases) {
        SyncConfig config;
        std::string error;
        EXPECT_FALSE(Load(c.text, &config, &error)) << c.key;
        EXPECT_NE(error.find(c.key), std::string::npos) << error;
        EXPECT_NE(error.find(dir_ + "/sync.toml"), std::string::npos) << error;
    }
}

TEST_F(SyncConfigTest, SyntaxErrorsAndMissingFilesNameTheFile) {
    SyncConfig config;
    std::string error;
    EXPECT_FALSE(Load("site = \n", &config, &error));
    EXPECT_NE(error.find(dir_ + "/sync.toml:1:"), std::string::npos) << error;
    EXPECT_FALSE(LoadSyncConfig(dir_ + "/absent.toml", &config, &error));
    EXPECT_NE(error.find("absent.toml"), std::string::npos) << error;
}

TEST(SyncConfigPath, EnvironmentFirstThenEtc) {
    setenv("WARDLET_SYNC_CONFIG", "/somewhere/a.toml", 1);
    EXPECT_EQ(DefaultSyncConfigPath(), "/somewhere/a.toml");
    unsetenv("WARDLET_SYNC_CONFIG");
    EXPECT_EQ(DefaultSyncConfigPath(), "/etc/wardlet/sync.toml");
}

}  // namespace
