#pragma once
// The document of an update-information reply whose signature has verified: strict JSON whose
// members say which installer to fetch, for which channel, until when.

#include <cstdint>
#include <string>
#include <string_view>

#include "download/UpdateReplyVerdict.h"

// What the reply is checked against: facts of this program and this request.
struct UpdateReplyExpectation {
    std::string product;          // the program's product key, the "Version" parameter
    std::string channel;          // the channel the request asked for
    std::int64_t now = 0;         // the clock, Unix seconds (UTC)
    std::string acceptedVersion;  // ReadAcceptedVersion(); empty when none was accepted yet
};

// Parses exactly bytes as strict JSON (no comments, no trailing commas or text, no duplicate
// member names, no raw NUL anywhere) and checks the object's members:
//   "url"      string, an http(s) address              (Malformed otherwise)
//   "version"  non-empty string                        (Malformed otherwise)
//   "product"  our product key                         (WrongProduct otherwise, or missing)
//   "channel"  string                                  (Malformed; WrongChannel if not ours)
//   "sha256"   string of 64 hexadecimal digits         (Malformed otherwise)
//   "size"     integer, 1 to 2^63-1 bytes              (Malformed otherwise; 5.0 and 1e3 too)
//   "expires"  integer, Unix seconds (UTC)             (Malformed; Expired once passed;
//                                                       ExpiresTooLate when further ahead of
//                                                       expect.now than kMaxUpdateReplyDays)
//   "mirrors"  optional list of http(s) address strings
//   "detail"   optional string
// Other members are kept in the document and otherwise ignored. "version" is RolledBack when
// lower than expect.acceptedVersion in dotted numeric order; a version that is not dotted
// numeric cannot be ordered, so it passes only while no version has been accepted.
UpdateReplyVerdict CheckUpdateDocument(std::string_view bytes,
                                       const UpdateReplyExpectation& expect);
