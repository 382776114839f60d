#include "net/HttpConnection.h"

#include <utility>

#include "net/HttpFile.h"
#include "net/UrlParts.h"

CHttpConnection::CHttpConnection(CInternetSession& session, std::string scheme, std::string server,
                                 unsigned port)
    : m_session(session), m_scheme(std::move(scheme)), m_server(std::move(server)), m_port(port) {}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(HttpVerb verb, const std::string& object,
                                                        unsigned flags) {
    return std::make_unique<CHttpFile>(m_session, verb,
                                       JoinHttpUrl(m_scheme, m_server, m_port, object), flags);
}
