#pragma once
// The maker's services on 127.0.0.1 for worker runs: the update-information reply and the
// installer, with the faults a transfer meets (a connection closed early, a stalled body, a
// missing file). Ranged requests are answered from the requested offset.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CInstallerServer {
  public:
    static constexpr char kUpdatePath[] = "/tools/updateinfo.php";
    static constexpr char kInstallerPath[] = "/files/setup.exe";
    static constexpr char kDefaultInstallerPath[] = "/tools/myvelmora_setup.exe";

    struct Reply {
        int status;
        std::string body;
    };
    struct Request {
        std::string path;
        std::string target;  // path and query as they arrived
        std::string range;   // the Range header, or empty
        httplib::Params params;
    };

    CInstallerServer();
    ~CInstallerServer();
    CInstallerServer(const CInstallerServer&) = delete;
    CInstallerServer& operator=(const CInstallerServer&) = delete;

    std::string Host() const;  // "127.0.0.1:<port>"
    std::string Url(const std::string& path) const;

    // Replies to the update request, in order; the last one repeats.
    void SetUpdateReplies(std::vector<Reply> replies);
    void SetInstaller(std::string bytes);
    void SetInstallerMissing(bool missing);
    // Installer bodies end with the connection closed once this offset is reached.
    void CloseAfter(std::size_t offset);
    // Installer bodies pause at this offset until Release() (or a bounded wait) and then close.
    void StallAfter(std::size_t offset);
    void Release();

    std::vector<Request> Requests() const;
    std::vector<Request> RequestsFor(const std::string& path) const;

  private:
    void Record(const httplib::Request& req);
    void ServeUpdate(const httplib::Request& req, httplib::Response& res);
    void ServeInstaller(const httplib::Request& req, httplib::Response& res);
    bool WaitForRelease();

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_isReleased = false;
    std::vector<Reply> m_replies{{200, ""}};
    std::size_t m_updateRequests = 0;
    std::string m_installer;
    bool m_installerMissing = false;
    std::size_t m_closeAfter = std::string::npos;
    std::size_t m_stallAfter = std::string::npos;
    std::vector<Request> m_requests;
};
