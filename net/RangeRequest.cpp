// One range's request and its answer: it takes the next piece and asks an address for it
// (with If-Range when the address's validator is known, and the bytes before it again to
// compare whenever those are done), and judges the answer.

#include <algorithm>

#include "base/DebugTrace.h"
#include "net/AnswerOf.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/RangedTransfer.h"
#include "net/WebPageAnswer.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
// An idle range takes half of another's piece only when that half is at least this long.
constexpr std::uint64_t kMinStealBytes = 1 << 20;
// The bytes before a range asked for again, to compare with those on disk.
constexpr std::uint64_t kOverlapBytes = 64 * 1024;

bool Due(const CRange& range) {
    return std::chrono::steady_clock::now() >= range.retryAt;
}
}  // namespace

bool CRangedTransfer::Service(CRange& range) {
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
    auto piece = m_table.Claim(range.id, m_parts.context.ranges.pieceBytes);
    if (!piece && !m_table.AnyFree()) piece = m_table.Steal(range.id, kMinStealBytes);
    if (!piece) return !m_table.AnyFree() && StartRace(range);
    Ask(range, *source, piece->start, piece->end);
    return true;
}

// Whenever the bytes before start are done they are asked for again and compared: a server
// may keep its validator while its file changes. A host that gave no validator at all is held
// to whatever is done there.
std::uint64_t CRangedTransfer::OverlapBefore(std::uint64_t start, const RangeSource& from) const {
    const std::uint64_t done = m_table.DoneRunBefore(start);
    if (done >= kOverlapBytes) return kOverlapBytes;
    return m_parts.context.history.RangesDistrusted(from.host) ? done : 0;
}

void CRangedTransfer::Ask(CRange& range, int source, std::uint64_t start, std::uint64_t end) {
    const RangeSource& from = m_sources[static_cast<std::size_t>(source)];
    range.source = source;
    range.at = start;
    range.answerEnd = end;
    const bool distrusted = m_parts.context.history.RangesDistrusted(from.host);
    range.ask = {start, end, OverlapBefore(start, from),
                 distrusted ? std::nullopt : m_parts.record.ValidatorFor(from.host)};
    range.judgedIn = {m_table.Size() == kOpenEnd ? 0 : m_table.Size(), m_parts.job.target.size > 0,
                      false, false};
    range.overlap.clear();
    range.compared = range.ask.overlap == 0;
    range.bodyBytes = range.kept = 0;
    range.file = std::make_unique<CHttpFile>(m_parts.context.session, HttpVerb::Get, from.url,
                                             m_parts.context.requestFlags);
    range.phase = CRange::Phase::Asking;
    if (NetResult sent = range.file->StartRequest(RangeRequestHeaders(range.ask)); !sent.Ok())
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
    StartPace(range);
    const CTransferLimits& limits = m_parts.context.session.Limits();
    range.floor.emplace(limits.minBytesPerSecond, std::chrono::seconds(limits.rateWindowSeconds));
    Judged(range, JudgeAnswer(range.ask, AnswerOf(file, range.ask), range.judgedIn));
    return true;
}

void CRangedTransfer::Judged(CRange& range, const AnswerJudgement& judged) {
    RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    if (judged.untrusted) Refused(range, judged);
    // Nothing to compare it with yet: asked again once the bytes before it are done.
    if (judged.untrusted && judged.verdict == AnswerVerdict::Refuse) return Drop(range);
    switch (judged.verdict) {
        case AnswerVerdict::Take:
            if (const auto named = AnswerOf(*range.file, range.ask).validator;
                named && !range.ask.ifRange && !judged.untrusted &&
                !m_parts.context.history.RangesDistrusted(from.host))
                m_parts.record.validators[from.host] = *named;
            range.answerEnd = std::min(range.answerEnd, judged.to);
            range.phase = CRange::Phase::Receiving;
            return;
        case AnswerVerdict::IgnoresRange:
            // The others go on; this address serves no more ranges in this run.
            TRACE("%s ignores Range: one connection to it\n", from.url.c_str());
            from.usable = false;
            m_parts.context.history.ConnectionLimit(from.host, 1) = 1;
            Drop(range);
            return;
        case AnswerVerdict::Changed:
            // A web page now (a portal that came up meanwhile) is no new file to start again.
            if (IsHtmlType(range.file->ResponseHeader("Content-Type")))
                return Fail(range, NetResult::Fail(NetFailure::WebPage, from.url));
            m_changed = true;
            return;
        case AnswerVerdict::Busy: {
            int& limit = m_parts.context.history.ConnectionLimit(from.host,
                                                                 m_parts.context.ranges.maxPerHost);
            limit = std::max(1, std::min(limit, LiveTo(from.host)) - 1);
            break;
        }
        case AnswerVerdict::Refuse:
            Refused(range, judged);
            break;
        case AnswerVerdict::Restart:
        case AnswerVerdict::Contradicts:
        case AnswerVerdict::NotFound:
        case AnswerVerdict::Retry:
            break;
    }
    Fail(range, FailureOf(judged, from.url, *range.file));
}

// Logged once per address and kind; an address that named no copy after If-Range is held to
// one connection, without If-Range, its overlap always compared, from now on.
void CRangedTransfer::Refused(CRange& range, const AnswerJudgement& judged) {
    const RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    if (judged.untrusted) {
        m_parts.context.history.DistrustRanges(from.host);
        m_parts.context.history.ConnectionLimit(from.host, 1) = 1;
        m_parts.record.validators.erase(from.host);
        m_parts.context.LogOnce(from.url, "no validator",
                                "answer without its validator: one connection, bytes compared");
        return;
    }
    m_parts.context.LogOnce(from.url, judged.refusal, judged.reason);
}

// The answer's first bytes, those already on disk, must be the disk's: otherwise the address
// serves another file (with a signed digest, its fault; without, the file changed).
bool CRangedTransfer::CompareOverlap(CRange& range) {
    char block[kBlockBytes];
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kBlockBytes, range.ask.overlap - range.overlap.size()));
    std::size_t got = 0;
    const NetResult read = range.file->ReadAvailable(block, want, got);
    range.overlap.append(block, got);
    range.bodyBytes += got;
    if (!read.Ok() || (got == 0 && range.file->Ended())) {
        Fail(range,
             read.Ok() ? NetResult::Fail(NetFailure::Incomplete, "answer ended early") : read);
        return true;
    }
    if (range.overlap.size() < range.ask.overlap) return got > 0;
    std::string onDisk;
    if (NetResult r = m_parts.partial.ReadAt(range.ask.First(), range.overlap.size(), onDisk);
        !r.Ok()) {
        m_fatal = r;
        return true;
    }
    if (onDisk == range.overlap) return range.compared = true;
    const RangeSource& from = m_sources[static_cast<std::size_t>(range.source)];
    m_parts.context.LogOnce(
        from.url, "overlap",
        "the bytes before " + std::to_string(range.ask.start) + " differ from those on disk");
    if (m_parts.job.target.size > 0)
        Fail(range,
             NetResult::Fail(NetFailure::Contradicted, "other bytes than on disk").At(from.url));
    else
        m_changed = true;
    return true;
}
