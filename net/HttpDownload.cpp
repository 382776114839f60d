// CHttp::DownHttpFile: the resumable download of one file through its partial file, which is
// only ever continued with bytes of the same file. The steps it runs are in DownloadSteps.h.

#include <algorithm>
#include <cstdio>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "net/DownloadSteps.h"
#include "net/FailureText.h"
#include "net/Http.h"
#include "net/PartialFile.h"
#include "net/Sha256.h"

namespace {
// Failures found before the transfer began, and those the next attempt resumes from, leave the
// request as it is; the others end it.
bool EndsTheRequest(NetFailure failure) {
    switch (failure) {
        case NetFailure::None:
        case NetFailure::Incomplete:
        case NetFailure::BadUrl:
        case NetFailure::BadDigest:
        case NetFailure::FileInUse:
        case NetFailure::NoSpace:
            return false;
        default:
            return true;
    }
}

// Ranges come from url; in a signed download also from the file's other addresses at once.
std::vector<std::string> RangeAddresses(const std::string& url, const DownloadTarget& target) {
    std::vector<std::string> addresses{url};
    if (target.sha256.empty() || target.size == 0) return addresses;
    addresses.push_back(target.mainUrl);
    addresses.insert(addresses.end(), target.mirrors.begin(), target.mirrors.end());
    std::sort(addresses.begin() + 1, addresses.end());
    addresses.erase(std::unique(addresses.begin() + 1, addresses.end()), addresses.end());
    addresses.erase(std::remove(addresses.begin() + 1, addresses.end(), url), addresses.end());
    return addresses;
}

DownloadJob JobOf(ITransferSink* sink, const std::string& url, const CUrlParts& parts,
                  const std::string& destination, const DownloadTarget& target) {
    const std::string partialPath = destination + ".df";
    return {sink,
            url,
            parts,
            parts.server + ":" + std::to_string(parts.port),
            destination,
            partialPath,
            ResumeRecordPath(partialPath),
            ExtentsNotePath(partialPath),
            target,
            RangeAddresses(url, target)};
}
}  // namespace

int CHttp::DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                        const std::string& expectedSha256) {
    return DownHttpFile(sink, url, destination, DownloadTarget{url, expectedSha256, 0});
}

int CHttp::DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                        const DownloadTarget& target) {
    return DownloadFile(sink, url, destination, target).Ok() ? 1 : 0;
}

NetResult CHttp::DownloadFile(ITransferSink* sink, const std::string& url,
                              const std::string& destination, const DownloadTarget& target) {
    m_strError.clear();
    NetResult result;
    const auto parts = SplitHttpUrl(url);
    if (!parts)
        result = NetResult::Fail(NetFailure::BadUrl, url);
    else if (!target.sha256.empty() && !IsSha256Hex(target.sha256))
        result = NetResult::Fail(NetFailure::BadDigest, target.sha256);
    else
        result = RunDownload(JobOf(sink, url, *parts, destination, target));
    result.At(url);
    if (!result.Ok()) Report(result, destination);
    return result;
}

NetResult CHttp::RunDownload(const DownloadJob& job) {
    CPartialFile partial;
    if (!partial.Open(job.partialPath))
        return NetResult::Fail(NetFailure::FileInUse, job.destination);
    NetResult result = Attempt(job, partial);
    if (result.Failure() != NetFailure::FileChanged) return result;
    // The server's file changed under the ranges: every range was dropped, and the file is
    // started once more from its first byte.
    std::remove(job.extentsPath.c_str());
    std::remove(job.recordPath.c_str());
    if (NetResult emptied = partial.Restart(); !emptied.Ok()) return emptied;
    return Attempt(job, partial);
}

NetResult CHttp::Attempt(const DownloadJob& job, CPartialFile& partial) {
    ResumePoint point;
    if (NetResult r = LoadResumePoint(partial, job, point); !r.Ok()) return r;
    Agreement agreed;
    NetResult result = Negotiate(job, job.WholeFile(point.offset), partial, point, agreed);
    if (result.Ok()) result = PrepareFile(job, agreed, partial, point);
    if (!result.Ok()) return NoteBusyHost(job, WithAnswer(result));

    const std::uint64_t start = point.offset;
    Received got;
    const bool maySplit = MaySplitNow(job, agreed, point);
    if (agreed.action != ResumeAction::AlreadyComplete && (maySplit || !point.done.empty())) {
        result = TransferRanges(job, maySplit, partial, point, got);
        return WithAnswer(result).Gained(got.received);
    }
    // The digest covers the bytes already there once, then each block as it is written (a
    // complete copy's was taken while agreeing).
    if (!job.target.sha256.empty() && agreed.action != ResumeAction::AlreadyComplete)
        if (result = partial.StartDigest(); !result.Ok()) return result;
    ByteExtent rest = job.WholeFile(start);
    if (agreed.action == ResumeAction::AlreadyComplete) rest.end = start;
    result = Transfer(job, rest, partial, point.record, got);
    if (result.Ok()) result = Finish(job, partial, got, point.record);
    WithAnswer(result);
    return result.Gained(point.record.synced > start ? point.record.synced - start : 0);
}

NetResult& CHttp::WithAnswer(NetResult& result) const {
    if (result.Ok() || !m_pHttpFile) return result;
    // A refusal names its own status (a proxy's to CONNECT included).
    const long status = result.Status() ? result.Status() : m_pHttpFile->QueryInfoStatusCode();
    return result.Answered(status, m_pHttpFile->RetryAfterSeconds());
}

NetResult CHttp::ReadExactly(std::size_t size, std::string& bytes) {
    bytes.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        std::size_t n = 0;
        NetResult read = m_pHttpFile->Read(bytes.data() + got, size - got, n);
        got += n;
        if (!read.Ok()) return read;
        if (n == 0) return NetResult::Fail(NetFailure::Incomplete, "answer ended early");
    }
    return {};
}

void CHttp::Report(const NetResult& failure, const std::string& destination) {
    if (failure.Failure() == NetFailure::FileError)
        TRACE("Exception: %s\n", failure.Detail().c_str());
    const FailureTexts texts = DownloadFailureTexts(failure, destination);
    m_strError = texts.error;
    if (!texts.log.empty()) DiagLog(m_logPath.c_str(), "%s", texts.log.c_str());
    if (!EndsTheRequest(failure.Failure())) return;
    TRACE("-------->start CHttp::DownHttpFile Close\n");
    Clean();
}
