#include "net/ProxyState.h"

#include <cstdlib>
#include <utility>

#include "net/ProxyChoice.h"
#include "net/UrlParts.h"

namespace {
// libcurl's own variables: any of them keeps the desktop out (no_proxy alone does not).
bool EnvironmentNamesProxy() {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

// The one method to offer from the start, in the order libcurl itself prefers them.
unsigned long OneMethod(unsigned long available) {
    for (unsigned long method :
         {CURLAUTH_NEGOTIATE, CURLAUTH_DIGEST, CURLAUTH_NTLM, CURLAUTH_BASIC})
        if (available & method) return method;
    return 0;
}
}  // namespace

CProxyState::CProxyState(ProxyResolver resolver) : m_resolver(std::move(resolver)) {}

std::shared_ptr<CProxyState> CProxyState::PinnedDirect() {
    return std::make_shared<CProxyState>([](const std::string&, const std::atomic<int>&) {
        return ProxyLookup{{"direct://"}, {}};
    });
}

ProxyRoute CProxyState::RouteFor(const std::string& url, const std::atomic<int>& stop,
                                 std::vector<std::string>& notes) {
    if (EnvironmentNamesProxy()) {
        ProxyRoute environment;
        environment.environment = true;
        return environment;
    }
    const std::optional<CUrlParts> parts = SplitHttpUrl(url);
    if (!parts) return {};  // no request is made for it
    const std::string origin = JoinHttpUrl(parts->scheme, parts->server, parts->port, "/");
    {
        std::lock_guard lock(m_mutex);
        if (auto known = m_routes.find(origin); known != m_routes.end()) return known->second;
    }
    return AskResolver(origin, stop, notes);
}

ProxyRoute CProxyState::AskResolver(const std::string& origin, const std::atomic<int>& stop,
                                    std::vector<std::string>& notes) {
    // Asked without the lock: a slow resolver holds up no other request.
    const ProxyLookup lookup = m_resolver(origin, stop);
    const std::string about = "desktop proxy for " + origin + ": ";
    ProxyRoute route;
    auto login = std::make_unique<Login>();
    if (!lookup.failure.empty()) {
        notes.push_back(about + lookup.failure + ", direct");
    } else {
        ProxyChoice choice = ChooseProxy(lookup.answers);
        for (const std::string& note : choice.notes) notes.push_back(about + note);
        route.proxy = std::move(choice.proxy);
        route.name = login->name = std::move(choice.name);
        if (!choice.answer || !TakeProxyLogin(lookup.answers[*choice.answer], login->credentials))
            login.reset();
    }
    // A lookup cut short by a closing client is not the desktop's answer, nor worth a word.
    if (stop.load()) {
        notes.clear();
        return route;
    }
    std::lock_guard lock(m_mutex);
    // A login the person entered for this proxy stays.
    if (login) m_logins.emplace(route.proxy, std::move(login));
    return m_routes.emplace(origin, route).first->second;
}

void CProxyState::Apply(CURL* easy, const ProxyRoute& route) const {
    if (!route.environment) {
        // Also the way to keep the environment out: an empty proxy is direct.
        curl_easy_setopt(easy, CURLOPT_PROXY, route.proxy.c_str());
        // The desktop's answer already left out the hosts it lists; no_proxy has no say.
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    }
    if (route.Direct()) return;
    std::lock_guard lock(m_mutex);
    const auto method = m_methods.find(route.proxy);
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH,
                     static_cast<long>(method != m_methods.end() ? method->second : CURLAUTH_ANY));
    if (const auto login = m_logins.find(route.proxy); login != m_logins.end()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, login->second->credentials.User());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, login->second->credentials.Password());
    }
}

void CProxyState::KeepLogin(const ProxyRoute& route, const CProxyCredentials& login) {
    auto kept = std::make_unique<Login>();
    kept->name = route.name;
    kept->credentials.CopyFrom(login);
    std::lock_guard lock(m_mutex);
    m_logins[route.proxy] = std::move(kept);
}

void CProxyState::NoteMethods(const ProxyRoute& route, unsigned long available) {
    const unsigned long method = OneMethod(available);
    if (method == 0 || route.Direct()) return;
    std::lock_guard lock(m_mutex);
    m_methods[route.proxy] = method;
}

bool CProxyState::LoginFor(const std::string& name, CProxyCredentials& login) const {
    std::lock_guard lock(m_mutex);
    for (const auto& [proxy, kept] : m_logins) {
        if (kept->name != name) continue;
        login.CopyFrom(kept->credentials);
        return true;
    }
    return false;
}
