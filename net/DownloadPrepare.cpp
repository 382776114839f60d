// Step 3 of a download: the partial file and its record made ready for the answer agreed on.
// The record is written before any new byte reaches the file, so it never claims bytes of
// another answer; the free space is checked against what remains.

#include <sys/statvfs.h>

#include <cstdio>

#include "base/Format.h"
#include "net/DownloadSteps.h"
#include "net/PartialFile.h"
#include "net/TransferSink.h"

namespace {
std::optional<std::uint64_t> FreeBytesOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    struct statvfs fs {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::string MegabytesText(std::uint64_t bytes) {
    return Format("%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}

// Empties the partial when the answer starts the file again (keeping the bytes already read
// of it) or when it holds another file's bytes. The note of done extents goes first: it must
// never outlive the bytes it speaks of.
NetResult MakeRoom(const DownloadJob& job, const Agreement& agreed, CPartialFile& partial,
                   ResumePoint& point) {
    if (agreed.action == ResumeAction::Restart || point.discard) {
        std::remove(job.extentsPath.c_str());
        if (NetResult r = partial.Restart(); !r.Ok()) return r;
        point.offset = 0;
        point.record = ResumeRecord::For(job.target);
        point.done.clear();
    }
    if (point.done.empty()) std::remove(job.extentsPath.c_str());
    if (agreed.action == ResumeAction::Restart && !agreed.leadingBytes.empty()) {
        const std::string& bytes = agreed.leadingBytes;
        if (NetResult r = partial.WriteAt(0, bytes.data(), bytes.size()); !r.Ok()) return r;
        point.offset = bytes.size();
    }
    return {};
}

// The server vouched for these bytes: remember how it names its copy, and what is safe.
NetResult KeepRecord(const DownloadContext& context, const DownloadJob& job,
                     const Agreement& agreed, CPartialFile& partial, ResumePoint& point) {
    ResumeRecord& record = point.record;
    if (agreed.untrusted) context.history.DistrustRanges(job.host);
    if (agreed.validator && !context.history.RangesDistrusted(job.host))
        record.validators[job.host] = *agreed.validator;
    else
        record.validators.erase(job.host);
    if (agreed.totalSize > 0 && agreed.lengthAnnounced) record.size = agreed.totalSize;
    record.synced = point.offset;
    // Unless the record on disk already says all of it (a retry that continues where the last
    // attempt ended): syncing costs a disk round trip.
    if (point.onDisk && record == *point.onDisk) return {};
    if (NetResult r = partial.SyncWritten(); !r.Ok()) return r;
    return SaveResumeRecord(job.recordPath, record);
}
}  // namespace

NetResult PrepareFile(const DownloadContext& context, const DownloadJob& job,
                      const Agreement& agreed, CPartialFile& partial, ResumePoint& point) {
    if (NetResult r = MakeRoom(job, agreed, partial, point); !r.Ok()) return r;
    if (NetResult r = KeepRecord(context, job, agreed, partial, point); !r.Ok()) return r;
    std::uint64_t done = point.offset;
    for (const DoneExtent& extent : point.done)
        if (extent.start >= point.offset) done += extent.end - extent.start;
    if (agreed.totalSize > done) {
        const std::uint64_t remaining = agreed.totalSize - done;
        const auto free =
            context.freeSpace ? context.freeSpace(job.partialPath) : FreeBytesOf(job.partialPath);
        if (free && *free < remaining)
            return NetResult::Fail(NetFailure::NoSpace, MegabytesText(remaining));
    }
    if (job.sink) job.sink->OnTotalSize(agreed.totalSize);
    return {};
}
