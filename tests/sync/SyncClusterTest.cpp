// Stations sharing one store through a real mosquitto: real agents, real kills, real TLS.
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "SyncFixture.h"
#include "support/RuntimeDirTest.h"
#include "sync/Envelope.h"
#include "sync/StoreTransfer.h"

namespace {

constexpr char kSite[] = "plant";

class SyncClusterTest : public RuntimeDirTest {
protected:
    void SetUp() override {
        RuntimeDirTest::SetUp();
        ASSERT_GE(sodium_init(), 0);
        keyFile_ = dir_ + "/site.key";
        std::string output;
        ASSERT_EQ(RunSyncCommand({"keygen", keyFile_}, &output), 0) << output;
    }

    // The agents and the broker end before their folders go.
    void TearDown() override {
        stations_.clear();
        broker_.reset();
        RuntimeDirTest::TearDown();
    }

    void StartBroker(const Broker::Tls* tls = nullptr) {
        broker_ = std::make_unique<Broker>(dir_ + "/broker", tls);
    }

    Station& AddStation(const std::string& name, const Bytes& data, bool start = true,
                        const std::string& caFile = "") {
        stations_.push_back(
            std::make_unique<Station>(dir_, name, kSite, broker_->Url(), keyFile_, caFile));
        Station& station = *stations_.back();
        if (!data.empty()) WriteFileBytes(station.dataFile, data);
        if (start) StartAndWaitSteady(station);
        return station;
    }

    static void StartAndWaitSteady(Station& station) {
        station.StartAgent();
        ASSERT_TRUE(WaitFor([&] { return station.Status().value("phase", "") == "steady"; }))
            << station.Log();
    }

    // Every station's data file holds the same bytes as `reference`.
    bool AllHold(const Bytes& reference) const {
        for (const auto& station : stations_) {
            if (station->DataFile() != reference) return false;
        }
        return true;
    }

    std::string Logs() const {
        std::string all;
        for (const auto& station : stations_) all += "--- " + station->name + "\n" + station->Log();
        return all;
    }

    SiteKey Key() const {
        const Bytes bytes = ReadFileBytes(keyFile_);
        SiteKey key;
        std::copy(bytes.begin(), bytes.end(), key.begin());
        return key;
    }

    // Whether a superseded file of `station` holds the pair.
    bool SupersededHolds(const Station& station, const char* user, const char* password) {
        for (const std::string& path : station.Superseded()) {
            Bytes bytes;
            std::string error;
            if (!ReadTransferForm(ReadFileBytes(path), &bytes, &error)) continue;
            Station probe(dir_ + "/probe", "probe", kSite, broker_->Url(), keyFile_);
            WriteFileBytes(probe.dataFile, bytes);
            if (probe.Holds(user, password)) return true;
        }
        return false;
    }

    std::string keyFile_;
    std::unique_ptr<Broker> broker_;
    std::vector<std::unique_ptr<Station>> stations_;
};

TEST_F(SyncClusterTest, ASaveReachesEveryStationByteForByte) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(3));
    Station& b = AddStation("b", DataFileWithUsers(3));
    Station& c = AddStation("c", DataFileWithUsers(3));

    ASSERT_TRUE(a.ChangePassword("u1", "pw", "from-a"));
    ASSERT_TRUE(WaitFor([&] { return AllHold(a.DataFile()); })) << Logs();
    EXPECT_TRUE(c.Holds("u1", "from-a"));

    ASSERT_TRUE(c.ChangePassword("u2", "pw", "from-c"));
    ASSERT_TRUE(WaitFor([&] { return AllHold(c.DataFile()); })) << Logs();
    EXPECT_TRUE(b.Holds("u1", "from-a"));
    EXPECT_TRUE(b.Holds("u2", "from-c"));
    ASSERT_TRUE(WaitFor([&] { return b.Status()["held"]["counter"] == 2; })) << Logs();
    EXPECT_EQ(b.Status()["held"]["station"], "c");
    // Nothing was refused and nothing superseded on the way.
    for (Station* station : {&a, &b, &c}) {
        const auto status = station->Status();  // the loop must not outlive it
        for (const auto& [reason, count] : status["refused"].items()) {
            EXPECT_EQ(count, 0) << station->name << " " << reason;
        }
        EXPECT_TRUE(station->Superseded().empty()) << station->name;
    }
    EXPECT_NE(b.Log().find("applied version 2@c"), std::string::npos) << b.Log();
}

// Two stations save at once: both changes get the same counter, the later station name wins
// everywhere, and the losing store is kept.
TEST_F(SyncClusterTest, TwoSavesAtOnceConvergeAndTheLoserIsKept) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(3));
    Station& b = AddStation("b", DataFileWithUsers(3));
    AddStation("c", DataFileWithUsers(3));
    EXPECT_EQ(a.StopAgent(), 0);
    EXPECT_EQ(b.StopAgent(), 0);
    ASSERT_TRUE(a.ChangePassword("u1", "pw", "from-a"));
    ASSERT_TRUE(b.ChangePassword("u2", "pw", "from-b"));
    a.StartAgent();
    b.StartAgent();

    ASSERT_TRUE(WaitFor([&] { return AllHold(b.DataFile()) && a.Holds("u2", "from-b"); }))
        << Logs();
    EXPECT_FALSE(a.Holds("u1", "from-a"));
    EXPECT_TRUE(SupersededHolds(a, "u1", "from-a")) << Logs();
    EXPECT_NE(a.Log().find("version 1@a superseded by 1@b"), std::string::npos) << a.Log();
}

TEST_F(SyncClusterTest, StationsConvergeAfterTheBrokerRestartsAndALateJoinerTakesTheNewest) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(3));
    Station& b = AddStation("b", DataFileWithUsers(3));
    broker_->Stop();
    ASSERT_TRUE(WaitFor([&] { return !a.Status()["broker"]["connected"].get<bool>(); }));
    ASSERT_TRUE(a.ChangePassword("u1", "pw", "while-down"));
    broker_->Start();
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); }, 60s)) << Logs();

    // The broker keeps the retained stores on disk across a restart; a station that joins
    // afterwards, with an old store of its own, takes the newest.
    ASSERT_TRUE(WaitFor([&] { return a.Status()["published"]["acked"].get<bool>(); }));
    a.StopAgent();
    b.StopAgent();
    broker_->Stop();
    broker_->Start();
    Station& late = AddStation("late", DataFileWithUsers(3));
    ASSERT_TRUE(WaitFor([&] { return late.DataFile() == a.DataFile(); })) << Logs();
    EXPECT_TRUE(late.Holds("u1", "while-down"));
}

TEST_F(SyncClusterTest, AnAgentKilledWhileApplyingLeavesAWholeFileAndConverges) {
    StartBroker();
    const Bytes big = DataFileWithUsers(100000);
    Station& a = AddStation("a", big);
    Station& b = AddStation("b", big);
    ASSERT_TRUE(a.ChangePassword("u99999", "pw", "changed"));
    ASSERT_TRUE(WaitFor([&] { return b.Log().find("applying version") != std::string::npos; }))
        << Logs();
    b.KillAgent();
    const Bytes after = b.DataFile();
    EXPECT_TRUE(after == big || after == a.DataFile()) << "a torn data file of " << after.size();
    StartAndWaitSteady(b);
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); })) << Logs();
}

// Messages no station should take: each refused, counted under its reason, logged once, and
// none applied.
TEST_F(SyncClusterTest, HostileMessagesAreRefusedAndCounted) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(3));
    Station& b = AddStation("b", DataFileWithUsers(3));
    ASSERT_TRUE(a.ChangePassword("u1", "pw", "first"));
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); })) << Logs();
    const Bytes firstEnvelope = ReadFileBytes(a.stateDir + "/published.env");
    ASSERT_TRUE(a.ChangePassword("u1", "first", "second"));
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); })) << Logs();
    const Bytes held = b.DataFile();
    const Bytes secondEnvelope = ReadFileBytes(a.stateDir + "/published.env");

    Bytes form;
    std::string error;
    ASSERT_TRUE(DataFileToTransferForm(held, &form, &error)) << error;
    Bytes random(300);
    randombytes_buf(random.data(), random.size());
    SiteKey otherKey;
    randombytes_buf(otherKey.data(), otherKey.size());
    Bytes garbage(100, 0x5A);
    Bytes tooLarge = SealEnvelope({kSite, {90, "a"}, 0}, {1, 2, 3}, Key());
    const size_t lengthAt = 4 + 1 + 1 + sizeof(kSite) - 1 + 1 + 1 + 8 + 8;
    tooLarge[lengthAt + 3] = 0x05;  // declares 80 MiB
    const std::string topic = std::string("wardlet/") + kSite + "/store/a";
    const struct {
        const char* name;
        Bytes payload;
        const char* reason;
    } messages[] = {
        {"random bytes", random, "malformed"},
        {"unsealed transfer form", form, "malformed"},
        {"another key", SealEnvelope({kSite, {50, "a"}, 0}, form, otherKey), "bad_key"},
        {"replay", firstEnvelope, "replay"},
        {"another site", SealEnvelope({"elsewhere", {60, "a"}, 0}, form, Key()), "other_site"},
        {"truncated", Bytes(secondEnvelope.begin(), secondEnvelope.end() - 7), "malformed"},
        {"damaged store", SealEnvelope({kSite, {70, "a"}, 0}, garbage, Key()), "damaged_store"},
        {"more than 64 MiB", tooLarge, "too_large"},
    };
    std::map<std::string, int> expected;
    for (const auto& message : messages) {
        ASSERT_TRUE(PublishRaw(broker_->Port(), topic, message.payload)) << message.name;
        ++expected[message.reason];
        ASSERT_TRUE(WaitFor([&] {
            return b.Status()["refused"][message.reason] == expected[message.reason];
        })) << message.name
            << "\n"
            << b.Log();
    }
    EXPECT_EQ(b.DataFile(), held);
    // The same hostile message again is not counted again.
    ASSERT_TRUE(PublishRaw(broker_->Port(), topic, random));
    ASSERT_TRUE(PublishRaw(broker_->Port(), topic, secondEnvelope));  // a redelivery: silent
    ASSERT_TRUE(a.ChangePassword("u2", "pw", "after"));
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); })) << Logs();
    for (const auto& [reason, count] : expected) {
        EXPECT_EQ(b.Status()["refused"][reason], count) << reason;
    }
    EXPECT_EQ(b.Status()["refused"]["not_newer"], 0);
}

TEST_F(SyncClusterTest, TlsWithTheRightAuthorityConnectsAndWithAnotherIsRefused) {
    const std::string tls = dir_ + "/tls";
    std::filesystem::create_directories(tls);
    const std::string script =
        "cd " + tls +
        " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test-ca -keyout ca.key "
        "-out ca.pem"
        " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=other-ca -keyout o.key "
        "-out other.pem"
        " && openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout server.key "
        "-out server.csr"
        " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.ext"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
        "-extfile san.ext -out server.pem) > " +
        tls + "/openssl.log 2>&1";
    ASSERT_EQ(std::system(("(" + script).c_str()), 0);
    const Broker::Tls files{tls + "/ca.pem", tls + "/server.pem", tls + "/server.key"};
    StartBroker(&files);
    Station& right = AddStation("right", DataFileWithUsers(3), true, tls + "/ca.pem");
    Station& wrong = AddStation("wrong", DataFileWithUsers(3), false, tls + "/other.pem");
    wrong.StartAgent();
    EXPECT_TRUE(right.Status()["broker"]["connected"].get<bool>());
    ASSERT_TRUE(WaitFor([&] {
        return wrong.Status()
                   .value("/broker/error"_json_pointer, std::string())
                   .find("certificate verify failed") != std::string::npos;
    })) << wrong.Log();
    EXPECT_FALSE(wrong.Status()["broker"]["connected"].get<bool>());
    std::string output;
    EXPECT_EQ(RunSyncCommand({"status", "--config", wrong.configFile}, &output), 1);
    EXPECT_NE(output.find("certificate verify failed"), std::string::npos) << output;
    EXPECT_EQ(RunSyncCommand({"status", "--config", right.configFile}, &output), 0) << output;
    // And a store still travels over it.
    AddStation("peer", DataFileWithUsers(3), true, tls + "/ca.pem");
    ASSERT_TRUE(right.ChangePassword("u1", "pw", "tls"));
    ASSERT_TRUE(WaitFor([&] { return stations_.back()->DataFile() == right.DataFile(); }))
        << Logs();
}

TEST_F(SyncClusterTest, PushPublishesTheDataFileAsTheNewest) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(5));
    Station& b = AddStation("b", DataFileWithUsers(3));
    std::string output;
    ASSERT_EQ(RunSyncCommand({"push", "--config", a.configFile}, &output), 0) << output;
    EXPECT_NE(output.find("as version 1@a"), std::string::npos) << output;
    ASSERT_TRUE(WaitFor([&] { return b.DataFile() == a.DataFile(); })) << Logs();
    // Pushing the same file again still makes a newer version: a dispute settled by hand.
    ASSERT_EQ(RunSyncCommand({"push", "--config", b.configFile}, &output), 0) << output;
    EXPECT_NE(output.find("as version 2@b"), std::string::npos) << output;
    ASSERT_EQ(RunSyncCommand({"status", "--config", a.configFile, "--json"}, &output), 0);
    const nlohmann::json status = nlohmann::json::parse(output);
    EXPECT_EQ(status["outbox_depth"], 0);
    EXPECT_TRUE(status["running"].get<bool>());
}

TEST_F(SyncClusterTest, CommandsRefuseBadConfigurationsAndKeys) {
    StartBroker();
    Station& a = AddStation("a", DataFileWithUsers(3), false);
    std::string output;
    // keygen never overwrites.
    EXPECT_EQ(RunSyncCommand({"keygen", keyFile_}, &output), 1);
    EXPECT_NE(output.find("exists already"), std::string::npos) << output;
    // A key others may read stops the agent.
    chmod(keyFile_.c_str(), 0644);
    EXPECT_EQ(RunSyncCommand({"run", "--config", a.configFile}, &output), 2);
    EXPECT_NE(output.find("key 'key_file'"), std::string::npos) << output;
    EXPECT_NE(output.find("mode 0644"), std::string::npos) << output;
    chmod(keyFile_.c_str(), 0600);
    // A wrong key in the configuration names the key and the file.
    WriteFileBytes(dir_ + "/bad.toml", {'s', 'i', 't', 'e', '=', '"', 'x', '"', '\n'});
    EXPECT_EQ(RunSyncCommand({"run", "--config", dir_ + "/bad.toml"}, &output), 2);
    EXPECT_NE(output.find(dir_ + "/bad.toml: key 'data_file': missing"), std::string::npos)
        << output;
    // push without a running agent queues, and says it did not publish.
    EXPECT_EQ(RunSyncCommand({"push", "--config", a.configFile}, &output), 1);
    EXPECT_NE(output.find("no agent runs"), std::string::npos) << output;
    // status of an agent that is not running.
    EXPECT_EQ(RunSyncCommand({"status", "--config", a.configFile}, &output), 1);
    EXPECT_NE(output.find("outbox:     1 waiting"), std::string::npos) << output;
}

}  // namespace
