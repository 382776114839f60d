// Feeds arbitrary answers (status, Content-Range, Content-Length, validator, coding, body
// length) to the judgement of a range request's answer. Whatever the server says, its bytes may
// only be taken when they are the range asked for, of the same copy, uncoded; otherwise the
// partial file would be corrupted or spliced.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "net/ContentRange.h"
#include "net/RangeAnswer.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

std::optional<std::string> MaybeText(FuzzedDataProvider& input) {
    if (!input.ConsumeBool()) return std::nullopt;
    return input.ConsumeRandomLengthString(40);
}

std::uint64_t Position(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeIntegral<std::uint64_t>()
                               : input.ConsumeIntegral<std::uint16_t>();
}

// A Take brings exactly bytes [First(), to) of the copy asked for.
void RequireTakeIsTheAsk(const RangeAsk& ask, const RangeAnswer& answer,
                         const AnswerJudgement& judged) {
    Require(answer.status >= 200 && answer.status < 300);
    Require(!answer.contentEncoding || *answer.contentEncoding == "identity" ||
            answer.contentEncoding->empty());
    // A whole answer is the file from its first byte, whatever it is named now; a part must be
    // of the copy asked for.
    if (answer.status != 206) {
        Require(ask.First() == 0);
        return;
    }
    if (ask.ifRange && answer.validator) Require(*answer.validator == *ask.ifRange);
    const auto part = ParseContentRange(answer.contentRange.value_or(""));
    Require(part && part->first == ask.First() && judged.to == part->last + 1);
    Require(judged.to <= ask.end && judged.to >= ask.start);
    if (answer.contentLength >= 0)
        Require(static_cast<std::uint64_t>(answer.contentLength) == judged.to - ask.First());
    Require(answer.bodyBytes <= judged.to - ask.First());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    RangeAsk ask;
    ask.start = Position(input);
    ask.end = input.ConsumeBool() ? kOpenEnd : ask.start + input.ConsumeIntegral<std::uint16_t>();
    ask.overlap = std::min<std::uint64_t>(ask.start, input.ConsumeIntegral<std::uint16_t>());
    ask.ifRange = MaybeText(input);
    const AnswerContext context{Position(input), input.ConsumeBool(), input.ConsumeBool(),
                                input.ConsumeBool()};
    RangeAnswer answer;
    answer.status = input.ConsumeIntegralInRange<long>(0, 999);
    answer.contentLength = input.ConsumeIntegralInRange<std::int64_t>(-1, 1 << 20);
    answer.validator = MaybeText(input);
    answer.contentEncoding = MaybeText(input);
    answer.bodyBytes = input.ConsumeIntegral<std::uint32_t>();
    answer.bodyEnded = input.ConsumeBool();
    answer.contentRange = MaybeText(input);

    const AnswerJudgement judged = JudgeAnswer(ask, answer, context);
    if (judged.verdict == AnswerVerdict::Take) RequireTakeIsTheAsk(ask, answer, judged);
    if (judged.verdict == AnswerVerdict::Restart) Require(context.firstRequest);
    if (judged.verdict == AnswerVerdict::IgnoresRange) Require(!context.firstRequest);
    return 0;
}
