#pragma once
// The exchange with the update-information service: the reply, asked for at most twice.

#include <string>

class CHttp;

// GET of url on http: the trimmed body of a 200 answer, or empty (also for a body longer than
// kMaxUpdateReplyBytes).
std::string GetUrlText(CHttp& http, const std::string& url);

// The service's reply: a second request, at once, when the first gives nothing.
std::string FetchUpdateReply(CHttp& http, const std::string& url);
