#pragma once
// The exchange with the update-information service of a signed program: the reply is taken
// byte for byte with its signature header and believed only once VerifyUpdateReply() accepts
// it. There is no unverified way on: a reply that cannot be had or is refused leaves nothing to
// download.

#include <optional>
#include <span>
#include <string>

#include "download/SignedUpdateReply.h"
#include "download/UpdateInfo.h"

class CHttp;

struct VerifiedUpdate {
    std::optional<UpdateInfo> info;  // the installer to fetch, set when the reply verified
    std::string userText;            // otherwise: the failure view's text
    std::string logText;             // otherwise: the cause, for the diagnostic log
    bool webPage = false;            // what came instead was a web page (a sign-in page, say)
};

// Asks url (a second time at once when the first answer brings nothing) and verifies what came.
// A reply that could not be fetched is shown as a failed transfer; a refused one with the
// verdict's text.
VerifiedUpdate FetchVerifiedUpdate(CHttp& http, const std::string& url,
                                   const UpdateReplyExpectation& expect,
                                   std::span<const UpdateKey> keys);

// What the worker fetches for an accepted reply: its address, version, digest and size, and
// the document for the page.
UpdateInfo UpdateInfoOf(const AcceptedUpdate& update);
