// Step 4 of a download: the rest of the file through the transfer loop (RangedTransfer.h), the
// agreed answer its first range; then step 5. The digest follows the done prefix, and a digest
// that fails while other addresses wrote parts of the file has those parts fetched again from
// the first address before the file is given up.

#include <algorithm>
#include <cstdio>

#include "net/DownloadSteps.h"
#include "net/PartialFile.h"
#include "net/PieceTable.h"
#include "net/PrefixDigest.h"
#include "net/RangedTransfer.h"
#include "net/Sha256.h"
#include "net/SplitDecision.h"

namespace {
std::vector<RangeSource> SourcesOf(const DownloadJob& job) {
    std::vector<RangeSource> sources;
    for (const std::string& url : job.rangeAddresses) {
        const auto parts = SplitHttpUrl(url);
        if (parts) sources.push_back({url, parts->server + ":" + std::to_string(parts->port)});
    }
    return sources;
}

// The done bytes as the resume point tells them, each by the index of the address that wrote
// it (added to writers when it is none of them). The prefix's writer is the first address
// unless a note says otherwise.
void FillTable(CPieceTable& table, const ResumePoint& point, std::vector<std::string>& writers) {
    table.MarkDone(0, point.offset, 0);
    for (const DoneExtent& extent : point.done) {
        auto known = std::find(writers.begin(), writers.end(), extent.writer);
        if (known == writers.end()) known = writers.insert(writers.end(), extent.writer);
        table.MarkDone(extent.start, extent.end, static_cast<int>(known - writers.begin()));
    }
}

bool SizeKnown(const DownloadJob& job, const Agreement& agreed) {
    return job.target.size > 0 || agreed.lengthAnnounced;
}

bool MaySplitNow(const DownloadContext& context, const DownloadJob& job, const Agreement& agreed,
                 const CPieceTable& table) {
    const bool sizeSigned = !job.target.sha256.empty() && job.target.size > 0;
    const std::uint64_t size = SizeKnown(job, agreed) ? agreed.totalSize : 0;
    const std::uint64_t done = table.DoneBytes();
    const bool strong = agreed.validator && agreed.validator->rfind("etag ", 0) == 0;
    const SplitFacts facts{size, size > done ? size - done : 0, agreed.status,
                           strong && !agreed.untrusted, sizeSigned};
    return MaySplit(facts, context.ranges);
}

// Bytes past the file's end are not the file: none of them is kept, and the next try starts
// afresh.
NetResult& Forgotten(NetResult& result, const DownloadJob& job, ResumeRecord& record) {
    if (result.Failure() != NetFailure::TooLarge) return result;
    std::remove(job.extentsPath.c_str());
    std::remove(job.partialPath.c_str());
    std::remove(job.recordPath.c_str());
    record.synced = 0;
    return result;
}
}  // namespace

NetResult TransferRanges(const DownloadContext& context, const DownloadJob& job, Agreement& agreed,
                         CPartialFile& partial, ResumePoint& point, Received& got) {
    std::vector<RangeSource> sources = SourcesOf(job);
    std::vector<std::string> writers;
    for (const RangeSource& source : sources) writers.push_back(source.url);
    const bool sizeKnown = SizeKnown(job, agreed);
    CPieceTable table(sizeKnown ? agreed.totalSize : kOpenEnd);
    FillTable(table, point, writers);
    std::unique_ptr<CPrefixDigest> digest;
    if (!job.target.sha256.empty())
        digest = std::make_unique<CPrefixDigest>(partial, kRangeBufferBytes);
    if (digest) digest->Follow(table.Prefix());

    CRangedTransfer ranges(
        {context, job, partial, point.record, digest.get(), agreed.totalSize, sizeKnown},
        std::move(sources), std::move(writers), table);
    ranges.AdoptFirst(agreed, MaySplitNow(context, job, agreed, table));
    for (bool again = true;; again = false) {
        if (NetResult run = ranges.Run(got); !run.Ok()) return Forgotten(run, job, point.record);
        const bool complete = context.stop == 0 && got.bodyEnded && table.Size() > 0;
        if (!complete) return NetResult::Fail(NetFailure::Incomplete, job.partialPath);
        std::string hex;
        if (digest)
            if (NetResult r = digest->HexDigest(table.Size(), hex); !r.Ok()) return r;
        const bool wrong = digest && !SameDigest(hex, job.target.sha256);
        if (!wrong || !again || !ranges.RefetchFromFirstSource())
            return FinishFile(context, job, partial, hex, point.record);
    }
}
