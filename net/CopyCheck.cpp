// CHttp::ConfirmCopy: whether a complete file on disk is still the one the server holds.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/UniqueFd.h"
#include "net/AnswerOf.h"
#include "net/Http.h"
#include "platform/RegularFile.h"

namespace {
constexpr std::uint64_t kTailBytes = 64 * 1024;
}

bool CHttp::ConfirmCopy(const std::string& url, const std::string& path) {
    m_strError.clear();
    const auto parts = SplitHttpUrl(url);
    if (!parts) return false;
    UniqueFd fd = OpenRegularToRead(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t tail = std::min(size, kTailBytes);

    // With the validator the copy was fetched with, the server sends the tail only while its
    // file is still that one; the bytes are compared either way. The answer is judged as any
    // answer to the last byte of a download would be.
    const std::string host = parts->server + ":" + std::to_string(parts->port);
    RangeAsk ask{size, kOpenEnd, tail, std::nullopt};
    if (const auto record = LoadResumeRecord(ResumeRecordPath(path)))
        ask.ifRange = record->ValidatorFor(host);
    OpenExchange(*parts, HttpVerb::Get);
    bool same = false;
    if (m_pHttpFile->SendRequest(RangeRequestHeaders(ask)).Ok()) {
        const AnswerJudgement judged =
            JudgeAnswer(ask, AnswerOf(*m_pHttpFile, ask), {size, false, true, false});
        std::string remote;
        if (judged.verdict == AnswerVerdict::Take && judged.to == size &&
            m_pHttpFile->ReadExactly(static_cast<std::size_t>(tail), remote).Ok()) {
            std::string local(remote.size(), '\0');
            same = ::pread(fd.get(), local.data(), local.size(), static_cast<off_t>(size - tail)) ==
                       static_cast<ssize_t>(local.size()) &&
                   local == remote;
        }
    }
    Clean();
    return same;
}
