#include "net/ResumeAnswer.h"

#include <charconv>
#include <string_view>

namespace {
constexpr std::string_view kUnit = "bytes ";

std::optional<std::uint64_t> NumberAt(std::string_view text, char terminator) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    if (terminator ? (end == text.data() + text.size() || *end != terminator)
                   : end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::string_view> AfterUnit(const std::string& value) {
    std::string_view text = value;
    if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
    return text.substr(kUnit.size());
}
}  // namespace

std::optional<std::uint64_t> ContentRangeFirst(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range) return std::nullopt;
    return NumberAt(*range, '-');
}

std::optional<std::uint64_t> ContentRangeTotal(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range) return std::nullopt;
    std::size_t slash = range->find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    return NumberAt(range->substr(slash + 1), '\0');
}

std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range || range->substr(0, 2) != "*/") return std::nullopt;
    return NumberAt(range->substr(2), '\0');
}

ResumeAction DecideResume(long status, std::uint64_t offset,
                          const std::optional<std::string>& contentRange) {
    if (status == 206) {
        auto first = contentRange ? ContentRangeFirst(*contentRange) : std::nullopt;
        if (first && *first == offset) return ResumeAction::Append;
        if (first && *first == 0) return ResumeAction::Restart;
        return ResumeAction::Refuse;
    }
    if (status == 416) {
        auto total = contentRange ? UnsatisfiedRangeTotal(*contentRange) : std::nullopt;
        if (offset > 0 && total && *total == offset) return ResumeAction::AlreadyComplete;
        return ResumeAction::Refuse;
    }
    if (status >= 200 && status < 300)
        return offset == 0 ? ResumeAction::Append : ResumeAction::Restart;
    return ResumeAction::Refuse;
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
    }
    if (answer.contentLength < 0) return false;
    return first > signedSize ||
           static_cast<std::uint64_t>(answer.contentLength) != signedSize - first;
}

AnswerJudgement JudgeRangeAnswer(const RangeAsk& ask, const RangeAnswer& answer,
                                 const AnswerContext& context) {
    using V = AnswerVerdict;
    const long status = answer.status;
    if (status == 404) return {V::NotFound, ResumeAction::Refuse};
    if (context.sizeSigned && ContradictsSignedSize(ask, answer, context.knownSize))
        return {V::Contradicts, ResumeAction::Refuse};
    const ResumeAction action = DecideResume(status, ask.First(), answer.contentRange);
    if (action == ResumeAction::AlreadyComplete) {
        if (context.haveDigest) return {V::CheckDigest, action};
        return {context.confirmingTail ? V::StartAgain : V::ConfirmTail, action};
    }
    // A range past the end of another length: the remote file is not the partial's.
    if (status == 416) return {ask.offset > 0 ? V::StartAgain : V::Refuse, action};
    if (action == ResumeAction::Refuse) return {V::Refuse, action};
    if (action == ResumeAction::Append) {
        // The total a 206 names; 0 when it names none.
        const auto& range = answer.contentRange;
        const std::uint64_t total =
            status == 206 && range ? ContentRangeTotal(*range).value_or(0) : 0;
        // The file there now has another size: not the partial's file.
        if (ask.offset > 0 && total > 0 &&
            ((context.knownSize && total != context.knownSize) || total < ask.offset))
            return {V::StartAgain, action};
        if (ask.overlap > 0) return {V::CompareOverlap, action};
    }
    return {V::Take, action};
}
