// Steps 4 and 5 of a download that runs as ranges (DownloadSteps.h): the first connection goes
// on as the first range, the digest follows the done prefix on a thread of its own, and a
// digest that fails while other addresses wrote parts of the file has those parts fetched
// again from the first address before the file is given up.

#include <algorithm>

#include "net/DownloadSteps.h"
#include "net/Http.h"
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
}  // namespace

NetResult& CHttp::NoteBusyHost(const DownloadJob& job, NetResult& result) {
    // A host that asks for less keeps fewer connections for the rest of the run.
    if (result.Status() == 429 || result.Status() == 503) {
        int& limit = m_hostLimits.try_emplace(job.host, m_rangeSettings.maxPerHost).first->second;
        limit = std::max(1, limit - 1);
    }
    return result;
}

bool CHttp::MaySplitNow(const DownloadJob& job, const Agreement& agreed,
                        const ResumePoint& point) const {
    const bool sizeSigned = !job.target.sha256.empty() && job.target.size > 0;
    const bool sizeKnown = sizeSigned || agreed.lengthAnnounced;
    std::uint64_t done = point.offset;
    for (const DoneExtent& extent : point.done) done += extent.end - extent.start;
    const SplitFacts facts{
        sizeKnown ? m_nTotalSize : 0, m_nTotalSize > done ? m_nTotalSize - done : 0, agreed.status,
        agreed.validator && agreed.validator->rfind("etag ", 0) == 0, sizeSigned};
    return MaySplit(facts, m_rangeSettings);
}

NetResult CHttp::TransferRanges(const DownloadJob& job, bool maySplit, CPartialFile& partial,
                                ResumePoint& point, Received& got) {
    // Bytes an answer from the first byte brought while it was agreed on.
    if (NetResult flushed = partial.Flush(); !flushed.Ok()) return flushed;
    std::vector<RangeSource> sources = SourcesOf(job);
    std::vector<std::string> writers;
    for (const RangeSource& source : sources) writers.push_back(source.url);
    CPieceTable table(m_nTotalSize);
    FillTable(table, point, writers);
    std::unique_ptr<CPrefixDigest> digest;
    if (!job.target.sha256.empty()) digest = std::make_unique<CPrefixDigest>(partial);
    if (digest) digest->Follow(table.Prefix());

    CRangedTransfer ranges({*m_pSession, job, partial, point.record, m_rangeSettings, m_hostLimits,
                            digest.get(), m_dwRequestFlags},
                           std::move(sources), std::move(writers), table);
    ranges.AdoptFirst(std::move(m_pHttpFile), point.offset, maySplit);
    for (bool again = true;; again = false) {
        if (NetResult run = ranges.Run(got); !run.Ok()) return run;
        if (!IsComplete(got)) return NetResult::Fail(NetFailure::Incomplete, job.partialPath);
        std::string hex;
        if (digest)
            if (NetResult r = digest->HexDigest(table.Size(), hex); !r.Ok()) return r;
        const bool wrong = digest && !SameDigest(hex, job.target.sha256);
        if (!wrong || !again || !ranges.RefetchFromFirstSource())
            return PlaceFile(job, partial, hex, point.record);
    }
}
