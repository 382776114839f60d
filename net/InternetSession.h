#pragma once
// The session behind every request of one client: a libcurl multi handle whose connection
// cache keeps connections alive from one request to the next, the agent name sent with each
// request, and the time limits of the transfers.

#include <atomic>
#include <memory>
#include <string>

#include "net/CurlHandles.h"

class CHttpConnection;

// How long a transfer may take to connect, and how long it may go without receiving a byte.
struct CTransferLimits {
    long connectTimeoutSeconds = 60;
    long stallSeconds = 30;
    long totalSeconds = 0;  // the whole transfer, 0: no limit
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

  private:
    std::string m_agent;
    const std::atomic<int>& m_stopFlag;
    CTransferLimits m_limits;
    std::string m_caFile;
    CurlMulti m_multi;
};
