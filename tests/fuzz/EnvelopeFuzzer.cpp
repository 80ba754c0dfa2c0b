// Fuzz target: any bytes as an envelope from the broker. Reading the header and opening must
// never crash or allocate without bound; a header that reads must seal and read back the same.
#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sync/Envelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = sodium_init() >= 0;
    if (!started) std::abort();
    static const SiteKey key = [] {
        SiteKey fixed;
        for (size_t i = 0; i < fixed.size(); ++i) fixed[i] = static_cast<unsigned char>(i + 1);
        return fixed;
    }();
    EnvelopeHeader header;
    std::string error;
    const EnvelopeStatus status = DecodeEnvelopeHeader(data, size, &header, &error);
    Bytes store;
    EnvelopeHeader opened;
    const EnvelopeStatus openStatus = OpenEnvelope(data, size, key, &opened, &store, &error);
    // Opening fails wherever reading the header fails, for the same reason.
    if (status != EnvelopeStatus::kOk && openStatus != status) std::abort();
    if (status != EnvelopeStatus::kOk) return 0;
    if (header.site.empty() || header.site.size() > 64 || header.version.counter == 0) {
        std::abort();
    }
    if (openStatus == EnvelopeStatus::kOk && store.size() > kMaxStoreBytes) std::abort();
    // The header re-sealed over a small store reads back field for field.
    const unsigned char nonce[kEnvelopeNonceBytes] = {};
    const Bytes again = SealEnvelopeWithNonce(header, {1, 2, 3}, key, nonce);
    EnvelopeHeader reread;
    Bytes reopened;
    if (OpenEnvelope(again.data(), again.size(), key, &reread, &reopened, &error) !=
            EnvelopeStatus::kOk ||
        reread.site != header.site || !(reread.version == header.version) ||
        reread.wallTimeMs != header.wallTimeMs || reopened != Bytes({1, 2, 3})) {
        std::abort();
    }
    return 0;
}
