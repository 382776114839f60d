#include "download/UpdateRequest.h"

#include "net/Http.h"

std::string GetUrlText(CHttp& http, const std::string& url) {
    return http.SendHttpRequest(url, "GET", "");
}

std::string FetchUpdateReply(CHttp& http, const std::string& url) {
    std::string reply = GetUrlText(http, url);
    if (reply.empty()) reply = GetUrlText(http, url);
    return reply;
}
