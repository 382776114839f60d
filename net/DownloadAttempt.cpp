// One download as its steps (DownloadSteps.h): an attempt runs them in order, and a file that
// changed under the attempt is started once more from its first byte, at most
// CAddressHistory::kMaxRestarts times for an address in the client's run.

#include <chrono>
#include <cstdio>

#include "net/DownloadSteps.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "platform/RegularFile.h"

namespace {
// What the attempt kept, when that is useful progress: bytes of a file started again are gone.
NetResult& Gained(NetResult& result, const DownloadContext& context, const Received& got,
                  std::chrono::steady_clock::time_point began) {
    const auto elapsed = std::chrono::steady_clock::now() - began;
    const bool useful = IsUsefulProgress(got.kept, elapsed,
                                         context.session.Limits().minBytesPerSecond, context.retry);
    return result.Gained(useful ? got.kept : 0);
}

NetResult Attempt(const DownloadContext& context, const DownloadJob& job, CPartialFile& partial,
                  std::uint64_t& totalSize) {
    const auto began = std::chrono::steady_clock::now();
    ResumePoint point;
    if (NetResult r = LoadResumePoint(partial, job, point); !r.Ok()) return r;
    Agreement agreed;
    NetResult result = Negotiate(context, job, partial, point, agreed);
    if (result.Ok()) result = PrepareFile(context, job, agreed, partial, point);
    if (!result.Ok()) return result;
    totalSize = agreed.totalSize;
    Received got;
    result = TransferRanges(context, job, agreed, partial, point, got);
    if (result.Failure() == NetFailure::FileChanged) return result;
    return Gained(result, context, got, began);
}

// The names beside the installer hold regular files only: anything else standing there (a
// link, a folder, a FIFO) is removed before a byte is written, and named in the log.
NetResult ClearNames(const DownloadContext& context, const DownloadJob& job,
                     CPartialFile& partial) {
    for (const std::string& path : {job.recordPath, job.extentsPath}) {
        std::string found;
        const bool cleared = ClearNonFile(path, found);
        context.LogNonFile(path, found, cleared);
        if (!cleared)
            return NetResult::Fail(NetFailure::FileError, path + ": " + found + " stands there");
    }
    std::string found;
    const bool opened = partial.Open(job.partialPath, found);
    if (found.empty()) found = NonFileAt(job.partialPath);
    context.LogNonFile(job.partialPath, found, opened);
    if (opened) return {};
    if (!found.empty())
        return NetResult::Fail(NetFailure::FileError,
                               job.partialPath + ": " + found + " stands there");
    return NetResult::Fail(NetFailure::FileInUse, job.destination);
}

// The file is given up here: nothing of it is worth a resume any more.
NetResult StartAgain(const DownloadJob& job, CPartialFile& partial) {
    std::remove(job.extentsPath.c_str());
    std::remove(job.recordPath.c_str());
    return partial.Restart();
}
}  // namespace

NetResult RunDownload(const DownloadContext& context, const DownloadJob& job,
                      std::uint64_t& totalSize) {
    CPartialFile partial;
    if (NetResult opened = ClearNames(context, job, partial); !opened.Ok()) return opened;
    for (;;) {
        NetResult result = Attempt(context, job, partial, totalSize);
        if (result.Failure() != NetFailure::FileChanged) return result;
        if (!context.history.CountRestart(job.url))
            return NetResult::Fail(NetFailure::KeepsChanging, job.url);
        if (NetResult emptied = StartAgain(job, partial); !emptied.Ok()) return emptied;
    }
}
