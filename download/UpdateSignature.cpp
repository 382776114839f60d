#include "download/UpdateSignature.h"

#include <sodium.h>

#include <algorithm>

#include "download/SodiumReady.h"
#include "download/UpdateSignatureHeader.h"

namespace {
const UpdateKey* FindKey(std::span<const UpdateKey> keys, const std::string& id) {
    const auto key = std::find_if(keys.begin(), keys.end(),
                                  [&](const UpdateKey& candidate) { return candidate.id == id; });
    return key == keys.end() ? nullptr : &*key;
}

SignatureCheck NotVerified(std::string reason) {
    return SignatureCheck{false, {}, "update reply: " + reason};
}
}  // namespace

std::string SignedUpdateBytes(std::string_view body) {
    std::string bytes;
    bytes.reserve(kUpdateSignatureContext.size() + body.size());
    bytes.append(kUpdateSignatureContext).append(body);
    return bytes;
}

SignatureCheck CheckUpdateSignature(std::string_view headerValue, std::string_view body,
                                    std::span<const UpdateKey> keys) {
    const auto pairs = ParseSignatureHeader(headerValue);
    if (!pairs) return NotVerified("the X-Update-Signature header is malformed");
    if (!SodiumReady()) return NotVerified("libsodium could not be initialised");

    const std::string message = SignedUpdateBytes(body);
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    // Key IDs come from a parsed header and are plain [A-Za-z0-9_-]: safe to log.
    std::string reasons;
    for (const SignaturePair& pair : *pairs) {
        if (!reasons.empty()) reasons += "; ";
        const UpdateKey* key = FindKey(keys, pair.keyId);
        if (!key) {
            reasons += "key '" + pair.keyId + "' is not known to this build";
        } else if (!key->usable) {
            reasons += "key '" + pair.keyId + "' is damaged in this build";
        } else if (crypto_sign_verify_detached(pair.signature.data(), bytes, message.size(),
                                               key->publicKey.data()) == 0) {
            return SignatureCheck{true, pair.keyId, {}};
        } else {
            reasons += "signature of key '" + pair.keyId + "' does not verify";
        }
    }
    return NotVerified(reasons);
}
