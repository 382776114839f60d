#pragma once
// The transfer of a download that runs as several ranges of one file (DownloadSteps.h, step 4
// when the first answer allows it). It adopts the first connection, which already streams the
// file from the first byte not done, and from splitAfter after its start opens more ranges as
// soon as the rest would take several seconds. Every range runs on this thread through the
// session's one multi handle: each step drives all of them, then reads what each has received into
// its own buffer, which is written where its bytes belong. The sink hears one stream of events:
// after every block of any range, the bytes present over all ranges, and the average speed.
//
// Work is handed out in file order a piece at a time (CPieceTable); a range that ends its
// piece takes the next free one, continuing on its own answer when that runs on into it.
// Each range counts its own failures in a row without progress, pausing before it asks again;
// past its tries it hands its work to the others. When only one range is left, its failure
// ends the transfer, which the caller retries as it would a single connection.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/BackgroundCheckpoint.h"
#include "net/CheckpointDue.h"
#include "net/DownloadSteps.h"
#include "net/HttpFile.h"
#include "net/PieceAnswer.h"
#include "net/PieceTable.h"
#include "net/PrefixDigest.h"
#include "net/RangeSettings.h"
#include "net/SpeedClock.h"

class CInternetSession;

// Each range receives into a buffer of its own, written where its bytes belong when full.
inline constexpr std::size_t kRangeBufferBytes = 256 * 1024;

// An address the file's ranges may come from.
struct RangeSource {
    std::string url;
    std::string host;    // "server:port": its validator, and its limit of connections
    bool usable = true;  // false once it served another file, none, or ignored ranges
};

// One range: a request for the bytes [at, end) of the file, or a pause between two.
struct CRange {
    enum class Phase { Idle, Asking, Receiving };
    int id = 0;
    int source = 0;
    Phase phase = Phase::Idle;
    std::unique_ptr<CHttpFile> file;
    PieceAsk ask;                 // what the current request asked for
    std::uint64_t at = 0;         // the next byte of the file this range receives
    std::uint64_t answerEnd = 0;  // where the answer's body ends
    std::string overlap;          // bytes before `at` to compare with the disk, as they come
    std::uint64_t overlapWanted = 0;
    std::unique_ptr<char[]> buffer;
    std::size_t held = 0;  // bytes in buffer, for the file from at - held
    int failuresInRow = 0;
    bool gained = false;  // bytes since the last failure
    bool retired = false;
    std::chrono::steady_clock::time_point retryAt{};
    NetResult lastFailure;
};

class CRangedTransfer {
  public:
    // What the transfer works with; everything outlives it.
    struct Parts {
        CInternetSession& session;
        const DownloadJob& job;
        CPartialFile& partial;
        ResumeRecord& record;
        const RangeSettings& settings;
        std::map<std::string, int>& hostLimits;  // connections each host may have, this run
        CPrefixDigest* digest;                   // null when no digest is wanted
        unsigned requestFlags;
    };
    // sources: the address of this attempt first; writers: the addresses the table's done
    // bytes came from, by index (the sources' first, so a source writes as its index).
    CRangedTransfer(const Parts& parts, std::vector<RangeSource> sources,
                    std::vector<std::string> writers, CPieceTable& table);
    ~CRangedTransfer();

    // The first connection, receiving the file from at.
    void AdoptFirst(std::unique_ptr<CHttpFile> file, std::uint64_t at, bool maySplit);
    // A range that asks for its first piece itself (a transfer that has no first connection).
    void AddRange();
    // Runs the ranges until the file is complete, the stop flag is raised, or none can go on;
    // the record and the extents note then say what is on disk. FileChanged when the server's
    // file changed meanwhile (every range is dropped then).
    NetResult Run(Received& got);
    // Forgets the bytes other addresses wrote and fetches them again from the first alone;
    // false when the first wrote everything.
    bool RefetchFromFirstSource();
    std::uint64_t BytesPresent() const { return m_present; }

  private:
    // RangedTransfer.cpp: the whole.
    bool Step();
    void MaybeSplit();
    NetResult Checkpoint();
    NetResult Settle(Received& got);
    ExtentsNote NoteOfDone() const;
    bool AnyLive() const;
    std::optional<int> PickSource() const;
    int LiveTo(const std::string& host) const;
    NetResult Ended() const;
    // RangeRequest.cpp: one range.
    bool Service(CRange& range);
    bool StartNext(CRange& range);
    void Ask(CRange& range, int source, std::uint64_t start, std::uint64_t end);
    bool TakeAnswer(CRange& range);
    void Judged(CRange& range, PieceVerdict verdict, const std::optional<std::string>& validator);
    bool Receive(CRange& range);
    std::uint64_t ContinueInto(CRange& range);
    void Took(CRange& range, std::size_t got);
    bool CompareOverlap(CRange& range);
    NetResult WriteOut(CRange& range);
    void EndPiece(CRange& range);
    void Fail(CRange& range, NetResult failure);
    void Drop(CRange& range);

    Parts m_parts;
    std::vector<RangeSource> m_sources;
    std::vector<std::string> m_writers;
    CPieceTable& m_table;
    std::vector<std::unique_ptr<CRange>> m_ranges;
    CBackgroundCheckpoint m_checkpoint;
    CCheckpointDue m_due;
    CSpeedClock m_clock;
    std::uint64_t m_present = 0;   // done bytes and those held in the ranges' buffers
    std::uint64_t m_received = 0;  // of them, received by this transfer
    // The split's rate is taken from here: m_received was m_receivedBefore at m_rateSince.
    std::chrono::steady_clock::time_point m_rateSince = std::chrono::steady_clock::now();
    std::uint64_t m_receivedBefore = 0;
    bool m_maySplit = false;
    bool m_split = false;
    bool m_changed = false;
    NetResult m_fatal;  // a failure that ends every range (the disk's, say)
    NetResult m_lastFailure;
};
