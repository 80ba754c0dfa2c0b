// The envelope in which a store travels between stations: the transfer-form bytes sealed with
// XChaCha20-Poly1305 under the site key, behind a small clear header that is authenticated as the
// associated data. The broker and the network see the site, the station and the version; never
// the store. Layout in docs/envelope.md.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// DO NOT CHANGE THESE VALUES: they are embedded in every envelope stations exchange.
inline constexpr char kEnvelopeMagic[4] = {'W', 'L', 'S', 'E'};
inline constexpr uint8_t kEnvelopeFormat = 1;
inline constexpr size_t kSiteKeyBytes = 32;
inline constexpr size_t kEnvelopeNonceBytes = 24;
inline constexpr size_t kEnvelopeTagBytes = 16;
// The largest store a station accepts, in transfer-form bytes.
inline constexpr size_t kMaxStoreBytes = 64u << 20;

using SiteKey = std::array<unsigned char, kSiteKeyBytes>;
using Bytes = std::vector<unsigned char>;

// A store's version: a Lamport counter, ties broken by the station's name. Later is larger.
struct StoreVersion {
    uint64_t counter = 0;
    std::string station;

    bool IsNone() const { return counter == 0; }
    std::string Text() const { return std::to_string(counter) + "@" + station; }
    friend bool operator<(const StoreVersion& a, const StoreVersion& b) {
        return a.counter != b.counter ? a.counter < b.counter : a.station < b.station;
    }
    friend bool operator==(const StoreVersion& a, const StoreVersion& b) {
        return a.counter == b.counter && a.station == b.station;
    }
};

struct EnvelopeHeader {
    std::string site;
    StoreVersion version;    // version.station is the sending station
    int64_t wallTimeMs = 0;  // when the store was made, milliseconds since 1970 (informative)
};

enum class EnvelopeStatus {
    kOk,
    kMalformed,  // not an envelope, or cut short, or with bytes after its end
    kTooLarge,   // the store would exceed kMaxStoreBytes
    kBadKey,     // does not open with the site key
};

// Seals `store` under `key` with a fresh random nonce. REQUIRES: store.size() <= kMaxStoreBytes,
// header names valid (IsValidSyncName), sodium_init() called.
Bytes SealEnvelope(const EnvelopeHeader& header, const Bytes& store, const SiteKey& key);
// The same with a given nonce, for golden bytes in tests.
Bytes SealEnvelopeWithNonce(const EnvelopeHeader& header, const Bytes& store, const SiteKey& key,
                            const unsigned char* nonce);

// Reads the clear header, checking every length against the bytes there are. Does not open the
// envelope. On failure `*error` says what is wrong.
EnvelopeStatus DecodeEnvelopeHeader(const unsigned char* bytes, size_t size, EnvelopeHeader* header,
                                    std::string* error);

// Reads the header and opens the sealed store with `key` into `*store`.
EnvelopeStatus OpenEnvelope(const unsigned char* bytes, size_t size, const SiteKey& key,
                            EnvelopeHeader* header, Bytes* store, std::string* error);
