#include "net/PieceTable.h"

#include <algorithm>

using State = PieceSpan::State;

CPieceTable::CPieceTable(std::uint64_t size) : m_size(size) {
    if (size > 0) m_spans.push_back({0, size, State::Free, -1});
}

std::size_t CPieceTable::SpanAt(std::uint64_t at) const {
    auto found = std::upper_bound(m_spans.begin(), m_spans.end(), at,
                                  [](std::uint64_t x, const PieceSpan& s) { return x < s.end; });
    return static_cast<std::size_t>(found - m_spans.begin());
}

void CPieceTable::Assign(std::uint64_t start, std::uint64_t end, State state, int who) {
    end = std::min(end, m_size);
    if (start >= end) return;
    std::vector<PieceSpan> spans;
    bool placed = false;
    for (const PieceSpan& span : m_spans) {
        if (span.end <= start || span.start >= end) {
            spans.push_back(span);
            continue;
        }
        if (span.start < start) spans.push_back({span.start, start, span.state, span.who});
        if (!placed) spans.push_back({start, end, state, who});
        placed = true;
        if (span.end > end) spans.push_back({end, span.end, span.state, span.who});
    }
    // Equal neighbours become one span.
    m_spans.clear();
    for (const PieceSpan& span : spans) {
        if (!m_spans.empty() && m_spans.back().end == span.start && m_spans.back().SameAs(span))
            m_spans.back().end = span.end;
        else
            m_spans.push_back(span);
    }
}

std::optional<PieceSpan> CPieceTable::Claim(int range, std::uint64_t pieceBytes) {
    for (const PieceSpan& span : m_spans) {
        if (span.state != State::Free) continue;
        const PieceSpan piece{span.start, std::min(span.end, span.start + pieceBytes), State::Owned,
                              range};
        Assign(piece.start, piece.end, State::Owned, range);
        return piece;
    }
    return std::nullopt;
}

std::optional<PieceSpan> CPieceTable::Steal(int range, std::uint64_t minBytes) {
    const PieceSpan* largest = nullptr;
    for (const PieceSpan& span : m_spans)
        if (span.state == State::Owned && span.who != range &&
            (!largest || span.end - span.start > largest->end - largest->start))
            largest = &span;
    if (!largest || largest->end - largest->start < 2 * minBytes) return std::nullopt;
    const PieceSpan half{largest->start + (largest->end - largest->start) / 2, largest->end,
                         State::Owned, range};
    Assign(half.start, half.end, State::Owned, range);
    return half;
}

std::uint64_t CPieceTable::OwnedEnd(int range, std::uint64_t at) const {
    const std::size_t i = SpanAt(at);
    if (i >= m_spans.size() || m_spans[i].state != State::Owned || m_spans[i].who != range)
        return at;
    return m_spans[i].end;
}

std::uint64_t CPieceTable::Extend(int range, std::uint64_t at, std::uint64_t pieceBytes) {
    const std::size_t i = SpanAt(at);
    if (i >= m_spans.size() || m_spans[i].state != State::Free) return OwnedEnd(range, at);
    Assign(at, std::min(m_spans[i].end, at + pieceBytes), State::Owned, range);
    return OwnedEnd(range, at);
}

std::optional<int> CPieceTable::OwnerAt(std::uint64_t at) const {
    const std::size_t i = SpanAt(at);
    if (i >= m_spans.size() || m_spans[i].state != State::Owned) return std::nullopt;
    return m_spans[i].who;
}

void CPieceTable::Release(int range, std::uint64_t from) {
    for (const PieceSpan span : std::vector<PieceSpan>(m_spans))
        if (span.state == State::Owned && span.who == range && span.end > from)
            Assign(std::max(span.start, from), span.end, State::Free, -1);
}

void CPieceTable::MarkDone(std::uint64_t start, std::uint64_t end, int writer) {
    Assign(start, end, State::Done, writer);
}

std::uint64_t CPieceTable::ForgetAllBut(int keep) {
    std::uint64_t forgotten = 0;
    for (const PieceSpan span : std::vector<PieceSpan>(m_spans))
        if (span.state == State::Done && span.who != keep) {
            forgotten += span.end - span.start;
            Assign(span.start, span.end, State::Free, -1);
        }
    return forgotten;
}

std::uint64_t CPieceTable::Prefix() const {
    std::uint64_t prefix = 0;
    for (const PieceSpan& span : m_spans) {
        if (span.state != State::Done) break;
        prefix = span.end;
    }
    return prefix;
}

std::uint64_t CPieceTable::DoneBytes() const {
    std::uint64_t done = 0;
    for (const PieceSpan& span : m_spans)
        if (span.state == State::Done) done += span.end - span.start;
    return done;
}

bool CPieceTable::AnyFree() const {
    return std::any_of(m_spans.begin(), m_spans.end(),
                       [](const PieceSpan& s) { return s.state == State::Free; });
}

bool CPieceTable::AllDone(std::uint64_t start, std::uint64_t end) const {
    for (std::size_t i = SpanAt(start); i < m_spans.size() && m_spans[i].start < end; ++i)
        if (m_spans[i].state != State::Done) return false;
    return start < end && end <= m_size;
}

std::vector<PieceSpan> CPieceTable::DoneSpans() const {
    std::vector<PieceSpan> done;
    for (const PieceSpan& span : m_spans)
        if (span.state == State::Done) done.push_back(span);
    return done;
}

std::uint64_t CPieceTable::DoneRunBefore(std::uint64_t at) const {
    if (at == 0) return 0;
    const std::size_t i = SpanAt(at - 1);
    if (i >= m_spans.size() || m_spans[i].state != State::Done) return 0;
    // Equal neighbours are merged, but done bytes of two writers are two spans.
    std::size_t first = i;
    while (first > 0 && m_spans[first - 1].state == State::Done &&
           m_spans[first - 1].end == m_spans[first].start)
        --first;
    return at - m_spans[first].start;
}

void CPieceTable::EndAt(std::uint64_t size) {
    std::vector<PieceSpan> spans;
    for (PieceSpan span : m_spans) {
        if (span.start >= size) break;
        span.end = std::min(span.end, size);
        spans.push_back(span);
    }
    m_spans = std::move(spans);
    m_size = size;
}

void CPieceTable::TakeOver(int range, std::uint64_t start, std::uint64_t end) {
    for (const PieceSpan span : std::vector<PieceSpan>(m_spans))
        if (span.state == State::Free && span.end > start && span.start < end)
            Assign(std::max(span.start, start), std::min(span.end, end), State::Owned, range);
}
