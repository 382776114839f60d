#include "net/InternetSession.h"

#include <utility>

#include "net/HttpConnection.h"
#include "net/InternetException.h"

CInternetSession::CInternetSession(std::string agent, const std::atomic<int>& stopFlag,
                                   CTransferLimits limits)
    : m_agent(std::move(agent)), m_stopFlag(stopFlag), m_limits(limits) {
    EnsureCurlGlobalInit();
    m_multi.reset(curl_multi_init());
    if (!m_multi) throw CInternetException("cannot create the transfer session");
}

CInternetSession::~CInternetSession() = default;

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::string& server,
                                                                     unsigned port) {
    if (!m_multi) throw CInternetException("the transfer session is closed");
    return std::make_unique<CHttpConnection>(*this, server, port);
}

void CInternetSession::Close() {
    m_multi.reset();
}
