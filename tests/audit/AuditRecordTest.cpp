// The audit line codec: golden bytes, the hash chain's digest, and a line for every way a line
// can be wrong.
#include <gtest/gtest.h>

#include "audit/AuditRecord.h"

namespace {

constexpr const char kFirstLine[] =
    R"({"seq":1,"time":"2026-12-08T23:00:03Z","pid":4242,"program":"wardlet",)"
    R"("event":"get-passed","user":"张伟","outcome":"granted","code":"0x01010301",)"
    R"("via":"logged-in","prev":"0000000000000000000000000000000000000000000000000000000000000000"})";
constexpr const char kFirstHash[] =
    "1804bee406e928604a88d2c1d8303a7394be482854149429e274bf3aac8be72d";
constexpr const char kSecondLine[] =
    R"({"seq":2,"time":"2026-12-08T23:00:04Z","pid":4243,"program":"wardlet-host",)"
    R"("event":"config","user":"Admin","outcome":"saved","detail":{"users_added":"李娜",)"
    R"("rights_removed":"操作员 / 0x01020000"},)"
    R"("prev":"1804bee406e928604a88d2c1d8303a7394be482854149429e274bf3aac8be72d"})";
constexpr const char kSecondHash[] =
    "b3224089823fad07be8d9ab6725054641d4f4caff00d5f1c38b4f56a48c69b1b";

AuditRecord FirstRecord() {
    AuditRecord record;
    record.seq = 1;
    record.time = "2026-12-08T23:00:03Z";
    record.pid = 4242;
    record.program = "wardlet";
    record.event = "get-passed";
    record.user = "张伟";
    record.outcome = "granted";
    record.code = "0x01010301";
    record.via = "logged-in";
    record.prev = kAuditFirstPrev;
    return record;
}

AuditRecord SecondRecord() {
    AuditRecord record;
    record.seq = 2;
    record.time = "2026-12-08T23:00:04Z";
    record.pid = 4243;
    record.program = "wardlet-host";
    record.event = "config";
    record.user = "Admin";
    record.outcome = "saved";
    record.detail = {{"users_added", "李娜"}, {"rights_removed", "操作员 / 0x01020000"}};
    record.prev = kFirstHash;
    return record;
}

TEST(AuditRecord, GoldenLinesAndTheirHashes) {
    EXPECT_EQ(EncodeAuditLine(FirstRecord()), kFirstLine);
    EXPECT_EQ(AuditLineHash(kFirstLine), kFirstHash);
    EXPECT_EQ(EncodeAuditLine(SecondRecord()), kSecondLine);
    EXPECT_EQ(AuditLineHash(kSecondLine), kSecondHash);
}

TEST(AuditRecord, DecodingAGoldenLineGivesBackTheRecord) {
    for (const char* line : {kFirstLine, kSecondLine}) {
        AuditRecord record;
        std::string error;
        ASSERT_TRUE(DecodeAuditLine(line, &record, &error)) << error;
        EXPECT_EQ(EncodeAuditLine(record), line);
    }
}

TEST(AuditRecord, TextsThatAreNotUtf8StillMakeAJsonLine) {
    AuditRecord record = FirstRecord();
    record.user = "\xB2\xBB";  // code page 936 bytes handed over by mistake
    record.reason = "a \"quoted\"\nline";
    AuditRecord back;
    std::string error;
    const std::string line = EncodeAuditLine(record);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    ASSERT_TRUE(DecodeAuditLine(line, &back, &error)) << error;
    EXPECT_EQ(back.reason, record.reason);
    EXPECT_EQ(back.user, "\uFFFD\uFFFD");
}

TEST(AuditRecord, BrokenLinesAreRefusedEachWithItsReason) {
    const std::string prev = std::string(R"("prev":")") + kAuditFirstPrev + "\"";
    const std::string head = R"({"seq":1,"time":"t","pid":1,"program":"p","event":"e",)";
    struct Case {
        std::string line;
        const char* error;
    };
    const Case cases[] = {
        {"", "the line is not JSON"},
        {head, "the line is not JSON"},
        {"[1,2]", "the line is not a JSON object"},
        {R"({"seq":0,"time":"t","pid":1,"program":"p","event":"e",)" + prev + "}",
         "\"seq\" is missing or not a positive whole number"},
        {R"({"seq":-1,"time":"t","pid":1,"program":"p","event":"e",)" + prev + "}",
         "\"seq\" is missing or not a positive whole number"},
        {R"({"seq":"1","time":"t","pid":1,"program":"p","event":"e",)" + prev + "}",
         "\"seq\" is missing or not a positive whole number"},
        {R"({"seq":1,"time":"t","pid":1.5,"program":"p","event":"e",)" + prev + "}",
         "\"pid\" is missing or not a whole number"},
        {R"({"seq":1,"pid":1,"program":"p","event":"e",)" + prev + "}", "\"time\" is missing"},
        {R"({"seq":1,"time":"t","pid":1,"program":"p",)" + prev + "}", "\"event\" is missing"},
        {R"({"seq":1,"time":"t","pid":1,"program":"p","event":"",)" + prev + "}",
         "\"event\" is empty"},
        {head + R"("user":7,)" + prev + "}", "\"user\" is not a text"},
        {head + R"("prev":"00"})", "\"prev\" is not 64 lower-case hex digits"},
        {head + R"("prev":")" + std::string(64, 'A') + "\"}",
         "\"prev\" is not 64 lower-case hex digits"},
        {head + R"("detail":[],)" + prev + "}", "\"detail\" is not an object"},
        {head + R"("detail":{"a":1},)" + prev + "}", "detail \"a\" is not a text"},
        {head + R"("password":"x",)" + prev + "}", "unknown key \"password\""},
        {head + R"("reason":")" + std::string(kAuditLongestLine, 'x') + "\"," + prev + "}",
         "the line is longer than 65536 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 120));
        AuditRecord record;
        std::string error;
        EXPECT_FALSE(DecodeAuditLine(c.line, &record, &error));
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
