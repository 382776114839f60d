#pragma once
// An HTTP server inside the test process (cpp-httplib), on 127.0.0.1 with an ephemeral port.
// Routes are registered before it starts listening; it records every request it sees (also
// the ones no route answers) and stops, releasing any handler that waits, when destroyed.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct SeenRequest {
    std::string method;
    std::string path;  // as requested, with its query
    httplib::Headers headers;
    std::string body;
    std::string range;   // the Range header, empty when there was none
    int remotePort = 0;  // the client's port: one per connection

    // The first value of header name, empty when absent.
    std::string Header(const std::string& name) const;
};

class LocalHttpServer {
  public:
    // routes registers the handlers; the server listens once it returns, on port when given
    // (a server that comes back where an earlier one was), else on an ephemeral port.
    explicit LocalHttpServer(const std::function<void(LocalHttpServer&, httplib::Server&)>& routes,
                             int port = 0);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path
    std::string Url(const std::string& path) const;

    std::size_t RequestCount() const;
    std::vector<SeenRequest> Requests() const;
    // The Range header of each request, in order ("" for none).
    std::vector<std::string> Ranges() const;
    // Distinct client connections seen so far.
    std::size_t ConnectionCount() const;

    // For handlers: waits until the server is stopping or timeout has passed; true when
    // stopping. Handlers that stall use it, so the server can always be stopped.
    bool WaitUntilStopping(std::chrono::milliseconds timeout);
    bool Stopping() const;

  private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stop = false;
    std::vector<SeenRequest> m_requests;
};

// A file as a scripted server serves it.
struct ServedFile {
    std::string content;
    bool honourRange = true;  // answer "bytes=N-" with 206 (416 past the end); else always 200
    std::optional<std::size_t> closeAfter = {};  // drop the connection after this many body bytes
    std::optional<std::size_t> stallAfter = {};  // stop sending after this many body bytes
    bool chunked = false;                        // no Content-Length
    std::size_t pieceBytes = 64 * 1024;          // the body is sent in pieces of this size
    std::chrono::milliseconds pauseBetweenPieces{0};
    std::string etag = {};      // sent as ETag when set; an If-Range of another value gets a 200
    bool honourIfRange = true;  // false: If-Range is ignored, as some servers do
    int laterStatus = 0;        // when set, every request after the first gets only this status
    int firstStatus = 0;        // when set, the first request gets only this status
    std::optional<long> retryAfter = {};  // with either status: its Retry-After seconds
    // Announced as the whole file's length instead of the content's; the connection drops
    // once the content is sent.
    std::optional<std::size_t> claimedLength = {};
};

// Serves file at path (GET) on server. The file is copied into the route.
void ServeFile(LocalHttpServer& owner, httplib::Server& server, const std::string& path,
               ServedFile file);

// Keeps server's listening socket out of child processes (the web view's helper processes,
// xdg-open): httplib opens it without close-on-exec, and a child that outlives the test would
// keep the port taken.
void KeepFromChildProcesses(httplib::Server& server);

// A fixed answer: status, body, and extra headers.
void ServeFixed(httplib::Server& server, const std::string& path, int status, std::string body,
                httplib::Headers headers = {});
