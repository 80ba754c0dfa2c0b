#include "sync/Envelope.h"

#include <sodium.h>

#include <cstring>
#include <iterator>

namespace {

// magic, format, site length; station length; counter, wall time, sealed length; nonce.
constexpr size_t kFixedHeaderBytes = 4 + 1 + 1 + 1 + 8 + 8 + 4 + kEnvelopeNonceBytes;

void PutLE(Bytes* out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint64_t GetLE(const unsigned char* at, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

void PutName(Bytes* out, const std::string& name) {
    out->push_back(static_cast<unsigned char>(name.size()));
    out->insert(out->end(), name.begin(), name.end());
}

// A reader over the header that refuses to run past the end.
class Cursor {
public:
    Cursor(const unsigned char* bytes, size_t size) : at_(bytes), left_(size) {}
    bool Take(size_t count, const unsigned char** out) {
        if (count > left_) return false;
        *out = at_;
        at_ += count;
        left_ -= count;
        return true;
    }
    size_t Left() const { return left_; }
    size_t Used(const unsigned char* start) const { return static_cast<size_t>(at_ - start); }

private:
    const unsigned char* at_;
    size_t left_;
};

EnvelopeStatus Malformed(std::string* error, const std::string& what) {
    if (error != nullptr) *error = "not an envelope (" + what + ")";
    return EnvelopeStatus::kMalformed;
}

bool ReadName(Cursor* cursor, std::string* name) {
    const unsigned char* length;
    const unsigned char* text;
    if (!cursor->Take(1, &length) || *length == 0 || *length > 64) return false;
    if (!cursor->Take(*length, &text)) return false;
    name->assign(reinterpret_cast<const char*>(text), *length);
    return true;
}

// Everything before the sealed bytes, which is also the associated data.
struct ParsedHeader {
    EnvelopeHeader header;
    size_t headerBytes = 0;
    const unsigned char* nonce = nullptr;
    uint64_t sealedBytes = 0;
};

EnvelopeStatus Parse(const unsigned char* bytes, size_t size, ParsedHeader* parsed,
                     std::string* error) {
    Cursor cursor(bytes, size);
    const unsigned char* field;
    if (!cursor.Take(4, &field) || std::memcmp(field, kEnvelopeMagic, 4) != 0) {
        return Malformed(error, "no magic WLSE");
    }
    if (!cursor.Take(1, &field)) return Malformed(error, "cut short in the format");
    if (*field != kEnvelopeFormat) {
        return Malformed(error, "format " + std::to_string(*field) + ", this program reads 1");
    }
    if (!ReadName(&cursor, &parsed->header.site)) return Malformed(error, "bad site name");
    if (!ReadName(&cursor, &parsed->header.version.station)) {
        return Malformed(error, "bad station name");
    }
    if (!cursor.Take(8 + 8 + 4, &field)) return Malformed(error, "cut short in the version");
    parsed->header.version.counter = GetLE(field, 8);
    parsed->header.wallTimeMs = static_cast<int64_t>(GetLE(field + 8, 8));
    parsed->sealedBytes = GetLE(field + 16, 4);
    if (parsed->header.version.counter == 0) return Malformed(error, "version 0");
    if (!cursor.Take(kEnvelopeNonceBytes, &parsed->nonce)) {
        return Malformed(error, "cut short in the nonce");
    }
    parsed->headerBytes = cursor.Used(bytes);
    if (parsed->sealedBytes < kEnvelopeTagBytes) return Malformed(error, "sealed part too short");
    if (parsed->sealedBytes - kEnvelopeTagBytes > kMaxStoreBytes) {
        if (error != nullptr) {
            *error = "store of " + std::to_string(parsed->sealedBytes - kEnvelopeTagBytes) +
                     " bytes, more than " + std::to_string(kMaxStoreBytes);
        }
        return EnvelopeStatus::kTooLarge;
    }
    if (cursor.Left() != parsed->sealedBytes) {
        return Malformed(error, "sealed part of " + std::to_string(cursor.Left()) +
                                    " bytes, the header says " +
                                    std::to_string(parsed->sealedBytes));
    }
    return EnvelopeStatus::kOk;
}

}  // namespace

Bytes SealEnvelopeWithNonce(const EnvelopeHeader& header, const Bytes& store, const SiteKey& key,
                            const unsigned char* nonce) {
    Bytes out(std::begin(kEnvelopeMagic), std::end(kEnvelopeMagic));
    out.reserve(kFixedHeaderBytes + header.site.size() + header.version.station.size() +
                store.size() + kEnvelopeTagBytes);
    out.push_back(kEnvelopeFormat);
    PutName(&out, header.site);
    PutName(&out, header.version.station);
    PutLE(&out, header.version.counter, 8);
    PutLE(&out, static_cast<uint64_t>(header.wallTimeMs), 8);
    PutLE(&out, store.size() + kEnvelopeTagBytes, 4);
    out.insert(out.end(), nonce, nonce + kEnvelopeNonceBytes);
    const size_t headerBytes = out.size();
    out.resize(headerBytes + store.size() + kEnvelopeTagBytes);
    unsigned long long sealed = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(out.data() + headerBytes, &sealed, store.data(),
                                               store.size(), out.data(), headerBytes, nullptr,
                                               nonce, key.data());
    return out;
}

Bytes SealEnvelope(const EnvelopeHeader& header, const Bytes& store, const SiteKey& key) {
    unsigned char nonce[kEnvelopeNonceBytes];
    randombytes_buf(nonce, sizeof(nonce));
    return SealEnvelopeWithNonce(header, store, key, nonce);
}

EnvelopeStatus DecodeEnvelopeHeader(const unsigned char* bytes, size_t size, EnvelopeHeader* header,
                                    std::string* error) {
    ParsedHeader parsed;
    const EnvelopeStatus status = Parse(bytes, size, &parsed, error);
    if (status == EnvelopeStatus::kOk) *header = parsed.header;
    return status;
}

EnvelopeStatus OpenEnvelope(const unsigned char* bytes, size_t size, const SiteKey& key,
                            EnvelopeHeader* header, Bytes* store, std::string* error) {
    ParsedHeader parsed;
    const EnvelopeStatus status = Parse(bytes, size, &parsed, error);
    if (status != EnvelopeStatus::kOk) return status;
    Bytes opened(parsed.sealedBytes - kEnvelopeTagBytes);
    unsigned long long openedBytes = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            opened.data(), &openedBytes, nullptr, bytes + parsed.headerBytes, parsed.sealedBytes,
            bytes, parsed.headerBytes, parsed.nonce, key.data()) != 0) {
        if (error != nullptr) *error = "does not open with the site key";
        return EnvelopeStatus::kBadKey;
    }
    *header = parsed.header;
    *store = std::move(opened);
    return EnvelopeStatus::kOk;
}
