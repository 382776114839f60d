#include "net/AnswerOf.h"

#include <string_view>

#include "base/Format.h"
#include "net/HttpFile.h"
#include "net/ResumeRecord.h"

RangeAnswer AnswerOf(const CHttpFile& file, const RangeAsk& ask) {
    RangeAnswer answer;
    answer.status = file.QueryInfoStatusCode();
    answer.contentRange = file.ResponseHeader("Content-Range");
    answer.contentLength = file.ContentLength();
    answer.validator = AnswerValidator(file.ResponseHeader("ETag"),
                                       file.ResponseHeader("Last-Modified"), ask.ifRange);
    answer.contentEncoding = file.ResponseHeader("Content-Encoding");
    return answer;
}

NetResult FailureOf(const AnswerJudgement& judged, const std::string& url, const CHttpFile& file) {
    const long status = file.QueryInfoStatusCode();
    const std::string answered = std::to_string(status);
    switch (judged.verdict) {
        case AnswerVerdict::NotFound:
            return NetResult::Fail(NetFailure::NotFound, url).Answered(status);
        case AnswerVerdict::Contradicts:
            return NetResult::Fail(
                       NetFailure::Contradicted,
                       Format("status %ld, Content-Length %lld, Content-Range %s", status,
                              static_cast<long long>(file.ContentLength()),
                              file.ResponseHeader("Content-Range").value_or("none").c_str()))
                .Answered(status);
        case AnswerVerdict::Busy:
        case AnswerVerdict::Retry:
            return NetResult::Fail(NetFailure::Refused, answered)
                .Answered(status, file.RetryAfterSeconds());
        case AnswerVerdict::Refuse: {
            const bool byStatus = std::string_view(judged.refusal) == "status";
            return NetResult::Fail(NetFailure::Refused,
                                   byStatus ? answered : answered + " (" + judged.reason + ")")
                .Answered(status);
        }
        case AnswerVerdict::Changed:
            return NetResult::Fail(NetFailure::FileChanged, url).Answered(status);
        case AnswerVerdict::Take:
        case AnswerVerdict::Restart:
        case AnswerVerdict::IgnoresRange:
            break;
    }
    return NetResult::Fail(NetFailure::Refused, answered).Answered(status);
}
