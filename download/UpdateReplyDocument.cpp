#include "download/UpdateReplyDocument.h"

#include <glib.h>
#include <json/reader.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>

#include "download/DottedVersion.h"
#include "download/UpdateReplyLimits.h"
#include "net/HttpAddress.h"

namespace {
// The reply is a flat object with one list; anything nested deeper is not a reply, and
// jsoncpp throws rather than recursing further.
constexpr int kMaxNesting = 8;

UpdateReplyVerdict Refuse(UpdateReplyKind kind, const std::string& reason) {
    return UpdateReplyVerdict{kind, "update reply: " + reason, std::nullopt};
}

// Text from the reply made safe for a one-line log: control and non-ASCII bytes escaped.
std::string Quoted(const std::string& text) {
    gchar* escaped = g_strescape(text.c_str(), nullptr);
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about "'" + std::string(...).
    std::string quoted = "'";
    quoted += escaped;
    quoted += '\'';
    g_free(escaped);
    return quoted;
}

bool ParseStrictly(std::string_view bytes, Json::Value& root, std::string& errors) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["stackLimit"] = kMaxNesting;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        return reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &errors);
    } catch (const std::exception& error) {
        errors = error.what();
        return false;
    }
}

const Json::Value* Member(const Json::Value& root, const char* name) {
    return root.find(name, name + std::strlen(name));
}

bool StringMember(const Json::Value& root, const char* name, std::string& out) {
    const Json::Value* member = Member(root, name);
    if (!member || !member->isString()) return false;
    out = member->asString();
    return true;
}

// Only numbers written as integers: jsoncpp's isInt64() also holds for 5.0 and 1e3.
std::optional<std::int64_t> IntegerMember(const Json::Value& root, const char* name) {
    const Json::Value* member = Member(root, name);
    if (!member) return std::nullopt;
    if (member->type() == Json::intValue) return member->asInt64();
    if (member->type() == Json::uintValue &&
        member->asUInt64() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return static_cast<std::int64_t>(member->asUInt64());
    return std::nullopt;
}

bool IsHexDigest(const std::string& text) {
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(), [](char c) { return g_ascii_isxdigit(c); });
}

// The mirrors, or nothing when the member is there but not a list of http(s) addresses.
std::optional<std::vector<std::string>> Mirrors(const Json::Value& root) {
    const Json::Value* member = Member(root, "mirrors");
    if (!member) return std::vector<std::string>{};
    if (!member->isArray()) return std::nullopt;
    std::vector<std::string> mirrors;
    for (const Json::Value& mirror : *member) {
        if (!mirror.isString() || !IsHttpAddress(mirror.asString())) return std::nullopt;
        mirrors.push_back(mirror.asString());
    }
    return mirrors;
}

bool HasPassed(std::int64_t expires, std::int64_t now) {
    // expires + skew > now, written so that no extreme value overflows.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    const std::int64_t earliestValid =
        now < lowest + kUpdateClockSkewSeconds ? lowest : now - kUpdateClockSkewSeconds;
    return expires <= earliestValid;
}

// expires - now > lifetime + skew, written so that no extreme value overflows.
bool IsTooFarAhead(std::int64_t expires, std::int64_t now) {
    constexpr std::int64_t span = kMaxUpdateReplyLifetimeSeconds + kUpdateClockSkewSeconds;
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    return now <= highest - span && expires > now + span;
}

// Why the reply is not for product, or nothing when it is.
std::optional<std::string> OtherProduct(const Json::Value& root, const std::string& product) {
    std::string named;
    if (!Member(root, "product")) return "names no product, asked for " + Quoted(product);
    if (!StringMember(root, "product", named)) return "\"product\" is not a string";
    if (named != product) return "for product " + Quoted(named) + ", asked for " + Quoted(product);
    return std::nullopt;
}

// Why version would take the user back, or nothing when it does not.
std::optional<std::string> RollBack(const std::string& version, const std::string& accepted) {
    if (accepted.empty()) return std::nullopt;
    const auto order = CompareDottedVersions(version, accepted);
    if (!order)
        return "version " + Quoted(version) + " is not dotted numeric, so it cannot be ordered " +
               "against " + Quoted(accepted) + ", accepted before";
    if (*order < 0)
        return "version " + Quoted(version) + " is below " + Quoted(accepted) + ", accepted before";
    return std::nullopt;
}

// Reads the members into update; a reason when one is missing or not in its form.
std::optional<std::string> ReadMembers(const Json::Value& root, AcceptedUpdate& update,
                                       std::string& channel) {
    if (!StringMember(root, "url", update.url) || !IsHttpAddress(update.url))
        return "\"url\" is not an http(s) address";
    if (!StringMember(root, "version", update.version) || update.version.empty())
        return "\"version\" is not a non-empty string";
    if (!StringMember(root, "channel", channel)) return "\"channel\" is not a string";
    if (!StringMember(root, "sha256", update.sha256) || !IsHexDigest(update.sha256))
        return "\"sha256\" is not 64 hexadecimal digits";
    const auto size = IntegerMember(root, "size");
    if (!size || *size <= 0) return "\"size\" is not an integer from 1 to 2^63-1";
    update.size = static_cast<std::uint64_t>(*size);
    const auto expires = IntegerMember(root, "expires");
    if (!expires) return "\"expires\" is not an integer";
    update.expires = *expires;
    auto mirrors = Mirrors(root);
    if (!mirrors) return "\"mirrors\" is not a list of http(s) addresses";
    update.mirrors = std::move(*mirrors);
    const Json::Value* detail = Member(root, "detail");
    if (detail && !detail->isString()) return "\"detail\" is not a string";
    if (detail) update.detail = detail->asString();
    return std::nullopt;
}
}  // namespace

UpdateReplyVerdict CheckUpdateDocument(std::string_view bytes,
                                       const UpdateReplyExpectation& expect) {
    // JSON text holds no raw NUL, and jsoncpp would read one as the end of its input: what
    // follows a NUL would be verified by the signature yet never parsed.
    if (bytes.find('\0') != std::string_view::npos)
        return Refuse(UpdateReplyKind::Malformed, "a NUL byte in the document");
    AcceptedUpdate update;
    std::string errors;
    if (!ParseStrictly(bytes, update.document, errors))
        return Refuse(UpdateReplyKind::Malformed, "not strict JSON: " + Quoted(errors));
    if (!update.document.isObject())
        return Refuse(UpdateReplyKind::Malformed, "the document is not an object");

    std::string channel;
    if (const auto reason = ReadMembers(update.document, update, channel))
        return Refuse(UpdateReplyKind::Malformed, *reason);
    if (const auto reason = OtherProduct(update.document, expect.product))
        return Refuse(UpdateReplyKind::WrongProduct, *reason);
    if (channel != expect.channel)
        return Refuse(UpdateReplyKind::WrongChannel,
                      "for channel " + Quoted(channel) + ", asked for " + Quoted(expect.channel));
    if (HasPassed(update.expires, expect.now))
        return Refuse(UpdateReplyKind::Expired, "expired at " + std::to_string(update.expires) +
                                                    ", the clock says " +
                                                    std::to_string(expect.now));
    if (IsTooFarAhead(update.expires, expect.now))
        return Refuse(UpdateReplyKind::ExpiresTooLate,
                      "expires at " + std::to_string(update.expires) + ", more than " +
                          std::to_string(kMaxUpdateReplyDays) + " days after the clock's " +
                          std::to_string(expect.now));
    if (const auto reason = RollBack(update.version, expect.acceptedVersion))
        return Refuse(UpdateReplyKind::RolledBack, *reason);
    return UpdateReplyVerdict{UpdateReplyKind::Ok, {}, std::move(update)};
}
