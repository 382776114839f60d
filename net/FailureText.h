#pragma once
// The one place where a failed transfer becomes words: the user's text for the failure view,
// the client's last-error text and the diagnostic log's entry, all made from the same
// NetResult.

#include <string>
#include <string_view>

#include "net/NetResult.h"

struct FailureTexts {
    // What the download leaves as its last error (CHttp::LastError); empty for failures that
    // the next attempt simply resumes.
    std::string error;
    // The diagnostic log's entry; empty for failures that are not logged.
    std::string log;
};

// The texts of a failed download of destination (the installer's path).
FailureTexts DownloadFailureTexts(const NetResult& failure, const std::string& destination);

// The failure view's text: what the user can do about it. behindPortal: the network monitor
// sees a sign-in portal, which only changes the words for an answer that was a web page.
std::string UserTextFor(const NetResult& failure, bool behindPortal = false);
// The words for an answer that was a web page where an installer or update reply was due.
std::string WebPageText(bool behindPortal);

// The log's line for a failed exchange of text (the update reply, say), named by what.
std::string ExchangeLogText(const NetResult& failure, std::string_view what);
