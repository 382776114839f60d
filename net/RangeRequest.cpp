// One range of a download as it goes: it takes the next piece and asks an address for it
// (with If-Range, or an overlap to compare when no validator is known), judges the answer,
// receives the body into its buffer and writes it where it belongs, and fails on its own.

#include <algorithm>

#include "base/DebugTrace.h"
#include "base/Format.h"
#include "net/Http.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/RangedTransfer.h"
#include "net/TransferSink.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
// At most this much of one range is taken in a turn, so that the others are read in time.
constexpr int kBlocksPerTurn = 64;
// An idle range takes half of another's piece only when that half is at least this long.
constexpr std::uint64_t kMinStealBytes = 1 << 20;
// Without a validator, the bytes just before a range are asked for again and compared.
constexpr std::uint64_t kOverlapBytes = 64 * 1024;

std::string PieceHeaders(const PieceAsk& ask) {
    return kDownloadHeaders +
           Format("Range: bytes=%llu-%llu\r\n", static_cast<unsigned long long>(ask.first),
                  static_cast<unsigned long long>(ask.last)) +
           (ask.validator ? "If-Range: " + *ask.validator + "\r\n" : std::string());
}

bool Due(const CRange& range) {
    return std::chrono::steady_clock::now() >= range.retryAt;
}
}  // namespace

bool CRangedTransfer::Service(CRange& range) {
    if (!m_fatal.Ok()) return false;
    switch (range.phase) {
        case CRange::Phase::Idle:
            return StartNext(range);
        case CRange::Phase::Asking:
            return TakeAnswer(range);
        case CRange::Phase::Receiving:
            return Receive(range);
    }
    return false;
}

bool CRangedTransfer::StartNext(CRange& range) {
    if (range.retired || !Due(range)) return false;
    const std::optional<int> source = PickSource();
    if (!source) return false;
    auto piece = m_table.Claim(range.id, m_parts.settings.pieceBytes);
    if (!piece && !m_table.AnyFree()) piece = m_table.Steal(range.id, kMinStealBytes);
    if (!piece) return false;
    Ask(range, *source, piece->start, piece->end);
    return true;
}

void CRangedTransfer::Ask(CRange& range, int source, std::uint64_t start, std::uint64_t end) {
    const RangeSource& from = m_sources[static_cast<std::size_t>(source)];
    range.source = source;
    range.at = start;
    range.answerEnd = end;
    range.ask = {start, end - 1, m_parts.record.IfRangeFor(from.host)};
    range.overlap.clear();
    range.overlapWanted = 0;
    if (!range.ask.validator && start >= kOverlapBytes &&
        m_table.AllDone(start - kOverlapBytes, start)) {
        range.overlapWanted = kOverlapBytes;
        range.ask.first = start - kOverlapBytes;
    }
    range.file =
        std::make_unique<CHttpFile>(m_parts.session, HttpVerb::Get, from.url, m_parts.requestFlags);
    range.phase = CRange::Phase::Asking;
    if (NetResult sent = range.file->StartRequest(PieceHeaders(range.ask)); !sent.Ok())
        Fail(range, sent);
}

bool CRangedTransfer::TakeAnswer(CRange& range) {
    CHttpFile& file = *range.file;
    if (!file.Answered()) {
        if (!file.Ended()) return false;
        NetResult failure = file.AnswerResult();
        if (failure.Ok()) failure = NetResult::Fail(NetFailure::Connect, "no answer");
        Fail(range, failure);
        return true;
    }
    // The record keeps "etag VALUE"; an If-Range carries the value alone.
    const auto named =
        ValidatorOf(file.ResponseHeader("ETag"), file.ResponseHeader("Last-Modified"));
    const PieceAnswer answer{
        file.QueryInfoStatusCode(), file.ResponseHeader("Content-Range"), file.ContentLength(),
        named ? std::optional(named->substr(named->find(' ') + 1)) : std::nullopt};
    const bool sizeSigned = m_parts.job.target.size > 0;
    Judged(range, JudgePieceAnswer(range.ask, answer, m_table.Size(), sizeSigned), named);
    return true;
}

void CRangedTransfer::Judged(CRange& range, PieceVerdict verdict,
                             const std::optional<std::string>& validator) {
    RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    const long status = range.file->QueryInfoStatusCode();
    const auto refused = [&](NetFailure kind) {
        return NetResult::Fail(kind, std::to_string(status) + " (" + from.url + ")")
            .Answered(status, range.file->RetryAfterSeconds());
    };
    switch (verdict) {
        case PieceVerdict::Take:
            if (validator && !range.ask.validator)
                m_parts.record.validators[from.host] = *validator;
            // Where the body really ends: a server may send more than was asked for.
            if (const std::int64_t length = range.file->ContentLength(); length >= 0)
                range.answerEnd = range.ask.first + static_cast<std::uint64_t>(length);
            range.phase = CRange::Phase::Receiving;
            return;
        case PieceVerdict::IgnoresRange:
            // The others go on; this address serves no more ranges in this run.
            TRACE("%s ignores Range: one connection to it\n", from.url.c_str());
            from.usable = false;
            m_parts.hostLimits[from.host] = 1;
            Drop(range);
            return;
        case PieceVerdict::Changed:
            m_changed = true;
            return;
        case PieceVerdict::AddressFault:
            from.usable = false;
            return Fail(range, refused(status == 404 ? NetFailure::NotFound : NetFailure::Refused));
        case PieceVerdict::Busy: {
            int& limit = m_parts.hostLimits[from.host];
            limit = std::max(1, std::min(limit, LiveTo(from.host)) - 1);
            return Fail(range, refused(NetFailure::Refused));
        }
        case PieceVerdict::Retry:
            return Fail(range, refused(NetFailure::Refused));
    }
}

bool CRangedTransfer::Receive(CRange& range) {
    if (range.overlap.size() < range.overlapWanted) return CompareOverlap(range);
    bool moved = false;
    for (int block = 0; block < kBlocksPerTurn; ++block) {
        std::uint64_t end = m_table.OwnedEnd(range.id, range.at);
        // An answer that runs on continues into the next piece while that is free.
        if (end == range.at && range.answerEnd > range.at) end = ContinueInto(range);
        if (end == range.at) {
            // A piece asked for whole ends with its answer: the connection then serves the next.
            if (range.answerEnd == range.at && !range.file->Ended()) return moved;
            EndPiece(range);
            return true;
        }
        const std::size_t want =
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
        }
        if (!read.Ok()) {
            Fail(range, read);
            return true;
        }
        if (got > 0) continue;
        if (!range.file->Ended()) return moved;
        if (range.at < range.answerEnd)
            Fail(range, NetResult::Fail(NetFailure::Incomplete, "answer ended early"));
        else
            EndPiece(range);
        return true;
    }
    return moved;
}

// Block by block, into the window's one stream of events: the bytes present over every range.
void CRangedTransfer::Took(CRange& range, std::size_t got) {
    range.held += got;
    range.at += got;
    range.gained = true;
    m_present += got;
    m_received += got;
    if (ITransferSink* sink = m_parts.job.sink) {
        sink->OnBlockWritten(m_present, m_table.Size());
        if (auto speed = m_clock.AverageKiBPerSecond(m_received)) sink->OnAverageSpeed(*speed);
    }
}

// The next piece for a range whose answer runs on: the free one after it, or one another range
// has only asked for so far (that request is dropped: this answer already brings its bytes).
std::uint64_t CRangedTransfer::ContinueInto(CRange& range) {
    const std::uint64_t piece = m_parts.settings.pieceBytes;
    if (const std::optional<int> owner = m_table.OwnerAt(range.at); owner && *owner != range.id) {
        CRange& other = *m_ranges[static_cast<std::size_t>(*owner)];
        if (other.phase == CRange::Phase::Asking && other.at == range.at) Drop(other);
    }
    return m_table.Extend(range.id, range.at, piece);
}

// The answer's first bytes, those already on disk, must be the disk's: otherwise the address
// serves another file (with a signed digest, its fault; without, the file changed).
bool CRangedTransfer::CompareOverlap(CRange& range) {
    char block[kBlockBytes];
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kBlockBytes, range.overlapWanted - range.overlap.size()));
    std::size_t got = 0;
    const NetResult read = range.file->ReadAvailable(block, want, got);
    range.overlap.append(block, got);
    if (!read.Ok() || (got == 0 && range.file->Ended())) {
        Fail(range,
             read.Ok() ? NetResult::Fail(NetFailure::Incomplete, "answer ended early") : read);
        return true;
    }
    if (range.overlap.size() < range.overlapWanted) return got > 0;
    std::string onDisk;
    if (NetResult r = m_parts.partial.ReadAt(range.ask.first, range.overlap.size(), onDisk);
        !r.Ok())
        m_fatal = r;
    else if (onDisk != range.overlap)
        Judged(range,
               m_parts.job.target.size > 0 ? PieceVerdict::AddressFault : PieceVerdict::Changed,
               std::nullopt);
    return true;
}

NetResult CRangedTransfer::WriteOut(CRange& range) {
    if (range.held == 0) return {};
    const std::uint64_t from = range.at - range.held;
    const NetResult written = m_parts.partial.WriteAt(from, range.buffer.get(), range.held);
    range.held = 0;
    if (!written.Ok()) return written;
    m_table.MarkDone(from, range.at, range.source);
    if (m_parts.digest) m_parts.digest->Follow(m_table.Prefix());
    return {};
}

void CRangedTransfer::EndPiece(CRange& range) {
    if (NetResult written = WriteOut(range); !written.Ok()) m_fatal = written;
    range.failuresInRow = 0;
    Drop(range);
}

void CRangedTransfer::Drop(CRange& range) {
    m_table.Release(range.id, range.at);
    // An answer not read to its end takes its connection with it.
    range.file.reset();
    range.phase = CRange::Phase::Idle;
}

void CRangedTransfer::Fail(CRange& range, NetResult failure) {
    if (NetResult written = WriteOut(range); !written.Ok()) m_fatal = written;
    Drop(range);
    if (range.gained) range.failuresInRow = 0;
    range.gained = false;
    const bool alone = std::none_of(m_ranges.begin(), m_ranges.end(), [&](const auto& other) {
        return other.get() != &range && !other->retired;
    });
    m_lastFailure = std::move(failure);
    // Past its tries its work is the others'; the last one left ends the transfer.
    if (++range.failuresInRow > m_parts.settings.maxTries || alone) {
        range.retired = true;
        return;
    }
    range.retryAt = std::chrono::steady_clock::now() +
                    m_parts.settings.firstDelay * (1 << std::min(range.failuresInRow - 1, 10));
}
