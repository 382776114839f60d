// CHttp::DownHttpFile: the resumable download of one file through its partial file, which is
// only ever continued with bytes of the same file.

#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "base/Except.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "net/BackgroundCheckpoint.h"
#include "net/Http.h"
#include "net/PartialFile.h"
#include "net/ResumeAnswer.h"
#include "net/Sha256.h"
#include "net/SizeBound.h"
#include "net/SpeedClock.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
constexpr char kFunction[] = "CHttp::DownHttpFile";

// A size known before the transfer (a signed reply's) bounds it; 0 means none is known.
std::optional<std::uint64_t> ExpectedSize(const DownloadTarget& target) {
    if (target.size == 0) return std::nullopt;
    return target.size;
}
// Without a validator of the server, the last bytes already on disk are asked for again and
// compared: a server whose file changed sends other bytes there.
constexpr std::uint64_t kOverlapBytes = 64 * 1024;
// How often the data is synced and the record says how much of it is safe: about once a
// second, so that a power loss (or a killed program, whose partial is cut back the same way)
// costs about a second of transfer, and rarely enough to cost next to nothing.
constexpr std::chrono::milliseconds kSyncEvery{1000};
constexpr std::uint64_t kSyncAtMostBytes = 64 * 1024 * 1024;
// A request that keeps being answered with something unusable is given up.
constexpr int kMaxRequests = 4;

std::string FileInUseText(const std::string& destination) {
    return Format(LoadResString(IDS_FILE_IN_USE).c_str(), destination.c_str());
}

std::optional<std::uint64_t> FreeBytesOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    struct statvfs fs {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::string MegabytesText(std::uint64_t bytes) {
    return Format("%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}
}  // namespace

int CHttp::DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                        const std::string& expectedSha256) {
    return DownHttpFile(sink, url, destination, DownloadTarget{url, expectedSha256, 0});
}

int CHttp::DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                        const DownloadTarget& target) {
    m_facts = {};
    const auto parts = SplitHttpUrl(url);
    NetResult result;
    if (!parts)
        result = NetResult::Fail(NetFailure::BadUrl, url);
    else if (!target.sha256.empty() && !IsSha256Hex(target.sha256))
        result = NetResult::Fail(NetFailure::BadDigest, target.sha256);
    else
        result = Download(sink, *parts, url, destination, target);
    NoteFacts(result);
    if (result.Ok()) return 1;
    Report(result, url, destination);
    return 0;
}

void CHttp::NoteFacts(const NetResult& result) {
    m_facts.failure = result.Failure();
    if (!m_pHttpFile) return;
    m_facts.status = m_pHttpFile->QueryInfoStatusCode();
    m_facts.connectStatus = m_pHttpFile->ConnectStatusCode();
    m_facts.curlCode = static_cast<int>(m_pHttpFile->TransferCode());
    m_facts.stalled = m_pHttpFile->TransferCode() == CURLE_OPERATION_TIMEDOUT;
    m_facts.retryAfterSeconds = m_pHttpFile->RetryAfterSeconds();
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

NetResult CHttp::Download(ITransferSink* sink, const CUrlParts& parts, const std::string& url,
                          const std::string& destination, const DownloadTarget& target) {
    const std::string partialPath = destination + ".df";
    const std::string recordPath = ResumeRecordPath(partialPath);
    CPartialFile partial;
    if (!partial.Open(partialPath)) return NetResult::Fail(NetFailure::FileInUse, destination);
    std::uint64_t offset = 0;
    if (NetResult r = partial.Length(offset); !r.Ok()) return r;

    // What the bytes on disk are worth: with a record for this file, exactly the synced part;
    // with a record for another file, nothing; without a record (left by an earlier program),
    // whatever the overlap check confirms.
    ResumeRecord record = ResumeRecord::For(target);
    bool discard = false;  // the partial is emptied once a usable answer is in
    const auto loaded = LoadResumeRecord(recordPath);
    if (loaded && loaded->IsFor(target)) {
        record = *loaded;
        if (record.sha256.empty()) record.sha256 = target.sha256;
        if (record.size == 0) record.size = target.size;
        if (offset > record.synced) {
            if (NetResult r = partial.CutBack(record.synced); !r.Ok()) return r;
            offset = record.synced;
        }
    } else if (loaded) {
        discard = offset > 0;
        offset = 0;
    }
    m_facts.bytesOnDisk = offset;
    const std::string host = parts.server + ":" + std::to_string(parts.port);

    bool confirmTail = false;  // the server said "complete": make it show the last bytes
    std::string overlapBytes;  // the first body bytes, already compared with the disk
    ResumeAction action = ResumeAction::Refuse;
    long status = 0;
    for (int request = 0;; ++request) {
        std::uint64_t overlap = 0;
        std::string headers = kDownloadHeaders;
        const auto ifRange = record.IfRangeFor(host);
        if (offset > 0) {
            if (!ifRange || confirmTail) overlap = std::min(offset, kOverlapBytes);
            headers +=
                Format("Range: bytes=%llu-\r\n", static_cast<unsigned long long>(offset - overlap));
            if (ifRange) headers += "If-Range: " + *ifRange + "\r\n";
        }
        const std::uint64_t asked = offset - overlap;
        OpenRequest(parts, HttpVerb::Get);
        NetResult sent = m_pHttpFile->AddRequestHeaders(headers);
        if (sent.Ok()) sent = m_pHttpFile->SendRequest();
        if (sent.Failure() == NetFailure::Connect) return NetResult::Fail(NetFailure::Connect, url);
        if (!sent.Ok()) return sent;

        status = m_pHttpFile->QueryInfoStatusCode();
        if (status == 404) return NetResult::Fail(NetFailure::NotFound, url);
        const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range");
        action = DecideResume(status, asked, contentRange);
        // The total a 206 names; 0 when it names none.
        const std::uint64_t rangeTotal =
            status == 206 && contentRange ? ContentRangeTotal(*contentRange).value_or(0) : 0;
        const std::uint64_t knownSize = target.size ? target.size : record.size;

        bool restart = false;
        overlapBytes.clear();
        if (action == ResumeAction::AlreadyComplete) {
            if (!target.sha256.empty()) {
                std::string whole;
                if (NetResult r = partial.StartDigest(); !r.Ok()) return r;
                if (NetResult r = partial.Digest(whole); !r.Ok()) return r;
                if (SameDigest(whole, target.sha256)) break;
                restart = true;
            } else if (!confirmTail) {
                confirmTail = true;
                continue;
            } else {
                restart = true;
            }
        } else if (status == 416) {
            // A range past the end of another length: the remote file is not the partial's.
            restart = offset > 0;
            if (!restart) return NetResult::Fail(NetFailure::Refused, std::to_string(status));
        } else if (action == ResumeAction::Refuse) {
            return NetResult::Fail(NetFailure::Refused, std::to_string(status));
        } else if (action == ResumeAction::Append && rangeTotal > 0 &&
                   ((knownSize && rangeTotal != knownSize) || rangeTotal < offset)) {
            restart = true;  // the file there now has another size: not the partial's file
        } else if (action == ResumeAction::Append && overlap > 0) {
            if (NetResult r = ReadExactly(static_cast<std::size_t>(overlap), overlapBytes); !r.Ok())
                return r;
            std::string onDisk;
            if (NetResult r = partial.ReadAt(asked, overlapBytes.size(), onDisk); !r.Ok()) return r;
            if (onDisk != overlapBytes) {
                if (asked == 0) {
                    // The answer is the file from its first byte: it replaces the partial.
                    action = ResumeAction::Restart;
                } else {
                    restart = true;
                }
            }
        }
        if (!restart) break;
        TRACE("partial of %s is not the remote file: starting again\n", partialPath.c_str());
        offset = 0;
        discard = true;
        confirmTail = false;
        if (request + 1 >= kMaxRequests)
            return NetResult::Fail(NetFailure::Refused, std::to_string(status));
    }

    if (action == ResumeAction::Restart || discard) {
        if (NetResult r = partial.Restart(); !r.Ok()) return r;
        offset = 0;
        record = ResumeRecord::For(target);
    }
    if (action == ResumeAction::Restart && !overlapBytes.empty()) {
        // Bytes read for the comparison are the file's first bytes: they are kept.
        char* block = nullptr;
        for (std::size_t at = 0; at < overlapBytes.size(); at += kBlockBytes) {
            const std::size_t n = std::min(kBlockBytes, overlapBytes.size() - at);
            if (NetResult r = partial.NextBlock(n, block); !r.Ok()) return r;
            std::copy_n(overlapBytes.data() + at, n, block);
            partial.CommitBlock(n);
        }
        offset = overlapBytes.size();
    }
    // The digest covers the bytes already there once, then each block as it is written (a
    // complete copy's was taken above).
    if (!target.sha256.empty() && action != ResumeAction::AlreadyComplete)
        if (NetResult r = partial.StartDigest(); !r.Ok()) return r;

    const std::int64_t announced = m_pHttpFile->ContentLength();
    if (action == ResumeAction::AlreadyComplete) {
        m_nTotalSize = offset;
    } else {
        // The body continues where the compared bytes end.
        const std::uint64_t bodyStart =
            action == ResumeAction::Restart ? 0 : offset - overlapBytes.size();
        m_nTotalSize = bodyStart + static_cast<std::uint64_t>(std::max<std::int64_t>(announced, 0));
    }
    // A part that stops short of the whole file must not make the file look complete.
    if (status == 206 && action != ResumeAction::AlreadyComplete)
        if (const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range"))
            if (auto total = ContentRangeTotal(*contentRange))
                m_nTotalSize = std::max(m_nTotalSize, *total);

    // The server vouched for these bytes: remember how it names its copy, and what is safe.
    if (action != ResumeAction::AlreadyComplete) {
        if (auto validator = ValidatorOf(m_pHttpFile->ResponseHeader("ETag"),
                                         m_pHttpFile->ResponseHeader("Last-Modified")))
            record.validators[host] = *validator;
        else
            record.validators.erase(host);
    }
    if (m_nTotalSize > 0 && announced >= 0) record.size = m_nTotalSize;
    record.synced = offset;
    // Written before any new byte, unless the record on disk already says all of it (a retry
    // that continues where the last attempt ended): syncing costs a disk round trip.
    if (!loaded || !(record == *loaded)) {
        if (NetResult r = partial.Sync(); !r.Ok()) return r;
        if (NetResult r = SaveResumeRecord(recordPath, record); !r.Ok()) return r;
    }

    if (m_nTotalSize > offset) {
        const std::uint64_t remaining = m_nTotalSize - offset;
        const auto free = m_freeSpace ? m_freeSpace(partialPath) : FreeBytesOf(partialPath);
        if (free && *free < remaining)
            return NetResult::Fail(NetFailure::NoSpace, MegabytesText(remaining));
    }
    if (sink) sink->OnTotalSize(m_nTotalSize);

    std::uint64_t received = 0;
    std::uint64_t present = offset;
    std::uint64_t syncedAt = offset;
    auto syncedWhen = std::chrono::steady_clock::now();
    CBackgroundCheckpoint checkpoint(partial, recordPath);
    std::size_t last = 0;
    bool bodyEnded = action == ResumeAction::AlreadyComplete;
    NetResult transfer;
    if (!bodyEnded) {
        CSpeedClock clock;
        while (m_stopFlag.load(std::memory_order_relaxed) == 0 && m_bStop == 0) {
            // Each block is received straight into the partial file's write buffer.
            char* block = nullptr;
            if (transfer = partial.NextBlock(kBlockBytes, block); !transfer.Ok()) break;
            transfer = m_pHttpFile->Read(block, kBlockBytes, last);
            if (last > 0) {
                partial.CommitBlock(last);
                received += last;
                present += last;
                if (sink) sink->OnBlockWritten(present, m_nTotalSize);
                if (auto speed = clock.AverageKiBPerSecond(received); speed && sink)
                    sink->OnAverageSpeed(*speed);
                // Bytes past the known size are not the file: none of them is kept.
                if (NetResult r = CheckSizeBound(present, ExpectedSize(target), url); !r.Ok()) {
                    std::remove(partialPath.c_str());
                    return r;
                }
            }
            // What arrived before a failure stays in the partial file for the next attempt.
            if (!transfer.Ok() || last == 0) break;
            const auto now = std::chrono::steady_clock::now();
            // When due, the bytes go to the file at once (a stall may follow); the checkpoint
            // waits only for one before it that the disk has not finished yet.
            if (present - syncedAt >= kSyncAtMostBytes ||
                (present > syncedAt && now - syncedWhen >= kSyncEvery)) {
                if (transfer = partial.Flush(); !transfer.Ok()) break;
                syncedWhen = now;
                record.synced = syncedAt = present;
                if (transfer = checkpoint.Start(record); !transfer.Ok()) break;
            }
        }
        bodyEnded = transfer.Ok() && last == 0 && m_pHttpFile->BodyComplete();
    }
    // Whatever ended the transfer, the record says how much is on disk: after a failed write
    // that is less than was received, after a failed checkpoint it is written again.
    const NetResult checkpointed = checkpoint.Wait();
    const NetResult synced = partial.Sync();
    std::uint64_t onDisk = 0;
    if (partial.Length(onDisk).Ok() && synced.Ok() &&
        (std::min(onDisk, present) != record.synced || !checkpointed.Ok())) {
        record.synced = std::min(onDisk, present);
        static_cast<void>(SaveResumeRecord(recordPath, record));
    }
    m_facts.bytesOnDisk = record.synced;
    if (!transfer.Ok()) return transfer;
    if (!checkpointed.Ok()) return checkpointed;
    if (!synced.Ok()) return synced;

    const bool complete =
        m_bStop == 0 && last == 0 && bodyEnded && present > 0 && present >= m_nTotalSize;
    if (!complete) return NetResult::Fail(NetFailure::Incomplete, partialPath);
    std::string digest;
    if (NetResult r = partial.Digest(digest); !r.Ok()) return r;
    if (!target.sha256.empty() && !SameDigest(digest, target.sha256)) {
        // Bytes that do not make the expected file are worth nothing for a resume.
        std::remove(partialPath.c_str());
        std::remove(recordPath.c_str());
        m_facts.bytesOnDisk = 0;
        return NetResult::Fail(NetFailure::DigestMismatch, url);
    }
    // Moved while still locked, so no second writer can slip in before the move.
    if (std::rename(partialPath.c_str(), destination.c_str()) != 0)
        return NetResult::Fail(NetFailure::MoveFailed, destination);
    // The record goes with the file: a later start checks the copy against it.
    std::rename(recordPath.c_str(), ResumeRecordPath(destination).c_str());
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
        case NetFailure::NoSpace:
            m_strError = Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
            DiagLog(m_logPath.c_str(), "%s", m_strError.c_str());
            return;
        case NetFailure::Connect:
            logged = LoadResString(IDS_CONNECT_FAILED);
            break;
        case NetFailure::NotFound:
            logged = Format(LoadResString(IDS_FILE_NOT_FOUND).c_str(), url.c_str());
            break;
        case NetFailure::Refused:
            logged = url + ":server answered " + failure.Detail();
            if (failure.Detail() == "407") logged += " (the proxy refused its credentials)";
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
        m_strError =
            Except(failure.File(), kFunction, failure.Line(), "%s", logged.c_str()).GetText();
        DiagLog(m_logPath.c_str(), "%s", m_strError.c_str());
    }
    TRACE("-------->start CHttp::DownHttpFile Close\n");
    Clean();
}
