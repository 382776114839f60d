// Step 2 of a download: ask for the extent until the server's answer can continue the partial
// file, and agree on how. A server whose file is not the partial's is asked for the file from
// its first byte; an answer that cannot be any part of the file is refused.

#include <algorithm>

#include "base/Format.h"
#include "net/DownloadSteps.h"
#include "net/Http.h"
#include "net/PartialFile.h"
#include "net/Sha256.h"

namespace {
// Without a validator of the server, the last bytes already on disk are asked for again and
// compared: a server whose file changed sends other bytes there.
constexpr std::uint64_t kOverlapBytes = 64 * 1024;
// A request that keeps being answered with something unusable is given up.
constexpr int kMaxRequests = 4;

RangeAsk AskFor(const ResumePoint& point, const ByteExtent& extent, const std::string& host,
                bool confirmTail) {
    RangeAsk ask{extent.start, 0, point.record.IfRangeFor(host)};
    if (ask.offset > 0 && (!ask.ifRange || confirmTail))
        ask.overlap = std::min(ask.offset, kOverlapBytes);
    return ask;
}

// What an answer claimed of the file's size, for the log.
std::string ClaimedSizes(const RangeAnswer& answer, std::uint64_t signedSize) {
    return Format("status %ld, Content-Length %lld, Content-Range %s; the signed size is %llu",
                  answer.status, static_cast<long long>(answer.contentLength),
                  answer.contentRange.value_or("none").c_str(),
                  static_cast<unsigned long long>(signedSize));
}

// Even a fresh download asks for a range: the answer shows whether the server serves them.
std::string RangeHeaders(const RangeAsk& ask) {
    std::string headers = kDownloadHeaders;
    headers += Format("Range: bytes=%llu-\r\n", static_cast<unsigned long long>(ask.First()));
    if (ask.ifRange) headers += "If-Range: " + *ask.ifRange + "\r\n";
    return headers;
}
}  // namespace

NetResult CHttp::Negotiate(const DownloadJob& job, ByteExtent extent, CPartialFile& partial,
                           ResumePoint& point, Agreement& agreed) {
    bool confirmTail = false;
    for (int request = 0;; ++request) {
        const RangeAsk ask = AskFor(point, extent, job.host, confirmTail);
        OpenRequest(job.parts, HttpVerb::Get);
        NetResult sent = m_pHttpFile->AddRequestHeaders(RangeHeaders(ask));
        if (sent.Ok()) sent = m_pHttpFile->SendRequest();
        if (sent.Failure() == NetFailure::Connect)
            return NetResult::Fail(NetFailure::Connect, job.url);
        if (!sent.Ok()) return sent;

        const RangeAnswer answer{m_pHttpFile->QueryInfoStatusCode(),
                                 m_pHttpFile->ResponseHeader("Content-Range"),
                                 m_pHttpFile->ContentLength()};
        const long status = answer.status;
        const AnswerContext context{job.target.size ? job.target.size : point.record.size,
                                    job.target.size > 0, !job.target.sha256.empty(), confirmTail};
        AnswerJudgement judged = JudgeRangeAnswer(ask, answer, context);
        if (NetResult r = Confirm(ask, partial, job.target, agreed, judged); !r.Ok()) return r;
        const AnswerVerdict verdict = judged.verdict;
        if (verdict == AnswerVerdict::NotFound)
            return NetResult::Fail(NetFailure::NotFound, job.url);
        if (verdict == AnswerVerdict::Contradicts)
            return NetResult::Fail(NetFailure::Contradicted, ClaimedSizes(answer, job.target.size))
                .Answered(status);
        if (verdict == AnswerVerdict::Refuse)
            return NetResult::Fail(NetFailure::Refused, std::to_string(status)).Answered(status);
        if (verdict == AnswerVerdict::ConfirmTail) {
            confirmTail = true;
            continue;
        }
        if (verdict == AnswerVerdict::Take) {
            Agree(ask, judged.action, job.target.size, agreed);
            return {};
        }
        // StartAgain: the partial's bytes are worth nothing here.
        extent.start = point.offset = 0;
        point.discard = true;
        confirmTail = false;
        if (request + 1 >= kMaxRequests)
            return NetResult::Fail(NetFailure::Refused, std::to_string(status)).Answered(status);
    }
}

NetResult CHttp::Confirm(const RangeAsk& ask, CPartialFile& partial, const DownloadTarget& target,
                         Agreement& agreed, AnswerJudgement& judged) {
    agreed.leadingBytes.clear();
    if (judged.verdict == AnswerVerdict::CheckDigest) {
        std::string whole;
        if (NetResult r = partial.StartDigest(); !r.Ok()) return r;
        if (NetResult r = partial.Digest(whole); !r.Ok()) return r;
        judged.verdict =
            SameDigest(whole, target.sha256) ? AnswerVerdict::Take : AnswerVerdict::StartAgain;
    } else if (judged.verdict == AnswerVerdict::CompareOverlap) {
        const auto size = static_cast<std::size_t>(ask.overlap);
        if (NetResult r = ReadExactly(size, agreed.leadingBytes); !r.Ok()) return r;
        std::string onDisk;
        if (NetResult r = partial.ReadAt(ask.First(), size, onDisk); !r.Ok()) return r;
        judged.verdict = AnswerVerdict::Take;
        if (onDisk != agreed.leadingBytes) {
            // An answer from the first byte is simply the file: it replaces the partial, and
            // the bytes read are its first. From anywhere else it is another file.
            if (ask.First() == 0)
                judged.action = ResumeAction::Restart;
            else
                judged.verdict = AnswerVerdict::StartAgain;
        }
    }
    return {};
}

void CHttp::Agree(const RangeAsk& ask, ResumeAction action, std::uint64_t signedSize,
                  Agreement& agreed) {
    agreed.action = action;
    agreed.status = m_pHttpFile->QueryInfoStatusCode();
    const std::int64_t announced = m_pHttpFile->ContentLength();
    agreed.lengthAnnounced = announced >= 0;
    if (action == ResumeAction::AlreadyComplete) {
        agreed.totalSize = ask.offset;
        return;
    }
    // The body continues where the compared bytes end.
    const std::uint64_t bodyStart = action == ResumeAction::Restart ? 0 : ask.First();
    agreed.totalSize = bodyStart + static_cast<std::uint64_t>(std::max<std::int64_t>(announced, 0));
    // A part that stops short of the whole file must not make the file look complete.
    if (m_pHttpFile->QueryInfoStatusCode() == 206)
        if (const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range"))
            if (auto total = ContentRangeTotal(*contentRange))
                agreed.totalSize = std::max(agreed.totalSize, *total);
    // A signed size is the truth: an answer that claims another was refused above, and one
    // that claims none is held to it.
    if (signedSize > 0) agreed.totalSize = signedSize;
    agreed.validator = ValidatorOf(m_pHttpFile->ResponseHeader("ETag"),
                                   m_pHttpFile->ResponseHeader("Last-Modified"));
}
