#pragma once
// The session behind every request of one client: a libcurl multi handle whose connection
// cache keeps connections alive from one request to the next, the agent name sent with each
// request, and the time limits of the transfers.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "net/CurlHandles.h"
#include "net/SessionProxy.h"

class CHttpConnection;

// How long a transfer may take, so that no exchange goes on for ever.
struct CTransferLimits {
    long connectTimeoutSeconds = 60;
    long stallSeconds = 30;  // without receiving a byte: a stall
    // The whole of one exchange other than a download's body: a text, a size query, the check
    // of a complete copy (0: no limit).
    long exchangeSeconds = 30;
    // A transfer slower than this over the window is a stall too (0: no floor).
    std::uint32_t minBytesPerSecond = 1024;
    long rateWindowSeconds = 60;
};

class CInternetSession {
  public:
    // stopFlag: while a request waits for the network it looks at this flag at least every
    // 100 ms and gives up once it is nonzero.
    CInternetSession(std::string agent, const std::atomic<int>& stopFlag,
                     CTransferLimits limits = {});
    ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // scheme: "http" (the default) or "https".
    std::unique_ptr<CHttpConnection> GetHttpConnection(const std::string& server, unsigned port,
                                                       const std::string& scheme = "http");
    // Drops the cached connections; requests made afterwards fail.
    void Close();

    CURLM* Multi() const { return m_multi.get(); }
    const std::string& Agent() const { return m_agent; }
    const std::atomic<int>& StopFlag() const { return m_stopFlag; }
    const CTransferLimits& Limits() const { return m_limits; }
    // Certificates of https servers are verified against the system's store; tests name a
    // file of their own CA here instead (never the program: it has no setting for it).
    void SetCaFile(std::string path) { m_caFile = std::move(path); }
    const std::string& CaFile() const { return m_caFile; }
    // Which proxy each request takes (SessionProxy.h).
    CSessionProxy& Proxy() { return m_proxy; }

  private:
    std::string m_agent;
    const std::atomic<int>& m_stopFlag;
    CTransferLimits m_limits;
    std::string m_caFile;
    CSessionProxy m_proxy;
    CurlMulti m_multi;
};
