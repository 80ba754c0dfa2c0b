#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <functional>
#include <string>

#include "sync/Envelope.h"

namespace {

SiteKey KeyOf(unsigned char first) {
    SiteKey key;
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<unsigned char>(first + i);
    return key;
}

const EnvelopeHeader kHeader{"north", {7, "op1"}, 1700000000123};
const Bytes kStore = {0x01, 0x00, 0xFF, 0xFF};

Bytes Nonce() {
    Bytes nonce(kEnvelopeNonceBytes);
    for (size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<unsigned char>(0xA0 + i);
    return nonce;
}

std::string Hex(const Bytes& bytes) {
    std::string hex(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    hex.pop_back();
    return hex;
}

EnvelopeStatus Open(const Bytes& envelope, const SiteKey& key, Bytes* store = nullptr) {
    EnvelopeHeader header;
    Bytes opened;
    std::string error;
    const EnvelopeStatus status =
        OpenEnvelope(envelope.data(), envelope.size(), key, &header, &opened, &error);
    if (status != EnvelopeStatus::kOk) {
        EXPECT_FALSE(error.empty());
    }
    if (store != nullptr) *store = opened;
    return status;
}

class EnvelopeTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_GE(sodium_init(), 0); }
};

// The bytes of docs/envelope.md's worked example: fixed key and nonce.
TEST_F(EnvelopeTest, GoldenBytes) {
    const Bytes envelope = SealEnvelopeWithNonce(kHeader, kStore, KeyOf(1), Nonce().data());
    EXPECT_EQ(Hex(envelope),
              "574c5345"                                          // magic WLSE
              "01"                                                // format
              "056e6f727468"                                      // site "north"
              "036f7031"                                          // station "op1"
              "0700000000000000"                                  // counter 7
              "7b68e5cf8b010000"                                  // wall time 1700000000123 ms
              "14000000"                                          // sealed length 4 + 16
              "a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4b5b6b7"  // nonce
              "85327ae0"                                          // the sealed store
              "eea4a4402e154c5ba82e218d3e4068fb");                // its tag
    EXPECT_EQ(envelope.size(), 79u);
    Bytes store;
    ASSERT_EQ(Open(envelope, KeyOf(1), &store), EnvelopeStatus::kOk);
    EXPECT_EQ(store, kStore);
    // The store never travels in the clear.
    EXPECT_EQ(std::search(envelope.begin(), envelope.end(), kStore.begin(), kStore.end()),
              envelope.end());
}

TEST_F(EnvelopeTest, HeaderReadsBackWithoutTheKey) {
    const Bytes envelope = SealEnvelope(kHeader, kStore, KeyOf(1));
    EnvelopeHeader header;
    std::string error;
    ASSERT_EQ(DecodeEnvelopeHeader(envelope.data(), envelope.size(), &header, &error),
              EnvelopeStatus::kOk);
    EXPECT_EQ(header.site, "north");
    EXPECT_EQ(header.version, (StoreVersion{7, "op1"}));
    EXPECT_EQ(header.wallTimeMs, 1700000000123);
}

TEST_F(EnvelopeTest, TruncatedAtEveryLengthIsMalformed) {
    const Bytes envelope = SealEnvelope(kHeader, kStore, KeyOf(1));
    for (size_t length = 0; length < envelope.size(); ++length) {
        const Bytes cut(envelope.begin(), envelope.begin() + length);
        EXPECT_EQ(Open(cut, KeyOf(1)), EnvelopeStatus::kMalformed) << length;
    }
}

TEST_F(EnvelopeTest, EveryFlippedByteIsRefused) {
    const Bytes envelope = SealEnvelope(kHeader, kStore, KeyOf(1));
    for (size_t at = 0; at < envelope.size(); ++at) {
        Bytes flipped = envelope;
        flipped[at] ^= 0x01;
        EXPECT_NE(Open(flipped, KeyOf(1)), EnvelopeStatus::kOk) << at;
    }
}

TEST_F(EnvelopeTest, BrokenEnvelopes) {
    const Bytes good = SealEnvelope(kHeader, kStore, KeyOf(1));
    const size_t lengthAt = 4 + 1 + 6 + 4 + 8 + 8;
    struct Case {
        const char* name;
        std::function<void(Bytes&)> breakIt;
        EnvelopeStatus expected;
    } cases[] = {
        {"TrailingByte", [](Bytes& e) { e.push_back(0); }, EnvelopeStatus::kMalformed},
        {"OtherFormat", [](Bytes& e) { e[4] = 2; }, EnvelopeStatus::kMalformed},
        {"EmptySiteName", [](Bytes& e) { e[5] = 0; }, EnvelopeStatus::kMalformed},
        {"SiteNameRunsPastTheEnd",
         [](Bytes& e) {
             e[5] = 64;
             e.resize(40);
         },
         EnvelopeStatus::kMalformed},
        {"SealedShorterThanItsTag",
         [&](Bytes& e) {
             e[lengthAt] = 15;
             e.resize(e.size() - 5);
         },
         EnvelopeStatus::kMalformed},
        {"DeclaresMoreThan64MiB",
         [&](Bytes& e) {
             const uint32_t declared = kMaxStoreBytes + kEnvelopeTagBytes + 1;
             for (int i = 0; i < 4; ++i)
                 e[lengthAt + i] = static_cast<unsigned char>(declared >> (8 * i));
         },
         EnvelopeStatus::kTooLarge},
        {"VersionZero", [](Bytes& e) { std::fill(e.begin() + 15, e.begin() + 23, 0); },
         EnvelopeStatus::kMalformed},
        {"OtherKey", [](Bytes&) {}, EnvelopeStatus::kBadKey},
    };
    for (const Case& c : cases) {
        Bytes envelope = good;
        c.breakIt(envelope);
        const SiteKey key = std::string(c.name) == "OtherKey" ? KeyOf(2) : KeyOf(1);
        EXPECT_EQ(Open(envelope, key), c.expected) << c.name;
    }
}

TEST_F(EnvelopeTest, VersionsOrderByCounterThenStation) {
    EXPECT_LT((StoreVersion{1, "z"}), (StoreVersion{2, "a"}));
    EXPECT_LT((StoreVersion{2, "a"}), (StoreVersion{2, "b"}));
    EXPECT_FALSE((StoreVersion{2, "b"}) < (StoreVersion{2, "b"}));
    EXPECT_TRUE(StoreVersion{}.IsNone());
}

}  // namespace
