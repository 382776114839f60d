#pragma once
// The steps of one download (CHttp::DownloadFile), in the order they run. Each is a function
// of its own file; each takes what the steps before it gave and gives a small value of its own:
//   1. LoadResumePoint: what the partial file and its record are worth        -> ResumePoint
//   2. Negotiate: requests until an answer can continue the file               -> Agreement
//   3. PrepareFile: the partial and its record made ready for that answer      -> ResumePoint
//   4. TransferRanges: the rest of the file through the transfer loop, the
//      agreed answer its first range, up to four ranges at once                -> Received
//   5. FinishFile: the whole file checked and moved into its place
// RunDownload (DownloadAttempt.cpp) runs them as one attempt, and starts the file once more
// from its first byte when the server's file changed under it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/DownloadContext.h"
#include "net/ExtentsNote.h"
#include "net/HttpFile.h"
#include "net/RangeAnswer.h"
#include "net/ResumeRecord.h"
#include "net/UrlParts.h"

class CPartialFile;
class ITransferSink;

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
};

// Step 1 (and 3, which makes it true for the answer agreed on).
struct ResumePoint {
    std::uint64_t offset = 0;  // bytes at the start of the partial worth continuing
    bool discard = false;      // the partial holds another file: emptied once an answer is good
    ResumeRecord record;       // the record as it is to be kept from now on
    std::optional<ResumeRecord> onDisk;  // the record as it was found
    std::vector<DoneExtent> done;        // done extents beyond offset, of a partial with holes
};

// How the agreed answer's body continues the file.
enum class ResumeAction {
    Append,   // it continues the partial file where the resume point is
    Restart,  // it is the file from its first byte: the partial starts again with it
};

// Step 2: the answer the download goes on with.
struct Agreement {
    ResumeAction action = ResumeAction::Append;
    long status = 0;
    // Restart: the body's first bytes, already read while the answer was judged.
    std::string leadingBytes;
    std::uint64_t totalSize = 0;           // the whole file's size as the answer tells it
    bool lengthAnnounced = false;          // it gave a length, so the size is known
    std::optional<std::string> validator;  // how the server names its copy
    bool untrusted = false;                // after If-Range it named no copy at all
    std::unique_ptr<CHttpFile> answer;     // its body brings the file's bytes [bodyAt, bodyEnd)
    std::uint64_t bodyAt = 0;
    std::uint64_t bodyEnd = kOpenEnd;
    RangeAsk ask;            // what it answered
    AnswerContext judgedIn;  // what was known when it was judged
};

// Step 4.
struct Received {
    std::uint64_t present = 0;   // bytes in the partial
    std::uint64_t received = 0;  // body bytes received by this transfer
    std::uint64_t kept = 0;      // of them, bytes kept in the file
    bool bodyEnded = false;      // every byte of the file arrived
};

// Step 1: the partial's length, cut back to what its record says was synced; nothing of a
// partial whose record names another file, or is damaged.
NetResult LoadResumePoint(CPartialFile& partial, const DownloadJob& job, ResumePoint& point);
// Step 2.
NetResult Negotiate(const DownloadContext& context, const DownloadJob& job, CPartialFile& partial,
                    ResumePoint& point, Agreement& agreed);
// Step 3.
NetResult PrepareFile(const DownloadContext& context, const DownloadJob& job,
                      const Agreement& agreed, CPartialFile& partial, ResumePoint& point);
// Steps 4 and 5.
NetResult TransferRanges(const DownloadContext& context, const DownloadJob& job, Agreement& agreed,
                         CPartialFile& partial, ResumePoint& point, Received& got);
NetResult FinishFile(const DownloadContext& context, const DownloadJob& job, CPartialFile& partial,
                     const std::string& digest, ResumeRecord& record);
// The whole download; totalSize is set to the size the agreed answer told.
NetResult RunDownload(const DownloadContext& context, const DownloadJob& job,
                      std::uint64_t& totalSize);
