#include "download/UpdateRequest.h"

#include "net/Http.h"

std::string GetUrlText(CHttp& http, const std::string& url, NetResult& failure) {
    std::string text;
    failure = http.FetchText(url, "GET", "", text);
    return text;
}

std::string FetchUpdateReply(CHttp& http, const std::string& url, NetResult& failure) {
    std::string reply = GetUrlText(http, url, failure);
    if (reply.empty() && failure.Failure() != NetFailure::ProxyRefused)
        reply = GetUrlText(http, url, failure);
    return reply;
}
