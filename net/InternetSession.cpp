#include "net/InternetSession.h"

#include <utility>

#include "net/HttpConnection.h"
#include "platform/NewDescriptors.h"

CInternetSession::CInternetSession(std::string agent, const std::atomic<int>& stopFlag,
                                   CTransferLimits limits)
    : m_agent(std::move(agent)), m_stopFlag(stopFlag), m_limits(limits) {
    EnsureCurlGlobalInit();
    // Should this fail, every request of the session fails as a transfer error.
    // Its socket pair (which wakes a waiting poll) is kept from child processes.
    m_multi.reset(WithNewDescriptorsCloseOnExec([] { return curl_multi_init(); }));
}

CInternetSession::~CInternetSession() = default;

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::string& server,
                                                                     unsigned port,
                                                                     const std::string& scheme) {
    return std::make_unique<CHttpConnection>(*this, scheme, server, port);
}

void CInternetSession::Close() {
    m_multi.reset();
}
