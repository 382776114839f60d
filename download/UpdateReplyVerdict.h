#pragma once
// What the checks of a signed update-information reply decided, and the values they accepted.

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class UpdateReplyKind {
    Ok,              // signed by a known key, well formed, current, for this product and
                     // channel, not older
    NotSigned,       // no X-Update-Signature header
    BadSignature,    // a malformed header, or no pair that verifies with a known key
    TooLarge,        // a body over kMaxUpdateReplyBytes
    Malformed,       // not the strict JSON object with every member in its form
    Expired,         // "expires" has passed, clock difference allowed for
    ExpiresTooLate,  // "expires" is more than kMaxUpdateReplyDays ahead of the clock
    WrongProduct,    // "product" is missing or not this program's product key
    WrongChannel,    // "channel" is not the channel asked for
    RolledBack,      // "version" is lower than one this user accepted before
};

// The members of a reply that passed every check.
struct AcceptedUpdate {
    std::string url;                   // http(s) address of the installer
    std::string version;               // as the publisher wrote it
    std::string sha256;                // 64 hexadecimal digits, as the publisher wrote them
    std::uint64_t size = 0;            // bytes of the installer, above 0 and below 2^63
    std::int64_t expires = 0;          // Unix seconds (UTC) after which the reply is stale
    std::vector<std::string> mirrors;  // further http(s) addresses of the same installer
    std::string detail;                // empty when not given
    std::string keyId;                 // the key whose signature verified
    Json::Value document;              // the whole reply, for the page
};

struct UpdateReplyVerdict {
    UpdateReplyKind kind = UpdateReplyKind::Malformed;
    std::string logText;                   // the cause, for the diagnostic log; empty when Ok
    std::optional<AcceptedUpdate> update;  // set exactly when kind is Ok
};

// The text the user is shown for a refusal (from the string table); empty for Ok.
std::string UserTextFor(UpdateReplyKind kind);

// The kind's name, for logs and test output: "Ok", "NotSigned", ...
std::string_view KindName(UpdateReplyKind kind);
