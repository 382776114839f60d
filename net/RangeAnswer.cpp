#include "net/RangeAnswer.h"

#include <glib.h>

#include "base/Format.h"
#include "net/ContentRange.h"
#include "net/DownloadHeaders.h"

namespace {
using V = AnswerVerdict;

std::string Bytes(std::uint64_t first, std::uint64_t end) {
    const auto from = static_cast<unsigned long long>(first);
    if (end == kOpenEnd) return Format("bytes %llu-", from);
    return Format("bytes %llu-%llu", from, static_cast<unsigned long long>(end - 1));
}

AnswerJudgement Refused(const char* kind, std::string reason) {
    AnswerJudgement judged;
    judged.refusal = kind;
    judged.reason = std::move(reason);
    return judged;
}

AnswerJudgement Verdict(AnswerVerdict verdict, std::uint64_t to = 0) {
    AnswerJudgement judged;
    judged.verdict = verdict;
    judged.to = to;
    return judged;
}

bool Coded(const RangeAnswer& answer) {
    return answer.contentEncoding && !answer.contentEncoding->empty() &&
           g_ascii_strcasecmp(answer.contentEncoding->c_str(), "identity") != 0;
}

std::uint64_t LengthOr(const RangeAnswer& answer, std::uint64_t from) {
    if (answer.contentLength < 0) return kOpenEnd;
    return from + static_cast<std::uint64_t>(answer.contentLength);
}

// A 200 (or another 2xx): the whole file from its first byte.
AnswerJudgement Whole(const RangeAsk& ask, const RangeAnswer& answer,
                      const AnswerContext& context) {
    if (context.firstRequest) {
        // Nothing on disk is worth keeping before or beyond it: it simply is the file.
        const bool keepsNothing = ask.First() == 0 && !context.doneBeyond;
        AnswerJudgement judged = Verdict(keepsNothing ? V::Take : V::Restart, LengthOr(answer, 0));
        // From the first byte, the body starts with the overlap asked for.
        judged.compareOverlap = keepsNothing && ask.overlap > 0;
        return judged;
    }
    // To a later range: the same file when its length and validator say so (a signed size
    // vouches without a validator), otherwise the file changed.
    const bool sameLength = answer.contentLength >= 0 &&
                            static_cast<std::uint64_t>(answer.contentLength) == context.knownSize;
    if (!sameLength) return Verdict(context.sizeSigned ? V::Contradicts : V::Changed);
    const bool sameValidator = ask.ifRange ? answer.validator == ask.ifRange : context.sizeSigned;
    return Verdict(sameValidator ? V::IgnoresRange : V::Changed);
}

// Whether a 206's part is the one asked for; the verdict when it is not.
std::optional<AnswerJudgement> OtherPart(const RangeAsk& ask, const ContentRangeParts& part,
                                         const AnswerContext& context) {
    const std::string words =
        "answered " + Bytes(part.first, part.last + 1) + " for " + Bytes(ask.First(), ask.end);
    if (part.first != ask.First()) return Refused("another range", words);
    // A shorter end is valid: those bytes are taken and the rest asked for again.
    // A later range must bring at least a byte of its own; a download's first request to a
    // complete partial brings only the overlap.
    const bool none = context.firstRequest ? part.last + 1 < ask.start : part.last + 1 <= ask.start;
    if (part.last + 1 > ask.end || none) return Refused("another range", words);
    if (part.total && context.knownSize && *part.total != context.knownSize)
        return Verdict(context.sizeSigned ? V::Contradicts : V::Changed);
    return std::nullopt;
}

AnswerJudgement Partial(const RangeAsk& ask, const RangeAnswer& answer,
                        const AnswerContext& context) {
    const auto part = answer.contentRange ? ParseContentRange(*answer.contentRange) : std::nullopt;
    if (!part)
        return Refused("no Content-Range",
                       "206 without a usable Content-Range: " + answer.contentRange.value_or(""));
    // If-Range was not honoured: the server's copy is named otherwise now.
    if (ask.ifRange && answer.validator && *answer.validator != *ask.ifRange)
        return Verdict(V::Changed);
    // The file there now ends before the range: it is another.
    if (part->total && *part->total < ask.start) return Verdict(V::Changed);
    // From the first byte to a resume: the file again, whole or in part.
    if (part->first == 0 && ask.First() > 0 && context.firstRequest)
        return Verdict(V::Restart, part->last + 1);
    if (auto other = OtherPart(ask, *part, context)) return *other;
    AnswerJudgement judged = Verdict(V::Take, part->last + 1);
    judged.compareOverlap = ask.overlap > 0;
    // Without a validator nothing says If-Range was even looked at: only the overlap can.
    judged.untrusted = ask.ifRange && !answer.validator;
    if (judged.untrusted && !judged.compareOverlap) {
        AnswerJudgement refused =
            Refused("no validator", "answer without its validator to " + Bytes(ask.start, ask.end));
        refused.untrusted = true;
        return refused;
    }
    return judged;
}

AnswerJudgement Unsatisfied(const RangeAsk& ask, const AnswerContext& context) {
    // The file there ends before the range: it is not the file being written.
    if (context.firstRequest && ask.start == 0) return Refused("status", "server answered 416");
    return Verdict(context.sizeSigned && !context.firstRequest ? V::Contradicts : V::Changed);
}

// The body against what the judgement said it brings: its announced length, and as it comes.
AnswerJudgement Bounded(AnswerJudgement judged, const RangeAsk& ask, const RangeAnswer& answer) {
    const std::uint64_t from = judged.verdict == V::Restart ? 0 : ask.First();
    const std::uint64_t to = judged.to;
    const std::string part = Bytes(from, to);
    if (to != kOpenEnd && answer.contentLength >= 0 &&
        static_cast<std::uint64_t>(answer.contentLength) != to - from)
        return Refused("length", Format("answered %lld bytes for ",
                                        static_cast<long long>(answer.contentLength)) +
                                     part);
    if (to != kOpenEnd && answer.bodyBytes > to - from)
        return Refused("longer", "sent more than " + part);
    const std::uint64_t wanted = judged.verdict == V::Restart ? 0 : ask.overlap;
    const bool rangeHasBytes = to > from + wanted;
    if (answer.bodyEnded && answer.bodyBytes <= wanted && rangeHasBytes)
        return Refused("no byte", "ended without a byte of " + part);
    return judged;
}
}  // namespace

std::string RangeRequestHeaders(const RangeAsk& ask) {
    std::string headers = kDownloadHeaders;
    headers += "Accept-Encoding: identity\r\n";
    headers += Format("Range: bytes=%llu-", static_cast<unsigned long long>(ask.First()));
    if (ask.end != kOpenEnd) headers += std::to_string(ask.end - 1);
    headers += "\r\n";
    // The record keeps "etag VALUE" or "date VALUE"; If-Range carries the value alone.
    if (ask.ifRange)
        headers += "If-Range: " + ask.ifRange->substr(ask.ifRange->find(' ') + 1) + "\r\n";
    return headers;
}

bool ContradictsSignedSize(const RangeAsk& ask, const RangeAnswer& answer,
                           std::uint64_t signedSize) {
    const auto& range = answer.contentRange;
    if (answer.status == 416) {
        const auto total = range ? UnsatisfiedRangeTotal(*range) : std::nullopt;
        return total && *total != signedSize;
    }
    if (answer.status < 200 || answer.status >= 300) return false;
    std::uint64_t first = 0;
    if (answer.status == 206) {
        const auto total = range ? ContentRangeTotal(*range) : std::nullopt;
        if (total && *total != signedSize) return true;
        first = range ? ContentRangeFirst(*range).value_or(ask.First()) : ask.First();
        // A part may end early; only a whole-file answer's length is the file's.
        return answer.contentLength >= 0 &&
               first + static_cast<std::uint64_t>(answer.contentLength) > signedSize;
    }
    if (answer.contentLength < 0) return false;
    return static_cast<std::uint64_t>(answer.contentLength) != signedSize;
}

AnswerJudgement JudgeAnswer(const RangeAsk& ask, const RangeAnswer& answer,
                            const AnswerContext& context) {
    const long status = answer.status;
    if (status == 404 || status == 410) return Verdict(V::NotFound);
    if (status == 429 || status == 503) return Verdict(V::Busy);
    if (status >= 500 || status == 408) return Verdict(V::Retry);
    if (context.sizeSigned && ContradictsSignedSize(ask, answer, context.knownSize))
        return Verdict(V::Contradicts);
    if (status == 416) return Unsatisfied(ask, context);
    if (status < 200 || status >= 300)
        return Refused("status", "server answered " + std::to_string(status));
    if (Coded(answer))
        return Refused("coded",
                       "coded answer refused: Content-Encoding " + *answer.contentEncoding);
    AnswerJudgement judged =
        status == 206 ? Partial(ask, answer, context) : Whole(ask, answer, context);
    if (judged.verdict != V::Take && judged.verdict != V::Restart) return judged;
    return Bounded(std::move(judged), ask, answer);
}
