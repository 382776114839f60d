#include "tests/download/InstallerServer.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

namespace {
// A stalled body never holds a test longer than this.
constexpr auto kMaxStall = std::chrono::seconds(10);
}  // namespace

CInstallerServer::CInstallerServer() {
    m_server.Get(kUpdatePath, [this](const httplib::Request& req, httplib::Response& res) {
        ServeUpdate(req, res);
    });
    for (const char* path : {kInstallerPath, kDefaultInstallerPath}) {
        m_server.Get(path, [this](const httplib::Request& req, httplib::Response& res) {
            ServeInstaller(req, res);
        });
    }
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a local port");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() is lost on a server that has not started listening yet.
    for (int i = 0; i < 500 && !m_server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

CInstallerServer::~CInstallerServer() {
    Release();
    m_server.stop();
    m_thread.join();
}

std::string CInstallerServer::Host() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string CInstallerServer::Url(const std::string& path) const {
    return "http://" + Host() + path;
}

void CInstallerServer::SetUpdateReplies(std::vector<Reply> replies) {
    std::lock_guard lock(m_mutex);
    m_replies = std::move(replies);
    m_updateRequests = 0;
}

void CInstallerServer::SetInstaller(std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_installer = std::move(bytes);
}

void CInstallerServer::SetInstallerMissing(bool missing) {
    std::lock_guard lock(m_mutex);
    m_installerMissing = missing;
}

void CInstallerServer::CloseAfter(std::size_t offset) {
    std::lock_guard lock(m_mutex);
    m_closeAfter = offset;
}

void CInstallerServer::StallAfter(std::size_t offset) {
    std::lock_guard lock(m_mutex);
    m_stallAfter = offset;
}

void CInstallerServer::Release() {
    std::lock_guard lock(m_mutex);
    m_isReleased = true;
    m_released.notify_all();
}

bool CInstallerServer::WaitForRelease() {
    std::unique_lock lock(m_mutex);
    return m_released.wait_for(lock, kMaxStall, [this] { return m_isReleased; });
}

std::vector<CInstallerServer::Request> CInstallerServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<CInstallerServer::Request> CInstallerServer::RequestsFor(
    const std::string& path) const {
    std::vector<Request> matching;
    for (Request& request : Requests())
        if (request.path == path) matching.push_back(std::move(request));
    return matching;
}

void CInstallerServer::Record(const httplib::Request& req) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back({req.path, req.target, req.get_header_value("Range"), req.params});
}

void CInstallerServer::ServeUpdate(const httplib::Request& req, httplib::Response& res) {
    Record(req);
    std::lock_guard lock(m_mutex);
    const Reply& reply = m_replies[std::min(m_updateRequests++, m_replies.size() - 1)];
    res.status = reply.status;
    res.set_content(reply.body, "application/json");
}

void CInstallerServer::ServeInstaller(const httplib::Request& req, httplib::Response& res) {
    Record(req);
    std::lock_guard lock(m_mutex);
    if (m_installerMissing) {
        res.status = 404;
        return;
    }
    auto bytes = std::make_shared<const std::string>(m_installer);
    const std::size_t closeAfter = m_closeAfter;
    const std::size_t stallAfter = m_stallAfter;
    // The server answers a Range request by asking for the body from the requested offset.
    res.set_content_provider(
        bytes->size(), "application/octet-stream",
        [this, bytes, closeAfter, stallAfter](std::size_t offset, std::size_t length,
                                              httplib::DataSink& sink) {
            if (offset >= closeAfter) return false;
            if (offset >= stallAfter) {
                WaitForRelease();
                return false;
            }
            const std::size_t end = std::min({offset + length, closeAfter, stallAfter});
            return sink.write(bytes->data() + offset, end - offset);
        });
}
