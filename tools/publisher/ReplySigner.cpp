#include "tools/publisher/ReplySigner.h"

#include <json/reader.h>

#include <algorithm>
#include <memory>

#include "download/DottedVersion.h"
#include "download/SignedUpdateReply.h"
#include "download/UpdateSignature.h"

namespace {
// The channel the body names, so the check can ask for it; empty when it names none, which
// the check then reports.
std::string ChannelOf(std::string_view body) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    try {
        if (!reader->parse(body.data(), body.data() + body.size(), &root, nullptr)) return {};
    } catch (const std::exception&) {
        return {};
    }
    const Json::Value* channel = root.isObject() ? root.find("channel", "channel" + 7) : nullptr;
    return channel && channel->isString() ? channel->asString() : std::string();
}
}  // namespace

SignaturePair SignReply(const SecretKey& key, std::string_view body) {
    SignaturePair pair;
    pair.keyId = key.id;
    const std::string message = SignedUpdateBytes(body);
    crypto_sign_detached(pair.signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.bytes.data());
    return pair;
}

std::string RuleBrokenBy(std::string_view body, std::string_view headerValue, const SecretKey& key,
                         const std::string& product, std::int64_t now) {
    UpdateKey publicKey;
    publicKey.id = key.id;
    const auto half = key.PublicKey();
    std::copy(half.begin(), half.end(), publicKey.publicKey.begin());
    publicKey.usable = true;
    const UpdateReplyVerdict verdict = VerifyUpdateReply(
        body, headerValue, UpdateReplyExpectation{product, ChannelOf(body), now, {}},
        {&publicKey, 1});
    if (verdict.kind != UpdateReplyKind::Ok || !verdict.update)
        return "the program would refuse it: " + verdict.logText;
    if (!IsDottedVersion(verdict.update->version))
        return "\"version\" '" + verdict.update->version +
               "' is not dotted numeric (like 2.4.1): no later reply could be ordered against it";
    return {};
}
