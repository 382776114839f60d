#include "net/SessionProxy.h"

#include <utility>
#include <vector>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"

namespace {
// The environment's proxy is not known by name here: the address libcurl connected to is it.
std::string ConnectedName(CURL* easy) {
    char* ip = nullptr;
    long port = 0;
    curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip);
    curl_easy_getinfo(easy, CURLINFO_PRIMARY_PORT, &port);
    return std::string(ip ? ip : "") + ":" + std::to_string(port);
}
}  // namespace

CSessionProxy::CSessionProxy() : m_state(CProxyState::PinnedDirect()) {}

void CSessionProxy::Use(std::shared_ptr<CProxyState> state, ProxyLoginPrompt prompt,
                        std::string logPath) {
    if (state) m_state = std::move(state);
    m_prompt = std::move(prompt);
    m_logPath = std::move(logPath);
}

ProxyRoute CSessionProxy::Apply(CURL* easy, const std::string& url, const std::atomic<int>& stop) {
    std::vector<std::string> notes;
    ProxyRoute route = m_state->RouteFor(url, stop, notes);
    for (const std::string& note : notes) {
        TRACE("%s\n", note.c_str());
        if (!m_logPath.empty()) DiagLog(m_logPath.c_str(), "%s", note.c_str());
    }
    m_state->Apply(easy, route);
    return route;
}

void CSessionProxy::NoteMethods(CURL* easy, const ProxyRoute& route) {
    long available = 0;
    if (curl_easy_getinfo(easy, CURLINFO_PROXYAUTH_AVAIL, &available) == CURLE_OK && available)
        m_state->NoteMethods(route, static_cast<unsigned long>(available));
}

bool CSessionProxy::AskLogin(CURL* easy, ProxyRoute& route) {
    if (m_asked || !m_prompt || route.Direct()) return false;
    m_asked = true;
    if (route.name.empty()) route.name = ConnectedName(easy);
    CProxyCredentials login;
    if (!m_prompt(route.name, login) || login.Empty()) return false;
    m_state->KeepLogin(route, login);
    m_state->Apply(easy, route);
    return true;
}
