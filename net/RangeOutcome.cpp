// How a range's request ends: its piece done, or a failure decided by the same retry policy as
// a whole attempt. Only a request that made useful progress (RetrySettings::usefulBytes kept,
// or kept at the rate floor) clears the range's failures in a row; one that ended with less
// counts as a failure itself, so that a server answering a byte at a time is given up.

#include <algorithm>

#include "base/Format.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/RangedTransfer.h"

bool CRangedTransfer::Useful(const CRange& range) const {
    return IsUsefulProgress(range.kept, CRange::Clock::now() - range.answeredAt,
                            m_parts.context.session.Limits().minBytesPerSecond,
                            m_parts.context.retry);
}

void CRangedTransfer::EndPiece(CRange& range) {
    if (NetResult written = WriteOut(range); !written.Ok()) m_fatal = written;
    if (Useful(range) || range.racing >= 0) {
        range.failuresInRow = 0;
        Drop(range);
        return;
    }
    Fail(range, NetResult::Fail(NetFailure::Incomplete,
                                Format("kept %llu bytes: no useful progress",
                                       static_cast<unsigned long long>(range.kept))));
}

void CRangedTransfer::Drop(CRange& range) {
    EndRaceOf(range);
    m_table.Release(range.id, range.at);
    // An answer not read to its end takes its connection with it.
    range.file.reset();
    range.phase = CRange::Phase::Idle;
    range.floor.reset();
}

void CRangedTransfer::Fail(CRange& range, NetResult failure) {
    if (NetResult written = WriteOut(range); !written.Ok()) m_fatal = written;
    const bool useful = range.phase == CRange::Phase::Receiving && Useful(range);
    RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    Drop(range);
    if (useful) range.failuresInRow = 0;
    m_lastFailure = failure.At(from.url);
    const bool others = std::any_of(m_sources.begin(), m_sources.end(),
                                    [&](const auto& s) { return s.usable && &s != &from; });
    switch (ClassifyFailure(failure)) {
        case FailureKind::Final:
            m_fatal = failure;
            return;
        case FailureKind::AddressDone:
            from.usable = false;  // its work is the other addresses', if any
            return;
        case FailureKind::Refused:
            if (others) return void(from.usable = false);
            break;
        case FailureKind::Transient:
            break;
    }
    const bool alone = std::none_of(m_ranges.begin(), m_ranges.end(), [&](const auto& other) {
        return other.get() != &range && !other->retired;
    });
    // Past its tries its work is the others'; the last one left ends the transfer.
    if (++range.failuresInRow > m_parts.context.retry.maxTries || alone) {
        range.retired = true;
        return;
    }
    const double draw = std::uniform_real_distribution<double>(-1.0, 1.0)(m_jitter);
    range.retryAt = CRange::Clock::now() + RetryDelay(m_parts.context.retry, range.failuresInRow,
                                                      failure.RetryAfterSeconds(), draw);
}
