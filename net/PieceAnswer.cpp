#include "net/PieceAnswer.h"

#include "net/ResumeAnswer.h"

namespace {
PieceVerdict JudgePartial(const PieceAsk& ask, const PieceAnswer& answer, std::uint64_t fileSize,
                          bool sizeSigned) {
    const PieceVerdict otherFile = sizeSigned ? PieceVerdict::AddressFault : PieceVerdict::Changed;
    const auto& range = answer.contentRange;
    const auto total = range ? ContentRangeTotal(*range) : std::nullopt;
    if (total && *total != fileSize) return otherFile;
    // If-Range was not honoured: the server's copy is named otherwise now.
    if (ask.validator && answer.validator && *answer.validator != *ask.validator) return otherFile;
    const auto first = range ? ContentRangeFirst(*range) : std::nullopt;
    if (!first || *first != ask.first) return PieceVerdict::AddressFault;
    return PieceVerdict::Take;
}

// A whole file to a range request: the same file when its length and validator say so (a
// signed size vouches without a validator), otherwise the file changed.
PieceVerdict JudgeWhole(const PieceAsk& ask, const PieceAnswer& answer, std::uint64_t fileSize,
                        bool sizeSigned) {
    const bool sameLength =
        answer.contentLength >= 0 && static_cast<std::uint64_t>(answer.contentLength) == fileSize;
    if (!sameLength) return sizeSigned ? PieceVerdict::AddressFault : PieceVerdict::Changed;
    const bool sameValidator = ask.validator ? answer.validator == ask.validator : sizeSigned;
    return sameValidator ? PieceVerdict::IgnoresRange : PieceVerdict::Changed;
}
}  // namespace

PieceVerdict JudgePieceAnswer(const PieceAsk& ask, const PieceAnswer& answer,
                              std::uint64_t fileSize, bool sizeSigned) {
    const long status = answer.status;
    if (status == 206) return JudgePartial(ask, answer, fileSize, sizeSigned);
    if (status == 200) return JudgeWhole(ask, answer, fileSize, sizeSigned);
    if (status == 416) return sizeSigned ? PieceVerdict::AddressFault : PieceVerdict::Changed;
    if (status == 429 || status == 503) return PieceVerdict::Busy;
    if (status >= 500 || status == 408) return PieceVerdict::Retry;
    return PieceVerdict::AddressFault;
}
