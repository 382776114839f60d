// The transfer loop as a whole: it steps the ranges, opens the extra ones, makes checkpoints,
// and settles the record and the extents note when it ends.

#include "net/RangedTransfer.h"

#include <algorithm>

#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/SplitDecision.h"

namespace {
// While nothing moves, the ranges wait at most this long for the network (and the stop flag).
constexpr int kWaitMilliseconds = 100;
}  // namespace

CRangedTransfer::CRangedTransfer(const Parts& parts, std::vector<RangeSource> sources,
                                 std::vector<std::string> writers, CPieceTable& table)
    : m_parts(parts),
      m_sources(std::move(sources)),
      m_writers(std::move(writers)),
      m_table(table),
      m_checkpoint(parts.partial, parts.job.recordPath, parts.job.extentsPath),
      m_due(table.DoneBytes()),
      m_present(table.DoneBytes()),
      m_doneBefore(table.DoneBytes()) {}

CRangedTransfer::~CRangedTransfer() {
    // Requests end before the session and the partial they write into.
    for (auto& range : m_ranges) range->file.reset();
}

CRange& CRangedTransfer::AddRange() {
    auto range = std::make_unique<CRange>();
    range->id = static_cast<int>(m_ranges.size());
    range->buffer.reset(new char[kRangeBufferBytes]);
    m_ranges.push_back(std::move(range));
    return *m_ranges.back();
}

void CRangedTransfer::AdoptFirst(Agreement& agreed, bool maySplit) {
    const RangeAsk& ask = agreed.ask;
    m_maySplit = maySplit;
    CRange& first = AddRange();
    const std::uint64_t at = agreed.bodyAt;
    if (!agreed.answer || at >= m_table.Size()) return;
    if (!m_table.Claim(first.id, m_parts.context.ranges.pieceBytes)) return;
    first.file = std::move(agreed.answer);
    first.phase = CRange::Phase::Receiving;
    first.ask = ask;
    first.judgedIn = agreed.judgedIn;
    first.compared = true;  // while the answer was agreed on
    first.at = at;
    first.answerEnd = agreed.bodyEnd;
    StartPace(first);
    // What the judgement already read of the body: the overlap, or the file's first bytes.
    first.bodyBytes = agreed.action == ResumeAction::Restart ? at : at - ask.First();
    const CTransferLimits& limits = m_parts.context.session.Limits();
    first.floor.emplace(limits.minBytesPerSecond, std::chrono::seconds(limits.rateWindowSeconds));
}

bool CRangedTransfer::Stopping() const {
    return m_parts.context.session.StopFlag().load(std::memory_order_relaxed) != 0 ||
           m_parts.context.stop != 0;
}

NetResult CRangedTransfer::Run(Received& got) {
    m_changed = false;
    while (!Stopping() && m_fatal.Ok() && !m_changed && !m_table.Complete() && AnyLive()) {
        if (Step()) continue;
        if (NetResult waited = CHttpFile::WaitForAny(m_parts.context.session, kWaitMilliseconds);
            !waited.Ok())
            m_fatal = waited;
    }
    const NetResult settled = Settle(got);
    if (!m_fatal.Ok()) return m_fatal;
    if (m_changed) return NetResult::Fail(NetFailure::FileChanged, m_parts.job.url);
    if (!settled.Ok()) return settled;
    if (!m_table.Complete() && !Stopping()) return Ended();
    return {};
}

bool CRangedTransfer::Step() {
    bool moved = false;
    for (std::size_t i = 0; i < m_ranges.size() && !m_changed && m_fatal.Ok(); ++i)
        moved = Service(*m_ranges[i]) || moved;
    MaybeSplit();
    if (m_fatal.Ok() && m_due.Now(m_present))
        if (NetResult r = Checkpoint(); !r.Ok()) m_fatal = r;
    return moved;
}

// Asked splitAfter into the transfer, then again every splitAfter until it splits or too
// little remains, each time at the rate of the last splitAfter only: a server's first burst
// (a rate limit that starts with a second's worth), or bytes that waited in the socket while
// the answer was judged, make the start look faster than the rest will be.
void CRangedTransfer::MaybeSplit() {
    const RangeSettings& settings = m_parts.context.ranges;
    if (!m_maySplit || m_split) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_rateSince < settings.splitAfter) return;
    const std::uint64_t remaining = m_table.Size() - m_present;
    if (remaining <= settings.minRemainingToSplit) {
        m_maySplit = false;
        return;
    }
    const bool worth =
        WorthSplitting(now - m_rateSince, m_received - m_receivedBefore, remaining, settings);
    m_rateSince = now;
    m_receivedBefore = m_received;
    if (!worth) return;
    m_split = true;
    while (m_ranges.size() < static_cast<std::size_t>(settings.maxConnections)) AddRange();
}

// The note goes only beside a partial with holes; without them the record says it all, and a
// note left from before is removed first, so that no note is ever older than its record.
std::optional<ExtentsNote> CRangedTransfer::NoteOfHoles() const {
    const std::vector<PieceSpan> done = m_table.DoneSpans();
    if (done.empty() || (done.size() == 1 && done.front().start == 0)) return std::nullopt;
    ExtentsNote note{m_table.Prefix(), {}};
    for (const PieceSpan& span : done)
        note.done.push_back(
            {span.start, span.end, m_writers.at(static_cast<std::size_t>(span.who))});
    return note;
}

NetResult CRangedTransfer::Checkpoint() {
    for (auto& range : m_ranges)
        if (NetResult written = WriteOut(*range); !written.Ok()) return written;
    m_parts.record.synced = m_table.Prefix();
    return m_checkpoint.Start(m_parts.record, NoteOfHoles());
}

// Whatever ended the ranges, the record and the note say what is on the disk.
NetResult CRangedTransfer::Settle(Received& got) {
    NetResult result = m_checkpoint.Wait();
    for (auto& range : m_ranges) {
        if (NetResult written = WriteOut(*range); !written.Ok() && result.Ok()) result = written;
        Drop(*range);
    }
    m_parts.record.synced = m_table.Prefix();
    if (NetResult saved = m_checkpoint.Start(m_parts.record, NoteOfHoles()); result.Ok())
        result = saved;
    if (NetResult saved = m_checkpoint.Wait(); result.Ok()) result = saved;
    got.present = m_present;
    got.received = m_received;
    const std::uint64_t done = m_table.DoneBytes();
    got.kept = done > m_doneBefore ? done - m_doneBefore : 0;
    got.bodyEnded = m_table.Complete();
    return result;
}

bool CRangedTransfer::AnyLive() const {
    const bool canAsk = m_table.AnyFree() && PickSource().has_value();
    return std::any_of(m_ranges.begin(), m_ranges.end(), [&](const auto& range) {
        return range->phase != CRange::Phase::Idle || (!range->retired && canAsk);
    });
}

// The usable address with the fewest connections that its host still allows more of.
std::optional<int> CRangedTransfer::PickSource() const {
    std::optional<int> best;
    int bestLive = 0;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        const RangeSource& source = m_sources[i];
        const int live = LiveTo(source.host);
        const int limit =
            m_parts.context.history.ConnectionLimit(source.host, m_parts.context.ranges.maxPerHost);
        if (!source.usable || live >= limit) continue;
        if (!best || live < bestLive) {
            best = static_cast<int>(i);
            bestLive = live;
        }
    }
    return best;
}

int CRangedTransfer::LiveTo(const std::string& host) const {
    return static_cast<int>(std::count_if(m_ranges.begin(), m_ranges.end(), [&](const auto& r) {
        return r->phase != CRange::Phase::Idle &&
               m_sources[static_cast<std::size_t>(r->source)].host == host;
    }));
}

NetResult CRangedTransfer::Ended() const {
    if (!m_lastFailure.Ok()) return m_lastFailure;
    return NetResult::Fail(NetFailure::Incomplete, m_parts.job.partialPath);
}

bool CRangedTransfer::RefetchFromFirstSource() {
    if (m_table.ForgetAllBut(0) == 0) return false;
    for (std::size_t i = 1; i < m_sources.size(); ++i) {
        m_parts.context.LogOnce(m_sources[i].url, "refetched",
                                "its extents did not make the signed file: fetched again from " +
                                    m_sources.front().url);
        m_sources[i].usable = false;
    }
    m_present = m_table.DoneBytes();
    m_due = CCheckpointDue(m_present);
    if (m_parts.digest) m_parts.digest->Restart(m_table.Prefix());
    for (auto& range : m_ranges) {
        range->retired = false;
        range->failuresInRow = 0;
    }
    return true;
}
