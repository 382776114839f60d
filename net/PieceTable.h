#pragma once
// Which bytes of a file written in ranges are done (and by which address), which a range is
// fetching, and which are free. Work is handed out in file order, a piece at a time, so the
// done bytes grow mostly from the front; once nothing is free, an idle range takes the back
// half of the largest piece still being fetched.

#include <cstdint>
#include <optional>
#include <vector>

struct PieceSpan {
    enum class State { Free, Owned, Done };
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    State state = State::Free;
    int who = -1;  // the owning range, or the address that wrote the bytes

    bool SameAs(const PieceSpan& other) const { return state == other.state && who == other.who; }
};

class CPieceTable {
  public:
    // size: the file's size, or kOpenEnd (RangeAnswer.h) while it is unknown.
    explicit CPieceTable(std::uint64_t size);

    // The next free piece in file order, at most pieceBytes long, now owned by range.
    std::optional<PieceSpan> Claim(int range, std::uint64_t pieceBytes);
    // Once nothing is free: the back half of the largest piece another range still has to
    // fetch, when that half is at least minBytes.
    std::optional<PieceSpan> Steal(int range, std::uint64_t minBytes);
    // Where range's bytes from at end: at itself when range owns nothing there. A range whose
    // answer runs on past that takes the free piece after it first (pieceBytes at most).
    std::uint64_t OwnedEnd(int range, std::uint64_t at) const;
    std::uint64_t Extend(int range, std::uint64_t at, std::uint64_t pieceBytes);
    // The range that owns the byte at, if one does.
    std::optional<int> OwnerAt(std::uint64_t at) const;
    // What range holds from `from` on is free again.
    void Release(int range, std::uint64_t from);
    void MarkDone(std::uint64_t start, std::uint64_t end, int writer);
    // Bytes done by any writer other than keep become free again; how many they were.
    std::uint64_t ForgetAllBut(int keep);

    std::uint64_t Size() const { return m_size; }
    // Done bytes from the first one on, without a gap.
    std::uint64_t Prefix() const;
    std::uint64_t DoneBytes() const;
    bool Complete() const { return Prefix() == m_size; }
    bool AnyFree() const;
    // How many done bytes end at at, without a gap.
    std::uint64_t DoneRunBefore(std::uint64_t at) const;
    // The file ends at size (it was of unknown size until its body ended there).
    void EndAt(std::uint64_t size);
    // Bytes [start, end), free after a range was dropped, are owned by range now.
    void TakeOver(int range, std::uint64_t start, std::uint64_t end);
    // Whether every byte of [start, end) is done.
    bool AllDone(std::uint64_t start, std::uint64_t end) const;
    std::vector<PieceSpan> DoneSpans() const;

  private:
    // Makes [start, end) one state, merging it with equal neighbours.
    void Assign(std::uint64_t start, std::uint64_t end, PieceSpan::State state, int who);
    std::size_t SpanAt(std::uint64_t at) const;

    std::uint64_t m_size;
    std::vector<PieceSpan> m_spans;  // in order, covering [0, size) without overlap
};
