#pragma once
// Signing a reply body, and checking the result the way the program will.

#include <cstdint>
#include <string>
#include <string_view>

#include "download/UpdateSignatureHeader.h"
#include "tools/publisher/SecretKey.h"

// key's signature over the bytes the program verifies (download/UpdateSignature.h).
SignaturePair SignReply(const SecretKey& key, std::string_view body);

// Why a reply may not be signed, naming the rule it breaks: a program of product built with
// key's public half would refuse body with headerValue at time now (no version accepted
// before, the channel the body names), or its version is not dotted numeric, so that no later
// reply could be ordered against it. Empty when it breaks none.
std::string RuleBrokenBy(std::string_view body, std::string_view headerValue, const SecretKey& key,
                         const std::string& product, std::int64_t now);
