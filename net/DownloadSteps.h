#pragma once
// The steps of one download (CHttp::DownloadFile), in the order they run. Each takes what the
// steps before it gave and gives a small value of its own:
//   1. LoadResumePoint: what the partial file and its record are worth      -> ResumePoint
//   2. CHttp::Negotiate: requests until an answer can continue the file     -> Agreement
//   3. CHttp::PrepareFile: the partial and its record made ready for it     -> ResumePoint
//   4. CHttp::Transfer: the body into the partial, with checkpoints         -> Received
//   5. CHttp::Finish: the whole file checked and moved into its place
// Negotiation and transfer work on one byte extent of the file. When the first answer allows
// it (SplitDecision.h), or the partial has holes from an earlier run in ranges, steps 4 and 5
// are CHttp::TransferRanges instead: the first connection goes on as the first of up to four
// ranges (RangedTransfer.h), and the digest follows the file's done prefix.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/ExtentsNote.h"
#include "net/ResumeAnswer.h"
#include "net/ResumeRecord.h"
#include "net/UrlParts.h"

class CPartialFile;
class ITransferSink;

// Bytes [start, end) of the file; without an end, to the end of the file.
struct ByteExtent {
    std::uint64_t start = 0;
    std::optional<std::uint64_t> end;
};

// What one download is asked to do; fixed for its whole run.
struct DownloadJob {
    ITransferSink* sink = nullptr;  // may be null
    std::string url;
    CUrlParts parts;
    std::string host;  // "server:port": whose validator a resume asks with
    std::string destination;
    std::string partialPath;
    std::string recordPath;
    std::string extentsPath;
    DownloadTarget target;
    // Where ranges of the file may come from: url first; in a signed download also the main
    // address and the mirrors, since the digest vouches for the whole.
    std::vector<std::string> rangeAddresses;

    // The bytes the file may hold: the size known beforehand bounds them.
    ByteExtent WholeFile(std::uint64_t from) const;
};

// Step 1 (and 3, which makes it true for the answer agreed on).
struct ResumePoint {
    std::uint64_t offset = 0;  // bytes at the start of the partial worth continuing
    bool discard = false;      // the partial holds another file: emptied once an answer is good
    ResumeRecord record;       // the record as it is to be kept from now on
    std::optional<ResumeRecord> onDisk;  // the record as it was found
    std::vector<DoneExtent> done;        // done extents beyond offset, of a partial with holes
};

// Step 2: how the last answer continues the file.
struct Agreement {
    ResumeAction action = ResumeAction::Append;
    long status = 0;  // of the answer agreed on
    // Body bytes already read to compare with the disk; the file's first bytes when the
    // answer starts the file again.
    std::string leadingBytes;
    std::uint64_t totalSize = 0;  // the whole file's size as the answer tells it
    bool lengthAnnounced = false;
    std::optional<std::string> validator;  // how the server names its copy
};

// Step 4.
struct Received {
    std::uint64_t present = 0;   // bytes in the partial
    std::uint64_t received = 0;  // of them, received by this transfer
    bool bodyEnded = false;      // the whole body arrived and the transfer ended cleanly
};

// Step 1: the partial's length, cut back to what its record says was synced; nothing of a
// partial whose record names another file.
NetResult LoadResumePoint(CPartialFile& partial, const DownloadJob& job, ResumePoint& point);
