// Step 3 of a download: the partial file and its record made ready for the answer agreed on.
// The record is written before any new byte reaches the file, so it never claims bytes of
// another answer; the free space is checked against what remains.

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>

#include "base/Format.h"
#include "net/DownloadSteps.h"
#include "net/Http.h"
#include "net/PartialFile.h"

namespace {
constexpr std::size_t kPieceBytes = 4096;

std::optional<std::uint64_t> FreeBytesOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    struct statvfs fs {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::string MegabytesText(std::uint64_t bytes) {
    return Format("%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}

NetResult Append(CPartialFile& partial, const std::string& bytes) {
    char* block = nullptr;
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
        const std::size_t n = std::min(kPieceBytes, bytes.size() - at);
        if (NetResult r = partial.NextBlock(n, block); !r.Ok()) return r;
        std::copy_n(bytes.data() + at, n, block);
        partial.CommitBlock(n);
    }
    return {};
}

// Empties the partial when the answer starts the file again (keeping the bytes already read
// of it) or when it holds another file's bytes, and starts its digest when one is wanted.
NetResult MakeRoom(const DownloadJob& job, const Agreement& agreed, CPartialFile& partial,
                   ResumePoint& point) {
    if (agreed.action == ResumeAction::Restart || point.discard) {
        if (NetResult r = partial.Restart(); !r.Ok()) return r;
        point.offset = 0;
        point.record = ResumeRecord::For(job.target);
        point.done.clear();
    }
    // A note of done extents counts only beside the partial it was written for.
    if (point.done.empty()) std::remove(job.extentsPath.c_str());
    if (agreed.action == ResumeAction::Restart && !agreed.leadingBytes.empty()) {
        if (NetResult r = Append(partial, agreed.leadingBytes); !r.Ok()) return r;
        point.offset = agreed.leadingBytes.size();
    }
    return {};
}
}  // namespace

NetResult CHttp::PrepareFile(const DownloadJob& job, const Agreement& agreed, CPartialFile& partial,
                             ResumePoint& point) {
    if (NetResult r = MakeRoom(job, agreed, partial, point); !r.Ok()) return r;
    m_nTotalSize = agreed.totalSize;

    // The server vouched for these bytes: remember how it names its copy, and what is safe.
    ResumeRecord& record = point.record;
    if (agreed.action != ResumeAction::AlreadyComplete) {
        if (agreed.validator)
            record.validators[job.host] = *agreed.validator;
        else
            record.validators.erase(job.host);
    }
    if (m_nTotalSize > 0 && agreed.lengthAnnounced) record.size = m_nTotalSize;
    record.synced = point.offset;
    // Unless the record on disk already says all of it (a retry that continues where the last
    // attempt ended): syncing costs a disk round trip.
    if (!point.onDisk || !(record == *point.onDisk)) {
        if (NetResult r = partial.Sync(); !r.Ok()) return r;
        if (NetResult r = SaveResumeRecord(job.recordPath, record); !r.Ok()) return r;
    }

    if (m_nTotalSize > point.offset) {
        const std::uint64_t remaining = m_nTotalSize - point.offset;
        const auto free = m_freeSpace ? m_freeSpace(job.partialPath) : FreeBytesOf(job.partialPath);
        if (free && *free < remaining)
            return NetResult::Fail(NetFailure::NoSpace, MegabytesText(remaining));
    }
    if (job.sink) job.sink->OnTotalSize(m_nTotalSize);
    return {};
}
