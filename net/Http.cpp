#include "net/Http.h"

#include <cstring>
#include <exception>

#include "app/DebugTrace.h"
#include "app/DownloaderApp.h"
#include "app/TextConv.h"

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

CHttp::CHttp() = default;

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
    m_pSession = std::make_unique<CInternetSession>(TheApp().AppName(), TheApp().m_bQuit, m_limits);
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
    m_pConnection = m_pSession->GetHttpConnection(parts.server, parts.port);
    m_pHttpFile = m_pConnection->OpenRequest(verb, parts.object, m_dwRequestFlags);
}

std::string CHttp::SendHttpRequest(const std::string& url, const std::string& verb,
                                   const std::string& content) {
    auto parts = SplitHttpUrl(url);
    if (!parts) return {};
    TRACE("host=%s,url=%s,content=%s\n", parts->server.c_str(), parts->object.c_str(),
          content.c_str());
    std::string response;
    try {
        if (verb == "POST") {
            OpenRequest(*parts, HttpVerb::Post);
            std::string body = WideToNarrow(content);
            body.resize(std::strlen(body.c_str()));  // the body ends at its first zero byte
            m_pHttpFile->AddRequestHeaders(kNoAcceptHeader);
            if (!m_pHttpFile->SendRequest(kFormContentType, body)) {
                Clean();
                return {};
            }
        } else {
            OpenRequest(*parts, HttpVerb::Get);
            m_pHttpFile->AddRequestHeaders(kNoAcceptHeader);
            if (!m_pHttpFile->SendRequest()) {
                Clean();
                return {};
            }
        }
        if (m_pHttpFile->QueryInfoStatusCode() == 200) {
            char buffer[kTextPieceBytes + 1] = {};
            std::string narrow;
            while (TheApp().m_bQuit.load(std::memory_order_relaxed) == 0) {
                std::size_t n = m_pHttpFile->Read(buffer, kTextPieceBytes);
                if (n == 0) break;
                buffer[n] = '\0';
                // A zero byte ends the piece it stands in.
                narrow.append(buffer, std::strlen(buffer));
            }
            response = TrimmedBothEnds(NarrowToWide(narrow));
        }
    } catch (const std::exception&) {
        // Transfer failures give the empty answer; the caller decides whether to ask again.
    }
    TRACE("==================================request close:%s\n", url.c_str());
    Clean();
    return response;
}

std::int64_t CHttp::GetHttpFileSize(const std::string& url) {
    auto parts = SplitHttpUrl(url);
    if (!parts) return 0;
    std::int64_t size = 0;
    try {
        OpenRequest(*parts, HttpVerb::Get);
        if (!m_pHttpFile) return 0;
        m_pHttpFile->AddRequestHeaders(kDownloadHeaders);
        if (!m_pHttpFile->SendRequest()) return 0;
        std::string status = std::to_string(m_pHttpFile->QueryInfoStatusCode());
        DebugTrace("status=%s\n", status.c_str());
        if (status == "404") return 0;
        size = std::max<std::int64_t>(m_pHttpFile->ContentLength(), 0);
    } catch (const std::exception& e) {
        TRACE("Exception: %s\n", e.what());
        size = 0;
    }
    Clean();
    return size;
}
