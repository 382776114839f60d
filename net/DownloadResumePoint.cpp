// Step 1 of a download: what the bytes already on disk are worth. With a record for this
// file, exactly its synced part; with a record for another file, nothing; without a record
// (left by an earlier program), whatever the overlap check of step 2 confirms.

#include "net/DownloadSteps.h"
#include "net/PartialFile.h"

ByteExtent DownloadJob::WholeFile(std::uint64_t from) const {
    ByteExtent extent{from, std::nullopt};
    if (target.size > 0) extent.end = target.size;
    return extent;
}

NetResult LoadResumePoint(CPartialFile& partial, const DownloadJob& job, ResumePoint& point) {
    if (NetResult r = partial.Length(point.offset); !r.Ok()) return r;
    point.record = ResumeRecord::For(job.target);
    point.onDisk = LoadResumeRecord(job.recordPath);
    if (!point.onDisk) return {};
    if (!point.onDisk->IsFor(job.target)) {
        point.discard = point.offset > 0;
        point.offset = 0;
        return {};
    }
    point.record = *point.onDisk;
    if (point.record.sha256.empty()) point.record.sha256 = job.target.sha256;
    if (point.record.size == 0) point.record.size = job.target.size;
    if (point.offset > point.record.synced) {
        if (NetResult r = partial.CutBack(point.record.synced); !r.Ok()) return r;
        point.offset = point.record.synced;
    }
    return {};
}
