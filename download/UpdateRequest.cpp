#include "download/UpdateRequest.h"

#include "download/UpdateReplyLimits.h"
#include "net/Http.h"

std::string GetUrlText(CHttp& http, const std::string& url, NetResult& failure) {
    std::string text;
    // A reply longer than a signed one may be is no reply: never a prefix of it.
    failure = http.FetchText(url, "GET", "", text, kMaxUpdateReplyBytes);
    return text;
}

std::string FetchUpdateReply(CHttp& http, const std::string& url, NetResult& failure) {
    std::string reply = GetUrlText(http, url, failure);
    if (reply.empty() && failure.Failure() != NetFailure::ProxyRefused)
        reply = GetUrlText(http, url, failure);
    return reply;
}
