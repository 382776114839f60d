#pragma once
// The page's advertisement, fetched by the program on a thread of its own: the answer is read
// as data (AdvertReply.h) and only its fragment goes to the page, which rebuilds it from an
// allowlist. The page itself never asks another origin for anything.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "net/ProxyState.h"

class CAdvertFetch {
  public:
    // Called on the fetching thread with the fragment of a usable answer.
    using Deliver = std::function<void(const std::string& fragment)>;

    CAdvertFetch() = default;
    // Stops the request at its next poll and waits for the thread.
    ~CAdvertFetch();
    CAdvertFetch(const CAdvertFetch&) = delete;
    CAdvertFetch& operator=(const CAdvertFetch&) = delete;

    // Fetches url once (at most kMaxAdvertBytes, within kAdvertSeconds) through the run's
    // proxies, never asking for a login; agent names the program in the request.
    void Start(std::string url, std::string agent, std::shared_ptr<CProxyState> proxy,
               Deliver deliver);
    bool Started() const { return m_thread.joinable(); }

  private:
    std::atomic<int> m_stop{0};
    std::thread m_thread;
};
