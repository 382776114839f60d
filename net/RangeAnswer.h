#pragma once
// A request for a range of a download's file, and the one judgement of its answer, whatever
// the request was: the first of a download or a later piece, in a download of one range or of
// several. The judgement is pure: it sees what was asked and what the answer says (its status,
// Content-Range, Content-Length, validator, Content-Encoding and the body's length so far),
// never the network, so every case can be checked as data.

#include <cstdint>
#include <optional>
#include <string>

// Where a range has no end of its own: the body runs to the end of the file.
inline constexpr std::uint64_t kOpenEnd = UINT64_MAX;

struct RangeAsk {
    std::uint64_t start = 0;             // the first byte the range wants
    std::uint64_t end = kOpenEnd;        // one past the last byte it wants
    std::uint64_t overlap = 0;           // bytes before start asked again, compared with the disk
    std::optional<std::string> ifRange;  // the validator sent as If-Range, as recorded

    std::uint64_t First() const { return start - overlap; }
};

// The request's header lines: the download header block, then "Accept-Encoding: identity" on
// a line of its own (the body is written as it comes, so it must come as the file's bytes),
// the Range and, with a validator, If-Range.
std::string RangeRequestHeaders(const RangeAsk& ask);

struct RangeAnswer {
    long status = 0;
    std::optional<std::string> contentRange;
    std::int64_t contentLength = -1;       // -1 without one
    std::optional<std::string> validator;  // as ValidatorOf makes it: "etag …" or "date …"
    std::optional<std::string> contentEncoding;  // the header's value, if any
    std::uint64_t bodyBytes = 0;                 // body bytes received so far
    bool bodyEnded = false;
};

struct AnswerContext {
    std::uint64_t knownSize = 0;  // the file's size as known before this answer, 0 if unknown
    bool sizeSigned = false;      // a signature vouches for that size (and a digest for the bytes)
    bool firstRequest = false;    // the download's first: an answer from byte 0 may replace all
    bool doneBeyond = false;      // done bytes lie beyond the range, kept only for the same file
};

enum class AnswerVerdict {
    Take,          // the body holds the file's bytes [First(), to): taken once the overlap matches
    Restart,       // the body is the file from its first byte: the partial starts again with it
    IgnoresRange,  // the same file whole to a later request: one connection to this address
    Changed,       // the server's file is not the one being written
    Contradicts,   // the answer claims another size than the signed one: the address is at fault
    NotFound,      // 404 or 410
    Busy,          // 429 or 503
    Retry,         // another passing failure: another 5xx, or 408
    Refuse,        // nothing of the answer may reach the file
};

struct AnswerJudgement {
    AnswerVerdict verdict = AnswerVerdict::Refuse;
    std::uint64_t to = 0;         // Take and Restart: one past the body's last byte, or kOpenEnd
    bool compareOverlap = false;  // the body's first ask.overlap bytes are compared with the disk
    bool untrusted = false;       // after If-Range, a 206 without any validator
    // Refuse: what kind of refusal (for logging each once per address) and its words.
    const char* refusal = "";
    std::string reason;
};

AnswerJudgement JudgeAnswer(const RangeAsk& ask, const RangeAnswer& answer,
                            const AnswerContext& context);

// Whether the sizes an answer claims (its length, a Content-Range or 416 total) contradict a
// signed size; a server that claims another size serves another file.
bool ContradictsSignedSize(const RangeAsk& ask, const RangeAnswer& answer,
                           std::uint64_t signedSize);
