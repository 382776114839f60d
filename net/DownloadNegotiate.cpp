// Step 2 of a download: ask for the rest of the file until the server's answer can continue
// the partial file, and agree on how. The bytes before the resume point are always asked for
// again and compared: a server whose file is not the partial's is asked for the file from its
// first byte, and an answer that cannot be any part of the file is refused.

#include <algorithm>

#include "net/AnswerOf.h"
#include "net/ContentRange.h"
#include "net/DownloadSteps.h"
#include "net/HttpFile.h"
#include "net/InternetSession.h"
#include "net/PartialFile.h"
#include "net/WebPageAnswer.h"

namespace {
constexpr std::uint64_t kOverlapBytes = 64 * 1024;
// A request that keeps being answered with something unusable is given up.
constexpr int kMaxRequests = 4;

// From the resume point to the first done extent after it (bytes past that are on disk
// already), or to the end of the file. The 64 KiB before it are asked again whenever they are
// there, with a validator too (a file may be replaced under the same one); a shorter partial
// is compared whole only without a validator.
RangeAsk FirstAsk(const DownloadJob& job, const ResumePoint& point) {
    RangeAsk ask{point.offset, kOpenEnd, 0, point.record.ValidatorFor(job.host)};
    if (point.offset >= kOverlapBytes)
        ask.overlap = kOverlapBytes;
    else if (!ask.ifRange)
        ask.overlap = point.offset;
    for (const DoneExtent& extent : point.done)
        if (extent.start > point.offset) ask.end = std::min(ask.end, extent.start);
    return ask;
}

AnswerContext FirstContext(const DownloadJob& job, const ResumePoint& point) {
    const bool doneBeyond =
        std::any_of(point.done.begin(), point.done.end(),
                    [&](const DoneExtent& extent) { return extent.end > point.offset; });
    return {job.target.size ? job.target.size : point.record.size, job.target.size > 0, true,
            doneBeyond};
}

// The overlap read and compared with the disk; where it differs, the answer is the file again
// when it came from the first byte, another file otherwise.
NetResult Confirm(CHttpFile& file, const RangeAsk& ask, CPartialFile& partial,
                  AnswerJudgement& judged, std::string& leadingBytes) {
    leadingBytes.clear();
    if (judged.verdict != AnswerVerdict::Take || !judged.compareOverlap) return {};
    const auto size = static_cast<std::size_t>(ask.overlap);
    if (NetResult r = file.ReadExactly(size, leadingBytes); !r.Ok()) return r;
    std::string onDisk;
    if (NetResult r = partial.ReadAt(ask.First(), size, onDisk); !r.Ok()) return r;
    if (onDisk == leadingBytes) {
        leadingBytes.clear();
        return {};
    }
    judged.verdict = ask.First() == 0 ? AnswerVerdict::Restart : AnswerVerdict::Changed;
    if (ask.First() > 0) leadingBytes.clear();
    return {};
}

// A web page where the file was asked for (a sign-in portal's, most likely) is refused before
// any of it reaches the partial, which stays as it was.
NetResult RefuseWebPage(CHttpFile& file, const std::string& url) {
    constexpr std::size_t kFirstBytes = 512;
    const long status = file.QueryInfoStatusCode();
    const auto type = file.ResponseHeader("Content-Type");
    if (status < 200 || status >= 300 || !IsHtmlType(type)) return {};
    std::string first;
    if (NetResult read = file.Peek(kFirstBytes, first); !read.Ok()) return read;
    if (!IsWebPage(type, first)) return {};
    return NetResult::Fail(NetFailure::WebPage, url).Answered(status);
}

// Whether the server said its file is another than the partial's (not merely that it ignores
// Range): then starting again counts against the address.
bool SaysChanged(const CHttpFile& file, const RangeAsk& ask, const AnswerJudgement& judged) {
    if (judged.verdict == AnswerVerdict::Changed) return true;
    if (!ask.ifRange || judged.verdict != AnswerVerdict::Restart) return false;
    return AnswerOf(file, ask).validator != ask.ifRange;
}

void Agree(const DownloadJob& job, const RangeAsk& ask, const AnswerContext& judgedIn,
           const AnswerJudgement& judged, std::unique_ptr<CHttpFile> file, Agreement& agreed) {
    agreed.ask = ask;
    agreed.judgedIn = judgedIn;
    const bool restart = judged.verdict == AnswerVerdict::Restart;
    agreed.action = restart ? ResumeAction::Restart : ResumeAction::Append;
    agreed.status = file->QueryInfoStatusCode();
    const std::int64_t announced = file->ContentLength();
    agreed.lengthAnnounced = announced >= 0;
    // The body continues where the compared bytes end (a restart's: where those read end).
    agreed.bodyAt = restart ? agreed.leadingBytes.size() : ask.start;
    agreed.bodyEnd = judged.to;
    const std::uint64_t bodyStart = restart ? 0 : ask.First();
    agreed.totalSize = bodyStart + static_cast<std::uint64_t>(std::max<std::int64_t>(announced, 0));
    // A part that stops short of the whole file must not make the file look complete.
    if (agreed.status == 206)
        if (const auto range = file->ResponseHeader("Content-Range"))
            if (auto total = ContentRangeTotal(*range)) {
                agreed.totalSize = std::max(agreed.totalSize, *total);
                agreed.lengthAnnounced = true;
            }
    // A signed size is the truth: an answer that claims another was refused, and one that
    // claims none is held to it.
    if (job.target.size > 0) agreed.totalSize = job.target.size;
    agreed.validator =
        ValidatorOf(file->ResponseHeader("ETag"), file->ResponseHeader("Last-Modified"));
    agreed.untrusted = judged.untrusted;
    agreed.answer = std::move(file);
}

// The partial's bytes are worth nothing here: the file is asked for from its first byte, with
// no validator of the copy they came from.
void StartAgain(const DownloadJob& job, ResumePoint& point) {
    point.record = ResumeRecord::For(job.target);
    point.offset = 0;
    point.discard = true;
    point.done.clear();
}
}  // namespace

NetResult Negotiate(const DownloadContext& context, const DownloadJob& job, CPartialFile& partial,
                    ResumePoint& point, Agreement& agreed) {
    for (int request = 0;; ++request) {
        const RangeAsk ask = FirstAsk(job, point);
        auto file = std::make_unique<CHttpFile>(context.session, HttpVerb::Get, job.url,
                                                context.requestFlags);
        NetResult sent = file->SendRequest(RangeRequestHeaders(ask));
        if (sent.Failure() == NetFailure::Connect)
            return NetResult::Fail(NetFailure::Connect, job.url);
        if (!sent.Ok()) return sent;
        if (NetResult page = RefuseWebPage(*file, job.url); !page.Ok()) return page;
        const AnswerContext judgedIn = FirstContext(job, point);
        AnswerJudgement judged = JudgeAnswer(ask, AnswerOf(*file, ask), judgedIn);
        if (NetResult r = Confirm(*file, ask, partial, judged, agreed.leadingBytes); !r.Ok())
            return r;
        const bool hadBytes = point.offset > 0 || !point.done.empty();
        if (hadBytes && !point.discard && SaysChanged(*file, ask, judged) &&
            !context.history.CountRestart(job.url))
            return NetResult::Fail(NetFailure::KeepsChanging, job.url);
        if (judged.verdict == AnswerVerdict::Take || judged.verdict == AnswerVerdict::Restart) {
            Agree(job, ask, judgedIn, judged, std::move(file), agreed);
            return {};
        }
        if (judged.verdict != AnswerVerdict::Changed || request + 1 >= kMaxRequests)
            return FailureOf(judged, job.url, *file);
        StartAgain(job, point);
    }
}
