#pragma once
// What one run of the program knows of its proxies, shared by every client and the web view,
// from any thread: the desktop's answer for each scheme, host and port (asked once, then kept
// for the run), the logins the run has (from those answers, or entered by the person), and the
// authentication method each proxy named. The environment's proxy variables win over the
// desktop, as in curl: libcurl then finds the proxy itself and only its login and method are
// kept here.

#include <curl/curl.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/DesktopProxy.h"
#include "net/ProxyCredentials.h"

// How one request reaches its server.
struct ProxyRoute {
    bool environment = false;  // through the environment's proxy, which libcurl finds itself
    // Otherwise libcurl's proxy address without its user part; empty: direct. Also the key of
    // the proxy's login and method ("" for the environment's proxy).
    std::string proxy;
    std::string name;  // "host:port" of the proxy: what the person and the log are told
    bool Direct() const { return !environment && proxy.empty(); }
};

class CProxyState {
  public:
    // resolver: the desktop's (DesktopProxyResolver()), or a test's.
    explicit CProxyState(ProxyResolver resolver);
    CProxyState(const CProxyState&) = delete;
    CProxyState& operator=(const CProxyState&) = delete;

    // Every address direct unless the environment names a proxy: the answer tests pin.
    static std::shared_ptr<CProxyState> PinnedDirect();

    // The route of a request to url. notes gets what the log should say of an answer just
    // asked for (nothing for one the run already had).
    ProxyRoute RouteFor(const std::string& url, const std::atomic<int>& stop,
                        std::vector<std::string>& notes);
    // Sets route's proxy on easy, with the login the run has for it and the one method it
    // named (any method until it has named one).
    void Apply(CURL* easy, const ProxyRoute& route) const;
    // Keeps a login the person entered for route's proxy, for the rest of the run.
    void KeepLogin(const ProxyRoute& route, const CProxyCredentials& login);
    // The methods a proxy asked for (CURLINFO_PROXYAUTH_AVAIL): later requests offer one alone,
    // so that a login goes with the first request instead of after a 407.
    void NoteMethods(const ProxyRoute& route, unsigned long available);
    // The login of the proxy at name ("host:port"), for the web view; false without one.
    bool LoginFor(const std::string& name, CProxyCredentials& login) const;

  private:
    struct Login {
        std::string name;
        CProxyCredentials credentials;
    };
    ProxyRoute AskResolver(const std::string& origin, const std::atomic<int>& stop,
                           std::vector<std::string>& notes);

    ProxyResolver m_resolver;
    mutable std::mutex m_mutex;
    std::map<std::string, ProxyRoute> m_routes;  // by "scheme://host:port/"
    std::map<std::string, std::unique_ptr<Login>> m_logins;
    std::map<std::string, unsigned long> m_methods;
};
