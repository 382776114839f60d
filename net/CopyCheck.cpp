// CHttp::ConfirmCopy: whether a complete file on disk is still the one the server holds.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/Format.h"
#include "base/UniqueFd.h"
#include "net/Http.h"
#include "net/ResumeAnswer.h"

namespace {
constexpr std::uint64_t kTailBytes = 64 * 1024;
}

bool CHttp::ConfirmCopy(const std::string& url, const std::string& path) {
    m_strError.clear();
    const auto parts = SplitHttpUrl(url);
    if (!parts) return false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t tail = std::min(size, kTailBytes);
    const std::uint64_t first = size - tail;

    // With the validator the copy was fetched with, the server sends the tail only while its
    // file is still that one; the bytes are compared either way.
    std::string headers = kDownloadHeaders;
    headers += Format("Range: bytes=%llu-\r\n", static_cast<unsigned long long>(first));
    const std::string host = parts->server + ":" + std::to_string(parts->port);
    if (const auto record = LoadResumeRecord(ResumeRecordPath(path)))
        if (const auto ifRange = record->IfRangeFor(host))
            headers += "If-Range: " + *ifRange + "\r\n";

    OpenExchange(*parts, HttpVerb::Get);
    NetResult sent = m_pHttpFile->AddRequestHeaders(headers);
    if (sent.Ok()) sent = m_pHttpFile->SendRequest();
    bool same = false;
    if (sent.Ok()) {
        const long status = m_pHttpFile->QueryInfoStatusCode();
        const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range");
        const bool rightPart = status == 206 && contentRange &&
                               ContentRangeFirst(*contentRange) == first &&
                               ContentRangeTotal(*contentRange) == size;
        const bool wholeFile = status == 200 && first == 0 &&
                               m_pHttpFile->ContentLength() == static_cast<std::int64_t>(size);
        std::string remote;
        if ((rightPart || wholeFile) && ReadExactly(static_cast<std::size_t>(tail), remote).Ok()) {
            std::string local(remote.size(), '\0');
            same = ::pread(fd.get(), local.data(), local.size(), static_cast<off_t>(first)) ==
                       static_cast<ssize_t>(local.size()) &&
                   local == remote;
        }
    }
    Clean();
    return same;
}
