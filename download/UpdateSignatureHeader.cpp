#include "download/UpdateSignatureHeader.h"

#include <sodium.h>

#include "download/UpdateKeys.h"

namespace {
constexpr std::string_view kBlanks = " \t";

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool DecodeSignature(std::string_view base64, SignaturePair& pair) {
    std::size_t length = 0;
    const char* end = nullptr;
    return sodium_base642bin(pair.signature.data(), pair.signature.size(), base64.data(),
                             base64.size(), nullptr, &length, &end,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == kUpdateSignatureBytes && end == base64.data() + base64.size();
}

std::optional<SignaturePair> ParsePair(std::string_view text) {
    const std::string_view trimmed = TrimBlanks(text);
    const std::size_t blank = trimmed.find_first_of(kBlanks);
    if (blank == std::string_view::npos) return std::nullopt;
    const std::string_view id = trimmed.substr(0, blank);
    const std::string_view signature = TrimBlanks(trimmed.substr(blank));
    if (!IsUpdateKeyId(id)) return std::nullopt;
    SignaturePair pair;
    pair.keyId = std::string(id);
    // The decoder takes no blanks, so "ID SIG SIG" fails here as well.
    if (!DecodeSignature(signature, pair)) return std::nullopt;
    return pair;
}
}  // namespace

std::optional<std::vector<SignaturePair>> ParseSignatureHeader(std::string_view value) {
    std::vector<SignaturePair> pairs;
    for (;;) {
        const std::size_t comma = value.find(',');
        if (pairs.size() == kMaxSignaturePairs) return std::nullopt;
        std::optional<SignaturePair> pair = ParsePair(value.substr(0, comma));
        if (!pair) return std::nullopt;
        pairs.push_back(std::move(*pair));
        if (comma == std::string_view::npos) return pairs;
        value.remove_prefix(comma + 1);
    }
}

std::string FormatSignaturePair(const SignaturePair& pair) {
    char base64[sodium_base64_ENCODED_LEN(kUpdateSignatureBytes, sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(base64, sizeof base64, pair.signature.data(), pair.signature.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    return pair.keyId + " " + base64;
}
