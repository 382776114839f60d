// One download as its steps (DownloadSteps.h): an attempt runs them in order, and a file that
// changed under the attempt is started once more from its first byte, at most
// CAddressHistory::kMaxRestarts times for an address in the client's run.

#include <chrono>
#include <cstdio>

#include "net/DownloadSteps.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"

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
    if (!partial.Open(job.partialPath))
        return NetResult::Fail(NetFailure::FileInUse, job.destination);
    for (;;) {
        NetResult result = Attempt(context, job, partial, totalSize);
        if (result.Failure() != NetFailure::FileChanged) return result;
        if (!context.history.CountRestart(job.url))
            return NetResult::Fail(NetFailure::KeepsChanging, job.url);
        if (NetResult emptied = StartAgain(job, partial); !emptied.Ok()) return emptied;
    }
}
