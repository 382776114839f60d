#pragma once
// The update-information reply the publisher serves, written as the program checks it (see
// download/UpdateReplyDocument.h).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/publisher/InstallerFacts.h"

struct ReplyFields {
    std::string url;
    std::string version;
    std::string product;  // the product key of the programs the reply is for
    std::string channel;
    InstallerFacts installer;
    std::int64_t expires = 0;  // Unix seconds (UTC)
    std::string detail;        // left out when empty
    std::vector<std::string> mirrors;
};

// The reply body: an indented JSON object with UTF-8 text as is, ending in a line end.
std::string ReplyBody(const ReplyFields& fields);
