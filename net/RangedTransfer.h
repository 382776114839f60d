#pragma once
// The transfer loop of a download: the one way its bytes arrive. It adopts the agreed answer as
// its first range and, when the download may split, opens up to three more as soon as the rest
// would take several seconds. A download that does not split is this loop with one range; a
// file of unknown size is one range whose end is the body's. Every range runs on this thread
// through the session's one multi handle: each step drives all of them, then reads what each
// has received into its own buffer, which is written where its bytes belong. The sink hears one
// stream of events: after every block of any range, the bytes present over all ranges, and the
// average speed.
//
// Work is handed out in file order a piece at a time (CPieceTable); a range that ends its
// piece takes the next free one, continuing on its own answer when that runs on into it. Every
// answer is judged by JudgeAnswer; every failure of a range is decided by the same retry policy
// as a whole attempt (RetryPolicy.h), each range counting its own failures in a row without
// useful progress. When only one range is left, its failure ends the transfer, which the caller
// retries as a whole. Once nothing is free, an idle range halves the largest piece left, or
// races a slow range for the rest of its piece; of the two, the one that falls behind is dropped.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "net/BackgroundCheckpoint.h"
#include "net/CheckpointDue.h"
#include "net/DownloadSteps.h"
#include "net/HttpFile.h"
#include "net/PieceTable.h"
#include "net/PrefixDigest.h"
#include "net/RateFloor.h"
#include "net/SpeedClock.h"

// Each range receives into a buffer of its own, written where its bytes belong when full.
inline constexpr std::size_t kRangeBufferBytes = 256 * 1024;

// An address the file's ranges may come from.
struct RangeSource {
    std::string url;
    std::string host;    // "server:port": its validator, and its limit of connections
    bool usable = true;  // false once it served another file, none, or ignored ranges
};

// One range: a request for bytes of the file, or a pause between two.
struct CRange {
    enum class Phase { Idle, Asking, Receiving };
    using Clock = std::chrono::steady_clock;
    int id = 0;
    int source = 0;
    Phase phase = Phase::Idle;
    std::unique_ptr<CHttpFile> file;
    RangeAsk ask;                        // what the current request asked for
    AnswerContext judgedIn;              // what was known when its answer was judged
    std::uint64_t at = 0;                // the next byte of the file this range receives
    std::uint64_t answerEnd = kOpenEnd;  // where the answer's body ends, as judged
    std::string overlap;                 // bytes before ask.start, to compare with the disk
    bool compared = true;                // they were, and matched
    std::unique_ptr<char[]> buffer;
    std::size_t held = 0;  // bytes in buffer, for the file from at - held
    // The current request: when its answer came, its body bytes (the overlap included), the
    // bytes it kept in the file, and the floor those are held to.
    Clock::time_point answeredAt{};
    std::uint64_t bodyBytes = 0;
    std::uint64_t kept = 0;
    std::optional<CRateFloor> floor;
    // Its recent pace: kept bytes since rateMark, and the rate of the window before.
    Clock::time_point rateMark{};
    std::uint64_t keptAtMark = 0;
    double lastRate = -1;
    int failuresInRow = 0;
    bool retired = false;
    Clock::time_point retryAt{};
    int racing = -1;   // the range whose rest this one races for
    int racedBy = -1;  // the range racing this one
};

class CRangedTransfer {
  public:
    // What the transfer works with; everything outlives it.
    struct Parts {
        const DownloadContext& context;
        const DownloadJob& job;
        CPartialFile& partial;
        ResumeRecord& record;
        CPrefixDigest* digest;       // null when no digest is wanted
        std::uint64_t reportedSize;  // the total the sink is told with each block
        bool sizeKnown;              // otherwise the file ends where the first range's body does
    };
    // sources: the address of this attempt first; writers: the addresses the table's done
    // bytes came from, by index (the sources' first, so a source writes as its index).
    CRangedTransfer(const Parts& parts, std::vector<RangeSource> sources,
                    std::vector<std::string> writers, CPieceTable& table);
    ~CRangedTransfer();

    // The agreed answer, whose body brings the file's bytes from agreed.bodyAt on.
    void AdoptFirst(Agreement& agreed, bool maySplit);
    // Runs the ranges until the file is complete, the stop flag is raised, or none can go on;
    // the record and the extents note then say what is on disk. FileChanged when the server's
    // file changed meanwhile (every range is dropped then).
    NetResult Run(Received& got);
    // Forgets the bytes other addresses wrote and fetches them again from the first alone;
    // false when the first wrote everything.
    bool RefetchFromFirstSource();

  private:
    // RangedTransfer.cpp: the whole.
    CRange& AddRange();
    bool Step();
    void MaybeSplit();
    NetResult Checkpoint();
    NetResult Settle(Received& got);
    std::optional<ExtentsNote> NoteOfHoles() const;
    bool AnyLive() const;
    std::optional<int> PickSource() const;
    int LiveTo(const std::string& host) const;
    bool Stopping() const;
    NetResult Ended() const;
    // RangeRequest.cpp: one range's request and its answer.
    bool Service(CRange& range);
    bool StartNext(CRange& range);
    void Ask(CRange& range, int source, std::uint64_t start, std::uint64_t end);
    std::uint64_t OverlapBefore(std::uint64_t start, const RangeSource& from) const;
    bool TakeAnswer(CRange& range);
    void Judged(CRange& range, const AnswerJudgement& judged);
    void Refused(CRange& range, const AnswerJudgement& judged);
    bool CompareOverlap(CRange& range);
    // RangeReceive.cpp: one range's body.
    bool Receive(CRange& range);
    std::uint64_t ReceivableEnd(CRange& range);
    std::uint64_t ContinueInto(CRange& range);
    void Took(CRange& range, std::size_t got);
    bool AtPieceEnd(CRange& range);
    bool BodyEnded(CRange& range);
    AnswerJudgement Rejudge(const CRange& range, std::uint64_t bodyBytes, bool ended) const;
    NetResult WriteOut(CRange& range);
    // RangeOutcome.cpp: how a range's request ends.
    void EndPiece(CRange& range);
    void Fail(CRange& range, NetResult failure);
    bool Useful(const CRange& range) const;
    void Drop(CRange& range);
    // RangeRace.cpp: an idle range racing a slow one.
    bool StartRace(CRange& idle);
    std::optional<int> SlowestToRace() const;
    static double RecentRate(const CRange& range, CRange::Clock::time_point now);
    static void NotePace(CRange& range, CRange::Clock::time_point now);
    static void StartPace(CRange& range);
    std::size_t RacedBytes(CRange& racer, std::size_t got);
    void Overtake(CRange& racer);
    void EndRaceOf(CRange& range);

    Parts m_parts;
    std::vector<RangeSource> m_sources;
    std::vector<std::string> m_writers;
    CPieceTable& m_table;
    std::vector<std::unique_ptr<CRange>> m_ranges;
    CBackgroundCheckpoint m_checkpoint;
    CCheckpointDue m_due;
    CSpeedClock m_clock;
    std::minstd_rand m_jitter{std::random_device{}()};
    std::uint64_t m_present = 0;     // done bytes and those held in the ranges' buffers
    std::uint64_t m_received = 0;    // of them, received by this transfer
    std::uint64_t m_doneBefore = 0;  // done bytes when the transfer began
    // The split's rate is taken from here: m_received was m_receivedBefore at m_rateSince.
    std::chrono::steady_clock::time_point m_rateSince = std::chrono::steady_clock::now();
    std::uint64_t m_receivedBefore = 0;
    bool m_maySplit = false;
    bool m_split = false;
    bool m_changed = false;
    NetResult m_fatal;  // a failure that ends every range (the disk's, say)
    NetResult m_lastFailure;
};
