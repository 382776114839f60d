#pragma once
// The exchange with the update-information service: the reply, asked for at most twice.

#include <string>

#include "net/NetResult.h"

class CHttp;

// GET of url on http: the trimmed body of a 200 answer, or empty (failure says why; a body
// longer than kMaxUpdateReplyBytes is no reply, and no prefix of it).
std::string GetUrlText(CHttp& http, const std::string& url, NetResult& failure);

// The service's reply: a second request, at once, when the first gives nothing but was not
// refused by a proxy. failure: how the last request failed.
std::string FetchUpdateReply(CHttp& http, const std::string& url, NetResult& failure);
