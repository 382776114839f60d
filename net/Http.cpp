#include "net/Http.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/DebugTrace.h"
#include "base/TextConv.h"

namespace {
constexpr std::size_t kTextPieceBytes = 1024;
constexpr char kFormContentType[] = "Content-Type: application/x-www-form-urlencoded";
// Text requests carry no Accept header of their own; an empty one keeps libcurl's default out.
constexpr char kNoAcceptHeader[] = "Accept:";

std::string TrimmedBothEnds(const std::string& text) {
    constexpr char kSpace[] = " \t\n\v\f\r";
    std::size_t last = text.find_last_not_of(kSpace);
    if (last == std::string::npos) return {};
    std::size_t first = text.find_first_not_of(kSpace);
    return text.substr(first, last + 1 - first);
}
}  // namespace

CHttp::CHttp(std::string agent, const std::atomic<int>& stopFlag, std::string logPath)
    : m_agent(std::move(agent)), m_stopFlag(stopFlag), m_logPath(std::move(logPath)) {}

CHttp::~CHttp() {
    TRACE("i am start in ~CHttp\n");
    Clean();
    {
        std::lock_guard lock(m_cs);
        if (m_pSession) {
            m_pSession->Close();
            m_pSession.reset();
        }
    }
    TRACE("i am end in ~CHttp\n");
}

void CHttp::InitSession() {
    std::lock_guard lock(m_cs);
    m_pSession = std::make_unique<CInternetSession>(m_agent, m_stopFlag, m_limits);
    m_pSession->SetCaFile(m_caFile);
    m_pSession->Proxy().Use(m_proxyState, m_loginPrompt, m_logPath);
    m_bSessionOpen = 1;
}

void CHttp::Clean() {
    std::lock_guard lock(m_cs);
    if (m_pHttpFile) {
        TRACE("-------->start m_pHttpFile clean\n");
        m_pHttpFile->Close();
        m_pHttpFile.reset();
    }
    if (m_pConnection) {
        TRACE("-------->start m_pConnection clean\n");
        m_pConnection->Close();
        m_pConnection.reset();
    }
}

void CHttp::OpenRequest(const CUrlParts& parts, HttpVerb verb) {
    // A request still held from an earlier operation is released first, so its connection
    // goes back to the session's cache instead of leaking.
    Clean();
    if (!m_bSessionOpen) InitSession();
    m_pConnection = m_pSession->GetHttpConnection(parts.server, parts.port, parts.scheme);
    m_pHttpFile = m_pConnection->OpenRequest(verb, parts.object, m_dwRequestFlags);
}

void CHttp::OpenExchange(const CUrlParts& parts, HttpVerb verb) {
    OpenRequest(parts, verb);
    m_pHttpFile->LimitTotalTime(m_limits.exchangeSeconds);
}

std::string CHttp::SendHttpRequest(const std::string& url, const std::string& verb,
                                   const std::string& content, std::size_t maxBytes) {
    std::string text;
    static_cast<void>(FetchText(url, verb, content, text, maxBytes));
    return text;
}

NetResult CHttp::FetchText(const std::string& url, const std::string& verb,
                           const std::string& content, std::string& text, std::size_t maxBytes) {
    m_strError.clear();
    text.clear();
    auto parts = SplitHttpUrl(url);
    if (!parts) return NetResult::Fail(NetFailure::BadUrl, url);
    TRACE("host=%s,url=%s,content=%s\n", parts->server.c_str(), parts->object.c_str(),
          content.c_str());
    const bool post = verb == "POST";
    OpenExchange(*parts, post ? HttpVerb::Post : HttpVerb::Get);
    NetResult result = m_pHttpFile->AddRequestHeaders(kNoAcceptHeader);
    if (result.Ok() && post) {
        std::string body = WideToNarrow(content);
        body.resize(std::strlen(body.c_str()));  // the body ends at its first zero byte
        result = m_pHttpFile->SendRequest(kFormContentType, body);
    } else if (result.Ok()) {
        result = m_pHttpFile->SendRequest();
    }
    if (result.Failure() == NetFailure::Connect) {
        Clean();
        return result;
    }
    if (result.Ok()) {
        const long status = m_pHttpFile->QueryInfoStatusCode();
        if (status != 200) result = NetResult::Fail(NetFailure::Refused, std::to_string(status));
    }
    if (result.Ok()) result = ReadText(maxBytes, text);
    TRACE("==================================request close:%s\n", url.c_str());
    Clean();
    return result;
}

NetResult CHttp::ReadText(std::size_t maxBytes, std::string& text) {
    char buffer[kTextPieceBytes + 1] = {};
    std::string narrow;
    std::size_t received = 0;
    NetResult result;
    while (result.Ok() && m_stopFlag.load(std::memory_order_relaxed) == 0) {
        std::size_t n = 0;
        result = m_pHttpFile->Read(buffer, kTextPieceBytes, n);
        if (n == 0) break;
        // Counted as received, before a zero byte cuts its piece: the bound is the body's.
        if ((received += n) > maxBytes) {
            result = NetResult::Fail(NetFailure::TooLarge, std::to_string(maxBytes));
            break;
        }
        buffer[n] = '\0';
        // A zero byte ends the piece it stands in.
        narrow.append(buffer, std::strlen(buffer));
    }
    // Nothing of an answer that failed half way, or ran past its bound, is used.
    if (result.Ok()) text = TrimmedBothEnds(NarrowToWide(narrow));
    return result;
}

NetResult CHttp::FetchRawText(const std::string& url, std::size_t maxBytes, const char* headerName,
                              std::string& body, std::optional<std::string>& header) {
    m_strError.clear();
    body.clear();
    header.reset();
    auto parts = SplitHttpUrl(url);
    if (!parts) return NetResult::Fail(NetFailure::BadUrl, url);
    OpenExchange(*parts, HttpVerb::Get);
    NetResult result = m_pHttpFile->AddRequestHeaders(kNoAcceptHeader);
    if (result.Ok()) result = m_pHttpFile->SendRequest();
    if (result.Ok()) {
        const long status = m_pHttpFile->QueryInfoStatusCode();
        if (status != 200) result = NetResult::Fail(NetFailure::Refused, std::to_string(status));
    }
    if (result.Ok()) header = m_pHttpFile->ResponseHeader(headerName);
    // One byte beyond the limit tells a body that is too long from one that just fits.
    const std::size_t limit = maxBytes + 1;
    char buffer[kTextPieceBytes];
    while (result.Ok() && body.size() < limit) {
        std::size_t n = 0;
        result = m_pHttpFile->Read(buffer, std::min(kTextPieceBytes, limit - body.size()), n);
        body.append(buffer, n);
        if (n == 0) {
            if (result.Ok() && m_pHttpFile->Stopped())
                result = NetResult::Fail(NetFailure::Stopped, "the transfer was stopped");
            else if (result.Ok() && !m_pHttpFile->BodyComplete())
                result = NetResult::Fail(NetFailure::Incomplete, url);
            break;
        }
    }
    if (result.Ok() && body.size() > maxBytes)
        result = NetResult::Fail(NetFailure::TooLarge, std::to_string(maxBytes));
    // Closing before the end drops the connection: the rest of a long body is never read.
    Clean();
    return result;
}

std::int64_t CHttp::GetHttpFileSize(const std::string& url) {
    std::int64_t size = 0;
    static_cast<void>(QueryFileSize(url, size));
    return size;
}

NetResult CHttp::QueryFileSize(const std::string& url, std::int64_t& size) {
    m_strError.clear();
    size = 0;
    auto parts = SplitHttpUrl(url);
    if (!parts) return NetResult::Fail(NetFailure::BadUrl, url);
    OpenExchange(*parts, HttpVerb::Get);
    NetResult result = m_pHttpFile->AddRequestHeaders(kDownloadHeaders);
    if (result.Ok()) result = m_pHttpFile->SendRequest();
    // Without an answer, or for a missing file, the request stays open until the next Clean.
    if (result.Failure() == NetFailure::Connect) return result;
    if (!result.Ok()) {
        TRACE("Exception: %s\n", result.Detail().c_str());
        Clean();
        return result;
    }
    const std::string status = std::to_string(m_pHttpFile->QueryInfoStatusCode());
    DebugTrace("status=%s\n", status.c_str());
    if (status == "404") return NetResult::Fail(NetFailure::NotFound, url);
    size = std::max<std::int64_t>(m_pHttpFile->ContentLength(), 0);
    Clean();
    return {};
}
