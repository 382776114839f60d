// CHttp::DownHttpFile: the resumable download of one file through its partial file.

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "base/Except.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "net/Http.h"
#include "net/PartialFile.h"
#include "net/ResumeAnswer.h"
#include "net/Sha256.h"
#include "net/SizeBound.h"
#include "net/SpeedClock.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
constexpr char kFunction[] = "CHttp::DownHttpFile";

std::string FileInUseText(const std::string& destination) {
    return Format(LoadResString(IDS_FILE_IN_USE).c_str(), destination.c_str());
}
}  // namespace

int CHttp::DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                        const std::string& expectedSha256,
                        std::optional<std::uint64_t> expectedSize) {
    const auto parts = SplitHttpUrl(url);
    NetResult result;
    if (!parts)
        result = NetResult::Fail(NetFailure::BadUrl, url);
    else if (!expectedSha256.empty() && !IsSha256Hex(expectedSha256))
        result = NetResult::Fail(NetFailure::BadDigest, expectedSha256);
    else
        result = Download(sink, *parts, url, destination, expectedSha256, expectedSize);
    if (result.Ok()) return 1;
    Report(result, url, destination);
    return 0;
}

NetResult CHttp::Download(ITransferSink* sink, const CUrlParts& parts, const std::string& url,
                          const std::string& destination, const std::string& expectedSha256,
                          std::optional<std::uint64_t> expectedSize) {
    std::string headers = kDownloadHeaders;
    const std::string partialPath = destination + ".df";
    CPartialFile partial;
    if (!partial.Open(partialPath)) return NetResult::Fail(NetFailure::FileInUse, destination);
    std::uint64_t offset = 0;
    if (NetResult r = partial.Length(offset); !r.Ok()) return r;
    if (offset > 0)
        headers = Format("%sRange: bytes=%llu-\r\n", headers.c_str(),
                         static_cast<unsigned long long>(offset));
    // The digest covers the bytes already there once, then each block as it is written.
    std::optional<CSha256> sha;
    if (!expectedSha256.empty()) {
        sha.emplace();
        if (NetResult r = partial.FeedExisting(*sha); !r.Ok()) return r;
    }

    OpenRequest(parts, HttpVerb::Get);
    NetResult sent = m_pHttpFile->AddRequestHeaders(headers);
    if (sent.Ok()) sent = m_pHttpFile->SendRequest();
    if (sent.Failure() == NetFailure::Connect) return NetResult::Fail(NetFailure::Connect, url);
    if (!sent.Ok()) return sent;

    const long status = m_pHttpFile->QueryInfoStatusCode();
    if (std::to_string(status) == "404") return NetResult::Fail(NetFailure::NotFound, url);
    const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range");
    const ResumeAction action = DecideResume(status, offset, contentRange);
    if (action == ResumeAction::Refuse)
        return NetResult::Fail(NetFailure::Refused, std::to_string(status));
    if (action == ResumeAction::Restart) {
        if (NetResult r = partial.Restart(); !r.Ok()) return r;
        offset = 0;
        if (sha) sha.emplace();
    }
    const std::int64_t announced = m_pHttpFile->ContentLength();
    m_nTotalSize = action == ResumeAction::AlreadyComplete
                       ? offset
                       : offset + static_cast<std::uint64_t>(std::max<std::int64_t>(announced, 0));
    // A part that stops short of the whole file must not make the file look complete.
    if (status == 206 && contentRange)
        if (auto total = ContentRangeTotal(*contentRange))
            m_nTotalSize = std::max(m_nTotalSize, *total);
    if (sink) sink->OnTotalSize(m_nTotalSize);

    std::uint64_t received = 0;
    std::uint64_t present = offset;
    std::size_t last = 0;
    bool bodyEnded = action == ResumeAction::AlreadyComplete;
    if (!bodyEnded) {
        CSpeedClock clock;
        while (m_stopFlag.load(std::memory_order_relaxed) == 0 && m_bStop == 0) {
            // Each block is received straight into the partial file's write buffer.
            char* block = nullptr;
            if (NetResult r = partial.NextBlock(kBlockBytes, block); !r.Ok()) return r;
            const NetResult read = m_pHttpFile->Read(block, kBlockBytes, last);
            if (last > 0) {
                partial.CommitBlock(last);
                received += last;
                present += last;
                if (sha) sha->Update(block, last);
                if (sink) sink->OnBlockWritten(present, m_nTotalSize);
                if (auto speed = clock.AverageKiBPerSecond(received); speed && sink)
                    sink->OnAverageSpeed(*speed);
                // Bytes past the known size are not the file: none of them is kept.
                if (NetResult r = CheckSizeBound(present, expectedSize, url); !r.Ok()) {
                    std::remove(partialPath.c_str());
                    return r;
                }
            }
            // What arrived before a failure stays in the partial file for the next attempt.
            if (!read.Ok()) return read;
            if (last == 0) break;
        }
        bodyEnded = last == 0 && m_pHttpFile->BodyComplete();
    }
    if (NetResult r = partial.Flush(); !r.Ok()) return r;

    const bool complete =
        m_bStop == 0 && last == 0 && bodyEnded && present > 0 && present >= m_nTotalSize;
    if (!complete) return NetResult::Fail(NetFailure::Incomplete, partialPath);
    if (sha && !SameDigest(sha->HexDigest(), expectedSha256)) {
        // Bytes that do not make the expected file are worth nothing for a resume.
        std::remove(partialPath.c_str());
        return NetResult::Fail(NetFailure::DigestMismatch, url);
    }
    // Moved while still locked, so no second writer can slip in before the move.
    if (std::rename(partialPath.c_str(), destination.c_str()) != 0)
        return NetResult::Fail(NetFailure::MoveFailed, destination);
    partial.Close();
    if (sink) sink->OnComplete();
    return {};
}

void CHttp::Report(const NetResult& failure, const std::string& url,
                   const std::string& destination) {
    // What goes into the log: the failures that the server or the disk made, with where they
    // were found.
    std::string logged;
    switch (failure.Failure()) {
        case NetFailure::None:
        case NetFailure::Incomplete:  // the partial file is resumed by the next attempt
            return;
        case NetFailure::BadUrl:
            m_strError = LoadResString(IDS_BAD_URL);
            return;
        case NetFailure::BadDigest:
            m_strError = LoadResString(IDS_BAD_DIGEST);
            return;
        case NetFailure::FileInUse:
            m_strError = FileInUseText(destination);
            return;
        case NetFailure::Connect:
            logged = LoadResString(IDS_CONNECT_FAILED);
            break;
        case NetFailure::NotFound:
            logged = Format(LoadResString(IDS_FILE_NOT_FOUND).c_str(), url.c_str());
            break;
        case NetFailure::Refused:
            logged = url + ":server answered " + failure.Detail();
            break;
        case NetFailure::DigestMismatch:
            logged = url + ":sha256 mismatch";
            break;
        case NetFailure::TooLarge:
            logged = url + ":longer than the expected size";
            break;
        case NetFailure::Insecure:
            logged = url + ":" + failure.Detail();
            break;
        case NetFailure::MoveFailed:
            logged = FileInUseText(destination);
            break;
        case NetFailure::Transfer:
        case NetFailure::Stopped:
            // Transfer failures leave no text: the partial file is resumed by the next attempt.
            break;
        case NetFailure::FileError:
            TRACE("Exception: %s\n", failure.Detail().c_str());
            m_strError = failure.Detail();
            break;
    }
    if (!logged.empty()) {
        m_strError = Except(failure.Where().file_name(), kFunction,
                            static_cast<int>(failure.Where().line()), "%s", logged.c_str())
                         .GetText();
        DiagLog(m_logPath.c_str(), "%s", m_strError.c_str());
    }
    TRACE("-------->start CHttp::DownHttpFile Close\n");
    Clean();
}
