// One range's body: received block by block into its buffer, written where it belongs, and
// held to what its answer was judged to bring. Bytes past that end the request: past the
// file's end they are a fault of the address, past what was asked a refusal.

#include <algorithm>

#include "net/AnswerOf.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/RangedTransfer.h"
#include "net/TransferSink.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
// At most this much of one range is taken in a turn, so that the others are read in time.
constexpr int kBlocksPerTurn = 64;
}  // namespace

bool CRangedTransfer::Receive(CRange& range) {
    if (!range.compared) return CompareOverlap(range);
    bool moved = false;
    for (int block = 0; block < kBlocksPerTurn && range.phase == CRange::Phase::Receiving;
         ++block) {
        const std::uint64_t end = ReceivableEnd(range);
        if (end == range.at) return AtPieceEnd(range) || moved;
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, end - range.at));
        if (range.held + want > kRangeBufferBytes)
            if (NetResult written = WriteOut(range); !written.Ok()) {
                m_fatal = written;
                return true;
            }
        std::size_t got = 0;
        const NetResult read =
            range.file->ReadAvailable(range.buffer.get() + range.held, want, got);
        if (got > 0) {
            Took(range, got);
            moved = true;
            if (range.phase != CRange::Phase::Receiving) return true;
        }
        if (!read.Ok()) {
            Fail(range, read);
            return true;
        }
        if (got > 0) continue;
        if (!range.file->Ended()) return moved;
        return BodyEnded(range) || true;
    }
    return moved;
}

// Where this range's bytes from range.at may go now: to the end of what it owns (continued
// into the next piece while its answer runs on), never past its answer's end. A racer owns
// nothing until it is ahead; it may take what it asked for.
std::uint64_t CRangedTransfer::ReceivableEnd(CRange& range) {
    if (range.racing >= 0) return range.answerEnd;
    std::uint64_t end = m_table.OwnedEnd(range.id, range.at);
    if (end == range.at && range.answerEnd > range.at) end = ContinueInto(range);
    return std::min(end, range.answerEnd);
}

// The next piece for a range whose answer runs on: the free one after it, or one another range
// has only asked for so far (that request is dropped: this answer already brings its bytes).
std::uint64_t CRangedTransfer::ContinueInto(CRange& range) {
    const std::uint64_t piece = m_parts.context.ranges.pieceBytes;
    if (const std::optional<int> owner = m_table.OwnerAt(range.at); owner && *owner != range.id) {
        CRange& other = *m_ranges[static_cast<std::size_t>(*owner)];
        if (other.phase == CRange::Phase::Asking && other.at == range.at) Drop(other);
    }
    return m_table.Extend(range.id, range.at, piece);
}

// Block by block, into the window's one stream of events: the bytes present over every range.
void CRangedTransfer::Took(CRange& range, std::size_t got) {
    range.bodyBytes += got;
    range.at += got;
    range.held += got;
    const std::size_t fresh = range.racing >= 0 ? RacedBytes(range, got) : got;
    if (fresh == 0) return;
    // One reading of the clock a block, for the speed, the range's pace and its floor.
    const auto now = CRange::Clock::now();
    range.kept += fresh;
    NotePace(range, now);
    m_present += fresh;
    m_received += fresh;
    if (ITransferSink* sink = m_parts.job.sink) {
        sink->OnBlockWritten(m_present, m_parts.reportedSize);
        if (auto speed = m_clock.AverageKiBPerSecond(m_received, now)) sink->OnAverageSpeed(*speed);
    }
    if (range.floor && range.floor->Below(range.kept, now)) {
        const CTransferLimits& limits = m_parts.context.session.Limits();
        Fail(range, NetResult::Fail(NetFailure::Stalled,
                                    "less than " + std::to_string(limits.minBytesPerSecond) +
                                        " bytes a second kept over " +
                                        std::to_string(limits.rateWindowSeconds) + " s"));
    }
}

// The range has all it may take of its answer. A body that ends there ends the piece; one that
// runs on past the file's end, or past what was asked, ends the request as a failure.
bool CRangedTransfer::AtPieceEnd(CRange& range) {
    const std::string& url = m_sources[static_cast<std::size_t>(range.source)].url;
    const bool fileEnd = m_parts.sizeKnown && range.at == m_table.Size();
    // The next bytes are another range's: this answer has served its part.
    if (!fileEnd && range.at < range.answerEnd) {
        EndPiece(range);
        return true;
    }
    char extra = 0;
    std::size_t got = 0;
    if (NetResult read = range.file->ReadAvailable(&extra, 1, got); !read.Ok()) {
        Fail(range, read);
        return true;
    }
    if (got == 0 && range.file->Ended()) return BodyEnded(range);
    if (got == 0) {
        // The body's end is due: with a length at once; at the file's end it is waited for,
        // since bytes past it would be no part of the file.
        if (fileEnd || range.file->ContentLength() >= 0) return false;
        EndPiece(range);
        return true;
    }
    // An answer asked to run to the file's end that runs past it is not the file.
    if (fileEnd && range.ask.end == kOpenEnd) {
        m_fatal = NetResult::Fail(NetFailure::TooLarge, url);
        return true;
    }
    const AnswerJudgement judged = Rejudge(range, range.bodyBytes + 1, false);
    if (judged.verdict != AnswerVerdict::Refuse) {
        EndPiece(range);
        return true;
    }
    Refused(range, judged);
    Fail(range, FailureOf(judged, url, *range.file));
    return true;
}

// The body ended cleanly (a failed transfer is a read failure instead).
bool CRangedTransfer::BodyEnded(CRange& range) {
    const AnswerJudgement judged = Rejudge(range, range.bodyBytes, true);
    const RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    if (judged.verdict == AnswerVerdict::Refuse) {
        Refused(range, judged);
        Fail(range, FailureOf(judged, from.url, *range.file));
    } else if (!m_parts.sizeKnown && range.answerEnd == kOpenEnd && range.racing < 0) {
        // A file of unknown size ends where its body does.
        if (NetResult written = WriteOut(range); !written.Ok()) m_fatal = written;
        m_table.EndAt(range.at);
        EndPiece(range);
    } else if (range.at < std::min(range.answerEnd, m_table.Size()) &&
               m_table.OwnedEnd(range.id, range.at) > range.at) {
        Fail(range, NetResult::Fail(NetFailure::Incomplete, "answer ended early"));
    } else {
        EndPiece(range);
    }
    return true;
}

AnswerJudgement CRangedTransfer::Rejudge(const CRange& range, std::uint64_t bodyBytes,
                                         bool ended) const {
    RangeAnswer answer = AnswerOf(*range.file, range.ask);
    answer.bodyBytes = bodyBytes;
    answer.bodyEnded = ended;
    return JudgeAnswer(range.ask, answer, range.judgedIn);
}

NetResult CRangedTransfer::WriteOut(CRange& range) {
    if (range.held == 0) return {};
    const std::uint64_t from = range.at - range.held;
    const std::size_t size = range.held;
    range.held = 0;
    if (NetResult written = m_parts.partial.WriteAt(from, range.buffer.get(), size); !written.Ok())
        return written;
    m_table.MarkDone(from, range.at, range.source);
    if (m_parts.digest) {
        m_parts.digest->Offer(from, range.buffer, size);
        m_parts.digest->Follow(m_table.Prefix());
    }
    return {};
}
