#pragma once
// The X-Update-Signature header sent with the update information: one or more "ID SIG" pairs
// separated by ',', blanks allowed around each pair. ID names a key (see UpdateKeys.h); SIG is
// the standard base64 of a 64-byte Ed25519 signature. Several pairs let a publisher sign with
// the old and the new key while a rotation is under way.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kUpdateSignatureHeaderName[] = "X-Update-Signature";
inline constexpr std::size_t kUpdateSignatureBytes = 64;  // crypto_sign_BYTES
// More pairs than a rotation needs are refused before any signature is checked, so a hostile
// header costs a bounded amount of work.
inline constexpr std::size_t kMaxSignaturePairs = 8;

struct SignaturePair {
    std::string keyId;
    std::array<unsigned char, kUpdateSignatureBytes> signature{};
};

// The pairs of a header value (without the line end). Nothing when the value holds no pair,
// more than kMaxSignaturePairs, or any pair that is not a key ID, blanks, and the base64 of
// exactly 64 bytes: one malformed pair makes the whole header worthless.
std::optional<std::vector<SignaturePair>> ParseSignatureHeader(std::string_view value);

// One pair as the header carries it: "ID SIG". Pairs are joined with ", ".
std::string FormatSignaturePair(const SignaturePair& pair);
