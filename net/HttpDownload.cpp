// CHttp::DownHttpFile: the resumable download of one file through its partial file, which is
// only ever continued with bytes of the same file. The steps it runs are in DownloadSteps.h.

#include <algorithm>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "net/DownloadSteps.h"
#include "net/FailureText.h"
#include "net/Http.h"
#include "net/Sha256.h"

namespace {
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

DownloadContext CHttp::Context() {
    if (!m_bSessionOpen) InitSession();
    return {*m_pSession,     m_dwRequestFlags, m_bStop,     m_rangeSettings,
            m_retrySettings, m_history,        m_freeSpace, m_logPath};
}

NetResult CHttp::DownloadFile(ITransferSink* sink, const std::string& url,
                              const std::string& destination, const DownloadTarget& target) {
    m_strError.clear();
    NetResult result;
    const auto parts = SplitHttpUrl(url);
    if (!parts) {
        result = NetResult::Fail(NetFailure::BadUrl, url);
    } else if (!target.sha256.empty() && !IsSha256Hex(target.sha256)) {
        result = NetResult::Fail(NetFailure::BadDigest, target.sha256);
    } else {
        // The request of an earlier operation goes back to the session's connection cache.
        Clean();
        result =
            RunDownload(Context(), JobOf(sink, url, *parts, destination, target), m_nTotalSize);
    }
    result.At(url);
    if (!result.Ok()) Report(result, destination);
    return result;
}

void CHttp::Report(const NetResult& failure, const std::string& destination) {
    if (failure.Failure() == NetFailure::FileError)
        TRACE("Exception: %s\n", failure.Detail().c_str());
    const FailureTexts texts = DownloadFailureTexts(failure, destination);
    m_strError = texts.error;
    if (!texts.log.empty()) DiagLog(m_logPath.c_str(), "%s", texts.log.c_str());
}
