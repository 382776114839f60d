#include "tests/support/LocalHttpServer.h"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>

std::string SeenRequest::Header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

LocalHttpServer::LocalHttpServer(
    const std::function<void(LocalHttpServer&, httplib::Server&)>& routes, int port) {
    // Every request is recorded before routing. httplib would cut bodies to a Range itself;
    // its parsed ranges are dropped so that each route decides how to answer a Range.
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        SeenRequest seen{
            req.method,     req.target, req.headers, req.body, req.get_header_value("Range"),
            req.remote_port};
        const_cast<httplib::Request&>(req).ranges.clear();
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(seen));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    KeepFromChildProcesses(m_server);
    m_server.set_keep_alive_max_count(1000);
    m_server.set_tcp_nodelay(true);  // answers written in two parts arrive without delay
    routes(*this, m_server);
    m_port = port > 0 ? (m_server.bind_to_port("127.0.0.1", port) ? port : -1)
                      : m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a local HTTP server");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so a server stopped at once would hang.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void KeepFromChildProcesses(httplib::Server& server) {
    server.set_socket_options([](socket_t sock) {
        httplib::default_socket_options(sock);
        ::fcntl(sock, F_SETFD, FD_CLOEXEC);
    });
}

LocalHttpServer::~LocalHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_stopping.notify_all();
    m_server.stop();
    m_thread.join();
}

std::string LocalHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::size_t LocalHttpServer::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

std::vector<SeenRequest> LocalHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> LocalHttpServer::Ranges() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> ranges;
    for (const auto& seen : m_requests) ranges.push_back(seen.range);
    return ranges;
}

std::size_t LocalHttpServer::ConnectionCount() const {
    std::lock_guard lock(m_mutex);
    std::set<int> ports;
    for (const auto& seen : m_requests) ports.insert(seen.remotePort);
    return ports.size();
}

bool LocalHttpServer::WaitUntilStopping(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_stopping.wait_for(lock, timeout, [this] { return m_stop; });
}

bool LocalHttpServer::Stopping() const {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

namespace {
// The first byte asked for by "bytes=N-", if that is what range says.
std::optional<std::size_t> RangeStart(const std::string& range) {
    std::size_t start = 0;
    char dash = 0;
    if (std::sscanf(range.c_str(), "bytes=%zu%c", &start, &dash) == 2 && dash == '-') return start;
    return std::nullopt;
}

// Sends the next piece of file's body from offset (the body's first byte in the file); false
// ends the response early, dropping the connection.
bool SendPiece(LocalHttpServer& owner, const ServedFile& file, std::size_t offset, std::size_t sent,
               httplib::DataSink& sink) {
    std::size_t left = file.content.size() - offset - sent;
    if (left == 0) return false;  // a length claimed beyond the content
    std::size_t piece = std::min(file.pieceBytes, left);
    if (file.closeAfter) {
        if (sent >= *file.closeAfter) return false;
        piece = std::min(piece, *file.closeAfter - sent);
    }
    if (file.stallAfter) {
        if (sent >= *file.stallAfter) {
            owner.WaitUntilStopping(std::chrono::seconds(30));
            return false;
        }
        piece = std::min(piece, *file.stallAfter - sent);
    }
    if (sent > 0 && file.pauseBetweenPieces.count() > 0 &&
        owner.WaitUntilStopping(file.pauseBetweenPieces))
        return false;
    if (piece > 0 && !sink.write(file.content.data() + offset + sent, piece)) return false;
    if (file.chunked && offset + sent + piece == file.content.size()) sink.done();
    return true;
}
}  // namespace

void ServeFile(LocalHttpServer& owner, httplib::Server& server, const std::string& path,
               ServedFile served) {
    auto file = std::make_shared<const ServedFile>(std::move(served));
    auto requests = std::make_shared<std::atomic<int>>(0);
    server.Get(path, [&owner, file, requests](const httplib::Request& req, httplib::Response& res) {
        const int seen = requests->fetch_add(1);
        if ((file->laterStatus && seen > 0) || (file->firstStatus && seen == 0)) {
            res.status = seen > 0 ? file->laterStatus : file->firstStatus;
            if (file->retryAfter) res.set_header("Retry-After", std::to_string(*file->retryAfter));
            return;
        }
        const std::size_t size = file->content.size();
        std::size_t offset = 0;
        auto start = RangeStart(req.get_header_value("Range"));
        if (!file->etag.empty()) {
            res.set_header("ETag", file->etag);
            if (file->honourIfRange && req.has_header("If-Range") &&
                req.get_header_value("If-Range") != file->etag)
                start.reset();
        }
        if (file->honourRange && start) {
            if (*start >= size) {
                res.status = 416;
                res.set_header("Content-Range", "bytes */" + std::to_string(size));
                return;
            }
            offset = *start;
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(offset) + "-" +
                                                std::to_string(size - 1) + "/" +
                                                std::to_string(size));
        } else {
            res.status = 200;
        }
        const char* type = "application/octet-stream";
        if (file->chunked) {
            res.set_chunked_content_provider(
                type, [&owner, file, offset](std::size_t sent, httplib::DataSink& sink) {
                    if (offset == file->content.size()) {
                        sink.done();
                        return true;
                    }
                    return SendPiece(owner, *file, offset, sent, sink);
                });
        } else {
            res.set_content_provider(
                file->claimedLength.value_or(size) - offset, type,
                [&owner, file, offset](std::size_t sent, std::size_t, httplib::DataSink& sink) {
                    return SendPiece(owner, *file, offset, sent, sink);
                });
        }
    });
}

void ServeFixed(httplib::Server& server, const std::string& path, int status, std::string body,
                httplib::Headers headers) {
    server.Get(path, [status, body = std::move(body), headers = std::move(headers)](
                         const httplib::Request&, httplib::Response& res) {
        res.status = status;
        for (const auto& [name, value] : headers) res.set_header(name, value);
        res.set_content(body, "text/plain");
    });
}
