// Step 5 of a download: a complete partial file whose digest is the one expected is moved
// into the destination's place, its record beside it, and only then is the sink told.

#include <cstdio>

#include "net/DownloadSteps.h"
#include "net/NoteText.h"
#include "net/PartialFile.h"
#include "net/Sha256.h"
#include "net/TransferSink.h"
#include "platform/RegularFile.h"

NetResult FinishFile(const DownloadContext& context, const DownloadJob& job, CPartialFile& partial,
                     const std::string& digest, ResumeRecord& record) {
    std::remove(job.extentsPath.c_str());
    if (!job.target.sha256.empty() && !SameDigest(digest, job.target.sha256)) {
        // Bytes that do not make the expected file are worth nothing for a resume.
        std::remove(job.partialPath.c_str());
        std::remove(job.recordPath.c_str());
        record.synced = 0;
        return NetResult::Fail(NetFailure::DigestMismatch, job.url);
    }
    // Moved while still locked, so no second writer can slip in before the move; only the file
    // written, never what may have been put at its name since, nor onto a folder there.
    std::string cleared;
    const bool clear = ClearNonFile(job.destination, cleared);
    context.LogNonFile(job.destination, cleared, clear);
    if (!clear || !partial.StillAt(job.partialPath) ||
        std::rename(job.partialPath.c_str(), job.destination.c_str()) != 0)
        return NetResult::Fail(NetFailure::MoveFailed, job.destination);
    // The record goes with the file: a later start checks the copy against it.
    std::rename(job.recordPath.c_str(), ResumeRecordPath(job.destination).c_str());
    // Both renames on the disk before the installer is handed over.
    static_cast<void>(SyncFolderOf(job.destination));
    partial.Close();
    if (job.sink) job.sink->OnComplete();
    return {};
}
