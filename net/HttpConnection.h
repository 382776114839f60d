#pragma once
// One server and port of a session. Requests opened on it share the session's connection
// cache, so consecutive requests to the same server reuse one connection when they can.

#include <memory>
#include <string>

class CInternetSession;
class CHttpFile;

enum class HttpVerb { Post = 0, Get = 1 };

class CHttpConnection {
  public:
    // scheme: "http" or "https".
    CHttpConnection(CInternetSession& session, std::string scheme, std::string server,
                    unsigned port);
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    std::unique_ptr<CHttpFile> OpenRequest(HttpVerb verb, const std::string& object,
                                           unsigned flags);
    void Close() {}

  private:
    CInternetSession& m_session;
    std::string m_scheme;
    std::string m_server;
    unsigned m_port;
};
