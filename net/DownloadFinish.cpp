// Step 5 of a download: a complete partial file whose digest is the one expected is moved
// into the destination's place, its record beside it, and only then is the sink told.

#include <cstdio>

#include "net/DownloadSteps.h"
#include "net/PartialFile.h"
#include "net/Sha256.h"
#include "net/TransferSink.h"

NetResult FinishFile(const DownloadJob& job, CPartialFile& partial, const std::string& digest,
                     ResumeRecord& record) {
    std::remove(job.extentsPath.c_str());
    if (!job.target.sha256.empty() && !SameDigest(digest, job.target.sha256)) {
        // Bytes that do not make the expected file are worth nothing for a resume.
        std::remove(job.partialPath.c_str());
        std::remove(job.recordPath.c_str());
        record.synced = 0;
        return NetResult::Fail(NetFailure::DigestMismatch, job.url);
    }
    // Moved while still locked, so no second writer can slip in before the move.
    if (std::rename(job.partialPath.c_str(), job.destination.c_str()) != 0)
        return NetResult::Fail(NetFailure::MoveFailed, job.destination);
    // The record goes with the file: a later start checks the copy against it.
    std::rename(job.recordPath.c_str(), ResumeRecordPath(job.destination).c_str());
    partial.Close();
    if (job.sink) job.sink->OnComplete();
    return {};
}
