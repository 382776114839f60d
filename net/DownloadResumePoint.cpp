// Step 1 of a download: what the bytes already on disk are worth. With a record for this
// file, exactly its synced part and the extents its note adds; with a record for another file,
// or a damaged one, nothing; without a record (left by an earlier program), whatever the
// overlap check of step 2 confirms.

#include <unistd.h>

#include <algorithm>

#include "net/DownloadSteps.h"
#include "net/PartialFile.h"

namespace {
// The done extents of a note as new as the record beside it, as far as the partial reaches;
// where the last of them ends. The note is written before the record at each checkpoint, both
// after the data is synced, so a note that is newer than its record is still true.
std::uint64_t TakeNotedExtents(const DownloadJob& job, std::uint64_t length, ResumePoint& point) {
    const std::optional<ExtentsNote> note = LoadExtentsNote(job.extentsPath);
    std::uint64_t end = point.record.synced;
    if (!note || note->synced < point.record.synced || note->synced > length) return end;
    point.record.synced = note->synced;
    for (const DoneExtent& extent : note->done) {
        if (extent.end > length || (point.record.size && extent.end > point.record.size)) continue;
        point.done.push_back(extent);
        end = std::max(end, extent.end);
    }
    return std::max(end, note->synced);
}
}  // namespace

NetResult LoadResumePoint(CPartialFile& partial, const DownloadJob& job, ResumePoint& point) {
    if (NetResult r = partial.Length(point.offset); !r.Ok()) return r;
    point.record = ResumeRecord::For(job.target);
    bool damaged = false;
    point.onDisk = LoadResumeRecord(job.recordPath, &damaged);
    // A partial written in ranges keeps holes; without its record they cannot be told apart.
    const bool holes = ::access(job.extentsPath.c_str(), F_OK) == 0;
    if (!point.onDisk || !point.onDisk->IsFor(job.target)) {
        if (point.onDisk || holes || damaged) {
            point.discard = point.offset > 0;
            point.offset = 0;
        }
        return {};
    }
    point.record = *point.onDisk;
    if (point.record.sha256.empty()) point.record.sha256 = job.target.sha256;
    if (point.record.size == 0) point.record.size = job.target.size;
    const std::uint64_t keep = TakeNotedExtents(job, point.offset, point);
    if (point.offset > keep)
        if (NetResult r = partial.CutBack(keep); !r.Ok()) return r;
    point.offset = std::min(point.offset, point.record.synced);
    return {};
}
