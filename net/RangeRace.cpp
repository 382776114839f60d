// Once nothing is left to hand out, a slow range would hold the end of the download: an idle
// range then asks for the same rest from the slow range's current byte, and the two race. The
// racer keeps nothing while it is behind; once it is ahead, the slow range is dropped and the
// racer owns the rest. When the slow range finishes first, or the racer has not caught up
// within worthRacing, the racer is dropped.

#include <algorithm>
#include <cstring>

#include "base/DebugTrace.h"
#include "net/RangedTransfer.h"

namespace {
// A pace is trusted once a range has received for this long.
constexpr std::chrono::seconds kPaceAfter{1};
constexpr std::chrono::seconds kPaceWindow{2};

double Seconds(CRange::Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}
}  // namespace

double CRangedTransfer::RecentRate(const CRange& range, CRange::Clock::time_point now) {
    const double window = Seconds(now - range.rateMark);
    if (window < Seconds(kPaceAfter) && range.lastRate >= 0) return range.lastRate;
    return window > 0 ? static_cast<double>(range.kept - range.keptAtMark) / window : 0;
}

void CRangedTransfer::StartPace(CRange& range) {
    range.answeredAt = range.rateMark = CRange::Clock::now();
    range.keptAtMark = 0;
    range.lastRate = -1;
}

void CRangedTransfer::NotePace(CRange& range, CRange::Clock::time_point now) {
    if (now - range.rateMark < kPaceWindow) return;
    range.lastRate = RecentRate(range, now);
    range.rateMark = now;
    range.keptAtMark = range.kept;
}

std::optional<int> CRangedTransfer::SlowestToRace() const {
    const auto now = CRange::Clock::now();
    std::optional<int> slowest;
    double longest = Seconds(m_parts.context.ranges.worthRacing);
    for (const auto& range : m_ranges) {
        if (range->phase != CRange::Phase::Receiving || range->racing >= 0 || range->racedBy >= 0 ||
            now - range->answeredAt < kPaceAfter)
            continue;
        const std::uint64_t rest = m_table.OwnedEnd(range->id, range->at) - range->at;
        const double rate = RecentRate(*range, now);
        const double seconds = rate > 0 ? static_cast<double>(rest) / rate : 1e300;
        if (rest > 0 && seconds > longest) {
            longest = seconds;
            slowest = range->id;
        }
    }
    return slowest;
}

bool CRangedTransfer::StartRace(CRange& idle) {
    const std::optional<int> victim = SlowestToRace();
    const std::optional<int> source = PickSource();
    if (!victim || !source) return false;
    CRange& slow = *m_ranges[static_cast<std::size_t>(*victim)];
    // Its bytes so far are done, so the racer's answer can be compared with them.
    if (NetResult written = WriteOut(slow); !written.Ok()) {
        m_fatal = written;
        return true;
    }
    TRACE("range %d races range %d from byte %llu\n", idle.id, slow.id,
          static_cast<unsigned long long>(slow.at));
    Ask(idle, *source, slow.at, m_table.OwnedEnd(slow.id, slow.at));
    idle.racing = slow.id;
    slow.racedBy = idle.id;
    return true;
}

// What of the got bytes a racer just received are new: none while it is behind the slow
// range (it keeps none of them); those past the slow range once it is ahead.
std::size_t CRangedTransfer::RacedBytes(CRange& racer, std::size_t got) {
    CRange& slow = *m_ranges[static_cast<std::size_t>(racer.racing)];
    if (racer.at <= slow.at) {
        racer.held = 0;
        if (CRange::Clock::now() - racer.answeredAt > m_parts.context.ranges.worthRacing)
            Drop(racer);
        return 0;
    }
    const std::size_t fresh =
        static_cast<std::size_t>(std::min<std::uint64_t>(racer.at - slow.at, got));
    std::memmove(racer.buffer.get(), racer.buffer.get() + racer.held - fresh, fresh);
    racer.held = fresh;
    Overtake(racer);
    return fresh;
}

void CRangedTransfer::Overtake(CRange& racer) {
    CRange& slow = *m_ranges[static_cast<std::size_t>(racer.racing)];
    if (NetResult written = WriteOut(slow); !written.Ok()) m_fatal = written;
    racer.racing = -1;
    slow.racedBy = -1;
    const std::uint64_t from = slow.at, end = m_table.OwnedEnd(slow.id, slow.at);
    TRACE("range %d overtook range %d at byte %llu\n", racer.id, slow.id,
          static_cast<unsigned long long>(from));
    Drop(slow);
    m_table.TakeOver(racer.id, from, end);
}

void CRangedTransfer::EndRaceOf(CRange& range) {
    if (range.racing >= 0) {
        m_ranges[static_cast<std::size_t>(range.racing)]->racedBy = -1;
        range.racing = -1;
        range.held = 0;  // bytes of the slow range's, never to be written
    }
    if (range.racedBy >= 0) {
        CRange& racer = *m_ranges[static_cast<std::size_t>(range.racedBy)];
        range.racedBy = -1;
        racer.racing = -1;
        racer.held = 0;
        Drop(racer);
    }
}
