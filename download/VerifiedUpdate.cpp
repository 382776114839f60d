#include "download/VerifiedUpdate.h"

#include <string_view>

#include "download/UpdateSignatureHeader.h"
#include "net/FailureText.h"
#include "net/Http.h"
#include "net/WebPageAnswer.h"

namespace {
struct RawReply {
    NetResult result;
    std::string body;
    std::optional<std::string> signature;

    // Nothing usable came: the service is asked once more, as an unsigned program does.
    bool Empty() const {
        return (!result.Ok() && result.Failure() != NetFailure::TooLarge) || body.empty();
    }
};

RawReply FetchRaw(CHttp& http, const std::string& url) {
    RawReply raw;
    raw.result = http.FetchRawText(url, kMaxUpdateReplyBytes, kUpdateSignatureHeaderName, raw.body,
                                   raw.signature);
    return raw;
}

}  // namespace

VerifiedUpdate FetchVerifiedUpdate(CHttp& http, const std::string& url,
                                   const UpdateReplyExpectation& expect,
                                   std::span<const UpdateKey> keys) {
    RawReply raw = FetchRaw(http, url);
    if (raw.Empty()) raw = FetchRaw(http, url);

    VerifiedUpdate outcome;
    // A body cut short by its limit is still judged: the checks refuse it as too large.
    if (!raw.result.Ok() && raw.result.Failure() != NetFailure::TooLarge) {
        outcome.userText = UserTextFor(raw.result);
        outcome.logText = ExchangeLogText(raw.result, "update reply");
        return outcome;
    }
    std::optional<std::string_view> signature;
    if (raw.signature) signature = *raw.signature;
    UpdateReplyVerdict verdict = VerifyUpdateReply(raw.body, signature, expect, keys);
    if (verdict.kind != UpdateReplyKind::Ok || !verdict.update) {
        // A web page is never a signed reply; its words say what the person can do.
        outcome.webPage = LooksLikeHtml(raw.body);
        outcome.userText = outcome.webPage ? WebPageText(false) : UserTextFor(verdict.kind);
        outcome.logText = std::move(verdict.logText);
        return outcome;
    }
    outcome.info = UpdateInfoOf(*verdict.update);
    return outcome;
}

UpdateInfo UpdateInfoOf(const AcceptedUpdate& update) {
    UpdateInfo info;
    info.parsed = true;
    info.url = update.url;
    info.version = update.version;
    info.sha256 = update.sha256;
    info.size = update.size;
    info.mirrors = update.mirrors;  // covered by the same signature
    info.document = update.document;
    return info;
}
