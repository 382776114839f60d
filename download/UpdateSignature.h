#pragma once
// Whether the update information was signed by one of the publisher's keys. A pure check on
// bytes already received: the exchange itself is elsewhere.

#include <span>
#include <string>
#include <string_view>

#include "download/UpdateKeys.h"

// What is signed: this line, then the reply body byte for byte. The line keeps a signature
// made for anything else from ever passing as one over update information.
inline constexpr std::string_view kUpdateSignatureContext = "downloader-update-v1\n";

// The bytes a signature of body covers.
std::string SignedUpdateBytes(std::string_view body);

struct SignatureCheck {
    bool verified = false;
    std::string keyId;    // the key whose signature verified
    std::string logText;  // why nothing verified, naming each key tried
};

// Verified when any pair of the header value verifies over body with the key of its ID among
// keys. Pairs naming a key that is not in the list (or not usable) are skipped; a malformed
// header verifies nothing.
SignatureCheck CheckUpdateSignature(std::string_view headerValue, std::string_view body,
                                    std::span<const UpdateKey> keys);
