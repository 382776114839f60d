#pragma once
// How the requests of one session go through proxies: the run's proxy state (without one, the
// environment's proxy or none), the log that its notes go to, and the person's login question,
// asked at most once a session.

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "net/ProxyState.h"

// Asks the person for the login of the proxy named proxyName ("host:port"); true with what
// they entered in login, false when they declined. Runs on the requesting thread.
using ProxyLoginPrompt =
    std::function<bool(const std::string& proxyName, CProxyCredentials& login)>;

class CSessionProxy {
  public:
    CSessionProxy();

    // state: shared with the run's other clients (nullptr: the environment's proxy, else
    // direct); prompt: nothing when nobody may be asked; logPath: "" for no log.
    void Use(std::shared_ptr<CProxyState> state, ProxyLoginPrompt prompt, std::string logPath);

    // Sets the proxy of a request to url on easy, with its login and method; the route taken.
    ProxyRoute Apply(CURL* easy, const std::string& url, const std::atomic<int>& stop);
    // After an answer on route: keeps the methods a proxy's 407 named.
    void NoteMethods(CURL* easy, const ProxyRoute& route);
    // After a proxy's last 407 on route: asks the person, the first time in this session, and
    // sets what they entered on easy. False when there is no login to try.
    bool AskLogin(CURL* easy, ProxyRoute& route);

  private:
    std::shared_ptr<CProxyState> m_state;
    ProxyLoginPrompt m_prompt;
    std::string m_logPath;
    bool m_asked = false;
};
