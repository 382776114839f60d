#pragma once
// How the answer to a download request is taken, given how many bytes the partial file
// already holds (and so which Range was asked for).

#include <cstdint>
#include <optional>
#include <string>

enum class ResumeAction {
    Append,           // the body continues the partial file at its end
    Restart,          // the body is the file from its first byte: the partial starts again
    AlreadyComplete,  // nothing left to send: the partial file holds the whole file
    Refuse,           // not the file: nothing of the body may reach the partial file
};

// status: the response's status; offset: the partial file's length; contentRange: the
// response's Content-Range header, if any.
ResumeAction DecideResume(long status, std::uint64_t offset,
                          const std::optional<std::string>& contentRange);

// A request for the file's bytes from offset on, asked from overlap bytes earlier so that
// those can be compared with the disk; If-Range carries the server's validator when known.
struct RangeAsk {
    std::uint64_t offset = 0;
    std::uint64_t overlap = 0;
    std::optional<std::string> ifRange;

    std::uint64_t First() const { return offset - overlap; }
};

enum class AnswerVerdict {
    Take,            // the answer continues the file as its action says
    CompareOverlap,  // taken only once its first bytes equal those on disk
    CheckDigest,     // "complete": only the partial's digest can confirm it
    ConfirmTail,     // "complete": ask again with an overlap, to compare the last bytes
    StartAgain,      // the server's file is not the partial's: ask for it from its first byte
    Contradicts,     // the answer's size is not the signed size: a fault of that address
    NotFound,        // the server answered 404
    Refuse,          // nothing of this answer may reach the partial file
};

struct AnswerJudgement {
    AnswerVerdict verdict = AnswerVerdict::Refuse;
    ResumeAction action = ResumeAction::Refuse;
};

// What the client knows when it judges an answer: the file's size (0 when unknown) and whether
// a signature vouches for it, whether a digest will check the whole, and whether this request
// was asked to confirm "complete".
struct AnswerContext {
    std::uint64_t knownSize = 0;
    bool sizeSigned = false;
    bool haveDigest = false;
    bool confirmingTail = false;
};

// What of an answer decides how it is taken.
struct RangeAnswer {
    long status = 0;
    std::optional<std::string> contentRange;
    std::int64_t contentLength = -1;  // -1 without one
};

AnswerJudgement JudgeRangeAnswer(const RangeAsk& ask, const RangeAnswer& answer,
                                 const AnswerContext& context);

// Whether the sizes an answer claims (its length, a Content-Range or 416 total) contradict a
// signed size; a server that claims another size serves another file.
bool ContradictsSignedSize(const RangeAsk& ask, const RangeAnswer& answer,
                           std::uint64_t signedSize);

// The first byte position of a Content-Range value "bytes first-last/total".
std::optional<std::uint64_t> ContentRangeFirst(const std::string& value);
// The total of a Content-Range value "bytes first-last/total"; none when it is "*".
std::optional<std::uint64_t> ContentRangeTotal(const std::string& value);
// The total of an unsatisfied-range value "bytes */total".
std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& value);
