#include "download/UpdateRequest.h"

#include "download/UpdateReplyLimits.h"
#include "net/Http.h"

std::string GetUrlText(CHttp& http, const std::string& url) {
    // A reply longer than a signed one may be is no reply: never a prefix of it.
    return http.SendHttpRequest(url, "GET", "", kMaxUpdateReplyBytes);
}

std::string FetchUpdateReply(CHttp& http, const std::string& url) {
    std::string reply = GetUrlText(http, url);
    if (reply.empty()) reply = GetUrlText(http, url);
    return reply;
}
